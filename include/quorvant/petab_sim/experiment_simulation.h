// One experiment of an estimation problem simulated with the stiff solver: its start state, a
// pre-equilibration to a steady state where it has one, and the states at its measurement times.
#ifndef QUORVANT_PETAB_SIM_EXPERIMENT_SIMULATION_H
#define QUORVANT_PETAB_SIM_EXPERIMENT_SIMULATION_H

#include <string>
#include <vector>

#include "quorvant/petab_sim/objective.h"

namespace qv::petab_sim {

// Forward sensitivities of an experiment with respect to the estimated parameters theta_j (on
// their linear scale), kept beside the states. Sensitivity blocks hold n values, state i (1-based)
// at index i - 1.
struct Sensitivities {
    int m = 0;                          // estimated parameters
    // The solver's error test covers the sensitivities too. Off by default: on the benchmark
    // problems it costs up to ten times as many steps for no better agreement with differences.
    bool error_control = false;
    std::vector<double> s;              // ds/dtheta_j of the current state: block j
    std::vector<double> outputs;        // per experiment time: m blocks
    std::vector<double> raw;            // the solver's, per output time of one call: m blocks
    std::vector<double> dP;             // dP[k·m + j] = d P[k] / d theta_j, k = 0..np
    std::vector<unsigned char> active;  // slots k whose row of dP is not all zero
    std::vector<int> active_list;       //   and their list
    std::vector<double> fp;             // work: df/dtheta, m blocks
    std::vector<double> fpv;            // work: the values of the model's dfdp entries
    std::vector<double> jac;            // work: the Jacobian, n×n
    Workspace fd;                       // work: the algebraic stages at shifted theta
    std::vector<unsigned char> p_sets, y_sets;          // work: what a stage sets
    std::vector<double> in_P, in_y, plus_P, plus_y;     // work: a stage's inputs and shifted outputs
    long factorisations = 0;            // fresh matrices the sensitivity steps needed (counter)
};

void prepare_sensitivities(const Problem &problem, Sensitivities &s);

// Simulates experiment e with the estimated parameters w.theta (linear scale): w.P ends with the
// last period's parameters, w.outputs with the n_states + 1 values (1-based) at each of its times.
// Returns "" or what failed.
std::string simulate_experiment(const Problem &problem, int e, Workspace &w);
// The same, with the sensitivities (sens->outputs at each time, sens->dP of the last period).
std::string simulate_experiment(const Problem &problem, int e, Workspace &w, Sensitivities *sens);

// w.theta from the scaled values x, then w.P: the parameters of the last period of experiment e
// (what a plain time course of the model runs with).
void experiment_parameters(const Problem &problem, int e, const double *x, Workspace &w);

}  // namespace qv::petab_sim

#endif
