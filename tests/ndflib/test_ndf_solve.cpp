// The NDF integrator on ODEs: accuracy against closed forms and independent references,
// output modes, counters, step limits, non-negativity, messages and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "quorvant/ndflib/ndf.h"
#include "test_ndf_solve_problems.h"

using namespace ndftest;

namespace {

// Largest error of a run against the closed form of the linear system, in units of the
// requested tolerance rtol·max(|y|, atol/rtol).
double linearError(const SolveRun &r, double rtol, double atol, double *absErr = nullptr) {
    double worst = 0.0, worstAbs = 0.0;
    for (std::size_t p = 0; p < r.t.size(); ++p) {
        const auto ex = linearExact(r.t[p]);
        for (int i = 0; i < 2; ++i) {
            const double e = std::fabs(r.y[p][static_cast<std::size_t>(i)] - ex[static_cast<std::size_t>(i)]);
            worst = std::max(worst, e / (rtol * std::max(std::fabs(ex[static_cast<std::size_t>(i)]), atol / rtol)));
            worstAbs = std::max(worstAbs, e);
        }
    }
    if (absErr) *absErr = worstAbs;
    return worst;
}

const std::vector<double> kLinearTimes = {0.0, 1e-3, 5e-3, 0.02, 0.1, 0.5, 1.0, 2.5, 5.0, 10.0};

}  // namespace

// NDF and BDF, component and norm control: the error stays at the level of the tolerance and
// falls as the tolerance is tightened.
TEST(NdfSolve, LinearSystemErrorFollowsTolerance) {
    struct Case {
        int isbdf, normctrl;
    };
    for (const Case c : {Case{0, 0}, Case{1, 0}, Case{0, 1}, Case{1, 1}}) {
        SCOPED_TRACE("isbdf " + std::to_string(c.isbdf) + " normctrl " + std::to_string(c.normctrl));
        double prevAbs = std::numeric_limits<double>::infinity();
        for (double rtol : {1e-3, 1e-6, 1e-9}) {
            const double atol = rtol * 1e-3;
            _ndf_option o = options(rtol, atol, linearJac);
            o.bdf.isbdf = c.isbdf;
            o.tol.normctrl = c.normctrl;
            const SolveRun r = runSolve(kLinearTimes, {1.0, 1.0}, linear, o);
            ASSERT_EQ(r.rc, 0) << r.log;
            ASSERT_EQ(r.t.size(), kLinearTimes.size());
            double absErr = 0.0;
            const double rel = linearError(r, rtol, atol, &absErr);
            // Norm control measures the whole vector, so small components may carry
            // errors far beyond their own tolerance: only the absolute error is checked.
            if (!c.normctrl) {
                EXPECT_LT(rel, 100.0) << "rtol " << rtol;
            }
            EXPECT_LT(absErr, 50.0 * rtol) << "rtol " << rtol;
            EXPECT_LT(absErr, prevAbs / 20.0) << "rtol " << rtol;
            prevAbs = absErr;
        }
    }
}

// The reference used below is computed here by an independent method: implicit Euler on a
// grid graded towards t = 0, extrapolated (Richardson) from four grid refinements.
namespace {

using Vec3 = std::array<double, 3>;

Vec3 implicitEulerRobertson(double tend, long steps) {
    constexpr double kGrade = 1e-6;   // t = kGrade·(e^s - 1), s uniform
    const double smax = std::log(tend / kGrade + 1.0);
    Vec3 y{1.0, 0.0, 0.0};
    double tp = 0.0;
    for (long i = 1; i <= steps; ++i) {
        const double t = i == steps ? tend : kGrade * (std::exp(smax * static_cast<double>(i) / static_cast<double>(steps)) - 1.0);
        const double h = t - tp;
        Vec3 x = y;
        for (int it = 0; it < 30; ++it) {   // Newton to full convergence
            double f[3], jac[9];
            robertson(t, x.data(), f);
            robertsonJac(t, x.data(), jac);
            double a[3][4];
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) a[r][c] = (r == c ? 1.0 : 0.0) - h * jac[r * 3 + c];
                a[r][3] = -(x[static_cast<std::size_t>(r)] - y[static_cast<std::size_t>(r)] - h * f[r]);
            }
            for (int c = 0; c < 3; ++c) {   // Gaussian elimination, partial pivoting
                int p = c;
                for (int r = c + 1; r < 3; ++r)
                    if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
                for (int k = 0; k < 4; ++k) std::swap(a[c][k], a[p][k]);
                for (int r = c + 1; r < 3; ++r) {
                    const double m = a[r][c] / a[c][c];
                    for (int k = c; k < 4; ++k) a[r][k] -= m * a[c][k];
                }
            }
            double dx[3];
            for (int c = 2; c >= 0; --c) {
                double s = a[c][3];
                for (int k = c + 1; k < 3; ++k) s -= a[c][k] * dx[k];
                dx[c] = s / a[c][c];
            }
            double change = 0.0;
            for (int r = 0; r < 3; ++r) {
                x[static_cast<std::size_t>(r)] += dx[r];
                change = std::max(change, std::fabs(dx[r]) / (std::fabs(x[static_cast<std::size_t>(r)]) + 1e-30));
            }
            if (change < 1e-15) break;
        }
        y = x;
        tp = t;
    }
    return y;
}

Vec3 extrapolatedRobertson(double tend, long steps) {
    Vec3 a = implicitEulerRobertson(tend, steps), b = implicitEulerRobertson(tend, 2 * steps);
    Vec3 c = implicitEulerRobertson(tend, 4 * steps), d = implicitEulerRobertson(tend, 8 * steps);
    Vec3 out{};
    for (std::size_t i = 0; i < 3; ++i) {
        const double r1 = 2 * b[i] - a[i], r2 = 2 * c[i] - b[i], r3 = 2 * d[i] - c[i];
        const double q1 = (4 * r2 - r1) / 3, q2 = (4 * r3 - r2) / 3;
        out[i] = (8 * q2 - q1) / 7;
    }
    return out;
}

}  // namespace

TEST(NdfSolve, RobertsonMatchesIndependentReference) {
    // The independent method reproduces the published values at t = 40 ...
    const Vec3 ref40 = extrapolatedRobertson(40.0, 1000);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(ref40[i], kRobertson40[i], 1e-9 * kRobertson40[i]) << i;
    // ... and gives the reference at t = 4e5.
    const Vec3 ref4e5 = extrapolatedRobertson(4.0e5, 4000);
    EXPECT_NEAR(ref4e5[0], 4.938274520980e-3, 1e-11);

    for (int isbdf : {0, 1}) {
        SCOPED_TRACE("isbdf " + std::to_string(isbdf));
        _ndf_option o = options(1e-9, 1e-15, robertsonJac);
        o.bdf.isbdf = isbdf;
        const SolveRun r = runSolve({0.0, 40.0, 4.0e5}, {1.0, 0.0, 0.0}, robertson, o);
        ASSERT_EQ(r.rc, 0) << r.log;
        ASSERT_EQ(r.t.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_NEAR(r.y[1][i], kRobertson40[i], 2e-7 * kRobertson40[i]) << i;
            EXPECT_NEAR(r.y[2][i], ref4e5[i], 2e-6 * ref4e5[i]) << i;
        }
        // The linear invariant y1 + y2 + y3 = 1 survives the whole run.
        for (const auto &y : r.y) EXPECT_NEAR(y[0] + y[1] + y[2], 1.0, 1e-12);
    }
}

// Van der Pol, μ = 1000, from (2, 0): relaxation oscillations whose half period is
// μ·(3/2 - ln 2) + 3.5·μ^{-1/3}·... ≈ 807.2; y1 changes sign once per half period, and at
// t = 3000 the solution is on the negative slow branch (|y1| between 1 and 2).
TEST(NdfSolve, VanDerPolRelaxationOscillation) {
    constexpr double kHalfPeriod = 807.2;
    std::vector<double> y3000;
    for (int isbdf : {0, 1}) {
        SCOPED_TRACE("isbdf " + std::to_string(isbdf));
        _ndf_option o = options(1e-8, 1e-10, vanDerPolJac);
        o.bdf.isbdf = isbdf;
        const SolveRun r = runSolve({0.0, 3000.0}, {2.0, 0.0}, vanDerPol, o);
        ASSERT_EQ(r.rc, 0) << r.log;
        std::vector<double> crossings;
        for (std::size_t p = 1; p < r.t.size(); ++p)
            if ((r.y[p - 1][0] > 0.0) != (r.y[p][0] > 0.0)) crossings.push_back(r.t[p]);
        ASSERT_EQ(crossings.size(), 3u);
        for (std::size_t c = 0; c < 3; ++c)
            EXPECT_NEAR(crossings[c], static_cast<double>(c + 1) * kHalfPeriod, 3.0) << c;
        EXPECT_LT(r.last()[0], -1.0);
        EXPECT_GT(r.last()[0], -2.0);
        y3000.push_back(r.last()[0]);
    }
    // NDF and BDF agree closely at this tolerance.
    EXPECT_NEAR(y3000[0], y3000[1], 1e-5);
}

// t0num = 2 gives every accepted step; t0num > 2 exactly the requested times.
TEST(NdfSolve, OutputModes) {
    const _ndf_option o = options(1e-6, 1e-9, linearJac);
    const SolveRun all = runSolve({0.0, 10.0}, {1.0, 1.0}, linear, o);
    ASSERT_EQ(all.rc, 0) << all.log;
    EXPECT_EQ(all.t.size(), static_cast<std::size_t>(all.st.nsteps) + 1);
    EXPECT_EQ(all.t.front(), 0.0);
    EXPECT_EQ(all.t.back(), 10.0);
    EXPECT_EQ(all.y.front(), (std::vector<double>{1.0, 1.0}));
    for (std::size_t p = 1; p < all.t.size(); ++p) EXPECT_GT(all.t[p], all.t[p - 1]);

    // Many requested times, several inside one step, one very close to the end.
    std::vector<double> times;
    for (int i = 0; i <= 200; ++i) times.push_back(0.05 * i);
    times.back() = 10.0;
    times.insert(times.end() - 1, 10.0 - 1e-9);
    const SolveRun some = runSolve(times, {1.0, 1.0}, linear, o);
    ASSERT_EQ(some.rc, 0) << some.log;
    ASSERT_EQ(some.t, times);
    EXPECT_LT(linearError(some, 1e-6, 1e-9), 100.0);
    // The last point is the computed end value, the same as with every step stored.
    EXPECT_EQ(some.last(), all.last());
}

TEST(NdfSolve, TinyRelativeToleranceIsRaisedInCallersRecord) {
    _ndf_option o = options(1e-20, 1e-12, linearJac);
    _ndf_input in{};
    std::vector<double> t{0.0, 0.01}, y{1.0, 1.0};
    in = _ndf_input{2, t.data(), 2, y.data()};
    _ndf_solution sol{};
    _ndf_status st{};
    testing::internal::CaptureStdout();
    ASSERT_EQ(ndf_solve(&in, &sol, linear, &o, &st), 0);
    testing::internal::GetCapturedStdout();
    ndf_term(&sol);
    EXPECT_EQ(o.tol.rel, 2.220446049250313e-14);
    EXPECT_EQ(sol.tt, nullptr);
    EXPECT_EQ(sol.yy, nullptr);
}

// Counters: the start evaluation only, Jacobians and decompositions as formed, and the
// caller's totals are added to rather than reset.
TEST(NdfSolve, CountersAccumulate) {
    static const double kIdentity[4] = {1.0, 0.0, 0.0, 1.0};
    struct Case {
        const char *name;
        bool withMass;
        int nsolves;
    };
    for (const Case c : {Case{"no mass", false, 0}, Case{"identity mass", true, 1}}) {
        SCOPED_TRACE(c.name);
        _ndf_option o = options(1e-6, 1e-9, linearJac);
        if (c.withMass) o.dae.mconst = const_cast<double *>(kIdentity);
        std::vector<double> t{0.0, 10.0}, y{1.0, 1.0};
        _ndf_input in{2, t.data(), 2, y.data()};
        _ndf_solution sol{};
        _ndf_status st{};
        testing::internal::CaptureStdout();
        ASSERT_EQ(ndf_solve(&in, &sol, linear, &o, &st), 0);
        const _ndf_status once = st;
        ndf_term(&sol);
        ASSERT_EQ(ndf_solve(&in, &sol, linear, &o, &st), 0);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(sol.tnum, once.nsteps + 1);
        ndf_term(&sol);
        EXPECT_EQ(once.nfevals, 1);
        EXPECT_EQ(once.nfailed, 0);
        EXPECT_GE(once.npds, 1);
        EXPECT_GT(once.ndecomps, 1);
        EXPECT_EQ(once.nsolves, c.nsolves);
        EXPECT_EQ(st.nsteps, 2 * once.nsteps);
        EXPECT_EQ(st.nfevals, 2);
        EXPECT_EQ(st.npds, 2 * once.npds);
        EXPECT_EQ(st.ndecomps, 2 * once.ndecomps);
        EXPECT_EQ(st.nsolves, 2 * c.nsolves);
    }
}

namespace {
int constantSlope(double, double *, double *f) {
    f[0] = 1.0;
    return 0;
}
int constantSlopeJac(double, double *, double *j) {
    j[0] = 0.0;
    return 0;
}
}  // namespace

TEST(NdfSolve, StepLimits) {
    // A given first step is taken as it is (it is small enough to be accepted).
    _ndf_option o = options(1e-6, 1e-9, linearJac);
    o.step.initstep = 1e-7;
    const SolveRun first = runSolve({0.0, 10.0}, {1.0, 1.0}, linear, o);
    ASSERT_EQ(first.rc, 0) << first.log;
    EXPECT_DOUBLE_EQ(first.t[1], 1e-7);

    // No step exceeds the largest step (the last may stretch by 10% to end on tfinal),
    // and the default largest step is a tenth of the interval. y' = 1 is integrated exactly,
    // so only the limit holds the step back.
    for (double maxsize : {0.25, 0.0}) {
        _ndf_option om = options(1e-3, 1e-6, constantSlopeJac);
        om.step.maxsize = maxsize;
        const SolveRun r = runSolve({0.0, 10.0}, {0.0}, constantSlope, om);
        ASSERT_EQ(r.rc, 0) << r.log;
        const double hmax = maxsize > 0.0 ? maxsize : 1.0;
        double largest = 0.0;
        for (std::size_t p = 1; p < r.t.size(); ++p) largest = std::max(largest, r.t[p] - r.t[p - 1]);
        EXPECT_LE(largest, 1.1 * hmax * (1 + 1e-12)) << maxsize;
        EXPECT_GE(largest, hmax) << maxsize;
        EXPECT_EQ(r.t.back(), 10.0);
        EXPECT_NEAR(r.last()[0], 10.0, 1e-12);
    }
}

// Without a Jacobian the solver differences the right-hand side; the result must match the
// analytic-Jacobian run and cost about as many steps (a Jacobian taken against a stale f
// would make the Newton iteration fail and the steps collapse).
TEST(NdfSolve, NumericalJacobianRunMatchesAnalytic) {
    const std::vector<double> times{0.0, 40.0, 4.0e5};
    const SolveRun analytic = runSolve(times, {1.0, 0.0, 0.0}, robertson, options(1e-6, 1e-12, robertsonJac));
    const SolveRun numeric = runSolve(times, {1.0, 0.0, 0.0}, robertson, options(1e-6, 1e-12, nullptr));
    ASSERT_EQ(analytic.rc, 0) << analytic.log;
    ASSERT_EQ(numeric.rc, 0) << numeric.log;
    for (std::size_t p = 1; p < times.size(); ++p)
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_NEAR(numeric.y[p][i], analytic.y[p][i], 1e-5 * std::fabs(analytic.y[p][i])) << p << "," << i;
    EXPECT_LT(numeric.st.nsteps, analytic.st.nsteps * 13 / 10);
    EXPECT_LT(numeric.st.npds, analytic.st.npds * 2 + 3);
}

// A regular mass matrix in every form the solver accepts gives the solution of the plain ODE:
// M·y' = M·A·y with M constant, time-dependent, or state-dependent.
namespace {

double massScale(double t, const double *y, int form, int i) {
    switch (form) {
    case 1: return i == 0 ? 2.0 : 5.0;
    case 2: return (1.0 + t) * (i == 0 ? 2.0 : 5.0);
    default: return 1.0 + y[i] * y[i];
    }
}
int massForm = 1;

int massFunc(double t, double *y, double *m) {
    m[0] = massScale(t, y, massForm, 0);
    m[1] = m[2] = 0.0;
    m[3] = massScale(t, y, massForm, 1);
    return 0;
}

int scaledLinear(double t, double *y, double *f) {
    linear(t, y, f);
    for (int i = 0; i < 2; ++i) f[i] *= massScale(t, y, massForm, i);
    return 0;
}

int scaledLinearJac(double t, double *y, double *j) {   // ignores ∂M/∂y: Newton tolerates it
    linearJac(t, y, j);
    for (int i = 0; i < 2; ++i)
        for (int c = 0; c < 2; ++c) j[i * 2 + c] *= massScale(t, y, massForm, i);
    return 0;
}

}  // namespace

TEST(NdfSolve, RegularMassMatrixForms) {
    static const double kConstMass[4] = {2.0, 0.0, 0.0, 5.0};
    struct Case {
        const char *name;
        int form;
        bool useFunc;
        int ydepend;
    };
    for (const Case c : {Case{"mconst", 1, false, 0}, Case{"mfunc t only", 2, true, 0},
                         Case{"mfunc weak y", 3, true, 1}, Case{"mfunc strong y", 3, true, 2}}) {
        SCOPED_TRACE(c.name);
        massForm = c.form;
        _ndf_option o = options(1e-6, 1e-9, scaledLinearJac);
        if (c.useFunc) {
            o.dae.mfunc = massFunc;
            o.dae.ydepend = c.ydepend;
        } else {
            o.dae.mconst = const_cast<double *>(kConstMass);
        }
        const SolveRun r = runSolve(kLinearTimes, {1.0, 1.0}, scaledLinear, o);
        ASSERT_EQ(r.rc, 0) << r.log;
        EXPECT_LT(linearError(r, 1e-6, 1e-9), 100.0);
    }
}

// Michaelis–Menten depletion S' = -S/(Km + S): S runs down linearly and stops at zero. The
// non-negativity mode keeps every value >= 0 and still finishes; without it the solution
// overshoots far below zero.
namespace {

constexpr double kKm = 1e-4;
int depletion(double, double *y, double *f) {
    f[0] = -y[0] / (kKm + y[0]);
    return 0;
}
int depletionJac(double, double *y, double *j) {
    j[0] = -kKm / ((kKm + y[0]) * (kKm + y[0]));
    return 0;
}

// S(t) from Km·ln(S/S0) + S - S0 = -t (S0 = 1), by bisection on ln S.
double depletionExact(double t) {
    auto g = [t](double u) { return kKm * u + std::exp(u) - 1.0 + t; };
    double lo = std::log(1e-300), hi = 0.0;
    if (g(lo) > 0.0) return 0.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        (g(mid) > 0.0 ? hi : lo) = mid;
    }
    return std::exp(lo);
}

}  // namespace

TEST(NdfSolve, NonNegativityMode) {
    const std::vector<double> times{0.0, 0.5, 0.9, 3.0};
    _ndf_option free = options(1e-3, 1e-8, depletionJac);
    const SolveRun loose = runSolve(times, {1.0}, depletion, free);
    double lowest = 0.0;
    for (const auto &y : loose.y) lowest = std::min(lowest, y[0]);
    EXPECT_LT(lowest, -1e-3);

    _ndf_option pos = free;
    pos.tol.positive = 1;
    const SolveRun r = runSolve({0.0, 3.0}, {1.0}, depletion, pos);
    ASSERT_EQ(r.rc, 0) << r.log;
    for (std::size_t p = 0; p < r.t.size(); ++p) {
        EXPECT_GE(r.y[p][0], 0.0) << r.t[p];
        EXPECT_NEAR(r.y[p][0], depletionExact(r.t[p]), 1e-3) << r.t[p];
    }
    EXPECT_LT(r.last()[0], 1e-8);
    // The negative prediction is reported once, with one line per negative component.
    const auto first = r.log.find(" Negative !!t,tnew,h:=");
    ASSERT_NE(first, std::string::npos) << r.log;
    EXPECT_EQ(r.log.find(" Negative !!", first + 1), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("\nvy.elem[1],m_dif,v_f0:="), std::string::npos) << r.log;
}

// Bad input ends with the reason and the closing line, before any evaluation.
namespace {
int negativeRhs(double, double *, double *) { return -1; }
int zeroMass(double, double *, double *m) {
    m[0] = m[1] = m[2] = m[3] = 0.0;
    return 0;
}
}  // namespace

TEST(NdfSolve, RejectedInputMessages) {
    struct Case {
        const char *name;
        std::vector<double> times;
        ndf_odefunc_t f;
        void (*tweak)(_ndf_option &);
        const char *log;
    };
    const Case cases[] = {
        {"t0num", {0.0}, linear, [](_ndf_option &) {}, "t0num[1] < 2\nERROR: ndf_solve()\n"},
        {"decreasing", {0.0, 2.0, 1.0}, linear, [](_ndf_option &) {},
         "t0[2](1.000000e+00) does not increase from t0[1](2.000000e+00)\nERROR: ndf_solve()\n"},
        {"order", {0.0, 1.0}, linear, [](_ndf_option &o) { o.bdf.order = 6; },
         "order[6] is not in 1..5\nERROR: ndf_solve()\n"},
        {"odefunc", {0.0, 1.0}, negativeRhs, [](_ndf_option &) {}, "odefunc()\nERROR: ndf_solve()\n"},
        {"ydepend", {0.0, 1.0}, linear,
         [](_ndf_option &o) {
             o.dae.mfunc = massFunc;
             o.dae.ydepend = 3;
         },
         "Unknown ydepend(3)\nERROR: ndf_solve()\n"},
        {"singular", {0.0, 1.0}, linear,
         [](_ndf_option &o) {
             o.dae.mfunc = massFunc;
             o.dae.singular = 7;
         },
         "Unknown singular(7)\nERROR: ndf_solve()\n"},
        {"zero mass", {0.0, 1.0}, linear, [](_ndf_option &o) { o.dae.mfunc = zeroMass; },
         "nonzero num(0) <= 0\nERROR: ndf_solve()\n"},
        {"atol", {0.0, 1.0}, linear, [](_ndf_option &o) { o.tol.abs = 0.0; },
         "Illegal tolerance rel[1.000000e-03] abs[0.000000e+00]\nERROR: ndf_solve()\n"},
    };
    massForm = 1;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        _ndf_option o = options(1e-3, 1e-6, linearJac);
        c.tweak(o);
        const SolveRun r = runSolve(c.times, {1.0, 1.0}, c.f, o);
        EXPECT_EQ(r.rc, -1);
        EXPECT_EQ(r.log, c.log);
        EXPECT_TRUE(r.t.empty());
    }

    // Null arguments.
    std::vector<double> t{0.0, 1.0}, y{1.0, 1.0};
    _ndf_input in{2, t.data(), 2, y.data()};
    _ndf_solution sol{};
    _ndf_status st{};
    _ndf_option o = options(1e-3, 1e-6);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ndf_solve(&in, &sol, nullptr, &o, &st), -1);
    EXPECT_EQ(ndf_solve(nullptr, &sol, linear, &o, &st), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Illegal arguments\nERROR: ndf_solve()\nIllegal arguments\nERROR: ndf_solve()\n");
    EXPECT_EQ(sol.tnum, 0);
}

// A right-hand side that breaks down after t = 1: the step shrinks to the floor, the reason
// and the closing line are logged, and the points computed before are delivered.
namespace {
int breaksAfterOne(double t, double *y, double *f) {
    linear(t, y, f);
    if (t > 1.0) f[0] = std::numeric_limits<double>::quiet_NaN();
    return 0;
}
}  // namespace

TEST(NdfSolve, FailureDeliversStoredPoints) {
    const SolveRun r = runSolve({0.0, 5.0}, {1.0, 1.0}, breaksAfterOne, options(1e-6, 1e-9, linearJac));
    EXPECT_EQ(r.rc, -1);
    EXPECT_NE(r.log.find("ERROR: tooslow && abs_h("), std::string::npos) << r.log;
    EXPECT_TRUE(r.log.size() >= 19 && r.log.substr(r.log.size() - 19) == "ERROR: ndf_solve()\n") << r.log;
    ASSERT_EQ(r.t.size(), static_cast<std::size_t>(r.st.nsteps) + 1);
    EXPECT_LE(r.t.back(), 1.0);
    EXPECT_GT(r.t.back(), 0.9);
    EXPECT_LT(linearError(r, 1e-6, 1e-9), 100.0);
}

TEST(NdfSolve, InitSetsDefaults) {
    _ndf_option o;
    std::memset(&o, 0xff, sizeof o);
    ndf_init(&o);
    EXPECT_EQ(o.tol.rel, 1e-3);
    EXPECT_EQ(o.tol.abs, 1e-6);
    EXPECT_EQ(o.tol.normctrl, 0);
    EXPECT_EQ(o.tol.positive, 0);
    EXPECT_EQ(o.jac.jconst, nullptr);
    EXPECT_EQ(o.jac.jfunc, nullptr);
    EXPECT_EQ(o.dae.mconst, nullptr);
    EXPECT_EQ(o.dae.mfunc, nullptr);
    EXPECT_EQ(o.dae.ydepend, 1);
    EXPECT_EQ(o.dae.singular, 2);
    EXPECT_EQ(o.dae.initslope, nullptr);
    EXPECT_EQ(o.step.maxsize, 0.0);
    EXPECT_EQ(o.step.initstep, 0.0);
    EXPECT_EQ(o.bdf.order, 5);
    EXPECT_EQ(o.bdf.isbdf, 0);
}
