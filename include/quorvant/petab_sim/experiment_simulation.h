// One experiment of an estimation problem simulated with the stiff solver: its start state, a
// pre-equilibration to a steady state where it has one, and the states at its measurement times.
#ifndef QUORVANT_PETAB_SIM_EXPERIMENT_SIMULATION_H
#define QUORVANT_PETAB_SIM_EXPERIMENT_SIMULATION_H

#include <string>

#include "quorvant/petab_sim/objective.h"

namespace qv::petab_sim {

// Simulates experiment e with the estimated parameters w.theta (linear scale): w.P ends with the
// last period's parameters, w.outputs with the n_states + 1 values (1-based) at each of its times.
// Returns "" or what failed.
std::string simulate_experiment(const Problem &problem, int e, Workspace &w);

// w.theta from the scaled values x, then w.P: the parameters of the last period of experiment e
// (what a plain time course of the model runs with).
void experiment_parameters(const Problem &problem, int e, const double *x, Workspace &w);

}  // namespace qv::petab_sim

#endif
