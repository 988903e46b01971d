// The Runge-Kutta time-course paths (SOLVER 1 fixed step, SOLVER 2 adaptive Cash-Karp): steps
// from t_start to t_end with the time events of the model file, and the rows on the sampling grid.
#include "quorvant/quorvant_baselib/dosolver1_2.h"

#include <algorithm>
#include <cmath>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/quorvant_baselib/init_time_solver.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/time_events.h"
#include "quorvant/solverlib/RungeKutta.h"
#include "quorvant/model.h"

namespace {

// A time-course run ends when the time left is below this fraction of the step: the step times
// are sums of Δt, and without the slack a sum that falls one rounding error short of t_end would
// take a whole extra step past the end (and write a row there).
constexpr double kEndSlack = 1e-6;

// Tolerance when placing t_start on the sampling grid Δm, 2Δm, ...: a start time that is a
// multiple of Δm up to rounding counts as on the grid.
constexpr double kGridSlack = 1e-9;

int stepFailed(bool fixedStep, double t) {
    log_sys(fixedStep ? "## Error at Time=%10.3E in NormalRungeKutta\n"
                      : "## Error at Time=%10.3E in AdaptiveRungeKutta\n",
            t);
    writeText("\n$$ Failure !!\n");
    log_sys("## Error!! in doSolver1_2\n");
    return -1;
}

}  // namespace

int doSolver1_2(const parameter &snap, double dt, double t_start, double t_end, double dm,
                double *y_init, double *y, double *y_pre) {
    double rate[qv::kStateSize] = {};   // y_add rates, zero at the start of every run
    bool ratesActive = false;
    beginRows();

    if (initTimeSolver(snap, y_init, y, y_pre) != 0) {
        log_sys("## Error!! in doSolver1_2\n");
        return -1;
    }
    write_start(y, t_start);

    const bool fixedStep = SolverNo == 1;
    const int n = Param.n_var;
    double h = dt;
    double t = t_start;
    long steps = 0;
    // The sample grid is Δm, 2Δm, ... counted from time 0; the first sample is the first grid
    // time after t_start (t_start itself is the row of write_start).
    double samples = t_start > 0 && dm > 0 ? std::floor(t_start / dm + kGridSlack) : 0.0;
    double nextSample = std::min(dm * (samples + 1), t_end);

    const auto arrived = [&] { return !(t_end - t > kEndSlack * h); };
    bool first = true;
    while (!arrived()) {
        const int f_event = timeEvent(y, rate, t, h, first ? 1 : 0);
        first = false;
        if (f_event) ratesActive = std::any_of(rate + 1, rate + n + 1, [](double r) { return r != 0.0; });

        // One step; after events the integrator re-establishes the algebraic variables first.
        const double t0 = t;
        const int rc = fixedStep ? SolveDiffEqNormalRungeKutta(n, y, y_pre, &t, &h, f_event)
                                 : SolveDiffEqAdaptiveRungeKutta(n, y, y_pre, &t, &h, t_end, f_event);
        if (rc != 0) return stepFailed(fixedStep, t);
        // Fixed steps: the time is counted, not summed, so it does not drift over long runs.
        if (fixedStep) t = t_start + static_cast<double>(++steps) * h;
        // The amount added is rate times the step just taken (the adaptive integrator hands back
        // the size of the next step in h).
        if (ratesActive) applyAdditionRates(y, rate, t - t0);

        reportNegative(t, y);
        // A sample time is taken by the first step that passes its half-step test. The last
        // sample, t_end itself, is taken when the run has arrived there: an adaptive step is
        // clipped to land on t_end, and the step before it would otherwise take that sample too.
        const bool due = nextSample < t_end ? t + h / 2 > nextSample : arrived();
        if (due) {
            emitRow(t, y);
            samples += 1;
            nextSample = std::min(dm * (samples + 1), t_end);
        }
    }
    return 0;
}
