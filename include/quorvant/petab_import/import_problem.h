// Importing a PEtab problem: its tables read and checked, its SBML model imported for estimation,
// the two resolved against each other, and the generated files written.
#ifndef QUORVANT_PETAB_IMPORT_IMPORT_PROBLEM_H
#define QUORVANT_PETAB_IMPORT_IMPORT_PROBLEM_H

#include <string>
#include <vector>

#include "quorvant/petab_import/problem_source_writer.h"

namespace qv::petab_import {

struct ImportSummary {
    int states = 0;
    int estimated = 0;
    int experiments = 0;
    int measurements = 0;
    std::vector<std::string> notes;
};

// What becomes of generated files that were edited since: kept (the import stops with a message),
// replaced, or replaced but for the GA parameter file, which is kept (a fit's own settings).
enum class Edited { Keep, Replace, KeepGaFile };

// What the import is for: a search (nothing to estimate or a nominal value outside its bounds is
// refused: a search cannot start from it) or only evaluating the problem at given values.
enum class Purpose { Search, Evaluation };

// Writes outdir/model.cpp, outdir/model.in and outdir/problem.ga. Returns "" or the message.
std::string import_problem(const std::string &yaml, const std::string &outdir, Edited edited,
                           const SolverSettings &settings, ImportSummary &summary, Purpose purpose = Purpose::Search);

}  // namespace qv::petab_import

#endif
