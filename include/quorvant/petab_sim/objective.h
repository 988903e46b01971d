// The objective of an estimation problem: every experiment simulated with the stiff solver, its
// observables at the measurement times, and the log-likelihood of the measurements (with the log
// prior of the estimated parameters).
#ifndef QUORVANT_PETAB_SIM_OBJECTIVE_H
#define QUORVANT_PETAB_SIM_OBJECTIVE_H

#include <string>
#include <vector>

#include "quorvant/event_machine/event_machine.h"

#include "quorvant/petab_sim/problem_model.h"

namespace qv::petab_sim {

struct ObjectiveValue {
    double llh = 0.0;          // log-likelihood, normalisation terms included
    double chi2 = 0.0;
    double log_prior = 0.0;    // sum of the objective priors' log densities
    int failed = 0;            // experiments whose simulation failed (then llh is -inf)
    std::string failure;       // what failed first
};

// Storage one evaluation works in, sized once for a problem.
struct Workspace {
    std::vector<double> theta;             // estimated parameters, linear scale
    std::vector<double> P;                 // parameters of the experiment being simulated
    std::vector<unsigned char> p_fixed;
    std::vector<double> y_set;
    std::vector<double> y;                 // state, 1..n
    std::vector<double> outputs;           // the states at an experiment's times, time after time
    std::vector<double> times;             // the solver's output times
    std::vector<double> raw;               // the solver's outputs before they are laid out
    std::vector<double> q;                 // a measurement's placeholder values
    std::vector<double> simulated;         // per measurement: the observable's value
    std::vector<double> sigma;             // per measurement: its noise parameter
    std::vector<int> data_start;           // measurements of experiment e: data_order[data_start[e] ..
    std::vector<int> data_order;           //   data_start[e + 1] - 1]
    qv::events::EventMachine events;       // the model's events during an experiment
    std::vector<int> on_before;            // the triggers just before a stop
    std::vector<double> call;              // the output times of one solver call between stops
};

void prepare_workspace(const Problem &problem, Workspace &w);

// The estimated parameters from their scaled values (the search's genes) to the linear scale.
double unscale(Scale s, double x);

// Objective at the scaled values x[0..n_theta-1]. Never throws; a failed simulation gives llh -inf.
ObjectiveValue evaluate(const Problem &problem, const double *x, Workspace &w);

// The steps of an evaluation, for the variants that do more: the first failure of an experiment
// into v; measurement d scored against the simulated experiment (w.q holds its placeholders after
// it, w.simulated and w.sigma its values), the state it was observed at returned.
void note_failure(const Problem &problem, int e, const std::string &msg, ObjectiveValue &v);
const double *score_measurement(const Problem &problem, int d, Workspace &w, ObjectiveValue &v);

}  // namespace qv::petab_sim

#endif
