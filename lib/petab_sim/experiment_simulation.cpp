// One experiment simulated with the stiff solver. The solver's callbacks carry no context, so the
// model and the parameters of the simulation under way are this file's state: one simulation at a
// time per process, as everywhere in the programs.
#include <algorithm>
#include <cmath>
#include <limits>

#include "quorvant/ndflib/ndf.h"
#include "quorvant/petab_sim/experiment_simulation.h"

namespace qv::petab_sim {

namespace {

// A steady state is reached when every rate of change is within the solver's tolerances of zero:
// max_i |dy_i/dt| / (atol + rtol |y_i|) below this.
constexpr double kSteadyNorm = 1.0;
// The pre-equilibration integrates over spans growing by this factor from the first, until the
// steady state or the last span.
constexpr double kSteadyFirstSpan = 1.0;
constexpr double kSteadyGrowth = 10.0;
constexpr int kSteadyMaxSpans = 16;   // up to 1e15 time units

const ModelCode *current_model = nullptr;
const double *current_P = nullptr;
std::vector<double> y1, f1;   // 1-based copies for the generated functions

int problem_rhs(double /*t*/, double *y, double *f) {
    const int n = current_model->n_states;
    std::copy(y, y + n, y1.begin() + 1);
    current_model->rhs(current_P, y1.data(), f1.data());
    std::copy(f1.begin() + 1, f1.begin() + 1 + n, f);
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(f[i])) return -1;
    return 0;
}

int problem_jacobian(double /*t*/, double *y, double *m) {
    const int n = current_model->n_states;
    std::copy(y, y + n, y1.begin() + 1);
    std::fill(m, m + static_cast<size_t>(n) * static_cast<size_t>(n), 0.0);
    current_model->jac(current_P, y1.data(), m);
    return 0;
}

struct Solution {
    _ndf_solution sol{};
    Solution() = default;
    Solution(const Solution &) = delete;
    Solution &operator=(const Solution &) = delete;
    ~Solution() { ndf_term(&sol); }
};

class Integrator {
public:
    Integrator(const Problem &pb, Workspace &w) : pb_(pb), w_(w), n_(pb.model.n_states) {
        ndf_init(&opt_);
        opt_.tol.rel = pb.rtol;
        opt_.tol.abs = pb.atol;
        opt_.jac.jfunc = problem_jacobian;
        opt_.dae.singular = 1;
        current_model = &pb.model;
        current_P = w.P.data();
        y1.assign(static_cast<size_t>(n_) + 1, 0.0);
        f1.assign(static_cast<size_t>(n_) + 1, 0.0);
    }

    // From w.y at times[0] through times[1..count-1]: the state at each time into out (1-based
    // blocks of n + 1), w.y the state at the last.
    std::string run(double *times, int count, double *out) {
        if (count < 2) return "";
        _ndf_input in{count, times, n_, w_.y.data() + 1};
        _ndf_status stats{};
        Solution s;
        if (ndf_solve(&in, &s.sol, problem_rhs, &opt_, &stats) != 0 || s.sol.tnum < 1)
            return "the solver failed";
        const double reached = s.sol.tt[s.sol.tnum - 1];
        if (!(std::fabs(reached - times[count - 1]) <= 1e-9 * std::max(1.0, std::fabs(times[count - 1]))))
            return "the solver stopped before the last time";
        if (out != nullptr) {
            if (count > 2 && s.sol.tnum != count) return "the solver did not give every output time";
            for (int k = 1; k < count; ++k) {
                const int p = count > 2 ? k : s.sol.tnum - 1;
                const double *src = s.sol.yy + static_cast<size_t>(p) * static_cast<size_t>(n_);
                std::copy(src, src + n_, out + static_cast<size_t>(k) * static_cast<size_t>(n_ + 1) + 1);
            }
        }
        const double *last = s.sol.yy + static_cast<size_t>(s.sol.tnum - 1) * static_cast<size_t>(n_);
        std::copy(last, last + n_, w_.y.begin() + 1);
        for (int i = 1; i <= n_; ++i)
            if (!std::isfinite(w_.y[static_cast<size_t>(i)])) return "the state is not finite";
        return "";
    }

    // From w.y at time t until every rate of change is zero within the tolerances.
    std::string steady_state(double t) {
        double span = kSteadyFirstSpan;
        for (int k = 0; k < kSteadyMaxSpans; ++k, span *= kSteadyGrowth) {
            double times[2] = {t, t + span};
            if (std::string msg = run(times, 2, nullptr); !msg.empty()) return msg;
            t += span;
            if (rate_norm() < kSteadyNorm) return "";
        }
        return "no steady state was reached";
    }

private:
    const Problem &pb_;
    Workspace &w_;
    int n_;
    _ndf_option opt_{};

    double rate_norm() {
        pb_.model.rhs(w_.P.data(), w_.y.data(), f1.data());
        double worst = 0.0;
        for (int i = 1; i <= n_; ++i) {
            if (i == pb_.model.time_index) continue;
            const double yi = w_.y[static_cast<size_t>(i)];
            worst = std::max(worst, std::fabs(f1[static_cast<size_t>(i)]) / (pb_.atol + pb_.rtol * std::fabs(yi)));
        }
        return worst;
    }
};

// The parameters of one period: the model's, the estimated ones, then the period's condition.
void period_parameters(const Problem &pb, const Period &period, Workspace &w) {
    std::copy(pb.base_params, pb.base_params + pb.model.n_params + 1, w.P.begin());
    std::fill(w.p_fixed.begin(), w.p_fixed.end(), 0);
    for (int k = 0; k < pb.n_estimated_params; ++k) {
        const ParamSet &s = pb.estimated_params[k];
        w.P[static_cast<size_t>(s.param)] = value_of(pb, s.value, w.theta.data(), w.P.data(), w.y.data());
        w.p_fixed[static_cast<size_t>(s.param)] = 1;
    }
    for (int k = 0; k < period.n_params; ++k) {
        const ParamSet &s = period.params[k];
        const double v = value_of(pb, s.value, w.theta.data(), w.P.data(), w.y.data());
        if (std::isnan(v)) continue;   // NaN keeps the model's value
        w.P[static_cast<size_t>(s.param)] = v;
        w.p_fixed[static_cast<size_t>(s.param)] = 1;
    }
}

}  // namespace

std::string simulate_experiment(const Problem &pb, int e, Workspace &w) {
    const Experiment &ex = pb.experiments[e];
    const ModelCode &m = pb.model;
    const int n = m.n_states;
    Integrator integrator(pb, w);

    // 1. The start state of the first period.
    const Period &first = ex.periods[0];
    period_parameters(pb, first, w);
    std::fill(w.y_set.begin(), w.y_set.end(), std::numeric_limits<double>::quiet_NaN());
    for (int k = 0; k < first.n_states; ++k)
        w.y_set[static_cast<size_t>(first.states[k].state)] = value_of(pb, first.states[k].value, w.theta.data(), w.P.data(), w.y.data());
    std::fill(w.y.begin(), w.y.end(), 0.0);
    m.start(w.P.data(), w.p_fixed.data(), w.y_set.data(), w.y.data());
    for (int i = 1; i <= n; ++i)
        if (!std::isfinite(w.y[static_cast<size_t>(i)])) return "the start state is not finite";

    // 2. A pre-equilibration, then the next period's parameters and the start values it sets; the
    // other states continue from the steady state.
    int p = 0;
    if (std::isinf(first.start) && first.start < 0) {
        w.y[static_cast<size_t>(m.time_index)] = 0.0;
        if (std::string msg = integrator.steady_state(0.0); !msg.empty()) return "pre-equilibration: " + msg;
        if (ex.n_periods < 2) return "";
        p = 1;
        const Period &next = ex.periods[1];
        period_parameters(pb, next, w);
        for (int k = 0; k < next.n_states; ++k) {
            const double v = value_of(pb, next.states[k].value, w.theta.data(), w.P.data(), w.y.data());
            if (!std::isnan(v)) m.set_state(next.states[k].state, v, w.P.data(), w.y.data());
        }
    }

    // 3. Period after period: the measurement times within it (a time at which the next period
    // starts belongs to the next one), then the state at its end, where the next period's changes
    // apply on top of what the earlier ones set. The steady state last, where one is measured.
    const size_t block = static_cast<size_t>(n) + 1;
    std::vector<double> &times = w.times;
    std::vector<double> &out = w.outputs;
    double t0 = ex.periods[p].start;
    w.y[static_cast<size_t>(m.time_index)] = t0;
    int next_time = 0;
    if (ex.n_times > 0 && ex.times[0] < t0) return "a measurement time lies before the start of the experiment";
    for (int k = p; k < ex.n_periods; ++k) {
        const bool last = k + 1 == ex.n_periods;
        const double end = last ? std::numeric_limits<double>::infinity() : ex.periods[k + 1].start;
        int count = 0;
        times[static_cast<size_t>(count++)] = t0;
        const int first_time = next_time;
        for (; next_time < ex.n_times && ex.times[next_time] < end && std::isfinite(ex.times[next_time]); ++next_time)
            if (ex.times[next_time] > times[static_cast<size_t>(count - 1)]) times[static_cast<size_t>(count++)] = ex.times[next_time];
        const int measured = count;
        if (!last && end > times[static_cast<size_t>(count - 1)]) times[static_cast<size_t>(count++)] = end;
        // The solver's outputs go to w.raw (block j for times[j]); the start state is block 0.
        std::copy(w.y.begin(), w.y.end(), w.raw.begin());
        if (std::string msg = integrator.run(times.data(), count, w.raw.data()); !msg.empty()) return msg;
        int src = 0;
        for (int j = first_time; j < next_time; ++j) {
            while (src + 1 < measured && times[static_cast<size_t>(src)] < ex.times[j]) ++src;
            const double *from = w.raw.data() + static_cast<size_t>(src) * block;
            std::copy(from, from + block, out.data() + static_cast<size_t>(j) * block);
        }
        if (last) break;
        t0 = end;
        w.y[static_cast<size_t>(m.time_index)] = t0;
        const Period &next = ex.periods[k + 1];
        for (int c = 0; c < next.n_params; ++c) {
            const double v = value_of(pb, next.params[c].value, w.theta.data(), w.P.data(), w.y.data());
            if (!std::isnan(v)) w.P[static_cast<size_t>(next.params[c].param)] = v;
        }
        for (int c = 0; c < next.n_states; ++c) {
            const double v = value_of(pb, next.states[c].value, w.theta.data(), w.P.data(), w.y.data());
            if (!std::isnan(v)) m.set_state(next.states[c].state, v, w.P.data(), w.y.data());
        }
    }
    if (next_time < ex.n_times) {
        const double from = ex.n_times > 0 && next_time > 0 ? std::max(t0, ex.times[next_time - 1]) : t0;
        if (std::string msg = integrator.steady_state(from); !msg.empty()) return "steady state: " + msg;
        for (int j = next_time; j < ex.n_times; ++j) std::copy(w.y.begin(), w.y.end(), out.data() + static_cast<size_t>(j) * block);
    }
    return "";
}

void experiment_parameters(const Problem &pb, int e, const double *x, Workspace &w) {
    for (int k = 0; k < pb.n_theta; ++k) w.theta[static_cast<size_t>(k)] = unscale(pb.theta[k].scale, x[k]);
    const Experiment &ex = pb.experiments[e];
    period_parameters(pb, ex.periods[ex.n_periods - 1], w);
}

}  // namespace qv::petab_sim
