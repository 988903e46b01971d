// The Runge-Kutta time-course paths (SOLVER 1 fixed step, SOLVER 2 adaptive Cash-Karp): steps
// from t_start to t_end with the time events of the model file, and the rows on the sampling grid.
// In a model with events the triggers are looked at after every step; a watched change inside a
// step is located by partial steps of the same method from the step's start, the run stops there,
// fires what is due and goes on (a fixed step first completes the step it cut, back onto its grid).
#include "quorvant/quorvant_baselib/dosolver1_2.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/trigger_search.h"
#include "quorvant/quorvant_baselib/init_time_solver.h"
#include "quorvant/quorvant_baselib/model_event_machine.h"
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

// The state after a part s of the step from (t0, y0): the same method over the shorter step.
struct PartialStep {
    bool fixedStep = true;
    int n = 0;
    double t0 = 0.0;
    const double *rate = nullptr;   // addition rates in force, or null
    std::vector<double> y0, dydt0, y, yerr;

    const double *at(double t) {
        const double s = t - t0;
        if (fixedStep) {
            std::copy(y0.begin(), y0.end(), y.begin());
            normalRungeKutta(y.data(), dydt0.data(), n, t0, s);
        } else {
            cash_karpRungeKutta(y0.data(), dydt0.data(), n, t0, s, y.data(), yerr.data());
        }
        if (rate != nullptr) applyAdditionRates(y.data(), rate, s);
        return y.data();
    }
};

int triggersAt(void *ctx, double t, int *on, double *g) {
    auto &ps = *static_cast<PartialStep *>(ctx);
    return ModelEventMachine::triggers(t, ps.at(t), on, g);
}

// The model's events over one run: the triggers at the start of the current step, and the search.
struct StepEvents {
    ModelEventMachine machine;
    PartialStep step;
    qv::ndf::TriggerSearch search;
    qv::ndf::TriggerPoint before, after;
    std::vector<double> rowBefore;   // the state just before a stop, for its row

    int begin(bool fixedStep, int n, double t, double *y, bool *fired) {
        try {
            const auto size = static_cast<std::size_t>(n) + 1;
            for (auto *v : {&step.y0, &step.dydt0, &step.y, &step.yerr, &rowBefore}) v->assign(size, 0.0);
        } catch (const std::bad_alloc &) {
            log_sys("## Error!! no memory for the events of the model\n");
            return -1;
        }
        step.fixedStep = fixedStep;
        step.n = n;
        if (machine.begin(t, y, fired) != 0) return -1;
        const int num = machine.count();
        search.resize(num);
        before.resize(num);
        after.resize(num);
        return look(t, y);
    }
    // The triggers at the start of the next step.
    int look(double t, const double *y) {
        before.t = t;
        return ModelEventMachine::triggers(t, y, before.on.data(), before.g.data());
    }
    // Before a step from (t, y).
    void keepStart(double t, const double *y) {
        step.t0 = t;
        std::copy(y, y + step.n + 1, step.y0.begin());
    }
    // After the step from keepStart's point to (*t, y): where a watched trigger changed or a
    // delayed firing fell due inside it, moves (*t, y) back to that instant and fires what is due
    // there. *stopped: whether the step was cut short; *fired: whether events assigned anything
    // (then the rows before and after are written). Returns 0, or -1 after a message.
    int afterStep(double *t, double *y, const double *rate, bool *stopped, bool *fired);
};

int StepEvents::afterStep(double *t, double *y, const double *rate, bool *stopped, bool *fired) {
    *stopped = *fired = false;
    const int num = machine.count();
    const double t0 = step.t0, t1 = *t;
    after.t = t1;
    if (ModelEventMachine::triggers(t1, y, after.on.data(), after.g.data()) != 0) return -1;
    const int *watch = machine.watch();
    double at = t1;
    bool stop = false;
    const int *onBefore = before.on.data();
    // The derivative at the step's start, which the partial steps need (only where they are).
    bool ready = false;
    const auto prepare = [&] {
        if (ready) return;
        usr_fvec(step.dydt0.data(), step.y0.data(), GeneConc, &Param);
        step.rate = rate;
        ready = true;
    };
    if (qv::ndf::watched_change(num, watch, before.on.data(), after.on.data())) {
        prepare();
        search.lo = before;
        search.hi = after;
        if (qv::ndf::trigger_search(num, watch, triggersAt, &step, search) != 0) return -1;
        at = search.hi.t;
        onBefore = search.lo.on.data();
        stop = true;
    }
    const double due = machine.nextDue();
    if (due > t0 && due <= at) {
        if (due < at) onBefore = before.on.data();
        at = due;
        stop = true;
    }
    if (!stop) {
        std::swap(before, after);
        return 0;
    }
    // A stop at the end of the step within the time's tolerance is the step's end.
    if (t1 - at > qv::ndf::trigger_time_tolerance(t1, t1 - t0)) {
        prepare();
        const double *ys = step.at(at);
        std::copy(ys + 1, ys + step.n + 1, y + 1);
        *t = at;
        *stopped = true;
    }
    std::copy(y, y + step.n + 1, rowBefore.begin());
    if (machine.stop(*t, y, onBefore, fired) != 0) return -1;
    return look(*t, y);
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

    const bool fixedStep = SolverNo == 1;
    const int n = Param.n_var;
    // The model's events: those due at the start fire before its row.
    const bool withEvents = modelHasEvents();
    StepEvents events;
    bool reestablish = false;   // events changed the state: the next step re-solves the algebraic variables
    if (withEvents && events.begin(fixedStep, n, t_start, y, &reestablish) != 0) return stepFailed(fixedStep, t_start);
    write_start(y, t_start);

    double h = dt;
    double t = t_start;
    long steps = 0;
    bool cut = false;   // a fixed step was cut short by an event: the next one completes it
    // The sample grid is Δm, 2Δm, ... counted from time 0; the first sample is the first grid
    // time after t_start (t_start itself is the row of write_start).
    double samples = t_start > 0 && dm > 0 ? std::floor(t_start / dm + kGridSlack) : 0.0;
    double nextSample = std::min(dm * (samples + 1), t_end);

    const auto arrived = [&] { return !(t_end - t > kEndSlack * h); };
    bool first = true;
    while (!arrived()) {
        double hStep = cut ? t_start + static_cast<double>(steps + 1) * h - t : h;
        int f_event = timeEvent(y, rate, t, fixedStep ? hStep : h, first ? 1 : 0);
        first = false;
        if (f_event) ratesActive = std::any_of(rate + 1, rate + n + 1, [](double r) { return r != 0.0; });
        if (withEvents) {
            // What the time events changed may trigger the model's events.
            if (f_event) {
                bool fired = false;
                if (events.machine.stop(t, y, nullptr, &fired) != 0 || events.look(t, y) != 0)
                    return stepFailed(fixedStep, t);
            }
            if (reestablish) f_event = 1;
            reestablish = false;
            events.keepStart(t, y);
        }

        // One step; after events the integrator re-establishes the algebraic variables first.
        const double t0 = t;
        const int rc = fixedStep ? SolveDiffEqNormalRungeKutta(n, y, y_pre, &t, &hStep, f_event)
                                 : SolveDiffEqAdaptiveRungeKutta(n, y, y_pre, &t, &h, t_end, f_event);
        if (rc != 0) return stepFailed(fixedStep, t);
        // Fixed steps: the time is counted, not summed, so it does not drift over long runs.
        if (fixedStep) t = t_start + static_cast<double>(++steps) * h;
        cut = false;
        // The amount added is rate times the step just taken (the adaptive integrator hands back
        // the size of the next step in h).
        if (ratesActive) applyAdditionRates(y, rate, t - t0);

        bool fired = false;
        if (withEvents) {
            bool stopped = false;
            if (events.afterStep(&t, y, ratesActive ? rate : nullptr, &stopped, &fired) != 0)
                return stepFailed(fixedStep, t);
            if (stopped && fixedStep) {
                --steps;
                cut = true;
            }
            reestablish = fired;
            if (fired) {
                emitRow(t, events.rowBefore.data());
                emitRow(t, y);
            }
        }

        reportNegative(t, y);
        // A sample time is taken by the first step that passes its half-step test. The last
        // sample, t_end itself, is taken when the run has arrived there: an adaptive step is
        // clipped to land on t_end, and the step before it would otherwise take that sample too.
        // Where events fired, the row after them stands for the sample.
        const bool due = nextSample < t_end ? t + h / 2 > nextSample : arrived();
        if (due) {
            if (!fired) emitRow(t, y);
            samples += 1;
            nextSample = std::min(dm * (samples + 1), t_end);
        }
    }
    return 0;
}
