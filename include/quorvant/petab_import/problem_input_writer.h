// The model input file and the GA parameter file generated for a PEtab problem.
#ifndef QUORVANT_PETAB_IMPORT_PROBLEM_INPUT_WRITER_H
#define QUORVANT_PETAB_IMPORT_PROBLEM_INPUT_WRITER_H

#include <string>
#include <vector>

#include "quorvant/petab_import/problem_source_writer.h"

namespace qv::petab_import {

// The start state of the first experiment at the nominal values, y[1..n] (y[0] unused).
std::vector<double> nominal_start(const TranslatedProblem &t);

// NDF solver, a time course over the first experiment's measurement times, the estimated parameters
// as values of the PARAMs theta, theta_2, ... (type S with their scaled bounds, tagged with their
// ids), and the first experiment's start state.
std::string problem_input(const TranslatedProblem &t, const std::string &problem_path, const SolverSettings &s);

// GA settings for the problem's number of estimated parameters.
std::string problem_ga(const TranslatedProblem &t);

}  // namespace qv::petab_import

#endif
