// The objective: estimated parameters to the linear scale, their priors, every experiment
// simulated, and each measurement scored against its observable.
#include <algorithm>
#include <cmath>
#include <limits>

#include "quorvant/petab_sim/experiment_simulation.h"
#include "quorvant/petab_sim/objective.h"

namespace qv::petab_sim {

double unscale(Scale s, double x) {
    switch (s) {
    case Scale::Log: return std::exp(x);
    case Scale::Log10: return std::pow(10.0, x);
    case Scale::Lin: break;
    }
    return x;
}

void prepare_workspace(const Problem &pb, Workspace &w) {
    const size_t n1 = static_cast<size_t>(pb.model.n_states) + 1;
    const size_t np1 = static_cast<size_t>(pb.model.n_params) + 1;
    size_t times = 1;
    for (int e = 0; e < pb.n_experiments; ++e) times = std::max(times, static_cast<size_t>(pb.experiments[e].n_times));
    size_t pars = 1;
    for (int d = 0; d < pb.n_data; ++d)
        pars = std::max(pars, static_cast<size_t>(pb.data[d].n_observable_parameters + pb.data[d].n_noise_parameters));
    w.theta.assign(static_cast<size_t>(std::max(pb.n_theta, 1)), 0.0);
    w.P.assign(np1, 0.0);
    w.p_fixed.assign(np1, 0);
    w.y_set.assign(n1, 0.0);
    w.y.assign(n1, 0.0);
    w.outputs.assign(times * n1, 0.0);
    w.raw.assign((times + 1) * n1, 0.0);
    w.times.assign(times + 1, 0.0);
    w.call.assign(times + 2, 0.0);
    w.on_before.assign(static_cast<size_t>(std::max(pb.model.n_events, 1)), 0);
    w.q.assign(pars, 0.0);
    w.simulated.assign(static_cast<size_t>(pb.n_data), std::numeric_limits<double>::quiet_NaN());
    w.sigma.assign(static_cast<size_t>(pb.n_data), std::numeric_limits<double>::quiet_NaN());
    // The measurements of each experiment, in table order.
    w.data_start.assign(static_cast<size_t>(pb.n_experiments) + 1, 0);
    for (int d = 0; d < pb.n_data; ++d) ++w.data_start[static_cast<size_t>(pb.data[d].experiment) + 1];
    for (int e = 0; e < pb.n_experiments; ++e) w.data_start[static_cast<size_t>(e) + 1] += w.data_start[static_cast<size_t>(e)];
    w.data_order.assign(static_cast<size_t>(pb.n_data), 0);
    std::vector<int> next(w.data_start.begin(), w.data_start.end() - 1);
    for (int d = 0; d < pb.n_data; ++d) w.data_order[static_cast<size_t>(next[static_cast<size_t>(pb.data[d].experiment)]++)] = d;
}

void note_failure(const Problem &pb, int e, const std::string &msg, ObjectiveValue &v) {
    if (v.failed++ > 0) return;
    v.failure = "experiment '";
    v.failure += pb.experiments[e].id;
    v.failure += "': ";
    v.failure += msg;
}

const double *score_measurement(const Problem &pb, int d, Workspace &w, ObjectiveValue &v) {
    const Datum &m = pb.data[d];
    const int a = m.n_observable_parameters;
    for (int k = 0; k < a; ++k) w.q[static_cast<size_t>(k)] = value_of(pb, m.observable_parameters[k], w.theta.data(), w.P.data(), w.y.data());
    for (int k = 0; k < m.n_noise_parameters; ++k)
        w.q[static_cast<size_t>(a + k)] = value_of(pb, m.noise_parameters[k], w.theta.data(), w.P.data(), w.y.data());
    const double *y = w.outputs.data() + static_cast<size_t>(m.time) * (static_cast<size_t>(pb.model.n_states) + 1);
    double value = 0.0, sigma = 0.0;
    pb.model.observe(m.observable, w.P.data(), y, w.q.data(), &value, &sigma);
    w.simulated[static_cast<size_t>(d)] = value;
    w.sigma[static_cast<size_t>(d)] = sigma;
    v.llh += qv::petab_runtime::log_likelihood(m.value, value, sigma, m.transform, m.noise);
    v.chi2 += qv::petab_runtime::chi2_term(m.value, value, sigma, m.transform);
    return y;
}

ObjectiveValue evaluate(const Problem &pb, const double *x, Workspace &w) {
    ObjectiveValue v;
    for (int k = 0; k < pb.n_theta; ++k) w.theta[static_cast<size_t>(k)] = unscale(pb.theta[k].scale, x[k]);
    for (int k = 0; k < pb.n_theta; ++k) {
        const Estimated &t = pb.theta[k];
        if (!t.has_prior) continue;
        v.log_prior += qv::petab_runtime::log_prior(t.prior, t.prior_parameters, t.n_prior_parameters,
                                                    w.theta[static_cast<size_t>(k)], x[k], t.truncated,
                                                    t.lower_lin, t.upper_lin);
    }
    std::fill(w.simulated.begin(), w.simulated.end(), std::numeric_limits<double>::quiet_NaN());
    std::fill(w.sigma.begin(), w.sigma.end(), std::numeric_limits<double>::quiet_NaN());
    for (int e = 0; e < pb.n_experiments; ++e) {
        if (std::string msg = simulate_experiment(pb, e, w); !msg.empty()) {
            note_failure(pb, e, msg, v);
            continue;
        }
        for (int i = w.data_start[static_cast<size_t>(e)]; i < w.data_start[static_cast<size_t>(e) + 1]; ++i)
            score_measurement(pb, w.data_order[static_cast<size_t>(i)], w, v);
    }
    if (v.failed > 0) v.llh = -std::numeric_limits<double>::infinity();
    if (std::isnan(v.llh)) v.llh = -std::numeric_limits<double>::infinity();
    return v;
}

}  // namespace qv::petab_sim
