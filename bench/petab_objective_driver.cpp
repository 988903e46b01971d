// The objective of one PEtab problem timed two ways, linked with the problem's generated model:
// the NDF solver (qv::petab_sim::evaluate, what the programs run) and SUNDIALS CVODES on the same
// right-hand side and Jacobian, the same tolerances, output times, pre-equilibration rule and
// steady-state criterion (the logic of experiment_simulation.cpp with CVODES as the integrator:
// dense BDF, CVode in CV_NORMAL mode to each output time) and the same likelihood.
//
//   <program> PROBLEM.yaml [MIN_SECONDS [RTOL ATOL]]      (default 0.3 s, the problem's tolerances)
//
// Both evaluate at the nominal values of the problem's parameter table. Each is repeated until
// MIN_SECONDS have passed (at least once after a first, untimed evaluation); the median of the
// repeats is reported. Prints one line of tab-separated key=value fields:
//   states experiments measurements ours_ms cvodes_ms ours_reps cvodes_reps llh_ours llh_cvodes
//   failed_ours failed_cvodes ours_rhs ours_jac cvodes_rhs cvodes_jac cvodes_steps
//   [failure_ours= failure_cvodes=]
// RHS and Jacobian counts are of one evaluation, counted around the model's functions (the
// steady-state checks included); steps are CVODES' own count (the NDF solver's are not kept).
// Exit status 0, or 1 with a message.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include <cvodes/cvodes.h>
#include <nvector/nvector_serial.h>
#include <sundials/sundials_context.h>
#include <sunlinsol/sunlinsol_dense.h>
#include <sunmatrix/sunmatrix_dense.h>

#include "quorvant/petab/problem.h"
#include "quorvant/petab_sim/objective.h"

extern "C" const qv::petab_sim::Problem *qv_petab_problem();

namespace {

using qv::petab_sim::ObjectiveValue;
using qv::petab_sim::Period;
using qv::petab_sim::Problem;
using qv::petab_sim::Workspace;

// The steady-state rule of experiment_simulation.cpp: spans of 1, 10, 100, ... time units, up to
// 16 of them, until max_i |dy_i/dt| / (atol + rtol |y_i|) is below 1.
constexpr double kSteadyNorm = 1.0;
constexpr double kSteadyFirstSpan = 1.0;
constexpr double kSteadyGrowth = 10.0;
constexpr int kSteadyMaxSpans = 16;
// CVODES' limit of steps per output time (its default, 500, is far too low for the long spans of a
// pre-equilibration; the NDF solver has none).
constexpr long kCvodesMaxSteps = 100000000;
constexpr double kDefaultMinSeconds = 0.3;

// ---- Counting the model's functions -----------------------------------------------------------------
// A copy of the problem whose rhs and jac count their calls: used for one evaluation of each
// solver, never for the timed ones.
void (*original_rhs)(const double *, const double *, double *) = nullptr;
void (*original_jac)(const double *, const double *, double *) = nullptr;
long rhs_calls = 0, jac_calls = 0;

void counted_rhs(const double *P, const double *y, double *dydt) {
    ++rhs_calls;
    original_rhs(P, y, dydt);
}

void counted_jac(const double *P, const double *y, double *J) {
    ++jac_calls;
    original_jac(P, y, J);
}

Problem counted_problem(const Problem &pb) {
    original_rhs = pb.model.rhs;
    original_jac = pb.model.jac;
    Problem c = pb;
    c.model.rhs = counted_rhs;
    c.model.jac = counted_jac;
    return c;
}

// ---- The experiment simulation with CVODES --------------------------------------------------------

class CvodesObjective {
public:
    explicit CvodesObjective(const Problem &pb) : pb_(pb), n_(pb.model.n_states) {
        qv::petab_sim::prepare_workspace(pb, w_);
        size_t times = 1;
        for (int e = 0; e < pb.n_experiments; ++e)
            times = std::max(times, static_cast<size_t>(pb.experiments[e].n_times));
        times_.assign(times + 2, 0.0);
        raw_.assign((times + 2) * (static_cast<size_t>(n_) + 1), 0.0);
        y1_.assign(static_cast<size_t>(n_) + 1, 0.0);
        f1_.assign(static_cast<size_t>(n_) + 1, 0.0);
        jac_.assign(static_cast<size_t>(n_) * static_cast<size_t>(n_), 0.0);
        if (SUNContext_Create(nullptr, &ctx_) != 0) return;
        y_ = N_VNew_Serial(n_, ctx_);
        A_ = SUNDenseMatrix(n_, n_, ctx_);
        ls_ = SUNLinSol_Dense(y_, A_, ctx_);
        mem_ = CVodeCreate(CV_BDF, ctx_);
        if (y_ == nullptr || A_ == nullptr || ls_ == nullptr || mem_ == nullptr) return;
        N_VConst(0.0, y_);
        ready_ = CVodeInit(mem_, cv_rhs, 0.0, y_) == CV_SUCCESS &&
                 CVodeSStolerances(mem_, pb.rtol, pb.atol) == CV_SUCCESS &&
                 CVodeSetUserData(mem_, this) == CV_SUCCESS &&
                 CVodeSetLinearSolver(mem_, ls_, A_) == CV_SUCCESS && CVodeSetJacFn(mem_, cv_jac) == CV_SUCCESS &&
                 CVodeSetMaxNumSteps(mem_, kCvodesMaxSteps) == CV_SUCCESS &&
                 CVodeSetErrHandlerFn(mem_, quiet, nullptr) == CV_SUCCESS;
    }
    CvodesObjective(const CvodesObjective &) = delete;
    CvodesObjective &operator=(const CvodesObjective &) = delete;
    ~CvodesObjective() {
        if (mem_ != nullptr) CVodeFree(&mem_);
        if (ls_ != nullptr) SUNLinSolFree(ls_);
        if (A_ != nullptr) SUNMatDestroy(A_);
        if (y_ != nullptr) N_VDestroy(y_);
        if (ctx_ != nullptr) SUNContext_Free(&ctx_);
    }

    bool ready() const { return ready_; }
    long steps() const { return steps_; }
    const Workspace &workspace() const { return w_; }

    // The objective at the scaled values x, as qv::petab_sim::evaluate computes it.
    ObjectiveValue evaluate(const double *x) {
        ObjectiveValue v;
        Workspace &w = w_;
        for (int k = 0; k < pb_.n_theta; ++k) w.theta[static_cast<size_t>(k)] = qv::petab_sim::unscale(pb_.theta[k].scale, x[k]);
        for (int k = 0; k < pb_.n_theta; ++k) {
            const qv::petab_sim::Estimated &t = pb_.theta[k];
            if (!t.has_prior) continue;
            v.log_prior += qv::petab_runtime::log_prior(t.prior, t.prior_parameters, t.n_prior_parameters,
                                                        w.theta[static_cast<size_t>(k)], x[k], t.truncated,
                                                        t.lower_lin, t.upper_lin);
        }
        std::fill(w.simulated.begin(), w.simulated.end(), std::numeric_limits<double>::quiet_NaN());
        std::fill(w.sigma.begin(), w.sigma.end(), std::numeric_limits<double>::quiet_NaN());
        const size_t block = static_cast<size_t>(n_) + 1;
        for (int e = 0; e < pb_.n_experiments; ++e) {
            if (std::string msg = simulate(e); !msg.empty()) {
                if (v.failed++ == 0) {
                    v.failure = "experiment '";
                    v.failure += pb_.experiments[e].id;
                    v.failure += "': ";
                    v.failure += msg;
                }
                continue;
            }
            for (int i = w.data_start[static_cast<size_t>(e)]; i < w.data_start[static_cast<size_t>(e) + 1]; ++i) {
                const int d = w.data_order[static_cast<size_t>(i)];
                const qv::petab_sim::Datum &m = pb_.data[d];
                const int a = m.n_observable_parameters;
                for (int k = 0; k < a; ++k)
                    w.q[static_cast<size_t>(k)] = value_of(pb_, m.observable_parameters[k], w.theta.data(), w.P.data(), w.y.data());
                for (int k = 0; k < m.n_noise_parameters; ++k)
                    w.q[static_cast<size_t>(a + k)] = value_of(pb_, m.noise_parameters[k], w.theta.data(), w.P.data(), w.y.data());
                const double *y = w.outputs.data() + static_cast<size_t>(m.time) * block;
                double value = 0.0, sigma = 0.0;
                pb_.model.observe(m.observable, w.P.data(), y, w.q.data(), &value, &sigma);
                w.simulated[static_cast<size_t>(d)] = value;
                w.sigma[static_cast<size_t>(d)] = sigma;
                v.llh += qv::petab_runtime::log_likelihood(m.value, value, sigma, m.transform, m.noise);
                v.chi2 += qv::petab_runtime::chi2_term(m.value, value, sigma, m.transform);
            }
        }
        if (v.failed > 0 || std::isnan(v.llh)) v.llh = -std::numeric_limits<double>::infinity();
        return v;
    }

private:
    const Problem &pb_;
    int n_;
    Workspace w_;
    std::vector<double> times_, raw_, y1_, f1_, jac_;
    SUNContext ctx_ = nullptr;
    N_Vector y_ = nullptr;
    SUNMatrix A_ = nullptr;
    SUNLinearSolver ls_ = nullptr;
    void *mem_ = nullptr;
    bool ready_ = false;
    long steps_ = 0;

    static void quiet(int, const char *, const char *, char *, void *) {}

    // The generated functions take 1-based states; a non-finite rate is a recoverable error (CVODES
    // retries with a smaller step, and fails at the first evaluation, as the NDF solver does).
    static int cv_rhs(sunrealtype, N_Vector y, N_Vector ydot, void *user) {
        auto &s = *static_cast<CvodesObjective *>(user);
        const double *yv = N_VGetArrayPointer(y);
        double *f = N_VGetArrayPointer(ydot);
        std::copy(yv, yv + s.n_, s.y1_.begin() + 1);
        s.pb_.model.rhs(s.w_.P.data(), s.y1_.data(), s.f1_.data());
        std::copy(s.f1_.begin() + 1, s.f1_.begin() + 1 + s.n_, f);
        for (int i = 0; i < s.n_; ++i)
            if (!std::isfinite(f[i])) return 1;
        return 0;
    }

    // The model's Jacobian is row-major, CVODES' dense matrix column-major.
    static int cv_jac(sunrealtype, N_Vector y, N_Vector, SUNMatrix J, void *user, N_Vector, N_Vector, N_Vector) {
        auto &s = *static_cast<CvodesObjective *>(user);
        const int n = s.n_;
        const double *yv = N_VGetArrayPointer(y);
        std::copy(yv, yv + n, s.y1_.begin() + 1);
        std::fill(s.jac_.begin(), s.jac_.end(), 0.0);
        s.pb_.model.jac(s.w_.P.data(), s.y1_.data(), s.jac_.data());
        double *cols = SM_DATA_D(J);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                cols[static_cast<size_t>(j) * static_cast<size_t>(n) + static_cast<size_t>(i)] =
                    s.jac_[static_cast<size_t>(i) * static_cast<size_t>(n) + static_cast<size_t>(j)];
        return 0;
    }

    // From w.y at times[0] through times[1..count-1]: the state at each time into out (1-based blocks
    // of n + 1, block k for times[k]), w.y the state at the last. The integrator starts afresh, as
    // the NDF solver does for each of its solves.
    std::string run(const double *times, int count, double *out) {
        if (count < 2) return "";
        double *yv = N_VGetArrayPointer(y_);
        std::copy(w_.y.begin() + 1, w_.y.begin() + 1 + n_, yv);
        if (CVodeReInit(mem_, times[0], y_) != CV_SUCCESS) return "the solver failed";
        std::string msg;
        for (int k = 1; k < count && msg.empty(); ++k) {
            sunrealtype t = times[0];
            if (CVode(mem_, times[k], y_, &t, CV_NORMAL) < 0) msg = "the solver failed";
            else if (out != nullptr)
                std::copy(yv, yv + n_, out + static_cast<size_t>(k) * static_cast<size_t>(n_ + 1) + 1);
        }
        long nst = 0;
        CVodeGetNumSteps(mem_, &nst);
        steps_ += nst;
        if (!msg.empty()) return msg;
        std::copy(yv, yv + n_, w_.y.begin() + 1);
        for (int i = 1; i <= n_; ++i)
            if (!std::isfinite(w_.y[static_cast<size_t>(i)])) return "the state is not finite";
        return "";
    }

    double rate_norm() {
        pb_.model.rhs(w_.P.data(), w_.y.data(), f1_.data());
        double worst = 0.0;
        for (int i = 1; i <= n_; ++i) {
            if (i == pb_.model.time_index) continue;
            const double yi = w_.y[static_cast<size_t>(i)];
            worst = std::max(worst, std::fabs(f1_[static_cast<size_t>(i)]) / (pb_.atol + pb_.rtol * std::fabs(yi)));
        }
        return worst;
    }

    std::string steady_state(double t) {
        double span = kSteadyFirstSpan;
        for (int k = 0; k < kSteadyMaxSpans; ++k, span *= kSteadyGrowth) {
            const double times[2] = {t, t + span};
            if (std::string msg = run(times, 2, nullptr); !msg.empty()) return msg;
            t += span;
            if (rate_norm() < kSteadyNorm) return "";
        }
        return "no steady state was reached";
    }

    void period_parameters(const Period &period) {
        Workspace &w = w_;
        std::copy(pb_.base_params, pb_.base_params + pb_.model.n_params + 1, w.P.begin());
        std::fill(w.p_fixed.begin(), w.p_fixed.end(), 0);
        for (int k = 0; k < pb_.n_estimated_params; ++k) {
            const qv::petab_sim::ParamSet &s = pb_.estimated_params[k];
            w.P[static_cast<size_t>(s.param)] = value_of(pb_, s.value, w.theta.data(), w.P.data(), w.y.data());
            w.p_fixed[static_cast<size_t>(s.param)] = 1;
        }
        for (int k = 0; k < period.n_params; ++k) {
            const qv::petab_sim::ParamSet &s = period.params[k];
            const double v = value_of(pb_, s.value, w.theta.data(), w.P.data(), w.y.data());
            if (std::isnan(v)) continue;
            w.P[static_cast<size_t>(s.param)] = v;
            w.p_fixed[static_cast<size_t>(s.param)] = 1;
        }
    }

    // Experiment e, step for step as qv::petab_sim::simulate_experiment.
    std::string simulate(int e) {
        const qv::petab_sim::Experiment &ex = pb_.experiments[e];
        const qv::petab_sim::ModelCode &m = pb_.model;
        Workspace &w = w_;
        const int n = n_;

        // 1. The start state of the first period.
        const Period &first = ex.periods[0];
        period_parameters(first);
        std::fill(w.y_set.begin(), w.y_set.end(), std::numeric_limits<double>::quiet_NaN());
        for (int k = 0; k < first.n_states; ++k)
            w.y_set[static_cast<size_t>(first.states[k].state)] =
                value_of(pb_, first.states[k].value, w.theta.data(), w.P.data(), w.y.data());
        std::fill(w.y.begin(), w.y.end(), 0.0);
        m.start(w.P.data(), w.p_fixed.data(), w.y_set.data(), w.y.data());
        for (int i = 1; i <= n; ++i)
            if (!std::isfinite(w.y[static_cast<size_t>(i)])) return "the start state is not finite";

        // 2. A pre-equilibration, then the next period's parameters and start values.
        int p = 0;
        if (std::isinf(first.start) && first.start < 0) {
            w.y[static_cast<size_t>(m.time_index)] = 0.0;
            if (std::string msg = steady_state(0.0); !msg.empty()) return "pre-equilibration: " + msg;
            if (ex.n_periods < 2) return "";
            p = 1;
            const Period &next = ex.periods[1];
            period_parameters(next);
            for (int k = 0; k < next.n_states; ++k) {
                const double v = value_of(pb_, next.states[k].value, w.theta.data(), w.P.data(), w.y.data());
                if (!std::isnan(v)) m.set_state(next.states[k].state, v, w.P.data(), w.y.data());
            }
        }

        // 3. Period after period, the measurement times within it; the steady state last.
        const size_t block = static_cast<size_t>(n) + 1;
        std::vector<double> &times = times_;
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
            std::copy(w.y.begin(), w.y.end(), raw_.begin());
            if (std::string msg = run(times.data(), count, raw_.data()); !msg.empty()) return msg;
            int src = 0;
            for (int j = first_time; j < next_time; ++j) {
                while (src + 1 < measured && times[static_cast<size_t>(src)] < ex.times[j]) ++src;
                const double *from = raw_.data() + static_cast<size_t>(src) * block;
                std::copy(from, from + block, out.data() + static_cast<size_t>(j) * block);
            }
            if (last) break;
            t0 = end;
            w.y[static_cast<size_t>(m.time_index)] = t0;
            const Period &next = ex.periods[k + 1];
            for (int c = 0; c < next.n_params; ++c) {
                const double v = value_of(pb_, next.params[c].value, w.theta.data(), w.P.data(), w.y.data());
                if (!std::isnan(v)) w.P[static_cast<size_t>(next.params[c].param)] = v;
            }
            for (int c = 0; c < next.n_states; ++c) {
                const double v = value_of(pb_, next.states[c].value, w.theta.data(), w.P.data(), w.y.data());
                if (!std::isnan(v)) m.set_state(next.states[c].state, v, w.P.data(), w.y.data());
            }
        }
        if (next_time < ex.n_times) {
            const double from = ex.n_times > 0 && next_time > 0 ? std::max(t0, ex.times[next_time - 1]) : t0;
            if (std::string msg = steady_state(from); !msg.empty()) return "steady state: " + msg;
            for (int j = next_time; j < ex.n_times; ++j)
                std::copy(w.y.begin(), w.y.end(), out.data() + static_cast<size_t>(j) * block);
        }
        return "";
    }
};

// ---- Timing ---------------------------------------------------------------------------------------

struct Timing {
    double median_ms = 0.0;
    int repeats = 0;
};

// f() repeated until min_seconds have passed (at least once): the median time of one call.
template <class F>
Timing time_calls(F &&f, double min_seconds) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> ms;
    const auto start = Clock::now();
    do {
        const auto t0 = Clock::now();
        f();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    } while (std::chrono::duration<double>(Clock::now() - start).count() < min_seconds);
    std::sort(ms.begin(), ms.end());
    const size_t h = ms.size() / 2;
    Timing t;
    t.median_ms = ms.size() % 2 == 1 ? ms[h] : 0.5 * (ms[h - 1] + ms[h]);
    t.repeats = static_cast<int>(ms.size());
    return t;
}

// The nominal values of the estimated parameters, on their scale, in the order of the model's table.
std::string nominal_values(const std::string &yaml, const Problem &pb, std::vector<double> &x) {
    qv::petab::Problem problem;
    if (std::string msg = qv::petab::read_problem(yaml, problem); !msg.empty()) return msg;
    x.clear();
    for (int k = 0; k < pb.n_theta; ++k) {
        const int i = problem.find_parameter(pb.theta[k].id);
        if (i < 0 || !problem.parameters[static_cast<size_t>(i)].estimate) {
            std::string msg = yaml;
            msg += ": no estimated parameter '";
            msg += pb.theta[k].id;
            msg += "' in the parameter table";
            return msg;
        }
        const qv::petab::ProblemParameter &p = problem.parameters[static_cast<size_t>(i)];
        x.push_back(qv::petab::to_scale(p.scale, p.nominal));
    }
    return "";
}

std::string number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// A failure message as one field: no tabs or line breaks.
std::string field(std::string s) {
    std::replace(s.begin(), s.end(), '\t', ' ');
    std::replace(s.begin(), s.end(), '\n', ' ');
    return s;
}

// s as a number within [lo, hi].
bool number_arg(const char *s, double lo, double hi, double &out) {
    char *end = nullptr;
    out = std::strtod(s, &end);
    return end != s && *end == '\0' && out >= lo && out <= hi;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2 && argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: %s PROBLEM.yaml [MIN_SECONDS [RTOL ATOL]]\n", argv[0]);
        return 1;
    }
    double min_seconds = kDefaultMinSeconds;
    if (argc >= 3 && !number_arg(argv[2], 0.0, 3600.0, min_seconds)) {
        std::fprintf(stderr, "%s: MIN_SECONDS must be a number of seconds from 0 to 3600\n", argv[2]);
        return 1;
    }
    // Both solvers at other tolerances than the problem's, to see which converges where.
    Problem pb = *qv_petab_problem();
    if (argc == 5 && (!number_arg(argv[3], 1e-16, 1.0, pb.rtol) || !number_arg(argv[4], 0.0, 1.0, pb.atol))) {
        std::fprintf(stderr, "RTOL and ATOL must be numbers, RTOL in [1e-16, 1], ATOL in [0, 1]\n");
        return 1;
    }
    std::vector<double> x;
    if (std::string msg = nominal_values(argv[1], pb, x); !msg.empty()) {
        std::fprintf(stderr, "%s\n", msg.c_str());
        return 1;
    }

    // Ours: the library's objective, in its own workspace.
    Workspace w;
    qv::petab_sim::prepare_workspace(pb, w);
    const ObjectiveValue ours = qv::petab_sim::evaluate(pb, x.data(), w);
    const Timing ours_time = time_calls([&] { qv::petab_sim::evaluate(pb, x.data(), w); }, min_seconds);

    CvodesObjective cvodes(pb);
    if (!cvodes.ready()) {
        std::fprintf(stderr, "CVODES could not be set up for %d states\n", pb.model.n_states);
        return 1;
    }
    const ObjectiveValue theirs = cvodes.evaluate(x.data());
    const Timing cvodes_time = time_calls([&] { cvodes.evaluate(x.data()); }, min_seconds);

    // One counted evaluation of each.
    const Problem counted = counted_problem(pb);
    rhs_calls = jac_calls = 0;
    qv::petab_sim::evaluate(counted, x.data(), w);
    const long ours_rhs = rhs_calls, ours_jac = jac_calls;
    CvodesObjective cvodes_counted(counted);
    rhs_calls = jac_calls = 0;
    if (!cvodes_counted.ready()) return 1;
    cvodes_counted.evaluate(x.data());
    const long cvodes_rhs = rhs_calls, cvodes_jac = jac_calls;

    std::string line;
    auto put = [&line](const char *key, const std::string &value) {
        if (!line.empty()) line += '\t';
        line += key;
        line += '=';
        line += value;
    };
    put("states", std::to_string(pb.model.n_states));
    put("experiments", std::to_string(pb.n_experiments));
    put("measurements", std::to_string(pb.n_data));
    put("ours_ms", number(ours_time.median_ms));
    put("cvodes_ms", number(cvodes_time.median_ms));
    put("ours_reps", std::to_string(ours_time.repeats));
    put("cvodes_reps", std::to_string(cvodes_time.repeats));
    put("llh_ours", number(ours.llh));
    put("llh_cvodes", number(theirs.llh));
    put("failed_ours", std::to_string(ours.failed));
    put("failed_cvodes", std::to_string(theirs.failed));
    put("ours_rhs", std::to_string(ours_rhs));
    put("ours_jac", std::to_string(ours_jac));
    put("cvodes_rhs", std::to_string(cvodes_rhs));
    put("cvodes_jac", std::to_string(cvodes_jac));
    put("cvodes_steps", std::to_string(cvodes_counted.steps()));
    if (!ours.failure.empty()) put("failure_ours", field(ours.failure));
    if (!theirs.failure.empty()) put("failure_cvodes", field(theirs.failure));
    std::printf("%s\n", line.c_str());
    return 0;
}
