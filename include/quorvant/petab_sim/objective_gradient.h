// The objective with its gradient by the scaled estimated parameters, from the forward
// sensitivities of every experiment: exact derivatives of the model's equations and observables
// (written by the generator), chained through the measurements' placeholders and the parameter
// scales. The cost is about that of one evaluation per estimated parameter at most, typically less:
// the sensitivities reuse the states' steps and iteration matrices.
#ifndef QUORVANT_PETAB_SIM_OBJECTIVE_GRADIENT_H
#define QUORVANT_PETAB_SIM_OBJECTIVE_GRADIENT_H

#include <vector>

#include "quorvant/petab_sim/experiment_simulation.h"
#include "quorvant/petab_sim/objective.h"

namespace qv::petab_sim {

struct GradientWork {
    Sensitivities sens;
    std::vector<double> dsim;   // per measurement: d simulated / d x_j (n_data × n_theta)
    std::vector<double> dsig;   // per measurement: d sigma / d x_j
    std::vector<double> dv, ds; // work: an observable's derivatives by its leaves
    std::vector<double> dq;     // work: a measurement's placeholders by theta (nq × n_theta)
    std::vector<double> dtheta; // d theta_j / d x_j
    std::vector<double> xd, plus_sim, plus_sig;   // work of the differences (models with events)
};

void prepare_gradient(const Problem &problem, GradientWork &g);

// The objective at the scaled values x, as evaluate() gives it, with w.simulated and w.sigma; and
// grad[j] = d (llh + log prior) / d x_j, g.dsim and g.dsig. A failed simulation gives llh -inf and
// a zero gradient. For a model whose events assign values (their jumps are not carried by the
// sensitivities) the derivatives are central differences of evaluations instead.
ObjectiveValue evaluate_gradient(const Problem &problem, const double *x, Workspace &w, GradientWork &g, double *grad);

}  // namespace qv::petab_sim

#endif
