// Side-by-side comparison of the NDF solver's event location with SUNDIALS CVODE's root finding
// (BDF, dense direct solver), on a stiff enzyme model with a few hundred events, at two
// tolerances: wall time, events found, the error of the event times and of the states at the
// events against a very tight reference run, steps, right-hand-side, Jacobian and trigger
// evaluations, LU decompositions.
//
// Both solvers are driven as the program drives the NDF solver: integrate until an event (a
// watched trigger change, or the next dose time), apply it at the returned point, and start
// again from there with the history discarded (a new ndf_solve call; CVodeReInit). Both get the
// same right-hand side, the same analytic Jacobian and the same scalar tolerances, and both
// deliver the same output: the state at every event and at the end. Evaluations are counted in
// the shared wrappers, so the counts mean the same thing for both.
//
// Usage: bench_events_vs_cvode [min seconds per measurement, default 0.3] [problem name|all]
//                              [solver name|all] [rhs padding, default 0]
// With a problem name only that problem is run, with a solver name only that solver (e.g. for
// profiling; the references are always computed). The padding adds that many dependent square
// roots to every right-hand-side evaluation and kN times as many to every Jacobian evaluation,
// so that the model costs what a larger one would; the header prints the resulting cost of one
// evaluation.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <cvode/cvode.h>
#include <nvector/nvector_serial.h>
#include <sundials/sundials_context.h>
#include <sunlinsol/sunlinsol_dense.h>
#include <sunmatrix/sunmatrix_dense.h>

#include "quorvant/ndflib/ndf.h"
#include "quorvant/ndflib/ndf_roots.h"
#include "quorvant/ndflib/trigger_search.h"
#include "solver_timing.h"

namespace {

// ---- The model -------------------------------------------------------------------------------
//
// Substrate A binds an enzyme reversibly and fast (A + E <-> C, kOn·E and kOff ~ 1e4), the
// complex turns over slowly (C -> E + P, kCat = 1) and the product P inhibits the turnover and is
// degraded slowly. The enzyme total is conserved, E = kEnzyme - C. States y = (A, C, P); the
// stiffness ratio is about 1e4.
constexpr int kN = 3;
constexpr double kOn = 1.0e4, kOff = 1.0e4, kCat = 1.0, kEnzyme = 1.0, kInhib = 0.5, kDeg = 0.05;

long rhsCount = 0;
long jacCount = 0;
int rhsPadding = 0;
volatile double paddingSink = 0.0;

void pad(int units, double x) {
    double s = x;
    for (int i = 0; i < units; ++i) s = std::sqrt(s + 1.0);
    paddingSink = s;
}

int enzyme(double, double *y, double *f) {
    ++rhsCount;
    if (rhsPadding > 0) pad(rhsPadding, y[0]);
    const double bind = kOn * y[0] * (kEnzyme - y[1]) - kOff * y[1];
    const double cat = kCat * y[1] / (1.0 + y[2] / kInhib);
    f[0] = -bind;
    f[1] = bind - cat;
    f[2] = cat - kDeg * y[2];
    return 0;
}

int enzymeJac(double, double *y, double *j) {
    ++jacCount;
    if (rhsPadding > 0) pad(kN * rhsPadding, y[0]);
    const double inh = 1.0 + y[2] / kInhib;
    const double dA = kOn * (kEnzyme - y[1]);          // ∂bind/∂A
    const double dC = -kOn * y[0] - kOff;              // ∂bind/∂C
    const double catC = kCat / inh;                    // ∂cat/∂C
    const double catP = -kCat * y[1] / (kInhib * inh * inh);   // ∂cat/∂P
    j[0] = -dA;
    j[1] = -dC;
    j[2] = 0.0;
    j[3] = dA;
    j[4] = dC - catC;
    j[5] = -catP;
    j[6] = 0.0;
    j[7] = catC;
    j[8] = catP - kDeg;
    return 0;
}

// ---- Problems --------------------------------------------------------------------------------

// State-triggered: when A falls below kThreshold the substrate is refilled to kRefill and half
// of the product is harvested.
constexpr double kThreshold = 0.2, kRefill = 1.0, kHarvest = 0.5;
// Time events: a dose of A every kInterval.
constexpr double kDose = 0.5, kInterval = 2.5;

enum class Kind { State, Time };

struct Problem {
    const char *name;
    Kind kind;
    std::vector<double> y0;
    double t0, tend;
    double atolPerRtol;   // atol = this·rtol
    double errFloor;      // error of a component is |y - ref| / (|ref| + errFloor)
};

void applyEvent(const Problem &p, double *y) {
    if (p.kind == Kind::State) {
        y[0] = kRefill;
        y[2] *= kHarvest;
    } else {
        y[0] += kDose;
    }
}

// The dose times after t0 and before tend (the run ends at tend without a dose).
std::vector<double> doseTimes(const Problem &p) {
    std::vector<double> t;
    for (int k = 1; p.t0 + k * kInterval < p.tend - 0.5 * kInterval; ++k) t.push_back(p.t0 + k * kInterval);
    return t;
}

// The trigger of the state problem for the NDF solver: on while A is below the threshold.
int ndfTrigger(double, double *y, int *on, double *g) {
    g[0] = kThreshold - y[0];
    on[0] = g[0] > 0.0 ? 1 : 0;
    return 0;
}

const int kWatch[1] = {qv::ndf::kWatchRise};

// ---- Solvers ---------------------------------------------------------------------------------

struct Result {
    bool ok = false;
    double seconds = 0.0;
    long steps = 0, rhs = 0, jac = 0, lu = 0, gevals = 0;
    std::vector<double> tev;   // event times
    std::vector<double> yev;   // the state at each event (before it is applied) and at the end
};

struct NdfVariant {
    int isbdf = 0;
    double maxsize = 0.0;   // the solver's largest step; 0: its default
};

Result runNdf(const Problem &p, double rtol, NdfVariant v) {
    _ndf_option opt;
    ndf_init(&opt);
    opt.tol.rel = rtol;
    opt.tol.abs = p.atolPerRtol * rtol;
    opt.jac.jfunc = enzymeJac;
    opt.bdf.isbdf = v.isbdf;
    opt.step.maxsize = v.maxsize;
    _ndf_status st{};
    Result r;
    std::vector<double> y = p.y0;
    // One call from `from` to `to`; on success y holds the last point and *t its time.
    auto call = [&](double from, double to, _ndf_roots *roots, double *t) {
        double times[2] = {from, to};
        _ndf_input in{2, times, kN, y.data()};
        _ndf_solution sol{};
        const int rc = roots != nullptr ? ndf_solve_roots(&in, &sol, enzyme, &opt, &st, roots)
                                        : ndf_solve(&in, &sol, enzyme, &opt, &st);
        const bool ok = rc == 0 && sol.tnum >= 1;
        if (ok) {
            const double *last = sol.yy + static_cast<std::size_t>(sol.tnum - 1) * kN;
            std::copy(last, last + kN, y.begin());
            *t = sol.tt[sol.tnum - 1];
        }
        ndf_term(&sol);
        return ok;
    };
    bool ok = true;
    if (p.kind == Kind::State) {
        int onBefore[1] = {0};
        _ndf_roots roots{1, ndfTrigger, kWatch, 0, 0.0, onBefore, 0};
        double from = p.t0;
        for (;;) {
            double t = 0.0;
            if (!(ok = call(from, p.tend, &roots, &t))) break;
            r.yev.insert(r.yev.end(), y.begin(), y.end());
            if (!roots.found) break;
            r.tev.push_back(t);
            applyEvent(p, y.data());
            from = t;
            if (!(p.tend - t > qv::ndf::trigger_time_tolerance(p.tend, p.tend - t))) break;
        }
        r.gevals = roots.nevals;
    } else {
        double from = p.t0;
        std::vector<double> stops = doseTimes(p);
        stops.push_back(p.tend);
        for (std::size_t k = 0; k < stops.size() && ok; ++k) {
            double t = 0.0;
            if (!(ok = call(from, stops[k], nullptr, &t))) break;
            r.yev.insert(r.yev.end(), y.begin(), y.end());
            if (k + 1 == stops.size()) break;
            r.tev.push_back(t);
            applyEvent(p, y.data());
            from = stops[k];
        }
    }
    r.ok = ok;
    r.steps = st.nsteps;
    r.lu = st.ndecomps;
    return r;
}

int cvRhs(sunrealtype t, N_Vector y, N_Vector ydot, void *) {
    return enzyme(t, N_VGetArrayPointer(y), N_VGetArrayPointer(ydot));
}

int cvJac(sunrealtype t, N_Vector y, N_Vector, SUNMatrix J, void *user, N_Vector, N_Vector, N_Vector) {
    auto *jac = static_cast<double *>(user);
    enzymeJac(t, N_VGetArrayPointer(y), jac);
    for (int i = 0; i < kN; ++i)
        for (int j = 0; j < kN; ++j) SM_ELEMENT_D(J, i, j) = jac[i * kN + j];
    return 0;
}

// The trigger's companion for CVODE: A - threshold, a root where it falls through zero.
int cvRoot(sunrealtype, N_Vector y, sunrealtype *g, void *) {
    g[0] = N_VGetArrayPointer(y)[0] - kThreshold;
    return 0;
}

// One SUNDIALS context for the whole program, as an application would hold it; each run
// creates and frees its own integrator, vector, matrix and linear solver.
SUNContext cvContext() {
    static SUNContext ctx = [] {
        SUNContext c = nullptr;
        if (SUNContext_Create(nullptr, &c) != 0) std::abort();
        return c;
    }();
    return ctx;
}

Result runCvode(const Problem &p, double rtol) {
    Result r;
    SUNContext ctx = cvContext();
    double jac[kN * kN] = {};
    N_Vector y = N_VNew_Serial(kN, ctx);
    double *v = N_VGetArrayPointer(y);
    std::copy(p.y0.begin(), p.y0.end(), v);
    void *mem = CVodeCreate(CV_BDF, ctx);
    SUNMatrix A = SUNDenseMatrix(kN, kN, ctx);
    SUNLinearSolver LS = SUNLinSol_Dense(y, A, ctx);
    int direction[1] = {-1};
    bool ok = CVodeInit(mem, cvRhs, p.t0, y) == CV_SUCCESS &&
              CVodeSStolerances(mem, rtol, p.atolPerRtol * rtol) == CV_SUCCESS &&
              CVodeSetUserData(mem, jac) == CV_SUCCESS && CVodeSetLinearSolver(mem, LS, A) == CV_SUCCESS &&
              CVodeSetJacFn(mem, cvJac) == CV_SUCCESS && CVodeSetMaxNumSteps(mem, 10000000) == CV_SUCCESS;
    if (ok && p.kind == Kind::State)
        ok = CVodeRootInit(mem, 1, cvRoot) == CV_SUCCESS && CVodeSetRootDirection(mem, direction) == CV_SUCCESS;
    // The counters restart at every CVodeReInit: add them up segment by segment.
    auto addCounters = [&] {
        long steps = 0, setups = 0, gevals = 0;
        CVodeGetNumSteps(mem, &steps);
        CVodeGetNumLinSolvSetups(mem, &setups);
        if (p.kind == Kind::State) CVodeGetNumGEvals(mem, &gevals);
        r.steps += steps;
        r.lu += setups;
        r.gevals += gevals;
    };
    if (p.kind == Kind::State) {
        for (double from = p.t0; ok;) {
            sunrealtype t = 0.0;
            ok = CVodeSetStopTime(mem, p.tend) == CV_SUCCESS;
            const int rc = ok ? CVode(mem, p.tend, y, &t, CV_NORMAL) : -1;
            ok = rc >= 0;
            if (!ok) break;
            r.yev.insert(r.yev.end(), v, v + kN);
            addCounters();
            if (rc != CV_ROOT_RETURN) break;
            r.tev.push_back(t);
            applyEvent(p, v);
            from = t;
            if (!(p.tend - t > qv::ndf::trigger_time_tolerance(p.tend, p.tend - from))) break;
            ok = CVodeReInit(mem, t, y) == CV_SUCCESS;
        }
    } else {
        std::vector<double> stops = doseTimes(p);
        stops.push_back(p.tend);
        for (std::size_t k = 0; k < stops.size() && ok; ++k) {
            sunrealtype t = 0.0;
            ok = CVodeSetStopTime(mem, stops[k]) == CV_SUCCESS && CVode(mem, stops[k], y, &t, CV_NORMAL) >= 0;
            if (!ok) break;
            r.yev.insert(r.yev.end(), v, v + kN);
            addCounters();
            if (k + 1 == stops.size()) break;
            r.tev.push_back(t);
            applyEvent(p, v);
            ok = CVodeReInit(mem, stops[k], y) == CV_SUCCESS;
        }
    }
    r.ok = ok;
    CVodeFree(&mem);
    SUNLinSolFree(LS);
    SUNMatDestroy(A);
    N_VDestroy(y);
    return r;
}

// Largest |event time - reference| over the events both found (NAN when the counts differ).
double eventTimeError(const Result &r, const Result &ref) {
    if (!r.ok || r.tev.size() != ref.tev.size()) return NAN;
    double worst = 0.0;
    for (std::size_t k = 0; k < ref.tev.size(); ++k) worst = std::max(worst, std::fabs(r.tev[k] - ref.tev[k]));
    return worst;
}

// Largest error of the spans between neighbouring events (the start counts as an event): the
// error each location adds, without the drift that the earlier ones accumulated.
double spanError(const Result &r, const Result &ref, double t0) {
    if (!r.ok || r.tev.size() != ref.tev.size()) return NAN;
    double worst = 0.0, prev = t0, prevRef = t0;
    for (std::size_t k = 0; k < ref.tev.size(); ++k) {
        worst = std::max(worst, std::fabs((r.tev[k] - prev) - (ref.tev[k] - prevRef)));
        prev = r.tev[k];
        prevRef = ref.tev[k];
    }
    return worst;
}

// Largest relative error of the states at the events and at the end.
double stateError(const Problem &p, const Result &r, const Result &ref) {
    if (!r.ok || r.yev.size() != ref.yev.size()) return NAN;
    double worst = 0.0;
    for (std::size_t k = 0; k < ref.yev.size(); ++k)
        worst = std::max(worst, std::fabs(r.yev[k] - ref.yev[k]) / (std::fabs(ref.yev[k]) + p.errFloor));
    return worst;
}

}  // namespace

int main(int argc, char **argv) {
    const double minSeconds = argc > 1 ? std::atof(argv[1]) : 0.3;
    std::string only = argc > 2 ? argv[2] : "";
    std::string onlySolver = argc > 3 ? argv[3] : "";
    if (only == "all") only.clear();
    if (onlySolver == "all") onlySolver.clear();
    rhsPadding = argc > 4 ? std::atoi(argv[4]) : 0;
    {
        constexpr int kCalls = 200000;
        double y[kN] = {0.5, 0.3, 0.2}, f[kN];
        int (*volatile rhs)(double, double *, double *) = enzyme;   // called as the solvers call it
        const auto a = std::chrono::steady_clock::now();
        for (int i = 0; i < kCalls; ++i) {
            rhs(0.0, y, f);
            for (int k = 0; k < kN; ++k) y[k] += 1e-300 * f[k];   // each call depends on the last
        }
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
        std::printf("one right-hand-side evaluation: %.1f ns (padding %d)\n", s / kCalls * 1e9, rhsPadding);
    }
    const std::vector<Problem> problems = {
        {"RefillAtLow", Kind::State, {kRefill, 0.0, 0.0}, 0.0, 2200.0, 1e-2, 1e-3},
        {"DoseEvery2.5", Kind::Time, {kRefill, 0.0, 0.0}, 0.0, 750.0, 1e-2, 1e-3},
    };
    const double tolerances[] = {1e-6, 1e-8};
    constexpr double kRefRtol = 1e-12;

    std::printf("%-12s %-6s %-9s %9s %6s %6s %10s %10s %10s %7s %7s %6s %6s %7s\n", "problem", "rtol",
                "solver", "time[ms]", "ratio", "events", "max|dtev|", "max|dspan|", "max yerr", "steps", "f-evals",
                "J-evs", "LUs", "g-evals");
    for (const Problem &p : problems) {
        if (!only.empty() && only != p.name) continue;
        const Result ref = runCvode(p, kRefRtol);
        const Result refNdf = runNdf(p, kRefRtol, {1, 0.0});
        if (!ref.ok || !refNdf.ok) {
            std::printf("%s: reference run failed\n", p.name);
            continue;
        }
        std::printf("%-12s reference: CVODE at rtol %.0e, %zu events; NDF(BDF) at the same rtol: %zu events, "
                    "event times differ by %.2e, states by %.2e\n",
                    p.name, kRefRtol, ref.tev.size(), refNdf.tev.size(), eventTimeError(refNdf, ref),
                    stateError(p, refNdf, ref));
        for (double rtol : tolerances) {
            auto wanted = [&](const char *solver) { return onlySolver.empty() || onlySolver == solver; };
            Result ndf, bdf, hmax, cv;
            if (wanted("NDF")) ndf = measure([&] { return runNdf(p, rtol, {0, 0.0}); }, minSeconds, rhsCount, jacCount);
            if (wanted("NDF(BDF)")) bdf = measure([&] { return runNdf(p, rtol, {1, 0.0}); }, minSeconds, rhsCount, jacCount);
            if (wanted("NDF(hmax)")) hmax = measure([&] { return runNdf(p, rtol, {0, 1e300}); }, minSeconds, rhsCount, jacCount);
            if (wanted("CVODE")) cv = measure([&] { return runCvode(p, rtol); }, minSeconds, rhsCount, jacCount);
            auto row = [&](const char *solver, const Result &r) {
                if (!wanted(solver)) return;
                std::printf("%-12s %-6.0e %-9s %9.3f %6.2f %6zu %10.2e %10.2e %10.2e %7ld %7ld %6ld %6ld %7ld%s\n",
                            p.name, rtol, solver, r.seconds * 1e3, cv.ok ? r.seconds / cv.seconds : NAN, r.tev.size(),
                            eventTimeError(r, ref), spanError(r, ref, p.t0), stateError(p, r, ref), r.steps, r.rhs,
                            r.jac, r.lu, r.gevals, r.ok ? "" : "  FAILED");
            };
            row("NDF", ndf);
            row("NDF(BDF)", bdf);
            row("NDF(hmax)", hmax);
            row("CVODE", cv);
        }
    }
    std::printf("ratio: time / CVODE time. max|dtev|: event times against the reference; max|dspan|: the "
                "spans between neighbouring events against the reference's; max yerr: the states at the events "
                "and at the end, |y - ref| / (|ref| + 1e-3).\n");
    std::printf("NDF(hmax): NDF with its largest step set to the whole interval of "
                "each call instead of the default tenth of it.\n");
    return 0;
}
