// One experiment simulated with the stiff solver, optionally with the forward sensitivities of
// its states with respect to the estimated parameters. The solver's callbacks carry no context,
// so the model and the parameters of the simulation under way are this file's state: one
// simulation at a time per process, as everywhere in the programs.
//
// The sensitivities follow the states through every stage. The integration carries them exactly
// (ndf_sensitivity.h, with the generated derivatives of the right-hand sides by the parameters).
// The algebraic stages between integrations (the parameters of a period, the start state from
// them, the start values a period sets) are differentiated by central differences in theta: they
// are cheap, and their values do not go through a solver whose error would spoil the quotient.
#include <algorithm>
#include <cmath>
#include <limits>

#include "quorvant/ndflib/ndf.h"
#include "quorvant/ndflib/ndf_roots.h"
#include "quorvant/ndflib/ndf_sensitivity.h"
#include "quorvant/ndflib/trigger_search.h"
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
// Relative step of the central differences of the algebraic stages, on max(|theta|, this floor).
constexpr double kStageStep = 1.0e-6;
constexpr double kStageFloor = 1.0e-3;
// Accepted steps after which one integration gives up: at a point of the search where the model is
// too stiff to integrate the evaluation fails instead of taking minutes.
constexpr long kMaxSteps = 100000;

const ModelCode *current_model = nullptr;
const double *current_P = nullptr;
Sensitivities *current_sens = nullptr;
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

int problem_triggers(double t, double *y, int *on, double *g) {
    const int n = current_model->n_states;
    std::copy(y, y + n, y1.begin() + 1);
    current_model->event_triggers(t, y1.data(), current_P, on, g);
    return 0;
}

// The model's events for the event machine: its functions on the parameters of the experiment.
struct EventContext {
    const ModelCode *model;
    const double *P;
};
void event_triggers(void *c, double t, const double *y, int *on, double *g) {
    const auto &x = *static_cast<const EventContext *>(c);
    x.model->event_triggers(t, y, x.P, on, g);
}
double event_delay(void *c, int k, double t, const double *y) {
    const auto &x = *static_cast<const EventContext *>(c);
    return x.model->event_delay(k, t, y, x.P);
}
double event_priority(void *c, int k, double t, const double *y) {
    const auto &x = *static_cast<const EventContext *>(c);
    return x.model->event_priority(k, t, y, x.P);
}
void event_values(void *c, int k, double t, const double *y, double *v) {
    const auto &x = *static_cast<const EventContext *>(c);
    x.model->event_values(k, t, y, x.P, v);
}
void event_assign(void *c, int k, const double *v, double *y) {
    const auto &x = *static_cast<const EventContext *>(c);
    x.model->event_assign(k, v, y, x.P);
}

// df/dtheta_j = sum over the entries of d f / d P[slot] · d P[slot] / d theta_j.
void parameter_rates(const ModelCode &m, const double *P, const double *y1based, Sensitivities &s, double *fp) {
    const size_t n = static_cast<size_t>(m.n_states), mm = static_cast<size_t>(s.m);
    std::fill(fp, fp + n * mm, 0.0);
    if (m.n_dfdp == 0) return;
    m.dfdp(P, y1based, s.fpv.data());
    for (int e = 0; e < m.n_dfdp; ++e) {
        const size_t k = static_cast<size_t>(m.dfdp_slot[e]);
        if (!s.active[k]) continue;
        const double v = s.fpv[static_cast<size_t>(e)];
        const double *dp = s.dP.data() + k * mm;
        const size_t row = static_cast<size_t>(m.dfdp_row[e]);
        for (size_t j = 0; j < mm; ++j) fp[j * n + row] += v * dp[j];
    }
}

int problem_parameter_rates(double /*t*/, double *y, double *fp) {
    const int n = current_model->n_states;
    std::copy(y, y + n, y1.begin() + 1);
    parameter_rates(*current_model, current_P, y1.data(), *current_sens, fp);
    for (size_t i = 0; i < static_cast<size_t>(n) * static_cast<size_t>(current_sens->m); ++i)
        if (!std::isfinite(fp[i])) return -1;
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
    Integrator(const Problem &pb, Workspace &w, Sensitivities *sens)
        : pb_(pb), w_(w), sens_(sens), n_(pb.model.n_states) {
        ndf_init(&opt_);
        opt_.tol.rel = pb.rtol;
        opt_.tol.abs = pb.atol;
        opt_.jac.jfunc = problem_jacobian;
        opt_.dae.singular = 1;
        current_model = &pb.model;
        current_P = w.P.data();
        current_sens = sens;
        y1.assign(static_cast<size_t>(n_) + 1, 0.0);
        f1.assign(static_cast<size_t>(n_) + 1, 0.0);
        const ModelCode &m = pb.model;
        if (m.n_events > 0) {
            context_ = {&m, w.P.data()};
            events_ = {m.n_events, m.events, &context_, event_triggers, event_delay, event_priority, event_values, event_assign};
        }
    }

    bool has_events() const { return pb_.model.n_events > 0; }

    // The model's events from time t on (those due at t fire now).
    std::string begin_events(double t) {
        bool fired = false;
        if (w_.events.begin(events_, t, w_.y.data(), &fired) != 0) return "events: " + w_.events.error();
        events_on_ = true;
        return "";
    }
    // What changed at time t outside the integration (a new period) may trigger events.
    std::string events_at(double t) {
        bool fired = false;
        const int *before = before_end_ ? w_.on_before.data() : nullptr;
        before_end_ = false;
        if (events_on_ && w_.events.stop(t, w_.y.data(), before, &fired) != 0) return "events: " + w_.events.error();
        return "";
    }

    // From w.y at times[0] through times[1..count-1]: the state at each time into out (1-based
    // blocks of n + 1), w.y the state at the last; with sensitivities also theirs (from sens->s)
    // into sens->raw (m blocks per time) and sens->s. With events the integration stops where
    // they fire; an output at such a time is the state after them.
    // With fire_at_end false, events that fall due at the last time are left to the caller (a
    // period's end, where the next period's changes apply first).
    std::string run(double *times, int count, double *out, bool fire_at_end = true) {
        if (count < 2) return "";
        if (events_on_) return run_with_events(times, count, out, fire_at_end);
        Solution s, ss;
        if (std::string msg = solve(times, count, s, ss, nullptr); !msg.empty()) return msg;
        const double reached = s.sol.tt[s.sol.tnum - 1];
        if (!(std::fabs(reached - times[count - 1]) <= 1e-9 * std::max(1.0, std::fabs(times[count - 1]))))
            return "the solver stopped before the last time";
        if (out != nullptr) {
            if (count > 2 && s.sol.tnum != count) return "the solver did not give every output time";
            for (int k = 1; k < count; ++k) store(s, ss, count > 2 ? k : s.sol.tnum - 1, out, k);
        }
        return take_last(s, ss);
    }


private:
    const Problem &pb_;
    Workspace &w_;
    Sensitivities *sens_;
    int n_;
    _ndf_option opt_{};
    EventContext context_{};
    qv::events::EventModel events_{};
    bool events_on_ = false;
    bool before_end_ = false;   // w.on_before holds the triggers just before a period's end

    size_t nm() const { return sens_ != nullptr ? static_cast<size_t>(n_) * static_cast<size_t>(sens_->m) : 0; }

    // One solver call from w.y (and sens->s) over times[0..count-1].
    std::string solve(double *times, int count, Solution &s, Solution &ss, _ndf_roots *roots) {
        _ndf_input in{count, times, n_, w_.y.data() + 1};
        _ndf_status stats{};
        int rc = 0;
        if (sens_ != nullptr) {
            _ndf_sensitivity sv{};
            sv.num = sens_->m;
            sv.s0 = sens_->s.data();
            sv.pfunc = problem_parameter_rates;
            sv.errcon = sens_->error_control ? 1 : 0;
            sv.jnnz = pb_.model.n_jac;
            sv.jindex = pb_.model.jac_index;
            rc = roots != nullptr ? ndf_solve_roots(&in, &s.sol, problem_rhs, &opt_, &stats, roots, &sv, kMaxSteps)
                                  : ndf_solve_sens(&in, &s.sol, problem_rhs, &opt_, &stats, &sv, kMaxSteps);
            ss.sol = sv.sol;
            sens_->factorisations += sv.nfactor;
        } else {
            rc = roots != nullptr ? ndf_solve_roots(&in, &s.sol, problem_rhs, &opt_, &stats, roots, nullptr, kMaxSteps)
                                  : ndf_solve_limited(&in, &s.sol, problem_rhs, &opt_, &stats, kMaxSteps);
        }
        if (rc != 0 || s.sol.tnum < 1) return "the solver failed";
        if (sens_ != nullptr && ss.sol.tnum != s.sol.tnum) return "the solver lost the sensitivities";
        return "";
    }

    // Point p of a solution as output k.
    void store(const Solution &s, const Solution &ss, int p, double *out, int k) {
        if (out == nullptr) return;
        const double *src = s.sol.yy + static_cast<size_t>(p) * static_cast<size_t>(n_);
        std::copy(src, src + n_, out + static_cast<size_t>(k) * static_cast<size_t>(n_ + 1) + 1);
        if (sens_ != nullptr) {
            const double *sp = ss.sol.yy + static_cast<size_t>(p) * nm();
            std::copy(sp, sp + nm(), sens_->raw.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(k) * nm()));
        }
    }
    // The current state (after the events of this instant) as output k.
    void store_current(double *out, int k) {
        if (out == nullptr) return;
        std::copy(w_.y.begin() + 1, w_.y.begin() + 1 + n_, out + static_cast<size_t>(k) * static_cast<size_t>(n_ + 1) + 1);
        if (sens_ != nullptr)
            std::copy(sens_->s.begin(), sens_->s.end(), sens_->raw.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(k) * nm()));
    }
    // The solution's last point becomes w.y (and sens->s).
    std::string take_last(const Solution &s, const Solution &ss) {
        const double *last = s.sol.yy + static_cast<size_t>(s.sol.tnum - 1) * static_cast<size_t>(n_);
        std::copy(last, last + n_, w_.y.begin() + 1);
        for (int i = 1; i <= n_; ++i)
            if (!std::isfinite(w_.y[static_cast<size_t>(i)])) return "the state is not finite";
        if (sens_ != nullptr) {
            const double *sl = ss.sol.yy + static_cast<size_t>(ss.sol.tnum - 1) * nm();
            std::copy(sl, sl + nm(), sens_->s.begin());
        }
        return "";
    }

    // Solver calls from stop to stop: a call ends at a watched trigger change, at the next due
    // delayed firing or at the last time.
    std::string run_with_events(double *times, int count, double *out, bool fire_at_end) {
        qv::events::EventMachine &ev = w_.events;
        before_end_ = false;
        const double end = times[count - 1];
        double from = times[0];
        int next = 1;   // first output not yet given
        for (;;) {
            const double due = ev.nextDue();
            const double to = std::min(end, due);
            const double tol = qv::ndf::trigger_time_tolerance(to, to - from);
            for (; next < count && times[next] <= from + tol; ++next) store_current(out, next);
            if (!(to - from > tol)) {
                if (!(due <= end) || (!fire_at_end && !(end - due > tol))) return "";
                bool fired = false;
                if (ev.stop(std::max(from, due), w_.y.data(), nullptr, &fired) != 0) return "events: " + ev.error();
                from = std::max(from, due);
                continue;
            }
            int c = 0;
            w_.call[static_cast<size_t>(c++)] = from;
            for (int j = next; j < count && times[j] < to - tol; ++j) w_.call[static_cast<size_t>(c++)] = times[j];
            w_.call[static_cast<size_t>(c++)] = to;
            _ndf_roots roots{ev.count(), problem_triggers, ev.watch(), 0, 0.0, w_.on_before.data(), 0};
            Solution s, ss;
            if (std::string msg = solve(w_.call.data(), c, s, ss, &roots); !msg.empty()) return msg;
            const int last = s.sol.tnum - 1;
            if (c > 2)
                for (int p = 1; p < last && next < count; ++p) store(s, ss, p, out, next++);
            if (std::string msg = take_last(s, ss); !msg.empty()) return msg;
            const double t = s.sol.tt[last];
            const bool at_end = !(end - t > qv::ndf::trigger_time_tolerance(end, end - from));
            if (at_end && !fire_at_end) {
                // The triggers just before the end, for the caller's events_at.
                before_end_ = true;
                return "";
            }
            if (roots.found || to == due) {
                bool fired = false;
                if (ev.stop(t, w_.y.data(), roots.found ? w_.on_before.data() : nullptr, &fired) != 0)
                    return "events: " + ev.error();
            } else if (!(std::fabs(t - to) <= 1e-9 * std::max(1.0, std::fabs(to)))) {
                return "the solver stopped before the last time";
            }
            from = t;
        }
    }

    // From w.y at time t until every rate of change is zero within the tolerances (and so are
    // those of the sensitivities, when they are integrated too).
public:
    // From w.y at time t until every rate of change is zero within the tolerances (and so are
    // those of the sensitivities, when they are integrated too); events fire meanwhile.
    std::string steady_state(double t) {
        double span = kSteadyFirstSpan;
        for (int k = 0; k < kSteadyMaxSpans; ++k, span *= kSteadyGrowth) {
            double times[2] = {t, t + span};
            if (std::string msg = run(times, 2, nullptr); !msg.empty()) return msg;
            t += span;
            if (rate_norm() < kSteadyNorm && sensitivity_rate_norm() < kSteadyNorm) return "";
        }
        return "no steady state was reached";
    }

private:

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

    // The rates J s + df/dtheta of each block against the tolerances, relative to the block's size.
    double sensitivity_rate_norm() {
        if (sens_ == nullptr) return 0.0;
        Sensitivities &s = *sens_;
        const size_t n = static_cast<size_t>(n_);
        std::fill(s.jac.begin(), s.jac.end(), 0.0);
        pb_.model.jac(w_.P.data(), w_.y.data(), s.jac.data());
        parameter_rates(pb_.model, w_.P.data(), w_.y.data(), s, s.fp.data());
        double worst = 0.0;
        for (size_t j = 0; j < static_cast<size_t>(s.m); ++j) {
            const double *sj = s.s.data() + j * n;
            double big = 0.0;
            for (size_t i = 0; i < n; ++i) big = std::max(big, std::fabs(sj[i]));
            for (size_t i = 0; i < n; ++i) {
                double rate = s.fp[j * n + i];
                for (size_t c = 0; c < n; ++c) rate += s.jac[i * n + c] * sj[c];
                worst = std::max(worst, std::fabs(rate) / (pb_.atol + pb_.rtol * big));
            }
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

// The algebraic stages between integrations. Each reads w.theta and w.y (the state before it) and
// changes w.P and w.y; the central differences run them on a copy with a shifted theta.
enum class Stage {
    Start,      // the first period: its parameters and the start state from them
    Enter,      // the period after a pre-equilibration: its parameters, then the values it sets
    Continue,   // a later period: the parameters and values it changes
};

void run_stage(const Problem &pb, Stage stage, const Period &period, Workspace &w) {
    const ModelCode &m = pb.model;
    switch (stage) {
    case Stage::Start:
        period_parameters(pb, period, w);
        std::fill(w.y_set.begin(), w.y_set.end(), std::numeric_limits<double>::quiet_NaN());
        for (int k = 0; k < period.n_states; ++k)
            w.y_set[static_cast<size_t>(period.states[k].state)] = value_of(pb, period.states[k].value, w.theta.data(), w.P.data(), w.y.data());
        std::fill(w.y.begin(), w.y.end(), 0.0);
        m.start(w.P.data(), w.p_fixed.data(), w.y_set.data(), w.y.data());
        return;
    case Stage::Enter:
        period_parameters(pb, period, w);
        break;
    case Stage::Continue:
        for (int c = 0; c < period.n_params; ++c) {
            const double v = value_of(pb, period.params[c].value, w.theta.data(), w.P.data(), w.y.data());
            if (!std::isnan(v)) w.P[static_cast<size_t>(period.params[c].param)] = v;
        }
        break;
    }
    for (int c = 0; c < period.n_states; ++c) {
        const double v = value_of(pb, period.states[c].value, w.theta.data(), w.P.data(), w.y.data());
        if (!std::isnan(v)) m.set_state(period.states[c].state, v, w.P.data(), w.y.data());
    }
}

// A stage run on w, with the sensitivities carried through it: the parameters and states it sets
// get their derivatives by central differences; the others keep theirs.
void run_stage(const Problem &pb, Stage stage, const Period &period, Workspace &w, Sensitivities *sens) {
    if (sens == nullptr) {
        run_stage(pb, stage, period, w);
        return;
    }
    Sensitivities &s = *sens;
    Workspace &fd = s.fd;
    const size_t n = static_cast<size_t>(pb.model.n_states), np1 = w.P.size(), mm = static_cast<size_t>(s.m);
    // What the stage sets: every parameter after a start or on entering a period (both compute
    // them afresh), every state after a start, otherwise what the period names.
    std::fill(s.p_sets.begin(), s.p_sets.end(), stage == Stage::Continue ? 0 : 1);
    std::fill(s.y_sets.begin(), s.y_sets.end(), stage == Stage::Start ? 1 : 0);
    // (A NaN value keeps what was there: then nothing is set.)
    if (stage == Stage::Continue)
        for (int c = 0; c < period.n_params; ++c)
            if (!std::isnan(value_of(pb, period.params[c].value, w.theta.data(), w.P.data(), w.y.data())))
                s.p_sets[static_cast<size_t>(period.params[c].param)] = 1;
    if (stage != Stage::Start)
        for (int c = 0; c < period.n_states; ++c)
            if (!std::isnan(value_of(pb, period.states[c].value, w.theta.data(), w.P.data(), w.y.data())))
                s.y_sets[static_cast<size_t>(period.states[c].state)] = 1;
    std::copy(w.P.begin(), w.P.end(), s.in_P.begin());
    std::copy(w.y.begin(), w.y.end(), s.in_y.begin());
    run_stage(pb, stage, period, w);
    for (size_t j = 0; j < mm; ++j) {
        const double t = w.theta[j];
        const double h = kStageStep * std::max(std::fabs(t), kStageFloor);
        for (int side = 0; side < 2; ++side) {
            // Along theta_j and, but for a start, along the inputs' own derivatives by it: the
            // difference is then the whole derivative d/dtheta_j of what the stage sets, the
            // part through its inputs (a value A + 5 of a condition) included.
            const double step = side == 0 ? h : -h;
            std::copy(w.theta.begin(), w.theta.end(), fd.theta.begin());
            fd.theta[j] = t + step;
            std::copy(s.in_P.begin(), s.in_P.end(), fd.P.begin());
            std::copy(s.in_y.begin(), s.in_y.end(), fd.y.begin());
            if (stage != Stage::Start) {
                for (size_t k = 1; k < np1; ++k) fd.P[k] += step * s.dP[k * mm + j];
                for (size_t i = 1; i <= n; ++i) fd.y[i] += step * s.s[j * n + i - 1];
            }
            run_stage(pb, stage, period, fd);
            if (side == 0) {
                std::copy(fd.P.begin(), fd.P.end(), s.plus_P.begin());
                std::copy(fd.y.begin(), fd.y.end(), s.plus_y.begin());
            }
        }
        const double inv = 1.0 / (2.0 * h);
        for (size_t k = 1; k < np1; ++k)
            if (s.p_sets[k]) s.dP[k * mm + j] = (s.plus_P[k] - fd.P[k]) * inv;
        for (size_t i = 1; i <= n; ++i)
            if (s.y_sets[i]) s.s[j * n + i - 1] = (s.plus_y[i] - fd.y[i]) * inv;
    }
    s.active_list.clear();
    for (size_t k = 0; k < np1; ++k) {
        bool any = false;
        for (size_t j = 0; j < mm && !any; ++j) any = s.dP[k * mm + j] != 0.0;
        s.active[k] = any ? 1 : 0;
        if (any) s.active_list.push_back(static_cast<int>(k));
    }
}

}  // namespace

void prepare_sensitivities(const Problem &pb, Sensitivities &s) {
    prepare_workspace(pb, s.fd);
    const size_t n = static_cast<size_t>(pb.model.n_states), m = static_cast<size_t>(pb.n_theta);
    size_t times = 1;
    for (int e = 0; e < pb.n_experiments; ++e) times = std::max(times, static_cast<size_t>(pb.experiments[e].n_times));
    s.m = pb.n_theta;
    s.s.assign(n * m, 0.0);
    s.outputs.assign(times * n * m, 0.0);
    s.raw.assign((times + 1) * n * m, 0.0);
    s.dP.assign((static_cast<size_t>(pb.model.n_params) + 1) * m, 0.0);
    s.active.assign(static_cast<size_t>(pb.model.n_params) + 1, 0);
    s.active_list.reserve(static_cast<size_t>(pb.model.n_params) + 1);
    s.fp.assign(n * m, 0.0);
    s.fpv.assign(static_cast<size_t>(std::max(pb.model.n_dfdp, 1)), 0.0);
    s.jac.assign(n * n, 0.0);
    const size_t np1 = static_cast<size_t>(pb.model.n_params) + 1;
    s.p_sets.assign(np1, 0);
    s.y_sets.assign(n + 1, 0);
    s.in_P.assign(np1, 0.0);
    s.plus_P.assign(np1, 0.0);
    s.in_y.assign(n + 1, 0.0);
    s.plus_y.assign(n + 1, 0.0);
}

std::string simulate_experiment(const Problem &pb, int e, Workspace &w) { return simulate_experiment(pb, e, w, nullptr); }

std::string simulate_experiment(const Problem &pb, int e, Workspace &w, Sensitivities *sens) {
    const Experiment &ex = pb.experiments[e];
    const ModelCode &m = pb.model;
    const int n = m.n_states;
    const size_t nm = sens != nullptr ? static_cast<size_t>(n) * static_cast<size_t>(sens->m) : 0;
    Integrator integrator(pb, w, sens);

    // 1. The start state of the first period.
    const Period &first = ex.periods[0];
    run_stage(pb, Stage::Start, first, w, sens);
    for (int i = 1; i <= n; ++i)
        if (!std::isfinite(w.y[static_cast<size_t>(i)])) return "the start state is not finite";

    // 2. A pre-equilibration, then the next period's parameters and the start values it sets; the
    // other states continue from the steady state.
    int p = 0;
    bool pre = false;
    // The model's events run from the start of the pre-equilibration, or of the first period, on;
    // what they triggered during the pre-equilibration stays triggered.
    if (std::isinf(first.start) && first.start < 0) {
        w.y[static_cast<size_t>(m.time_index)] = 0.0;
        if (integrator.has_events())
            if (std::string msg = integrator.begin_events(0.0); !msg.empty()) return "pre-equilibration: " + msg;
        if (std::string msg = integrator.steady_state(0.0); !msg.empty()) return "pre-equilibration: " + msg;
        pre = true;
        // Without a later period the experiment goes on from the steady state at time 0.
        if (ex.n_periods >= 2) {
            p = 1;
            run_stage(pb, Stage::Enter, ex.periods[1], w, sens);
        }
    }

    // 3. Period after period: the measurement times within it (a time at which the next period
    // starts belongs to the next one), then the state at its end, where the next period's changes
    // apply on top of what the earlier ones set. The steady state last, where one is measured.
    const size_t block = static_cast<size_t>(n) + 1;
    std::vector<double> &times = w.times;
    std::vector<double> &out = w.outputs;
    double t0 = pre && p == 0 ? 0.0 : ex.periods[p].start;
    w.y[static_cast<size_t>(m.time_index)] = t0;
    if (integrator.has_events() && !pre)
        if (std::string msg = integrator.begin_events(t0); !msg.empty()) return msg;
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
        if (sens != nullptr) std::copy(sens->s.begin(), sens->s.end(), sens->raw.begin());
        if (std::string msg = integrator.run(times.data(), count, w.raw.data(), last); !msg.empty()) return msg;
        int src = 0;
        for (int j = first_time; j < next_time; ++j) {
            while (src + 1 < measured && times[static_cast<size_t>(src)] < ex.times[j]) ++src;
            const double *from = w.raw.data() + static_cast<size_t>(src) * block;
            std::copy(from, from + block, out.data() + static_cast<size_t>(j) * block);
            if (sens != nullptr) {
                const double *sf = sens->raw.data() + static_cast<size_t>(src) * nm;
                std::copy(sf, sf + nm, sens->outputs.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(j) * nm));
            }
        }
        if (last) break;
        t0 = end;
        w.y[static_cast<size_t>(m.time_index)] = t0;
        run_stage(pb, Stage::Continue, ex.periods[k + 1], w, sens);
        if (std::string msg = integrator.events_at(t0); !msg.empty()) return msg;
    }
    if (next_time < ex.n_times) {
        const double from = ex.n_times > 0 && next_time > 0 ? std::max(t0, ex.times[next_time - 1]) : t0;
        if (std::string msg = integrator.steady_state(from); !msg.empty()) return "steady state: " + msg;
        for (int j = next_time; j < ex.n_times; ++j) {
            std::copy(w.y.begin(), w.y.end(), out.data() + static_cast<size_t>(j) * block);
            if (sens != nullptr)
                std::copy(sens->s.begin(), sens->s.end(), sens->outputs.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(j) * nm));
        }
    }
    return "";
}

void experiment_parameters(const Problem &pb, int e, const double *x, Workspace &w) {
    for (int k = 0; k < pb.n_theta; ++k) w.theta[static_cast<size_t>(k)] = unscale(pb.theta[k].scale, x[k]);
    const Experiment &ex = pb.experiments[e];
    period_parameters(pb, ex.periods[ex.n_periods - 1], w);
}

}  // namespace qv::petab_sim
