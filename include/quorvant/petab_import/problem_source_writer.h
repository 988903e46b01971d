// The model source generated for a PEtab problem: the model's equations with the parameters as an
// array, its start state, its observables and the problem's tables, and the objective the
// searches call (quorvant/model_objective.h).
#ifndef QUORVANT_PETAB_IMPORT_PROBLEM_SOURCE_WRITER_H
#define QUORVANT_PETAB_IMPORT_PROBLEM_SOURCE_WRITER_H

#include <string>

#include "quorvant/petab_import/problem_translation.h"

namespace qv::petab_import {

struct SolverSettings {
    double atol = 1.0e-12;
    double rtol = 1.0e-8;
};

// The name of the PARAM whose values 1..511 hold estimated parameters block (0-based) of the model
// input file: "theta", "theta_2", ...
std::string theta_name(int block);
constexpr int kThetaPerName = 511;

std::string problem_source(const TranslatedProblem &t, const std::string &problem_path, const SolverSettings &s);

}  // namespace qv::petab_import

#endif
