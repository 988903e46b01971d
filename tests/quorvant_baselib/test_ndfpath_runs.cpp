// Whole runs of the NDF path with small models whose solutions are known in closed form, and
// with Robertson's stiff system against its published values at t = 40.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/dosolver3.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/model.h"
#include "test_model.h"

namespace {

using Rows = std::vector<std::vector<double>>;

struct Ev {
    const char *name;
    int index;
    double time;
    double value;
};

class NdfRun : public ::testing::Test {
protected:
    double yInit[qv::kStateSize] = {};
    double y[qv::kStateSize] = {};
    double yPre[qv::kStateSize] = {};
    FILE *out = nullptr;
    std::vector<std::vector<double>> storage;   // search-mode rows
    std::vector<double *> rowPtrs;

    void SetUp() override {
        resetParamTab();
        resetInputData();
        for (const char *name : {"k", "kb", "kc", "y_force", "y_add", "time_start", "time_end"})
            ASSERT_EQ(addParam2Tab(name), 0);
        out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        Fp_out = out;
        F_GA = 0;
        SolverNo = 3;
        GeneConc = 1.0;
        Ndf_rtol = 1e-8;
        Ndf_atol = 1e-12;
        StepNum = 0;
        SolutionMatrix = nullptr;
        SolutionRows = 0;
    }
    void TearDown() override {
        Fp_out = nullptr;
        std::fclose(out);
        SolutionMatrix = nullptr;
        setTestModel(nullptr, nullptr);
        resetParamTab();
        resetInputData();
    }

    // Sizes and parameter values k, kb, kc (numbers 1..3), as the reader would leave them.
    void loadModel(int n, int nAlgebraic, std::vector<double> k = {1.0}) {
        ParamT.n_var = n;
        ParamT.n_varNR = nAlgebraic;
        for (size_t p = 0; p < k.size(); ++p) {
            ParamT.n_val[p + 1] = 1;
            ParamT.val[p + 1][1] = k[p];
        }
        Param = ParamT;
        ParamP = ParamT;
    }
    // The run's events in time order, between time_start and time_end as the reader adds them.
    void setEvents(double t_start, double t_end, const std::vector<Ev> &evs) {
        EventsNum = 0;
        Events[EventsNum++] = event{Name2Pno("time_start"), 0, t_start, 0};
        for (const Ev &e : evs) Events[EventsNum++] = event{Name2Pno(e.name), e.index, e.time, e.value};
        Events[EventsNum++] = event{Name2Pno("time_end"), 0, t_end, 0};
    }
    void searchMode(int rows) {
        F_GA = 1;
        storage.assign(static_cast<size_t>(rows), std::vector<double>(qv::kStateSize));
        rowPtrs.clear();
        for (auto &r : storage) rowPtrs.push_back(r.data());
        SolutionMatrix = rowPtrs.data();
        SolutionRows = rows;
    }
    int run(double dt, double t_start, double t_end, double dm) {
        const parameter snap = Param;
        return doSolver3(snap, dt, t_start, t_end, dm, yInit, y, yPre);
    }
    std::string text() {
        std::fflush(out);
        std::rewind(out);
        std::string s;
        char buf[4096];
        size_t got;
        while ((got = std::fread(buf, 1, sizeof buf, out)) > 0) s.append(buf, got);
        return s;
    }
    // The text rows {t, y1..yn} after the header.
    Rows textRows() {
        Rows r;
        std::istringstream in(text());
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line.rfind("Time", 0) == 0) continue;
            std::vector<double> row;
            std::istringstream fields(line);
            std::string f;
            while (std::getline(fields, f, ',')) row.push_back(std::stod(f));
            r.push_back(row);
        }
        return r;
    }
    Rows searchRows(int n) {
        Rows r;
        for (int i = 0; i < StepNum; ++i)
            r.emplace_back(storage[static_cast<size_t>(i)].begin(), storage[static_cast<size_t>(i)].begin() + n + 1);
        return r;
    }
    static std::vector<double> times(const Rows &rows) {
        std::vector<double> t;
        for (const auto &r : rows) t.push_back(r[0]);
        return t;
    }
};

// dy/dt = -k y for every variable.
void decay(double *dydt, double *y, double, parameter *p) {
    for (int i = 1; i <= p->n_var; ++i) dydt[i] = -p->val[1][1] * y[i];
}
void decayJac(double **jac, double *, double, parameter *p) {
    for (int i = 1; i <= p->n_var; ++i) jac[i][i] = -p->val[1][1];
}

TEST_F(NdfRun, RowsOfEveryPeriodFromItsStartSoEventTimesAppearTwice) {
    struct Case {
        const char *what;
        std::vector<Ev> events;
        double t_end, dm;
        std::vector<double> times;
    };
    const std::vector<Case> cases = {
        {"events at 2 and 5", {{"k", 1, 2, 0.5}, {"y_force", 1, 5, 2}}, 10, 1,
         {0, 1, 2, 2, 3, 4, 5, 5, 6, 7, 8, 9, 10}},
        {"a period of 2.05 sampled every 1", {}, 2.05, 1, {0, 1, 2.05}},
        {"a period shorter than DELTA_M: its two ends only", {}, 2, 3, {0, 2}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::fclose(out);   // a fresh result stream per case
        out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        Fp_out = out;
        loadModel(1, 0);
        yInit[1] = 1.0;
        setEvents(0, c.t_end, c.events);
        setTestModel(decay, decayJac);
        ASSERT_EQ(run(0.01, 0, c.t_end, c.dm), 0);
        EXPECT_EQ(text().substr(0, 23), "Time      ,     y[  1]\n");
        const Rows rows = textRows();
        EXPECT_EQ(times(rows), c.times);
    }
}

TEST_F(NdfRun, EventsActAtTheirTimeOnParametersAndStates) {
    // y' = -k y, y(0) = 1; k = 1 up to 2, then 0.5; y forced to 2 at 5.
    loadModel(1, 0);
    yInit[1] = 1.0;
    setEvents(0, 10, {{"k", 1, 2, 0.5}, {"y_force", 1, 5, 2}});
    setTestModel(decay, decayJac);
    searchMode(40);
    ASSERT_EQ(run(0.01, 0, 10, 1), 0);
    const Rows rows = searchRows(1);
    ASSERT_EQ(rows.size(), 13u);
    auto exact = [](double t, bool afterForce) {
        if (afterForce) return 2.0 * std::exp(-0.5 * (t - 5));
        return t <= 2 ? std::exp(-t) : std::exp(-2.0) * std::exp(-0.5 * (t - 2));
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        const bool afterForce = i >= 7;   // rows 0..6 end at the first row for 5
        EXPECT_NEAR(rows[i][1], exact(rows[i][0], afterForce), 1e-6) << "row " << i << " t=" << rows[i][0];
    }
    EXPECT_EQ(rows[6][0], 5.0);
    EXPECT_EQ(rows[7][1], 2.0);   // the forced value itself starts the last period
    EXPECT_EQ(y[1], yPre[1]);     // the final state in both arrays
    EXPECT_NEAR(y[1], exact(10, true), 1e-6);
}

// y1' = 0 (only the addition changes it), y2' = -y2.
void constantAndDecay(double *dydt, double *y, double, parameter *) {
    dydt[1] = 0.0;
    dydt[2] = -y[2];
}

TEST_F(NdfRun, AdditionPeriodRowsAreTheEndsOfItsSubIntervals) {
    // Rate 2 on y1 from 1 to 3.5: the sub-intervals [1,2], [2,3], [3,3.5] each add 2 x length.
    loadModel(2, 0);
    yInit[1] = 1.0;
    yInit[2] = 1.0;
    setEvents(0, 5, {{"y_add", 1, 1, 2}, {"y_add", 1, 3.5, 0}});
    setTestModel(constantAndDecay, nullptr);
    F_Numerical_Jac = 1;
    searchMode(40);
    ASSERT_EQ(run(0.01, 0, 5, 1), 0);
    const Rows rows = searchRows(2);
    EXPECT_EQ(times(rows), (std::vector<double>{0, 1, 2, 3, 3.5, 3.5, 4.5, 5}));
    const std::vector<double> y1 = {1, 1, 3, 5, 6, 6, 6, 6};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_NEAR(rows[i][1], y1[i], 1e-12) << "t=" << rows[i][0];
        EXPECT_NEAR(rows[i][2], std::exp(-rows[i][0]), 1e-6) << "t=" << rows[i][0];
    }
}

TEST_F(NdfRun, RatesAddUpEvenWhenSwitchedOffBeforeBeingSwitchedOn) {
    // An early "off" for a rate that was never on must not hide the later "on".
    loadModel(2, 0);
    yInit[1] = 1.0;
    yInit[2] = 1.0;
    setEvents(0, 3, {{"y_add", 1, 1, 0}, {"y_add", 1, 2, 1}});
    setTestModel(constantAndDecay, nullptr);
    F_Numerical_Jac = 1;
    ASSERT_EQ(run(0.01, 0, 3, 1), 0);
    EXPECT_NEAR(y[1], 2.0, 1e-12);
}

TEST_F(NdfRun, NegativeValuesAreLoggedAndTheRunGoesOn) {
    loadModel(2, 0);
    yInit[1] = 1.0;
    yInit[2] = 1.0;
    setEvents(0, 2, {{"y_add", 1, 0, -1}});
    setTestModel(constantAndDecay, nullptr);
    F_Numerical_Jac = 1;
    testing::internal::CaptureStdout();
    const int rc = run(0.01, 0, 2, 1);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 0);
    EXPECT_NE(log.find("Negative Value!! t= 2.000E+00:y[  1]=-1.000E+00\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Negative Value!! t= 1.000E+00"), std::string::npos) << log;   // y1 = 0 there
}

TEST_F(NdfRun, NumericalJacobianOptionNeverCallsTheModelJacobian) {
    struct Case {
        int numerical;
        bool modelJacobianUsed;
    };
    for (const Case c : {Case{1, false}, Case{0, true}}) {
        SCOPED_TRACE(c.numerical);
        loadModel(2, 0, {0.7});
        yInit[1] = 1.0;
        yInit[2] = 3.0;
        setEvents(0, 4, {});
        setTestModel(decay, decayJac);
        F_Numerical_Jac = c.numerical;
        ASSERT_EQ(run(0.01, 0, 4, 1), 0);
        EXPECT_EQ(testFjacCalls() > 0, c.modelJacobianUsed);
        EXPECT_NEAR(y[2], 3.0 * std::exp(-0.7 * 4), 1e-6);
    }
}

TEST_F(NdfRun, SearchModeStoresScaledRowsAndWritesNothing) {
    GeneConc = 4.0;
    loadModel(2, 0, {0.5});
    yInit[1] = 4.0;   // 1 in the user's unit
    yInit[2] = 8.0;   // 2
    setEvents(0, 2, {});
    setTestModel(decay, decayJac);
    searchMode(10);
    ASSERT_EQ(run(0.01, 0, 2, 1), 0);
    EXPECT_EQ(text(), "");
    ASSERT_EQ(StepNum, 3);
    for (int i = 0; i < StepNum; ++i) {
        const double t = SolutionMatrix[i][0];
        EXPECT_EQ(t, static_cast<double>(i));
        EXPECT_NEAR(SolutionMatrix[i][1], std::exp(-0.5 * t), 1e-6);
        EXPECT_NEAR(SolutionMatrix[i][2], 2.0 * std::exp(-0.5 * t), 1e-6);
    }
}

// DAE: y1 = k y2 (algebraic, k = parameter 1), y2' = -kb y2 (kb = parameter 2).
void proportional(double *dydt, double *y, double, parameter *p) {
    dydt[1] = p->val[1][1] * y[2] - y[1];
    dydt[2] = -p->val[2][1] * y[2];
}
void proportionalJac(double **jac, double *, double, parameter *p) {
    jac[1][1] = -1.0;
    jac[1][2] = p->val[1][1];
    jac[2][2] = -p->val[2][1];
}

TEST_F(NdfRun, DaeAlgebraicVariableFollowsParameterAndStateEvents) {
    // k goes 1 -> 3 at 1 (the algebraic variable is re-solved by continuation); y2 forced to 5 at 2.
    loadModel(2, 1, {1.0, 1.0});
    yInit[1] = 0.2;   // inconsistent guess: solved to k y2 = 1 before the first period
    yInit[2] = 1.0;
    setEvents(0, 3, {{"k", 1, 1, 3.0}, {"y_force", 2, 2, 5.0}});
    setTestModel(proportional, proportionalJac);
    searchMode(20);
    ASSERT_EQ(run(0.01, 0, 3, 1), 0);
    const Rows rows = searchRows(2);
    ASSERT_EQ(times(rows), (std::vector<double>{0, 1, 1, 2, 2, 3}));
    const std::vector<double> y2 = {1, std::exp(-1.0), std::exp(-1.0), std::exp(-2.0), 5, 5 * std::exp(-1.0)};
    const std::vector<double> k = {1, 1, 3, 3, 3, 3};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_NEAR(rows[i][2], y2[i], 1e-6) << "row " << i;
        EXPECT_NEAR(rows[i][1], k[i] * y2[i], 1e-6) << "row " << i;
    }
}

TEST_F(NdfRun, DaeRowsOfAnAdditionPeriodSatisfyTheAlgebraicEquation) {
    // y2' = 0 with rate 1 from 1 to 3: y2 = 1 + (t - 1) there, and y1 = 2 y2 in every row.
    loadModel(2, 1, {2.0, 0.0});
    yInit[1] = 2.0;
    yInit[2] = 1.0;
    setEvents(0, 4, {{"y_add", 2, 1, 1.0}, {"y_add", 2, 3, 0.0}});
    setTestModel(proportional, proportionalJac);
    searchMode(20);
    ASSERT_EQ(run(0.01, 0, 4, 1), 0);
    const Rows rows = searchRows(2);
    ASSERT_EQ(times(rows), (std::vector<double>{0, 1, 2, 3, 3, 4}));
    const std::vector<double> y2 = {1, 1, 2, 3, 3, 3};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_NEAR(rows[i][2], y2[i], 1e-9) << "row " << i;
        EXPECT_NEAR(rows[i][1], 2.0 * y2[i], 1e-9) << "row " << i;
    }
}

// Robertson's system, ODE form (k, kb, kc = 0.04, 3e7, 1e4) and DAE form (y1 from the
// conservation law y1 + y2 + y3 = 1).
void robertson(double *dydt, double *y, double, parameter *p) {
    const double v1 = p->val[1][1] * y[1], v2 = p->val[2][1] * y[2] * y[2], v3 = p->val[3][1] * y[2] * y[3];
    dydt[1] = p->n_varNR > 0 ? 1.0 - y[1] - y[2] - y[3] : -v1 + v3;
    dydt[2] = v1 - v3 - v2;
    dydt[3] = v2;
}
void robertsonJac(double **jac, double *y, double, parameter *p) {
    const double k1 = p->val[1][1], k2 = p->val[2][1], k3 = p->val[3][1];
    if (p->n_varNR > 0) {
        jac[1][1] = jac[1][2] = jac[1][3] = -1.0;
    } else {
        jac[1][1] = -k1;
        jac[1][2] = k3 * y[3];
        jac[1][3] = k3 * y[2];
    }
    jac[2][1] = k1;
    jac[2][2] = -k3 * y[3] - 2 * k2 * y[2];
    jac[2][3] = -k3 * y[2];
    jac[3][2] = 2 * k2 * y[2];
}

TEST_F(NdfRun, RobertsonAtForty) {
    // Reference: fourth-order Runge-Kutta in extended precision with 2e6 and 4e6 steps (agreeing
    // to 15 digits); the same values as the published ones.
    const double ref[4] = {0, 0.71582706871940, 9.1855347645578e-6, 0.28416374574583};
    for (int nAlgebraic : {0, 1}) {
        SCOPED_TRACE(nAlgebraic ? "DAE" : "ODE");
        loadModel(3, nAlgebraic, {0.04, 3e7, 1e4});
        yInit[1] = 1.0;
        yInit[2] = yInit[3] = 0.0;
        setEvents(0, 40, {});
        setTestModel(robertson, robertsonJac);
        Ndf_rtol = 1e-10;
        Ndf_atol = 1e-16;
        ASSERT_EQ(run(1e-6, 0, 40, 10), 0);
        for (int i = 1; i <= 3; ++i) EXPECT_NEAR(y[i], ref[i], 2e-7 * ref[i]) << "y[" << i << "]";
        EXPECT_NEAR(y[1] + y[2] + y[3], 1.0, 1e-12);
    }
}

// y' = y^2 from y(0) = 1 blows up at t = 1.
void blowUp(double *dydt, double *y, double, parameter *) { dydt[1] = y[1] * y[1]; }
// 0 = y1 + 1 has only the negative solution y1 = -1, which the algebraic solve refuses.
void negativeRoot(double *dydt, double *y, double, parameter *) {
    dydt[1] = y[1] + 1.0;
    dydt[2] = 0.0;
}
void negativeRootJac(double **jac, double *, double, parameter *) { jac[1][1] = 1.0; }

TEST_F(NdfRun, FailuresEndTheRunWithTheClosingLine) {
    struct Case {
        const char *what;
        int n, nAlgebraic;
        TestFvec f;
        TestFjac j;
        const char *tail;   // the log ends with this
    };
    const Case cases[] = {
        {"solver failure", 1, 0, blowUp, nullptr, "NDF ndf_solve() Failed!!!\n## Error!! in doSolver3\n"},
        {"algebraic equations without admissible solution", 2, 1, negativeRoot, negativeRootJac,
         "## Error!! in doSolver3\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        loadModel(c.n, c.nAlgebraic);
        yInit[1] = yInit[2] = 1.0;
        setEvents(0, 2, {});
        setTestModel(c.f, c.j);
        F_Numerical_Jac = c.j ? 0 : 1;
        testing::internal::CaptureStdout();
        const int rc = run(0.01, 0, 2, 0.5);
        const std::string log = testing::internal::GetCapturedStdout();
        EXPECT_EQ(rc, -1);
        ASSERT_GE(log.size(), std::string(c.tail).size());
        EXPECT_EQ(log.substr(log.size() - std::string(c.tail).size()), c.tail) << log;
    }
}

}  // namespace
