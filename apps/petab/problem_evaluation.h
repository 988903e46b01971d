// Evaluating a PEtab problem from the command line: the problem imported into a work directory,
// its evaluation program compiled there (again only when the generated model changed), run at the
// requested parameter values, and its results read back.
#ifndef QUORVANT_APPS_PETAB_PROBLEM_EVALUATION_H
#define QUORVANT_APPS_PETAB_PROBLEM_EVALUATION_H

#include <string>
#include <vector>

#include "quorvant/petab/problem.h"

namespace qv::petab_tool {

struct Evaluation {
    qv::petab::Problem problem;
    std::vector<double> x;          // the estimated parameters on their scale
    double llh = 0.0, chi2 = 0.0, log_prior = 0.0;
    int failed = 0;
    std::string failure;
    std::vector<double> simulated;  // per measurement, in the order of the problem's tables
    std::vector<double> sigma;
    std::vector<std::string> notes;
    bool want_gradient = false;     // asks the program for the gradient report too
    bool has_target = false;        // a refinement starts no new start once its best exceeds
    double target = 0.0;            //   this
    std::vector<double> gradient;   // d(llh + log prior)/dx from the sensitivities
    std::vector<double> fd_gradient;   // the same by central differences
    double seconds_evaluation = 0.0, seconds_gradient = 0.0;
    std::vector<double> refined;    // after a refinement: the refined values on their scale
    std::string refinement;         // "<evaluations> evaluations, <iterations> iterations, ..."
    long refine_evaluations = 0, refine_iterations = 0;
    int refine_starts = 0, refine_best_start = -1;
};

// v with 17 significant digits (what the tool prints and writes).
std::string full_precision(double v);

// text into path through a temporary file and a rename: a failed write leaves path as it was.
std::string write_atomically(const std::string &path, const std::string &text);

// Whether program was built after every one of the archives it links (a null-terminated list).
bool newer_than_archives(const std::string &program, const char *const *archives);

// The work directory of a problem when none is given: under this build's tree, named for the
// problem file's absolute path.
std::string default_work_dir(const std::string &yaml);

// Imports and builds (as needed) the problem in work_dir. Returns "" or the message; a refusal of
// the importer starts with "refused: ".
std::string prepare_problem(const std::string &yaml, const std::string &work_dir, std::vector<std::string> &notes);

// The values of a parameter table (same columns as the problem's): nominal values of the
// estimated parameters, on their scale, in the problem's order.
std::string values_from_table(const qv::petab::Problem &problem, const std::string &tsv, std::vector<double> &x);

// prepare_problem, then one evaluation at x (the nominal values when parameters_tsv is empty).
std::string evaluate_problem(const std::string &yaml, const std::string &parameters_tsv, const std::string &work_dir,
                             Evaluation &out);

// One run of the evaluation program of a prepared work directory at out.x, first refined by at
// most refine_evaluations evaluations of the local search when that is positive.
// starts more points drawn from the stream seeded with seed are refined too.
// No new start is begun after seconds (when positive). With several processes the starts are
// shared out among as many programs run side by side; the result is the one a single program gives.
std::string run_evaluation(const std::string &dir, int refine_evaluations, Evaluation &out, int starts = 0,
                           unsigned long long seed = 0, double seconds = 0.0, int processes = 1);

// The simulation table: the measurement tables' rows with the column 'measurement' renamed
// 'simulation' and holding the simulated values.
std::string write_simulations(const Evaluation &e, const std::string &path);

}  // namespace qv::petab_tool

#endif
