// Fitting a PEtab problem: import, gasearch built for it (again only when its model changed), the
// search on the requested processes, and the parameter table of its best individual.
#ifndef QUORVANT_APPS_PETAB_PROBLEM_FIT_H
#define QUORVANT_APPS_PETAB_PROBLEM_FIT_H

#include <string>
#include <vector>

namespace qv::petab_tool {

struct FitRequest {
    std::string yaml;
    std::string outdir;
    int processes = 1;
    std::string seed;          // empty: gasearch's own (from the clock)
    double time_limit = 0.0;   // seconds; 0: none
    int refine_evaluations = 20000;   // local refinement of the search's best (evaluations per start); 0: none
    int starts = 30;                  // more starts of the refinement, drawn in the box
    bool resume = false;              // go on from OUTDIR/fit.state, the search's last state
    bool has_target = false;          // stop as soon as llh + log prior exceeds target: the
    double target = 0.0;              //   search (its GA file's target) and the refinement's starts
};

struct FitResult {
    double best_llh = 0.0;     // of OUTDIR/parameters.tsv, evaluated as petab evaluate does
    double log_prior = 0.0;
    bool has_prior = false;
    bool stopped = false;      // the time limit ended the search
    std::string parameters;    // the table written
    std::vector<std::string> notes;
    std::string refinement;    // what the refinement took, when there was one
    bool resumed = false;      // the search went on from a state (its generation: resumed_after)
    int resumed_after = 0;
    bool reached = false;      // with a target: the fit's best exceeds it
    double seconds = 0.0;      // wall time of the fit
    double search_seconds = 0.0;   // of which the search and the refinement (no import, build, check)
};

std::string fit_problem(const FitRequest &request, FitResult &result);

}  // namespace qv::petab_tool

#endif
