// An estimation problem as the model generated for it describes it at run time: the model's
// equations, start state and observables as functions, and the problem's conditions, experiments,
// measurements and estimated parameters as constant tables.
//
// Values are numbered as in the generated source: states y[1..n] (time is one of them),
// parameters P[1..np] (compartment sizes, parameters and local parameters of the SBML model),
// estimated parameters theta[0..m-1] on their linear scale.
#ifndef QUORVANT_PETAB_SIM_PROBLEM_MODEL_H
#define QUORVANT_PETAB_SIM_PROBLEM_MODEL_H

#include "quorvant/model_events.h"
#include "quorvant/petab_runtime/likelihood.h"
#include "quorvant/petab_runtime/prior.h"

namespace qv::petab_sim {

// A value of the problem's tables: an estimated parameter (theta >= 0), a number (theta -1), or
// a formula of the estimated parameters (theta <= -2: formula -2 - theta of ModelCode::formula).
struct ValueRef {
    int theta;
    double value;
};

// P[param] = value.
struct ParamSet {
    int param;
    ValueRef value;
};

// The start value of a species (in its SBML units: an amount or a concentration) or of another state.
// A NaN value keeps the model's own.
struct StateSet {
    int state;
    ValueRef value;
};

// One period of an experiment: from its start (-inf: a pre-equilibration, run to a steady state)
// with the parameter values and start values its condition sets.
struct Period {
    double start;
    const ParamSet *params;
    int n_params;
    const StateSet *states;
    int n_states;
};

// The periods of one experiment and the times its measurements ask for (in the last period,
// increasing, +inf last when one is measured at the steady state).
struct Experiment {
    const char *id;
    const Period *periods;
    int n_periods;
    const double *times;
    int n_times;
};

// One measurement: where (experiment, index of its time), what (observable) and how it is scored.
struct Datum {
    int experiment;
    int time;
    int observable;
    double value;
    const ValueRef *observable_parameters;
    int n_observable_parameters;
    const ValueRef *noise_parameters;
    int n_noise_parameters;
    qv::petab_runtime::Transform transform;
    qv::petab_runtime::Noise noise;
};

enum class Scale : int { Lin = 0, Log = 1, Log10 = 2 };

// An estimated parameter: its scale, its bounds on that scale, and its objective prior.
struct Estimated {
    const char *id;
    Scale scale;
    double lower;
    double upper;
    bool has_prior;
    qv::petab_runtime::PriorKind prior;
    const double *prior_parameters;
    int n_prior_parameters;
    bool truncated;     // the prior's density is truncated to the bounds
    double lower_lin;   // the bounds on the linear scale (for truncated priors)
    double upper_lin;
};

// The generated model's functions. Arrays are 1-based like the model interface's (element 0 unused),
// but for the Jacobian, which is n×n row-major from 0 and zeroed by the caller.
struct ModelCode {
    int n_states;
    int n_params;
    int time_index;
    void (*rhs)(const double *P, const double *y, double *dydt);
    void (*jac)(const double *P, const double *y, double *J);
    // The start state y from P. Parameters with p_fixed[k] non-zero keep their value; the others
    // that have an initial assignment get it. States with a finite y_set[k] start at that value (in
    // SBML units); the others at their model value.
    void (*start)(double *P, const unsigned char *p_fixed, const double *y_set, double *y);
    // State k set to value (in SBML units), e.g. after a pre-equilibration.
    void (*set_state)(int k, double value, const double *P, double *y);
    // Observable k at state y: its value and its noise parameter sigma. q holds the values of the
    // measurement's placeholders: its observable parameters, then its noise parameters.
    void (*observe)(int k, const double *P, const double *y, const double *q, double *value, double *sigma);
    // Formula k of the estimated parameters, the parameters P and the state y (values that
    // conditions give as formulas).
    double (*formula)(int k, const double *theta, const double *P, const double *y);
    // The derivatives the sensitivities need, written symbolically by the generator.
    // jac writes only the n_jac entries jac_index (row-major indices) of J.
    int n_jac;
    const int *jac_index;
    // dfdp fills v[e] = d dydt[dfdp_row[e] + 1] / d P[dfdp_slot[e]] for e = 0..n_dfdp-1.
    int n_dfdp;
    const int *dfdp_row;
    const int *dfdp_slot;
    void (*dfdp)(const double *P, const double *y, double *v);
    // Observable k's derivatives: dv (value) and ds (sigma) by y[1..n] at [0..n-1], then by the
    // parameter slots 1..np at [n..n+np-1] and by the placeholders q[0..] after them. Writes only
    // entries that can be non-zero; the caller zeroes both arrays.
    void (*observe_derivatives)(int k, const double *P, const double *y, const double *q, double *dv, double *ds);
    // The model's events and switching times (quorvant/model_events.h, on the parameters P
    // instead of a record; none where n_events is 0). Event assignments change states only.
    int n_events;
    const qv_event *events;
    void (*event_triggers)(double t, const double *y, const double *P, int *on, double *g);
    double (*event_delay)(int k, double t, const double *y, const double *P);
    double (*event_priority)(int k, double t, const double *y, const double *P);
    void (*event_values)(int k, double t, const double *y, const double *P, double *v);
    void (*event_assign)(int k, const double *v, double *y, const double *P);
};

struct Problem {
    ModelCode model;
    const double *base_params;           // P[0..np]: the model's values, fixed problem parameters in them
    const ParamSet *estimated_params;    // model parameters that are estimated
    int n_estimated_params;
    const Estimated *theta;
    int n_theta;
    const Experiment *experiments;
    int n_experiments;
    const Datum *data;
    int n_data;
    double atol;
    double rtol;
};

inline double value_of(const Problem &pb, const ValueRef &r, const double *theta, const double *P, const double *y) {
    if (r.theta >= 0) return theta[r.theta];
    if (r.theta == -1) return r.value;
    return pb.model.formula(-2 - r.theta, theta, P, y);
}

}  // namespace qv::petab_sim

#endif
