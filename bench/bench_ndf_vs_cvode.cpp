// Side-by-side comparison of the NDF solver with SUNDIALS CVODE (BDF, dense direct solver) on
// three stiff problems at three tolerances: wall time, steps, right-hand-side and Jacobian
// evaluations, LU decompositions, and the error against a very tight reference run.
//
// Both solvers get the same analytic Jacobian and the same scalar tolerances; both produce
// values at the same output times by their own interpolation. Evaluations are counted in the
// shared right-hand-side wrapper, so the counts mean the same thing for both.
//
// Usage: bench_ndf_vs_cvode [min seconds per measurement, default 0.3] [problem name]
// (with a problem name only that problem is run, e.g. for profiling)
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
#include "solver_timing.h"

namespace {

// ---- Problems ------------------------------------------------------------------------------

using Rhs = int (*)(double, double *, double *);

struct Problem {
    const char *name;
    std::vector<double> y0;
    double t0;
    std::vector<double> tout;   // output times after t0; the last is the end
    Rhs f;
    Rhs jac;                    // row-major n×n
    double atolPerRtol;         // atol = this·rtol
    double errFloor;            // error of a component is |y - ref| / (|ref| + errFloor)
};

long rhsCount = 0;
long jacCount = 0;

int robertson(double, double *y, double *f) {
    ++rhsCount;
    f[0] = -0.04 * y[0] + 1.0e4 * y[1] * y[2];
    f[2] = 3.0e7 * y[1] * y[1];
    f[1] = -f[0] - f[2];
    return 0;
}

int robertsonJac(double, double *y, double *j) {
    ++jacCount;
    j[0] = -0.04;
    j[1] = 1.0e4 * y[2];
    j[2] = 1.0e4 * y[1];
    j[6] = 0.0;
    j[7] = 6.0e7 * y[1];
    j[8] = 0.0;
    for (int c = 0; c < 3; ++c) j[3 + c] = -j[c] - j[6 + c];
    return 0;
}

constexpr double kMu = 1000.0;

int vanDerPol(double, double *y, double *f) {
    ++rhsCount;
    f[0] = y[1];
    f[1] = kMu * (1.0 - y[0] * y[0]) * y[1] - y[0];
    return 0;
}

int vanDerPolJac(double, double *y, double *j) {
    ++jacCount;
    j[0] = 0.0;
    j[1] = 1.0;
    j[2] = -2.0 * kMu * y[0] * y[1] - 1.0;
    j[3] = kMu * (1.0 - y[0] * y[0]);
    return 0;
}

// A 20-variable enzymatic chain with explicit enzyme-substrate complexes (mass action):
// a constant input feeds S0; for i = 1..6, S(i-1) + E(i) <-> C(i) -> E(i) + S(i); S6 is removed
// and binds E1 reversibly (feedback inhibition). Binding is fast (kf·E ~ 1e5), catalysis and
// removal slow (~1): a stiffness ratio of about 1e5-1e6.
constexpr int kSteps = 6;
constexpr int kNet = 20;
constexpr int iS(int i) { return i; }                       // S0..S6: 0..6
constexpr int iE(int i) { return kSteps + i; }              // E1..E6: 7..12
constexpr int iC(int i) { return 2 * kSteps + i; }          // C1..C6: 13..18
constexpr int kEI = 3 * kSteps + 1;                         // E1·S6: 19
constexpr double kIn = 1.0, kOut = 0.5, kLeak = 0.05, kInhOn = 1.0e3, kInhOff = 1.0e3;
constexpr double kOn[kSteps + 1] = {0, 1e6, 3e5, 1e6, 5e5, 2e6, 1e6};
constexpr double kOff[kSteps + 1] = {0, 1e3, 5e2, 2e3, 1e3, 1e3, 5e2};
constexpr double kCat[kSteps + 1] = {0, 50, 20, 80, 10, 40, 30};
constexpr double kEnzyme[kSteps + 1] = {0, 0.1, 0.2, 0.05, 0.3, 0.1, 0.15};

int network(double, double *y, double *f) {
    ++rhsCount;
    for (int k = 0; k < kNet; ++k) f[k] = 0.0;
    f[iS(0)] += kIn;
    for (int i = 1; i <= kSteps; ++i) {
        const double bind = kOn[i] * y[iS(i - 1)] * y[iE(i)];
        const double unbind = kOff[i] * y[iC(i)];
        const double cat = kCat[i] * y[iC(i)];
        f[iS(i - 1)] += unbind - bind;
        f[iE(i)] += unbind + cat - bind;
        f[iC(i)] += bind - unbind - cat;
        f[iS(i)] += cat;
    }
    f[iS(kSteps)] -= kOut * y[iS(kSteps)];
    f[iS(3)] -= kLeak * y[iS(3)];
    const double inh = kInhOn * y[iE(1)] * y[iS(kSteps)] - kInhOff * y[kEI];
    f[iE(1)] -= inh;
    f[iS(kSteps)] -= inh;
    f[kEI] += inh;
    return 0;
}

int networkJac(double, double *y, double *j) {
    ++jacCount;
    for (int k = 0; k < kNet * kNet; ++k) j[k] = 0.0;
    auto add = [j](int row, int col, double v) { j[row * kNet + col] += v; };
    for (int i = 1; i <= kSteps; ++i) {
        const int s = iS(i - 1), e = iE(i), c = iC(i), p = iS(i);
        const double dS = kOn[i] * y[e], dE = kOn[i] * y[s];   // ∂bind/∂S, ∂bind/∂E
        for (int row : {s, e}) {
            add(row, s, -dS);
            add(row, e, -dE);
        }
        add(c, s, dS);
        add(c, e, dE);
        add(s, c, kOff[i]);
        add(e, c, kOff[i] + kCat[i]);
        add(c, c, -kOff[i] - kCat[i]);
        add(p, c, kCat[i]);
    }
    add(iS(kSteps), iS(kSteps), -kOut);
    add(iS(3), iS(3), -kLeak);
    const double dE = kInhOn * y[iS(kSteps)], dS = kInhOn * y[iE(1)];
    for (int row : {iE(1), iS(kSteps)}) {
        add(row, iE(1), -dE);
        add(row, iS(kSteps), -dS);
        add(row, kEI, kInhOff);
    }
    add(kEI, iE(1), dE);
    add(kEI, iS(kSteps), dS);
    add(kEI, kEI, -kInhOff);
    return 0;
}

std::vector<double> networkStart() {
    std::vector<double> y(kNet, 0.0);
    y[iS(0)] = 1.0;
    for (int i = 1; i <= kSteps; ++i) y[static_cast<std::size_t>(iE(i))] = kEnzyme[i];
    return y;
}

std::vector<double> geometric(double first, double factor, int count) {
    std::vector<double> t;
    for (int i = 0; i < count; ++i) t.push_back(first * std::pow(factor, i));
    return t;
}

std::vector<double> uniform(double step, int count) {
    std::vector<double> t;
    for (int i = 1; i <= count; ++i) t.push_back(step * i);
    return t;
}

// ---- Solvers -------------------------------------------------------------------------------

struct Result {
    bool ok = false;
    double seconds = 0.0;
    long steps = 0, rhs = 0, jac = 0, lu = 0;
    std::vector<double> y;   // values at the output times, point after point
};

Result runNdf(const Problem &p, double rtol, int isbdf) {
    const int n = static_cast<int>(p.y0.size());
    std::vector<double> times{p.t0};
    times.insert(times.end(), p.tout.begin(), p.tout.end());
    std::vector<double> y0 = p.y0;
    _ndf_option opt;
    ndf_init(&opt);
    opt.tol.rel = rtol;
    opt.tol.abs = p.atolPerRtol * rtol;
    opt.jac.jfunc = p.jac;
    opt.bdf.isbdf = isbdf;
    _ndf_input in{static_cast<int>(times.size()), times.data(), n, y0.data()};
    _ndf_solution sol{};
    _ndf_status st{};
    Result r;
    r.ok = ndf_solve(&in, &sol, p.f, &opt, &st) == 0 && sol.tnum == static_cast<int>(times.size());
    if (r.ok) r.y.assign(sol.yy + n, sol.yy + static_cast<std::size_t>(sol.tnum) * static_cast<std::size_t>(n));
    ndf_term(&sol);
    r.steps = st.nsteps;
    r.lu = st.ndecomps;
    return r;
}

struct CvUser {
    const Problem *p;
    std::vector<double> jac;
};

int cvRhs(sunrealtype t, N_Vector y, N_Vector ydot, void *user) {
    const auto *u = static_cast<CvUser *>(user);
    return u->p->f(t, N_VGetArrayPointer(y), N_VGetArrayPointer(ydot));
}

int cvJac(sunrealtype t, N_Vector y, N_Vector, SUNMatrix J, void *user, N_Vector, N_Vector,
          N_Vector) {
    auto *u = static_cast<CvUser *>(user);
    const auto n = static_cast<int>(u->p->y0.size());
    u->p->jac(t, N_VGetArrayPointer(y), u->jac.data());
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) SM_ELEMENT_D(J, i, j) = u->jac[static_cast<std::size_t>(i * n + j)];
    return 0;
}

// One SUNDIALS context for the whole program, as an application would hold it; each solve
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
    const auto n = static_cast<sunindextype>(p.y0.size());
    Result r;
    SUNContext ctx = cvContext();
    CvUser user{&p, std::vector<double>(p.y0.size() * p.y0.size())};
    N_Vector y = N_VNew_Serial(n, ctx);
    std::copy(p.y0.begin(), p.y0.end(), N_VGetArrayPointer(y));
    void *mem = CVodeCreate(CV_BDF, ctx);
    SUNMatrix A = SUNDenseMatrix(n, n, ctx);
    SUNLinearSolver LS = SUNLinSol_Dense(y, A, ctx);
    bool ok = CVodeInit(mem, cvRhs, p.t0, y) == CV_SUCCESS &&
              CVodeSStolerances(mem, rtol, p.atolPerRtol * rtol) == CV_SUCCESS &&
              CVodeSetUserData(mem, &user) == CV_SUCCESS &&
              CVodeSetLinearSolver(mem, LS, A) == CV_SUCCESS && CVodeSetJacFn(mem, cvJac) == CV_SUCCESS &&
              CVodeSetMaxNumSteps(mem, 10000000) == CV_SUCCESS;
    for (double tout : p.tout) {
        if (!ok) break;
        sunrealtype t = 0.0;
        ok = CVode(mem, tout, y, &t, CV_NORMAL) >= 0;
        const double *v = N_VGetArrayPointer(y);
        r.y.insert(r.y.end(), v, v + n);
    }
    long steps = 0, setups = 0;
    CVodeGetNumSteps(mem, &steps);
    CVodeGetNumLinSolvSetups(mem, &setups);
    r.ok = ok;
    r.steps = steps;
    r.lu = setups;
    CVodeFree(&mem);
    SUNLinSolFree(LS);
    SUNMatDestroy(A);
    N_VDestroy(y);
    return r;
}

double maxError(const Problem &p, const Result &r, const std::vector<double> &ref) {
    if (!r.ok || r.y.size() != ref.size()) return NAN;
    double worst = 0.0;
    for (std::size_t k = 0; k < ref.size(); ++k)
        worst = std::max(worst, std::fabs(r.y[k] - ref[k]) / (std::fabs(ref[k]) + p.errFloor));
    return worst;
}

}  // namespace

int main(int argc, char **argv) {
    const double minSeconds = argc > 1 ? std::atof(argv[1]) : 0.3;
    const std::string only = argc > 2 ? argv[2] : "";
    const std::vector<Problem> problems = {
        {"Robertson", {1.0, 0.0, 0.0}, 0.0, geometric(0.4, 10.0, 7), robertson, robertsonJac, 1e-6, 1e-12},
        {"VanDerPol1000", {2.0, 0.0}, 0.0, uniform(100.0, 30), vanDerPol, vanDerPolJac, 1.0, 1e-3},
        {"EnzymeChain20", networkStart(), 0.0, uniform(10.0, 20), network, networkJac, 1e-3, 1e-6},
    };
    const double tolerances[] = {1e-3, 1e-6, 1e-9};
    constexpr double kRefRtol = 1e-12;

    std::printf("%-14s %-6s %-9s %10s %8s %8s %7s %7s %10s\n", "problem", "rtol", "solver", "time[ms]",
                "steps", "f-evals", "J-evals", "LUs", "max err");
    for (const Problem &p : problems) {
        if (!only.empty() && only != p.name) continue;
        const Result refCv = runCvode(p, kRefRtol);
        const Result refNdf = runNdf(p, kRefRtol, 1);
        if (!refCv.ok || !refNdf.ok) {
            std::printf("%s: reference run failed\n", p.name);
            continue;
        }
        std::printf("%-14s reference: CVODE at rtol %.0e; NDF(BDF) at the same rtol differs by %.2e\n",
                    p.name, kRefRtol, maxError(p, refNdf, refCv.y));
        for (double rtol : tolerances) {
            const Result ndf = measure([&] { return runNdf(p, rtol, 0); }, minSeconds, rhsCount, jacCount);
            const Result bdf = measure([&] { return runNdf(p, rtol, 1); }, minSeconds, rhsCount, jacCount);
            const Result cv = measure([&] { return runCvode(p, rtol); }, minSeconds, rhsCount, jacCount);
            auto row = [&](const char *solver, const Result &r) {
                std::printf("%-14s %-6.0e %-9s %10.3f %8ld %8ld %7ld %7ld %10.2e%s\n", p.name, rtol, solver,
                            r.seconds * 1e3, r.steps, r.rhs, r.jac, r.lu, maxError(p, r, refCv.y),
                            r.ok ? "" : "  FAILED");
            };
            row("NDF", ndf);
            row("NDF(BDF)", bdf);
            row("CVODE", cv);
            std::printf("%-14s %-6.0e %-9s %10.2f   (NDF time / CVODE time)\n", p.name, rtol, "ratio",
                        ndf.seconds / cv.seconds);
        }
    }
    return 0;
}
