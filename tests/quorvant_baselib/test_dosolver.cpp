// Time-course paths of the simulation driver: sampling, time events, addition rates, output modes
// and the solver dispatch.
#include <unistd.h>

#include <cmath>
#include <cstring>

#include "quorvant/model.h"
#include "quorvant/quorvant_baselib/dosolver.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "test_dosolver_support.h"

namespace {

void still(double *dydt, double *, double, parameter *p) {
    for (int i = 1; i <= p->n_var; ++i) dydt[i] = 0.0;
}

// y2 integrates y1: y2(t) shows how long y1 held which value.
void clock(double *dydt, double *y, double, parameter *) {
    dydt[1] = 0.0;
    dydt[2] = y[1];
}

// dy_i/dt = -k y_i with k = parameter 1.
void decay(double *dydt, double *y, double, parameter *p) {
    for (int i = 1; i <= p->n_var; ++i) dydt[i] = -p->val[1][1] * y[i];
}

void fall(double *dydt, double *, double, parameter *) { dydt[1] = -1.0; }

}  // namespace

TEST_F(DriverTest, FixedStepRowsAtTheFirstStepPastEachSampleTime) {
    setTestModel(decay, nullptr);
    loadModel(2, 0);
    yInit[1] = 1.0;
    yInit[2] = 2.0;
    ASSERT_EQ(run(0.1, 0.0, 3.0, 1.0), 0);

    const std::string s = text();
    EXPECT_EQ(s.substr(0, s.find('\n') + 1), "Time      ,     y[  1],     y[  2]\n");
    const auto r = rows();
    ASSERT_EQ(r.size(), 4u);   // t_start, then 1, 2, 3: no extra step past t_end
    const double times[] = {0.0, 1.0, 2.0, 3.0};
    for (size_t i = 0; i < r.size(); ++i) {
        EXPECT_NEAR(r[i][0], times[i], 1e-12);
        EXPECT_NEAR(r[i][1], std::exp(-times[i]), 1e-3 * std::exp(-times[i]));
        EXPECT_NEAR(r[i][2], 2.0 * std::exp(-times[i]), 2e-3 * std::exp(-times[i]));
    }
    EXPECT_NE(s.find(" 0.000E+00,  1.000E+00,  2.000E+00\n"), std::string::npos);
    // One classical RK4 step multiplies a decaying variable by the Taylor polynomial of e^-h.
    const double h = 0.1;
    const double factor = 1 - h + h * h / 2 - h * h * h / 6 + h * h * h * h / 24;
    EXPECT_NEAR(y[1], std::pow(factor, 30), 1e-15);
}

TEST_F(DriverTest, SampleGridCountsFromZeroNotFromStartTime) {
    setTestModel(still, nullptr);
    loadModel(1, 0);
    ASSERT_EQ(run(0.1, 0.5, 3.0, 1.0), 0);
    const auto r = rows();
    ASSERT_EQ(r.size(), 4u);   // 0.5 (start), then 1, 2, 3
    EXPECT_NEAR(r[0][0], 0.5, 1e-12);
    EXPECT_NEAR(r[1][0], 1.0, 1e-12);
    EXPECT_NEAR(r[3][0], 3.0, 1e-12);
}

TEST_F(DriverTest, EventIsAppliedBeforeTheStepWhoseMiddleItPrecedes) {
    // y1 jumps from 0 to 1; y2(2) is then the time y1 spent at 1, counted in whole steps of 0.1.
    struct Case {
        double eventTime;
        double heldFor;
    };
    for (const Case c : {Case{1.0, 1.0}, Case{0.96, 1.0}, Case{0.94, 1.1}, Case{1.04, 1.0}, Case{1.06, 0.9}}) {
        SCOPED_TRACE(c.eventTime);
        resetInputData();
        SolverNo = 1;
        GeneConc = 1.0;
        setTestModel(clock, nullptr);
        loadModel(2, 0);
        addEvent("y_force", 1, c.eventTime, 1.0);
        ASSERT_EQ(run(0.1, 0.0, 2.0, 1.0), 0);
        EXPECT_NEAR(y[2], c.heldFor, 1e-9);
    }
}

TEST_F(DriverTest, AdditionRateAddsRateTimesStepUntilSetToZero) {
    setTestModel(still, nullptr);
    loadModel(5, 0);
    yInit[5] = 1.0;
    addEvent("y_add", 5, 1.0, 2.0);
    addEvent("y_add", 5, 3.0, 0.0);
    ASSERT_EQ(run(0.1, 0.0, 5.0, 1.0), 0);
    const auto r = rows();
    ASSERT_EQ(r.size(), 6u);
    const double expected[] = {1.0, 1.0, 3.0, 5.0, 5.0, 5.0};   // at t = 0, 1, ..., 5
    for (size_t i = 0; i < r.size(); ++i) EXPECT_NEAR(r[i][5], expected[i], 1e-9) << "t=" << r[i][0];
    for (size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i][1], 0.0);   // other variables untouched
}

TEST_F(DriverTest, AdaptiveAdditionUsesTheStepTakenNotTheNextStep) {
    SolverNo = 2;
    Rk_eps = 1e-10;
    setTestModel(still, nullptr);
    loadModel(1, 0);
    addEvent("y_add", 1, 0.0, 3.0);
    ASSERT_EQ(run(0.01, 0.0, 4.0, 1.0), 0);
    // With a still model the adaptive steps grow fivefold each time; the total added must still
    // be the rate times the time elapsed.
    EXPECT_NEAR(y[1], 12.0, 1e-9);
    const auto r = rows();
    ASSERT_FALSE(r.empty());
    EXPECT_NEAR(r.back()[0], 4.0, 1e-12);   // the last step is clipped to t_end
}

TEST_F(DriverTest, ParameterEventChangesOnlyThisRun) {
    setTestModel(decay, nullptr);
    loadModel(1, 0, 1.0);
    yInit[1] = 1.0;
    addEvent("k", 1, 1.0, 0.0);   // decay stops at t = 1
    ASSERT_EQ(run(0.01, 0.0, 2.0, 1.0), 0);
    EXPECT_NEAR(y[1], std::exp(-1.0), 1e-9);
    EXPECT_EQ(Param.val[1][1], 0.0);
    // The next run starts again from the snapshot's value.
    ASSERT_EQ(DoSolver(snap, 0.01, 0.0, 0.5, 1.0, yInit, y, yPre), 0);
    EXPECT_NEAR(y[1], std::exp(-0.5), 1e-9);
}

TEST_F(DriverTest, NegativeValuesAreReportedAndTheRunGoesOn) {
    setTestModel(fall, nullptr);
    loadModel(1, 0);
    yInit[1] = 0.15;
    testing::internal::CaptureStdout();
    const int rc = run(0.1, 0.0, 0.3, 1.0);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(log,
              "Negative Value!! t= 2.000E-01:y[  1]=-5.000E-02\n"
              "Negative Value!! t= 3.000E-01:y[  1]=-1.500E-01\n");
}

TEST_F(DriverTest, SearchModeStoresScaledRowsWithoutTheStartRow) {
    F_GA = 1;
    GeneConc = 2.0;
    setTestModel(still, nullptr);
    loadModel(2, 0);
    yInit[1] = 4.0;
    yInit[2] = 6.0;
    std::vector<std::vector<double>> storage(5, std::vector<double>(3, -1.0));
    std::vector<double *> matrix;
    for (auto &row : storage) matrix.push_back(row.data());
    SolutionMatrix = matrix.data();

    ASSERT_EQ(run(0.1, 0.0, 3.0, 1.0), 0);
    EXPECT_EQ(StepNum, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(storage[i][0], i + 1.0, 1e-12);
        EXPECT_EQ(storage[i][1], 2.0);
        EXPECT_EQ(storage[i][2], 3.0);
    }
    EXPECT_EQ(storage[3][0], -1.0);
    EXPECT_EQ(text(), "");   // nothing goes to the result stream

    // A bounded matrix keeps its rows and reports the overflow once.
    StepNum = 0;
    SolutionRows = 2;
    testing::internal::CaptureStdout();
    ASSERT_EQ(run(0.1, 0.0, 3.0, 1.0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "## Time course exceeds the 2 rows of SolutionMatrix; later rows dropped.\n");
    EXPECT_EQ(StepNum, 2);
}

TEST_F(DriverTest, CopyParameterMatchesWholeRecordAssignment) {
    ParamT.n_var = 3;
    ParamT.n_varNR = 1;
    ParamT.n_val[1] = 2;
    ParamT.val[1][1] = 1.5;
    ParamT.val[1][2] = 2.5;
    ParamT.val[6][7] = 9.0;   // the last named row (time_end) is copied too
    Param.val[2][1] = 7.0;    // a named row that differs in the target is overwritten
    copyParameter(Param, ParamT);
    EXPECT_EQ(std::memcmp(&Param, &ParamT, sizeof(parameter)), 0);
}

TEST_F(DriverTest, UnknownSolverNumbersEndTheProcess) {
    setTestModel(still, nullptr);
    loadModel(1, 0);
    std::fflush(stdout);
    // Without the S-system hook (as in this test program) 12 is an unknown number too.
    for (int no : {4, 12, 0}) {
        SolverNo = no;
        char expected[64];
        std::snprintf(expected, sizeof expected, "## Wrong Solver!! No =%3d", no);
        EXPECT_EXIT(
            {
                dup2(2, 1);   // the system log is stdout; death tests read stderr
                run(0.1, 0.0, 1.0, 1.0);
            },
            testing::ExitedWithCode(255), expected);
    }
}

TEST_F(DriverTest, SolverTwelveUsesTheRegisteredHook) {
    SolverNo = 12;
    loadModel(1, 0);
    static int calls = 0;
    Qv_doSolver12 = [](double *yy) {
        ++calls;
        yy[1] = 42.0;
        return 0;
    };
    EXPECT_EQ(run(0.1, 0.0, 1.0, 1.0), 0);
    Qv_doSolver12 = nullptr;
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(y[1], 42.0);
}
