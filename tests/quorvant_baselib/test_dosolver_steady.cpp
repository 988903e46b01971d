// Steady-state path of the simulation driver, and time courses of models with algebraic
// variables (made consistent before the run and after parameter events).
#include <cmath>

#include "quorvant/model.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "test_dosolver_support.h"

namespace {

// Every variable algebraic: 0 = i*k - y_i, so the steady state is y_i = i*k.
void proportional(double *dydt, double *y, double, parameter *p) {
    for (int i = 1; i <= p->n_var; ++i) dydt[i] = i * p->val[1][1] - y[i];
}
void proportionalJac(double **jac, double *, double, parameter *p) {
    for (int i = 1; i <= p->n_var; ++i) jac[i][i] = -1.0;
}

// No real root: Newton-Raphson cannot converge.
void noRoot(double *dydt, double *y, double, parameter *) { dydt[1] = y[1] * y[1] + 1.0; }
void noRootJac(double **jac, double *y, double, parameter *) { jac[1][1] = 2.0 * y[1]; }

// y1 algebraic (0 = k - y1), y2 integrates it: y2' = y1.
void ramp(double *dydt, double *y, double, parameter *p) {
    dydt[1] = p->val[1][1] - y[1];
    dydt[2] = y[1];
}
void rampJac(double **jac, double *, double, parameter *) {
    jac[1][1] = -1.0;
    jac[2][1] = 1.0;
}

}  // namespace

class SteadyStateTest : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        SolverNo = 11;
        setTestModel(proportional, proportionalJac);
        loadModel(2, 2, 2.0);
        putVarTag(1, "first");
        putVarTag(2, "second");
        yInit[1] = 1.0;
        yInit[2] = 1.0;
    }
};

TEST_F(SteadyStateTest, TextModeWritesTheStateAndTheSensitivities) {
    ASSERT_EQ(run(0.0, 0.0, 0.0, 0.0), 0);
    // y_pre holds the steady state; y the state of the last sensitivity perturbation (k * 1.001).
    EXPECT_NEAR(yPre[1], 2.0, 1e-12);
    EXPECT_NEAR(yPre[2], 4.0, 1e-12);
    EXPECT_NEAR(y[2], 4.004, 1e-12);
    const std::string s = text();
    EXPECT_EQ(s.rfind("index,     y value\n"
                      "    1,  2.0000e+00,  #first\n"
                      "    2,  4.0000e+00,  #second\n"
                      "\n\n$$ Sensitivity\n",
                      0),
              0u)
        << s;
    // y_i is proportional to k: both logarithmic gains are 1; kb has no value and no row.
    EXPECT_NE(s.find(": k[  1]      ,    1.000E+00,    1.000E+00\n"), std::string::npos) << s;
    EXPECT_EQ(s.find("kb["), std::string::npos);
}

TEST_F(SteadyStateTest, SurveyCasesSkipTheSensitivities) {
    F_PSurvey = 1;
    ASSERT_EQ(run(0.0, 0.0, 0.0, 0.0), 0);
    EXPECT_EQ(text().find("Sensitivity"), std::string::npos);
}

TEST_F(SteadyStateTest, SearchModeStoresOneRowAndStillWritesTheHeader) {
    F_GA = 1;
    GeneConc = 2.0;
    double row[3] = {-1, -1, -1};
    double *matrix[] = {row};
    SolutionMatrix = matrix;
    ASSERT_EQ(run(0.0, 0.0, 0.0, 0.0), 0);
    EXPECT_EQ(StepNum, 1);
    EXPECT_EQ(row[0], 0.0);
    EXPECT_NEAR(row[1], 1.0, 1e-12);   // y / G_VALUE
    EXPECT_NEAR(row[2], 2.0, 1e-12);
    EXPECT_EQ(text(), "index,     y value\n");
}

TEST_F(SteadyStateTest, FailureWritesTheFailureLine) {
    setTestModel(noRoot, noRootJac);
    loadModel(1, 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(run(0.0, 0.0, 0.0, 0.0), -1);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(text(), "\n$$ Failure!!\n");
}

TEST_F(DriverTest, AlgebraicVariablesAreConsistentFromTheStartAndAfterParameterEvents) {
    setTestModel(ramp, rampJac);
    loadModel(2, 1, 1.0);
    yInit[1] = 5.0;   // inconsistent: the run must start from y1 = k = 1
    addEvent("k", 1, 1.0, 3.0);
    ASSERT_EQ(run(0.1, 0.0, 2.0, 1.0), 0);
    EXPECT_NEAR(y[1], 3.0, 1e-10);
    EXPECT_NEAR(y[2], 1.0 * 1.0 + 3.0 * 1.0, 1e-9);   // slope 1 until t = 1, then 3
    const auto r = rows();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_NEAR(r[1][2], 1.0, 1e-9);
}

TEST_F(DriverTest, FailedStartOfATimeCourseWritesTheFailureLine) {
    setTestModel(noRoot, noRootJac);
    loadModel(1, 1);
    ParamT.val[1][1] = 2.0;   // a parameter to move: the continuation has to solve the model
    testing::internal::CaptureStdout();
    EXPECT_EQ(run(0.1, 0.0, 1.0, 1.0), -1);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("## Error!! in doSolver1_2\n"), std::string::npos) << log;
    EXPECT_EQ(text(), "\n$$ Failure !!\n");
}
