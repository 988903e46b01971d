#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/solverlib/RungeKutta.h"
#include "quorvant/model.h"
#include "test_model.h"

namespace {

// dy1 = -k1 y1, dy2 = k1 y1 - k2 y2 (no algebraic variables); k1 = val[1][1], k2 = val[1][2].
void linearChain(double *f, double *y, double, parameter *p) {
    f[1] = -p->val[1][1] * y[1];
    f[2] = p->val[1][1] * y[1] - p->val[1][2] * y[2];
}

constexpr double kK1 = 1.3, kK2 = 0.4;

// Exact solution of linearChain from y(0) = (1, 0).
void exactChain(double t, double *y1, double *y2) {
    *y1 = std::exp(-kK1 * t);
    *y2 = kK1 / (kK2 - kK1) * (std::exp(-kK1 * t) - std::exp(-kK2 * t));
}

class RungeKutta : public testing::Test {
protected:
    void SetUp() override {
        resetParamTab();
        Nr_trial = 20;
        Nr_tol_f = 1e-12;
        Nr_tol_x = 1e-12;
        Nr_ratio = 1.1;
        Rk_eps = 1e-12;
        GeneConc = 1.0;
        Param.val[1][1] = kK1;
        Param.val[1][2] = kK2;
        Param.n_val[1] = 2;
        setSizes(0, 2);
    }
    void TearDown() override { setTestModel(nullptr, nullptr); }

    static void setSizes(int nr, int n) {
        Param.n_varNR = ParamT.n_varNR = ParamP.n_varNR = nr;
        Param.n_var = ParamT.n_var = ParamP.n_var = n;
    }
    void startChain() {
        setTestModel(linearChain, nullptr);
        y[1] = 1.0;
        y[2] = 0.0;
        y[0] = -7.0;   // never used; must stay as it is
    }
    // Largest error at t_end of the classical integrator with n fixed steps.
    double rk4Error(int n, double t_end) {
        startChain();
        double t = 0.0, h = t_end / n;
        for (int k = 0; k < n; ++k) EXPECT_EQ(SolveDiffEqNormalRungeKutta(2, y, y_pre, &t, &h, 0), 0);
        double e1, e2;
        exactChain(t_end, &e1, &e2);
        EXPECT_NEAR(t, t_end, 1e-12);
        return std::fmax(std::fabs(y[1] - e1), std::fabs(y[2] - e2));
    }
    double y[qv::kStateSize] = {};
    double y_pre[qv::kStateSize] = {};
};

}  // namespace

TEST_F(RungeKutta, ClassicalStepIsFourthOrder) {
    const double e1 = rk4Error(40, 2.0), e2 = rk4Error(80, 2.0), e3 = rk4Error(160, 2.0);
    EXPECT_NEAR(e1 / e2, 16.0, 1.0);
    EXPECT_NEAR(e2 / e3, 16.0, 0.6);
    EXPECT_EQ(y[0], -7.0);
}

TEST_F(RungeKutta, ClassicalStepEvaluatesFourTimesWithoutTheAlgebraicSolver) {
    startChain();
    double t = 0.0, h = 0.1;
    ASSERT_EQ(SolveDiffEqNormalRungeKutta(2, y, y_pre, &t, &h, 1), 0);
    EXPECT_EQ(testFvecCalls(), 4);
    EXPECT_EQ(testFjacCalls(), 0);   // no algebraic variables: no Newton iteration, even after an event
    EXPECT_EQ(h, 0.1);
    EXPECT_EQ(t, 0.1);
    EXPECT_EQ(y_pre[1], 0.0);        // the consistent-state vector is not touched either
}

TEST_F(RungeKutta, CashKarpPairHasTheExpectedOrders) {
    // One step from y(0) = (1, 0): the error estimate is O(h^5), the fifth-order solution's local
    // error O(h^6).
    startChain();
    double dydx[4] = {}, yout[4] = {}, yerr[4] = {};
    std::vector<double> est, err;
    for (double h : {0.2, 0.1, 0.05}) {
        linearChain(dydx, y, 1.0, &Param);
        cash_karpRungeKutta(y, dydx, 2, 0.0, h, yout, yerr);
        double e1, e2;
        exactChain(h, &e1, &e2);
        est.push_back(std::fabs(yerr[1]) + std::fabs(yerr[2]));
        err.push_back(std::fabs(yout[1] - e1) + std::fabs(yout[2] - e2));
    }
    EXPECT_NEAR(est[0] / est[1], 32.0, 4.0);
    EXPECT_NEAR(est[1] / est[2], 32.0, 2.0);
    // The sixth-order term approaches its limit slowly; it is clearly above the estimate's 32.
    EXPECT_GT(err[0] / err[1], 45.0);
    EXPECT_GT(err[1] / err[2], 52.0);
    EXPECT_LT(err[1] / err[2], 70.0);
    // The estimate is of the embedded fourth-order solution, so it bounds the fifth-order error.
    for (std::size_t i = 0; i < est.size(); ++i) EXPECT_GT(est[i], err[i]);
}

TEST_F(RungeKutta, AdaptiveIntegrationMeetsItsToleranceAndLandsOnTheEnd) {
    std::vector<int> stepCounts;
    for (double eps : {1e-6, 1e-9}) {
        Rk_eps = eps;
        startChain();
        double t = 0.0, h = 0.5;
        const double t_end = 3.0;
        int steps = 0;
        while (t < t_end && steps < 10000) {
            ASSERT_EQ(SolveDiffEqAdaptiveRungeKutta(2, y, y_pre, &t, &h, t_end, 0), 0);
            ++steps;
        }
        EXPECT_EQ(t, t_end);
        double e1, e2;
        exactChain(t_end, &e1, &e2);
        // Local errors are held below eps relative to a scale of order one, and this decaying
        // system does not amplify them: the global error stays below eps.
        EXPECT_LT(std::fabs(y[1] - e1), eps) << eps;
        EXPECT_LT(std::fabs(y[2] - e2), eps) << eps;
        EXPECT_EQ(y[0], -7.0);
        stepCounts.push_back(steps);
    }
    // A thousandfold tighter tolerance takes about 1000^(1/5) ~ 4 times the steps.
    EXPECT_GT(stepCounts[1], 2 * stepCounts[0]);
    EXPECT_LT(stepCounts[1], 8 * stepCounts[0]);
}

TEST_F(RungeKutta, ClippedStepEndsExactlyOnTheEndTime) {
    // For this pair t + (t_end - t) rounds to a different double than t_end.
    const double t0 = 0.17656515792386251, t_end = 23.76902033155019;
    ASSERT_NE(t0 + (t_end - t0), t_end);
    setTestModel([](double *f, double *, double, parameter *) { f[1] = 0.0; }, nullptr);
    setSizes(0, 1);
    y[1] = 1.0;
    double t = t0, h = 100.0;
    ASSERT_EQ(SolveDiffEqAdaptiveRungeKutta(1, y, y_pre, &t, &h, t_end, 0), 0);
    EXPECT_EQ(t, t_end);
    EXPECT_EQ(h, 5.0 * (t_end - t0));   // no error at all: the next step grows fivefold
}

TEST_F(RungeKutta, NegativeTrialValueCutsTheStepExactlyTenfold) {
    // Constant derivative: the pair is exact, so only the sign test can reject a step.
    setTestModel([](double *f, double *, double, parameter *) { f[1] = -1.0; }, nullptr);
    setSizes(0, 1);
    struct Case {
        double y0, t_expect, y_expect;
    };
    const Case cases[] = {
        {0.5, 0.1 * 1.0, 0.4},              // one rejection
        {0.05, 0.1 * (0.1 * 1.0), 0.04},    // two rejections
    };
    for (const Case &c : cases) {
        y[1] = c.y0;
        double t = 0.0, h = 1.0;
        ASSERT_EQ(SolveDiffEqAdaptiveRungeKutta(1, y, y_pre, &t, &h, 10.0, 0), 0);
        EXPECT_EQ(t, c.t_expect);
        EXPECT_NEAR(y[1], c.y_expect, 1e-15);
        EXPECT_EQ(h, 5.0 * c.t_expect);
    }
}

TEST_F(RungeKutta, AcceptanceAndGrowthBoundaries) {
    // With Rk_eps = 1 and a chosen error scale the scaled error is set exactly.
    startChain();
    Rk_eps = 1.0;
    const double h0 = 0.3;
    double dydx[4], yerr[4], yout[4];
    linearChain(dydx, y, 1.0, &Param);
    cash_karpRungeKutta(y, dydx, 2, 0.0, h0, yout, yerr);
    const double y0[3] = {0.0, y[1], y[2]};
    auto step = [&](double scale1, double *t, double *h) {
        y[1] = y0[1];
        y[2] = y0[2];
        double yscal[3] = {0.0, scale1, 1e300};
        *t = 0.0;
        *h = h0;
        return adaptiveRungeKuttaStep(y, dydx, 2, t, h, yscal);
    };
    double t, h;
    // errmax exactly 1: accepted at full size.
    ASSERT_EQ(step(std::fabs(yerr[1]), &t, &h), 0);
    EXPECT_EQ(t, h0);
    EXPECT_EQ(y[1], yout[1]);
    // errmax just above 1: rejected, retried with a smaller step.
    ASSERT_EQ(step(std::nextafter(std::fabs(yerr[1]), 0.0), &t, &h), 0);
    EXPECT_LT(t, h0);

    // errmax exactly 0.000189 grows the step fivefold; just above it, by the error formula.
    const double target = 0.000189;
    double s = std::fabs(yerr[1]) / target;
    for (int k = 0; k < 8 && std::fabs(yerr[1]) / s != target; ++k)
        s = std::fabs(yerr[1]) / s > target ? std::nextafter(s, 1e300) : std::nextafter(s, 0.0);
    ASSERT_EQ(std::fabs(yerr[1]) / s, target);
    ASSERT_EQ(step(s, &t, &h), 0);
    EXPECT_EQ(h, 5.0 * h0);
    double above = s;
    while (std::fabs(yerr[1]) / above <= target) above = std::nextafter(above, 0.0);
    ASSERT_EQ(step(above, &t, &h), 0);
    const double errmax = std::fabs(yerr[1]) / above;
    EXPECT_EQ(h, 0.9 * h0 * std::pow(errmax, -0.2));
}

TEST_F(RungeKutta, StepSizeFailures) {
    // A derivative that is not a number: every trial is rejected until the step underflows;
    // y and t stay at the last accepted state.
    setTestModel([](double *f, double *, double, parameter *) { f[1] = std::nan(""); }, nullptr);
    setSizes(0, 1);
    y[1] = 2.0;
    double t = 1.0, h = 0.5;
    testing::internal::CaptureStdout();
    EXPECT_EQ(SolveDiffEqAdaptiveRungeKutta(1, y, y_pre, &t, &h, 10.0, 0), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "## Step size underflow in adaptiveRungeKuttaStep.\n");
    EXPECT_EQ(t, 1.0);
    EXPECT_EQ(y[1], 2.0);
    EXPECT_LT(h, 1e-15);

    // A tiny accepted step whose successor is still below 1e-30.
    setTestModel([](double *f, double *, double, parameter *) { f[1] = 0.0; }, nullptr);
    t = 0.0;
    h = 1e-32;
    testing::internal::CaptureStdout();
    EXPECT_EQ(SolveDiffEqAdaptiveRungeKutta(1, y, y_pre, &t, &h, 10.0, 0), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "## Step size is too small. h= 5.000E-32\n");
    EXPECT_EQ(t, 1e-32);
}

TEST_F(RungeKutta, LargestModelFitsAndLargerIsRefused) {
    // 512 variables, dy_i = -i/512 y_i: every slot up to y[512] is integrated.
    setTestModel(
        [](double *f, double *y, double, parameter *) {
            for (int i = 1; i <= qv::kMaxVar; ++i) f[i] = -(i / 512.0) * y[i];
        },
        nullptr);
    setSizes(0, qv::kMaxVar);
    for (int i = 1; i <= qv::kMaxVar; ++i) y[i] = 1.0;
    double t = 0.0, h = 0.01;
    ASSERT_EQ(SolveDiffEqNormalRungeKutta(qv::kMaxVar, y, y_pre, &t, &h, 0), 0);
    EXPECT_NEAR(y[qv::kMaxVar], std::exp(-0.01), 1e-10);
    Rk_eps = 1e-8;
    ASSERT_EQ(SolveDiffEqAdaptiveRungeKutta(qv::kMaxVar, y, y_pre, &t, &h, 1.0, 0), 0);
    EXPECT_NEAR(y[qv::kMaxVar], std::exp(-t), 1e-7);

    testing::internal::CaptureStdout();
    EXPECT_EQ(SolveDiffEqNormalRungeKutta(qv::kMaxVar + 1, y, y_pre, &t, &h, 0), -1);
    EXPECT_EQ(SolveDiffEqAdaptiveRungeKutta(qv::kMaxVar + 1, y, y_pre, &t, &h, 1.0, 0), -1);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("## Inappropriate number of variables in SolveDiffEqNormalRungeKutta."), std::string::npos);
}

TEST_F(RungeKutta, AlgebraicVariablesAreMadeConsistentAndHeldDuringTheStep) {
    // y1 = T - y2 (conservation, algebraic), dy2 = -k y2 with T = val[1][1], k = val[1][2].
    for (const char *n : {"p", "y_force", "y_add", "time_start", "time_end"}) ASSERT_EQ(addParam2Tab(n), 0);
    setSizes(1, 2);
    Param.val[1][1] = ParamP.val[1][1] = 5.0;
    Param.val[1][2] = ParamP.val[1][2] = 0.5;
    Param.n_val[1] = ParamP.n_val[1] = 2;
    ParamT = Param;
    setTestModel(
        [](double *f, double *y, double, parameter *p) {
            f[1] = p->val[1][1] - y[1] - y[2];
            f[2] = -p->val[1][2] * y[2];
        },
        [](double **j, double *, double, parameter *p) {
            j[1][1] = -1.0;
            j[1][2] = -1.0;
            j[2][2] = -p->val[1][2];
        });
    y[1] = 0.0;
    y[2] = 2.0;
    y_pre[1] = 3.0;
    y_pre[2] = 2.0;
    double t = 0.0, h = 0.1;
    ASSERT_EQ(SolveDiffEqNormalRungeKutta(2, y, y_pre, &t, &h, 0), 0);
    EXPECT_NEAR(y[1], 3.0, 1e-12);                  // consistent at the start of the step, then held
    EXPECT_NEAR(y[2], 2.0 * std::exp(-0.05), 1e-8);
    EXPECT_NEAR(y_pre[1], 3.0, 1e-12);              // the consistent state before the step
    EXPECT_EQ(y_pre[2], 2.0);

    // An event doubles T: the algebraic variable follows from the last consistent state.
    Param.val[1][1] = 10.0;
    ASSERT_EQ(SolveDiffEqAdaptiveRungeKutta(2, y, y_pre, &t, &h, 1.0, 1), 0);
    EXPECT_EQ(ParamP.val[1][1], 10.0);
    EXPECT_NEAR(y[1] + y_pre[2], 10.0, 1e-12);      // y1 consistent with the state before this step
    EXPECT_NEAR(y_pre[1] + y_pre[2], 10.0, 1e-12);
}
