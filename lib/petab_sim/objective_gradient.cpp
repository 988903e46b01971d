// The objective's gradient from the sensitivities: for each measurement the observable's value and
// noise parameter are differentiated through the state (its sensitivities at the measurement's
// time), the parameters (their derivatives by theta in the last period) and the placeholders (by
// theta directly, or through their formulas by central differences), then the likelihood's own
// derivatives and the scales give the gradient by the search variables.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "quorvant/petab_sim/objective_gradient.h"

namespace qv::petab_sim {

namespace {

constexpr double kFormulaStep = 1.0e-6;   // relative step of the placeholders' formulas, on
constexpr double kFormulaFloor = 1.0e-3;  //   max(|theta|, this)
constexpr double kPriorStep = 1.0e-6;     // step of the prior's differences on the scaled values
constexpr double kEventStep = 1.0e-5;     // relative step of the differences across events, on
                                          //   max(|x|, 1)

bool assigns_at_events(const ModelCode &m) {
    for (int k = 0; k < m.n_events; ++k)
        if (!m.events[k].switch_only) return true;
    return false;
}

// The gradient, d simulated and d sigma by central differences of whole evaluations.
ObjectiveValue difference_gradient(const Problem &pb, const double *x, Workspace &w, GradientWork &g, double *grad) {
    const size_t mm = static_cast<size_t>(pb.n_theta), nd = static_cast<size_t>(pb.n_data);
    std::copy(x, x + mm, g.xd.begin());
    bool failed = false;
    for (size_t j = 0; j < mm; ++j) {
        const double h = kEventStep * std::max(std::fabs(x[j]), 1.0);
        g.xd[j] = x[j] + h;
        const ObjectiveValue up = evaluate(pb, g.xd.data(), w);
        std::copy(w.simulated.begin(), w.simulated.end(), g.plus_sim.begin());
        std::copy(w.sigma.begin(), w.sigma.end(), g.plus_sig.begin());
        g.xd[j] = x[j] - h;
        const ObjectiveValue down = evaluate(pb, g.xd.data(), w);
        g.xd[j] = x[j];
        failed = failed || up.failed > 0 || down.failed > 0;
        grad[j] = (up.llh + up.log_prior - down.llh - down.log_prior) / (2.0 * h);
        for (size_t d = 0; d < nd; ++d) {
            g.dsim[d * mm + j] = (g.plus_sim[d] - w.simulated[d]) / (2.0 * h);
            g.dsig[d * mm + j] = (g.plus_sig[d] - w.sigma[d]) / (2.0 * h);
        }
    }
    ObjectiveValue v = evaluate(pb, x, w);
    if (failed || v.failed > 0 || !std::isfinite(v.llh)) std::fill(grad, grad + mm, 0.0);
    return v;
}

double scale_derivative(Scale s, double theta) {
    switch (s) {
    case Scale::Log: return theta;
    case Scale::Log10: return theta * std::numbers::ln10;
    case Scale::Lin: break;
    }
    return 1.0;
}

double prior_of(const Estimated &t, double x) {
    return qv::petab_runtime::log_prior(t.prior, t.prior_parameters, t.n_prior_parameters, unscale(t.scale, x), x,
                                        t.truncated, t.lower_lin, t.upper_lin);
}

// d q_l / d theta_j for the placeholders of measurement m into dq (nq × n_theta).
void placeholder_derivatives(const Problem &pb, const Datum &m, const double *y, Workspace &w, GradientWork &g) {
    const size_t mm = static_cast<size_t>(pb.n_theta);
    const int nq = m.n_observable_parameters + m.n_noise_parameters;
    std::fill(g.dq.begin(), g.dq.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(nq) * mm), 0.0);
    for (int l = 0; l < nq; ++l) {
        const ValueRef &r = l < m.n_observable_parameters ? m.observable_parameters[l] : m.noise_parameters[l - m.n_observable_parameters];
        double *row = g.dq.data() + static_cast<size_t>(l) * mm;
        if (r.theta >= 0) {
            row[r.theta] = 1.0;
        } else if (r.theta <= -2) {
            for (size_t j = 0; j < mm; ++j) {
                const double t = w.theta[j];
                const double h = kFormulaStep * std::max(std::fabs(t), kFormulaFloor);
                w.theta[j] = t + h;
                const double up = value_of(pb, r, w.theta.data(), w.P.data(), y);
                w.theta[j] = t - h;
                const double down = value_of(pb, r, w.theta.data(), w.P.data(), y);
                w.theta[j] = t;
                row[j] = (up - down) / (2.0 * h);
            }
        }
    }
}

}  // namespace

void prepare_gradient(const Problem &pb, GradientWork &g) {
    prepare_sensitivities(pb, g.sens);
    const size_t mm = static_cast<size_t>(pb.n_theta);
    size_t nq = 1;
    for (int d = 0; d < pb.n_data; ++d)
        nq = std::max(nq, static_cast<size_t>(pb.data[d].n_observable_parameters + pb.data[d].n_noise_parameters));
    const size_t leaves = static_cast<size_t>(pb.model.n_states) + static_cast<size_t>(pb.model.n_params) + nq;
    g.dsim.assign(static_cast<size_t>(pb.n_data) * mm, 0.0);
    g.dsig.assign(static_cast<size_t>(pb.n_data) * mm, 0.0);
    g.dv.assign(leaves, 0.0);
    g.ds.assign(leaves, 0.0);
    g.dq.assign(nq * mm, 0.0);
    g.dtheta.assign(mm, 0.0);
    g.xd.assign(mm, 0.0);
    g.plus_sim.assign(static_cast<size_t>(pb.n_data), 0.0);
    g.plus_sig.assign(static_cast<size_t>(pb.n_data), 0.0);
}

ObjectiveValue evaluate_gradient(const Problem &pb, const double *x, Workspace &w, GradientWork &g, double *grad) {
    if (assigns_at_events(pb.model)) return difference_gradient(pb, x, w, g, grad);
    ObjectiveValue v;
    const size_t mm = static_cast<size_t>(pb.n_theta);
    const size_t n = static_cast<size_t>(pb.model.n_states), np = static_cast<size_t>(pb.model.n_params);
    std::fill(grad, grad + mm, 0.0);
    for (size_t k = 0; k < mm; ++k) {
        w.theta[k] = unscale(pb.theta[k].scale, x[k]);
        g.dtheta[k] = scale_derivative(pb.theta[k].scale, w.theta[k]);
    }
    for (size_t k = 0; k < mm; ++k) {
        const Estimated &t = pb.theta[k];
        if (!t.has_prior) continue;
        v.log_prior += prior_of(t, x[k]);
        const double up = prior_of(t, x[k] + kPriorStep), down = prior_of(t, x[k] - kPriorStep);
        if (std::isfinite(up) && std::isfinite(down)) grad[k] += (up - down) / (2.0 * kPriorStep);
    }
    std::fill(w.simulated.begin(), w.simulated.end(), std::numeric_limits<double>::quiet_NaN());
    std::fill(w.sigma.begin(), w.sigma.end(), std::numeric_limits<double>::quiet_NaN());
    std::fill(g.dsim.begin(), g.dsim.end(), 0.0);
    std::fill(g.dsig.begin(), g.dsig.end(), 0.0);
    const size_t nm = n * mm;
    for (int e = 0; e < pb.n_experiments; ++e) {
        if (std::string msg = simulate_experiment(pb, e, w, &g.sens); !msg.empty()) {
            note_failure(pb, e, msg, v);
            continue;
        }
        for (int i = w.data_start[static_cast<size_t>(e)]; i < w.data_start[static_cast<size_t>(e) + 1]; ++i) {
            const int d = w.data_order[static_cast<size_t>(i)];
            const Datum &m = pb.data[d];
            const int nq = m.n_observable_parameters + m.n_noise_parameters;
            const double *y = score_measurement(pb, d, w, v);
            const double value = w.simulated[static_cast<size_t>(d)], sigma = w.sigma[static_cast<size_t>(d)];

            // The derivatives of value and sigma by theta, then by x.
            const size_t leaves = n + np + static_cast<size_t>(nq);
            std::fill(g.dv.begin(), g.dv.begin() + static_cast<std::ptrdiff_t>(leaves), 0.0);
            std::fill(g.ds.begin(), g.ds.begin() + static_cast<std::ptrdiff_t>(leaves), 0.0);
            pb.model.observe_derivatives(m.observable, w.P.data(), y, w.q.data(), g.dv.data(), g.ds.data());
            placeholder_derivatives(pb, m, w.y.data(), w, g);
            const double *S = g.sens.outputs.data() + static_cast<size_t>(m.time) * nm;
            double *dsim = g.dsim.data() + static_cast<size_t>(d) * mm;
            double *dsig = g.dsig.data() + static_cast<size_t>(d) * mm;
            for (size_t j = 0; j < mm; ++j) {
                double dval = 0.0, dsg = 0.0;
                const double *sj = S + j * n;
                for (size_t i = 0; i < n; ++i) {
                    dval += g.dv[i] * sj[i];
                    dsg += g.ds[i] * sj[i];
                }
                for (int slot : g.sens.active_list) {
                    const size_t k = static_cast<size_t>(slot);
                    if (k == 0) continue;
                    const double dp = g.sens.dP[k * mm + j];
                    dval += g.dv[n + k - 1] * dp;
                    dsg += g.ds[n + k - 1] * dp;
                }
                for (int l = 0; l < nq; ++l) {
                    const double dq = g.dq[static_cast<size_t>(l) * mm + j];
                    if (dq == 0.0) continue;
                    dval += g.dv[n + np + static_cast<size_t>(l)] * dq;
                    dsg += g.ds[n + np + static_cast<size_t>(l)] * dq;
                }
                dsim[j] = dval * g.dtheta[j];
                dsig[j] = dsg * g.dtheta[j];
            }
            double d_y = 0.0, d_sigma = 0.0;
            qv::petab_runtime::log_likelihood_derivatives(m.value, value, sigma, m.transform, m.noise, &d_y, &d_sigma);
            for (size_t j = 0; j < mm; ++j) grad[j] += d_y * dsim[j] + d_sigma * dsig[j];
        }
    }
    if (v.failed > 0 || std::isnan(v.llh)) v.llh = -std::numeric_limits<double>::infinity();
    if (!std::isfinite(v.llh)) std::fill(grad, grad + mm, 0.0);
    return v;
}

}  // namespace qv::petab_sim
