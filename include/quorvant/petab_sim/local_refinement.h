// Local refinement of estimated parameters: a bounded local search that climbs the objective
// (log-likelihood plus log prior) from a starting point inside the box of the scaled bounds.
// Levenberg-Marquardt on the residuals where the likelihood is a sum of squares (normal noise, no
// priors), BFGS otherwise; derivatives from the forward sensitivities (objective_gradient.h), or
// by finite differences where asked.
#ifndef QUORVANT_PETAB_SIM_LOCAL_REFINEMENT_H
#define QUORVANT_PETAB_SIM_LOCAL_REFINEMENT_H

#include <chrono>
#include <vector>

#include "quorvant/petab_sim/objective.h"
#include "quorvant/petab_sim/objective_gradient.h"

namespace qv::petab_sim {

enum class RefinementMethod { Automatic, Bfgs };

struct RefinementSettings {
    RefinementMethod method = RefinementMethod::Automatic;
    int max_evaluations = 20000;
    double step = 1.0e-5;          // difference step on the scaled values: step * (1 + |x|)
    double tolerance = 1.0e-10;    // stop when an iteration gains less than tolerance * (1 + |f|)
    bool sensitivities = true;     // derivatives from the sensitivities (else finite differences)
    // No iteration begins after this (the point reached so far is the result).
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
};

struct RefinementResult {
    std::vector<double> x;         // scaled values, inside the bounds
    double objective = 0.0;        // llh + log prior at x
    double start_objective = 0.0;  // llh + log prior at the start (-inf when it fails)
    int evaluations = 0;           // objective evaluations, gradients included
    int gradients = 0;             // of which gradients (or Jacobians) from the sensitivities
    int iterations = 0;
};

// Refines x0 (scaled values); never leaves the bounds of pb.theta.
RefinementResult refine(const Problem &pb, const std::vector<double> &x0, const RefinementSettings &s, Workspace &w);
// The same with the caller's sensitivity workspace, kept from one refinement to the next.
RefinementResult refine(const Problem &pb, const std::vector<double> &x0, const RefinementSettings &s, Workspace &w,
                        GradientWork &g);

}  // namespace qv::petab_sim

#endif
