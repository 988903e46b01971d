// The NDF time-course path (SOLVER 3): the model is integrated with the NDF solver for stiff ODE
// and index-1 DAE systems from one event group to the next, and the solver's values at the output
// times of each period become the rows of the time course.
//
// The state arrays are addressed 1..n like the model's; the algebraic variables y[1..n_varNR]
// come first and get zero rows in the constant diagonal mass matrix.
#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/ndf.h"
#include "quorvant/ndflib/ndf_roots.h"
#include "quorvant/ndflib/trigger_search.h"
#include "quorvant/quorvant_baselib/dosolver3.h"
#include "quorvant/quorvant_baselib/dosolver3_adapters.h"
#include "quorvant/quorvant_baselib/dosolver3_periods.h"
#include "quorvant/quorvant_baselib/init_time_solver.h"
#include "quorvant/quorvant_baselib/model_event_machine.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/solverlib/NewtonRaphson.h"
#include "quorvant/model.h"

namespace {

// Mass-matrix entry of a differential variable (algebraic rows stay zero).
constexpr double kDifferentialMass = 1.0;

int failed() {
    log_sys("## Error!! in doSolver3\n");
    return -1;
}

// One solver call's output points; released on every path, also after a failed call (which
// still delivers the points computed before the failure).
struct SolverOutput {
    _ndf_solution sol{};
    SolverOutput() = default;
    SolverOutput(const SolverOutput &) = delete;
    SolverOutput &operator=(const SolverOutput &) = delete;
    ~SolverOutput() { ndf_term(&sol); }
};

// What the periods of one run share.
struct Run {
    int n;                 // variables
    int nAlg;              // algebraic variables y[1..nAlg]
    _ndf_option opt;       // solver options (the solver may raise the relative tolerance once)
    double *y;             // working state, 1..n
    double *y_pre;         // last consistent state, 1..n
    const double *rate;    // y_add rates, 1..n
    ModelEventMachine *events;   // the model's events, or null when it has none
};

// Integrates from times[0] to times[count-1] starting at y, with those output times.
// Returns 0 with the points in out, or -1 after "NDF ndf_solve() Failed!!!".
int solve(Run &run, double *times, int count, SolverOutput &out, _ndf_roots *roots = nullptr) {
    _ndf_input in{count, times, run.n, run.y + 1};
    _ndf_status stats{};
    const int rc = roots != nullptr ? ndf_solve_roots(&in, &out.sol, odefunc, &run.opt, &stats, roots)
                                    : ndf_solve(&in, &out.sol, odefunc, &run.opt, &stats);
    if (rc != 0 || out.sol.tnum < 1) {
        log_sys("NDF ndf_solve() Failed!!!\n");
        return -1;
    }
    return 0;
}

// Copies output point p (0-based values) into the 1-based state array dst.
void takePoint(const SolverOutput &out, int n, int p, double *dst) {
    const double *src = out.sol.yy + static_cast<size_t>(p) * static_cast<size_t>(n);
    std::copy(src, src + n, dst + 1);
}

void emit(double t, const double *y) {
    reportNegative(t, y);
    emitRow(t, y);
}

// A period without addition: one solver call over all output times. Every returned point is a
// row; a call with only the two ends returns every accepted step, of which only the ends are
// output times.
int integratePeriod(Run &run, std::vector<double> &times) {
    const int m = static_cast<int>(times.size());
    SolverOutput out;
    if (solve(run, times.data(), m, out) != 0) return -1;
    const int last = out.sol.tnum - 1;
    double row[qv::kStateSize];
    for (int p = 0; p <= last; ++p) {
        if (m == 2 && p != 0 && p != last) continue;
        takePoint(out, run.n, p, row);
        emit(out.sol.tt[p], row);
    }
    takePoint(out, run.n, last, run.y);
    std::copy(run.y + 1, run.y + run.n + 1, run.y_pre + 1);
    return 0;
}

// After assignments by events: consistent algebraic variables for the new state and parameters.
int reestablish(Run &run) {
    if (run.nAlg == 0) {
        std::copy(run.y + 1, run.y + run.n + 1, run.y_pre + 1);
        return 0;
    }
    if (CheckNRparam(run.y_pre) != 0) return -1;
    std::copy(run.y_pre + 1, run.y_pre + run.nAlg + 1, run.y + 1);
    return SolveAlgebraicEq(run.y, run.y_pre);
}

// A stop of the model's events at t (onBefore: the triggers just before it, or null), and the
// consistent state after what they assigned.
int eventStop(Run &run, double t, const int *onBefore, bool *fired) {
    *fired = false;
    if (run.events->stop(t, run.y, onBefore, fired) != 0) return -1;
    return *fired ? reestablish(run) : 0;
}

// A period without addition in a model with events: solver calls from stop to stop. A call ends
// at a watched trigger change, at the next due delayed firing or at the period's end; each call's
// points are rows; a stop where events fired is written twice (before and after what they
// assigned), one where nothing fired (a switch of the equations) not at all.
int integratePeriodWithEvents(Run &run, std::vector<double> &times) {
    ModelEventMachine &ev = *run.events;
    const int count = ev.count();
    std::vector<int> onBefore(static_cast<std::size_t>(count));
    _ndf_roots roots{count, trigfunc, ev.watch(), 0, 0.0, onBefore.data(), 0};
    std::vector<double> call;
    const double end = times.back();
    double from = times.front();
    std::size_t next = 1;   // first output time not yet passed
    bool skipFirst = false;  // the call starts at a stop whose row is not written
    for (;;) {
        const double due = ev.nextDue();
        const double to = std::min(end, due);
        const double tol = qv::ndf::trigger_time_tolerance(to, to - from);
        while (next < times.size() && times[next] <= from + tol) ++next;
        if (!(to - from > tol)) {
            // The stop or the end is at this instant: nothing to integrate.
            if (due <= end) {
                double before[qv::kStateSize];
                std::copy(run.y + 1, run.y + run.n + 1, before + 1);
                bool fired = false;
                if (eventStop(run, due, nullptr, &fired) != 0) return -1;
                if (fired && skipFirst) emit(due, before);
                if (fired) skipFirst = false;
                from = std::max(from, due);
                continue;
            }
            return 0;
        }
        call.assign(1, from);
        for (std::size_t j = next; j < times.size() && times[j] < to - tol; ++j) call.push_back(times[j]);
        call.push_back(to);
        SolverOutput out;
        roots.watch = ev.watch();
        if (solve(run, call.data(), static_cast<int>(call.size()), out, &roots) != 0) return -1;
        const int last = out.sol.tnum - 1;
        double row[qv::kStateSize];
        for (int p = skipFirst ? 1 : 0; p < last; ++p) {
            if (call.size() == 2 && p != 0) continue;
            takePoint(out, run.n, p, row);
            emit(out.sol.tt[p], row);
        }
        takePoint(out, run.n, last, run.y);
        std::copy(run.y + 1, run.y + run.n + 1, run.y_pre + 1);
        const double t = out.sol.tt[last];
        if (!roots.found && to != due) {
            emit(t, run.y);
            return 0;
        }
        std::copy(run.y + 1, run.y + run.n + 1, row + 1);
        bool fired = false;
        if (eventStop(run, t, onBefore.data(), &fired) != 0) return -1;
        // A stop at an output time keeps its row even when nothing fired.
        const double gridTol = qv::ndf::trigger_time_tolerance(t, t - from);
        const auto at = std::lower_bound(times.begin(), times.end(), t - gridTol);
        const bool onGrid = at != times.end() && *at <= t + gridTol;
        if (fired) emit(t, row);
        skipFirst = !fired && !onGrid;
        if (!(end - t > qv::ndf::trigger_time_tolerance(end, end - from))) {
            emit(t, run.y);   // a stop at the very end: its row after the events
            return 0;
        }
        from = t;
    }
}

// An addition period: one solver call per pair of neighbouring output times; after each, the
// differential variables get rate times the sub-interval added, and the end of the sub-interval
// is the row and the start of the next call.
int integrateAdditionPeriod(Run &run, std::vector<double> &times) {
    const int calls = static_cast<int>(times.size()) - 1;
    for (int c = 0; c < calls; ++c) {
        SolverOutput out;
        if (solve(run, &times[static_cast<size_t>(c)], 2, out) != 0) return -1;
        const int last = out.sol.tnum - 1;
        const double t = out.sol.tt[last];
        takePoint(out, run.n, last, run.y);
        const double span = t - times[static_cast<size_t>(c)];
        for (int i = run.nAlg + 1; i <= run.n; ++i) run.y[i] += span * run.rate[i];
        if (run.nAlg > 0) {
            // The added amounts move the differential variables off the algebraic equations:
            // re-solve them so that the row (and the next start) is a consistent state.
            if (SolveAlgebraicEq(run.y, run.y_pre) != 0) return -1;
        } else {
            std::copy(run.y + 1, run.y + run.n + 1, run.y_pre + 1);
        }
        // In an addition period the model's triggers are looked at the ends of the sub-intervals.
        bool fired = false;
        if (run.events != nullptr && eventStop(run, t, nullptr, &fired) != 0) return -1;
        emit(t, run.y);
    }
    return 0;
}

}  // namespace

int doSolver3(const parameter &snap, double dt, double t_start, double t_end, double dm,
              double *y_init, double *y, double *y_pre) {
    // 1. Initial state, parameters moved to their targets.
    if (initTimeSolver(snap, y_init, y, y_pre) != 0) return failed();

    Run run{};
    run.n = Param.n_var;
    run.nAlg = Param.n_varNR;
    run.y = y;
    run.y_pre = y_pre;
    double rate[qv::kStateSize] = {};   // y_add rates, zero at the start of every run
    run.rate = rate;

    // 2.-3. Event groups, and the periods between them during which a rate is in force.
    event_group groups[kMaxEventGroups];
    const int ngroups = _get_simultaneous_events(t_start, t_end, groups);
    int adding[kMaxEventGroups];
    _get_adding_periods(ngroups, groups, adding);

    // 4. Constant diagonal mass matrix: 1 for differential variables, 0 for algebraic ones.
    const auto n = static_cast<size_t>(run.n);
    std::vector<double> mass;
    try {
        mass.assign(n * n, 0.0);
    } catch (const std::bad_alloc &) {
        log_sys("malloc(mass) Failed!!!\n");
        return failed();
    }
    for (size_t i = static_cast<size_t>(run.nAlg); i < n; ++i) mass[i * n + i] = kDifferentialMass;

    // 5. Solver options. Whether the problem is a DAE is known from N_ALGEBR, so the solver need
    // not estimate it from the mass matrix at every call. The solver differences the model
    // numerically when no Jacobian function is given.
    ndf_init(&run.opt);
    run.opt.tol.rel = Ndf_rtol;
    run.opt.tol.abs = Ndf_atol;
    run.opt.tol.positive = F_Ndf_Positive;
    run.opt.jac.jfunc = F_Numerical_Jac == 1 ? nullptr : jacfunc;
    run.opt.dae.mconst = mass.data();
    run.opt.dae.singular = run.nAlg > 0 ? 0 : 1;
    run.opt.step.initstep = dt;

    beginRows();
    writeRowHeader(run.n);

    ModelEventMachine events;
    if (modelHasEvents()) run.events = &events;

    std::vector<double> times;   // output times of the current period, reused
    for (int k = 0; k + 1 < ngroups; ++k) {
        // 6. The events of group k, then consistent algebraic variables for the new state.
        const int paramChanged = _do_events(groups[k].first, groups[k].count, y, rate);
        if (run.nAlg > 0) {
            if (paramChanged) {
                if (CheckNRparam(y_pre) != 0) return failed();
                std::copy(y_pre + 1, y_pre + run.nAlg + 1, y + 1);
            }
            if (SolveAlgebraicEq(y, y_pre) != 0) return failed();
        }
        // The model's events: those due at the start of the run, or what the time events of the
        // group changed.
        if (run.events != nullptr) {
            bool fired = false;
            const int rc = k == 0 ? events.begin(groups[k].time, y, &fired) : events.stop(groups[k].time, y, nullptr, &fired);
            if (rc != 0 || (fired && reestablish(run) != 0)) return failed();
        }

        // 7. Integrate the period and write its rows.
        const double from = groups[k].time;
        const double to = groups[k + 1].time;
        if (periodOutputTimes(from, to, dm, times) != 0) {
            if (periodOutputCount(to - from, dm) < 0)
                log_sys("## Too many output times from %10.3E to %10.3E with DELTA_M %10.3E\n", from,
                        to, dm);
            return failed();
        }
        const int rc = adding[k]            ? integrateAdditionPeriod(run, times)
                       : run.events != nullptr ? integratePeriodWithEvents(run, times)
                                               : integratePeriod(run, times);
        if (rc != 0) return failed();
    }
    return 0;
}
