// Runs of the NDF and the Runge-Kutta paths with a model that has events, against values known in
// closed form: a decay reset at a threshold (exact event times), a delayed event with values of
// the trigger time, two simultaneous events in the order of their priorities, an event at the
// start, and triggers that chatter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/model_events.h"
#include "quorvant/quorvant_baselib/dosolver1_2.h"
#include "quorvant/quorvant_baselib/dosolver3.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "test_model.h"

namespace {

// The events each case switches on (bits by index); the others never trigger.
unsigned enabled = 0;
bool on(int k) { return (enabled >> k) & 1u; }

// y1 decays with rate 1; y2 is the time.
void model(double *dydt, double *y, double, parameter *) {
    dydt[1] = -y[1];
    dydt[2] = 1.0;
}
void modelJac(double **jac, double *, double, parameter *) { jac[1][1] = -1.0; }

}  // namespace

extern "C" {
const int32_t qv_event_count = 6;
const qv_event qv_events[6] = {
    {1, 1, 1, 0, 0, 0, 0},   // 0: y1 < 0.5 -> y1 = 1
    {1, 1, 1, 1, 0, 1, 0},   // 1: time >= 1, delay 0.5 -> y1 = 10 y1(trigger time)
    {1, 1, 1, 0, 1, 0, 0},   // 2: time >= 1, priority 1 -> y1 = 2 y1
    {1, 1, 1, 0, 1, 0, 0},   // 3: time >= 1, priority 2 -> y1 = y1 + 1
    {0, 1, 1, 0, 0, 0, 0},   // 4: time >= 0, true at the start -> y1 = 3
    {1, 1, 1, 0, 0, 0, 0},   // 5: y1 < 0.5 -> y1 = 0.5 + 1e-13: triggers again at once
};
void qv_event_triggers(double, const double *y, parameter *, int32_t *o, double *g) {
    const double gs[6] = {0.5 - y[1], y[2] - 1.0, y[2] - 1.0, y[2] - 1.0, y[2], 0.5 - y[1]};
    for (int k = 0; k < 6; ++k) {
        g[k] = on(k) ? gs[k] : -1.0;
        o[k] = on(k) && (k == 0 || k == 5 ? gs[k] > 0 : gs[k] >= 0);
    }
}
double qv_event_delay(int32_t, double, const double *, parameter *) { return 0.5; }
double qv_event_priority(int32_t k, double, const double *, parameter *) { return k == 2 ? 1.0 : 2.0; }
void qv_event_values(int32_t, double, const double *y, parameter *, double *v) { v[0] = y[1]; }
void qv_event_assign(int32_t k, const double *v, double *y, parameter *) {
    switch (k) {
    case 0: y[1] = 1.0; break;
    case 1: y[1] = 10.0 * v[0]; break;
    case 2: y[1] *= 2.0; break;
    case 3: y[1] += 1.0; break;
    case 4: y[1] = 3.0; break;
    default: y[1] = 0.5 + 1e-13; break;
    }
}
}

namespace {

class ModelEvents : public ::testing::Test {
protected:
    double yInit[qv::kStateSize] = {}, y[qv::kStateSize] = {}, yPre[qv::kStateSize] = {};
    std::vector<std::vector<double>> storage;
    std::vector<double *> rows;

    void SetUp() override {
        resetParamTab();
        resetInputData();
        for (const char *name : {"y_force", "y_add", "time_start", "time_end"}) ASSERT_EQ(addParam2Tab(name), 0);
        setTestModel(model, modelJac);
        F_GA = 1;
        SolverNo = 3;
        GeneConc = 1.0;
        Ndf_rtol = 1e-10;
        Ndf_atol = 1e-12;
        F_Ndf_Positive = 1;
        ParamT.n_var = 2;
        ParamT.n_varNR = 0;
        Param = ParamP = ParamT;
        storage.assign(4000, std::vector<double>(3));
        for (auto &r : storage) rows.push_back(r.data());
        SolutionMatrix = rows.data();
        SolutionRows = static_cast<int32_t>(rows.size());
        StepNum = 0;
        yInit[1] = 1.0;
        yInit[2] = 0.0;
    }
    void TearDown() override {
        SolutionMatrix = nullptr;
        SolutionRows = 0;
        enabled = 0;
        setTestModel(nullptr, nullptr);
        resetParamTab();
        resetInputData();
    }
    int run(double t_end, double dm) {
        EventsNum = 0;
        Events[EventsNum++] = event{Name2Pno("time_start"), 0, 0.0, 0};
        Events[EventsNum++] = event{Name2Pno("time_end"), 0, t_end, 0};
        const parameter snap = Param;
        return SolverNo == 3 ? doSolver3(snap, 0.01, 0.0, t_end, dm, yInit, y, yPre)
                             : doSolver1_2(snap, 0.01, 0.0, t_end, dm, yInit, y, yPre);
    }
    // The times at which a row is followed by one at the same time (before and after a stop).
    std::vector<double> stops() const {
        std::vector<double> t;
        for (int i = 1; i < StepNum; ++i)
            if (storage[i][0] == storage[i - 1][0]) t.push_back(storage[i][0]);
        return t;
    }
};

TEST_F(ModelEvents, AResetAtAThresholdFiresAtTheExactTimesAndTheRowsShowBothSides) {
    enabled = 1u << 0;
    ASSERT_EQ(run(5.0, 1.0), 0);
    const std::vector<double> t = stops();
    ASSERT_EQ(t.size(), 7u);   // k ln 2 <= 5 for k = 1..7
    for (size_t k = 0; k < t.size(); ++k) EXPECT_NEAR(t[k], (k + 1) * std::log(2.0), 1e-8) << k;
    for (int i = 1; i < StepNum; ++i)
        if (storage[i][0] == storage[i - 1][0]) {
            EXPECT_NEAR(storage[i - 1][1], 0.5, 1e-8);
            EXPECT_EQ(storage[i][1], 1.0);
        }
    EXPECT_NEAR(y[1], std::exp(-(5.0 - 7 * std::log(2.0))), 1e-8);
    // Every output time is there once, besides the stops.
    int grid = 0;
    for (int i = 0; i < StepNum; ++i) grid += storage[i][0] == std::round(storage[i][0]);
    EXPECT_EQ(grid, 6);
}

TEST_F(ModelEvents, DelaysPrioritiesAndTheStartFollowTheirRules) {
    struct Case {
        unsigned events;
        double t_end;
        double expected;   // y1 at t_end
        size_t stops;
    };
    const double e = std::exp(1.0);
    const Case cases[] = {
        {1u << 1, 3.0, 10.0 / e * std::exp(-1.5), 1},     // triggered at 1, fired at 1.5 with y1(1) = 1/e
        {(1u << 2) | (1u << 3), 2.0, (1 / e + 1) * 2 / e, 1},   // priority 2 (+1) before 1 (x2)
        {1u << 4, 1.0, 3.0 / e, 0},                         // fired at the start: y1(0) = 3
    };
    for (const Case &c : cases) {
        enabled = c.events;
        StepNum = 0;
        ASSERT_EQ(run(c.t_end, 0.25), 0) << c.events;
        EXPECT_NEAR(y[1], c.expected, 1e-8 * c.expected) << c.events;
        EXPECT_EQ(stops().size(), c.stops) << c.events;
    }
    enabled = 1u << 1;
    StepNum = 0;
    ASSERT_EQ(run(3.0, 0.25), 0);
    // The triggering stop at 1 assigns nothing: its row is the output time's, once.
    ASSERT_EQ(stops().size(), 1u);
    EXPECT_EQ(stops()[0], 1.5);
    int atOne = 0;
    for (int i = 0; i < StepNum; ++i) atOne += std::fabs(storage[i][0] - 1.0) < 1e-9;
    EXPECT_EQ(atOne, 1);
}

// The fixed step (0.01) and the adaptive one locate the same instants by partial steps; the fixed
// step then goes back onto its grid.
TEST_F(ModelEvents, TheRungeKuttaPathsLocateAndFireTheSameEvents) {
    const double e = std::exp(1.0);
    for (int solver : {1, 2}) {
        SolverNo = solver;
        Rk_eps = 1e-10;
        enabled = 1u << 0;
        StepNum = 0;
        ASSERT_EQ(run(5.0, 1.0), 0) << solver;
        const std::vector<double> t = stops();
        ASSERT_EQ(t.size(), 7u) << solver;
        for (size_t k = 0; k < t.size(); ++k) EXPECT_NEAR(t[k], (k + 1) * std::log(2.0), 1e-8) << solver << " " << k;
        EXPECT_NEAR(y[1], std::exp(-(5.0 - 7 * std::log(2.0))), 1e-7) << solver;
        for (int i = 0; solver == 1 && i < StepNum; ++i) {   // rows at steps of the grid, or at the stops
            if (std::find(t.begin(), t.end(), storage[i][0]) == t.end()) {
                EXPECT_NEAR(storage[i][0] * 100, std::round(storage[i][0] * 100), 1e-9) << storage[i][0];
            }
        }
        enabled = 1u << 1;   // triggered at 1, fired at 1.5
        StepNum = 0;
        ASSERT_EQ(run(3.0, 0.25), 0) << solver;
        EXPECT_NEAR(y[1], 10.0 / e * std::exp(-1.5), 1e-8) << solver;
        ASSERT_EQ(stops().size(), 1u) << solver;
        EXPECT_EQ(stops()[0], 1.5) << solver;
        enabled = (1u << 2) | (1u << 3);   // +1, then x2
        StepNum = 0;
        ASSERT_EQ(run(2.0, 0.25), 0) << solver;
        EXPECT_NEAR(y[1], (1 / e + 1) * 2 / e, 1e-8) << solver;
        enabled = 1u << 4;   // at the start
        StepNum = 0;
        ASSERT_EQ(run(1.0, 0.25), 0) << solver;
        EXPECT_NEAR(y[1], 3.0 / e, 1e-8) << solver;
    }
}

TEST_F(ModelEvents, TriggersThatChatterEndTheRunWithAMessage) {
    enabled = 1u << 5;
    testing::internal::CaptureStdout();
    EXPECT_EQ(run(2.0, 1.0), -1);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("the triggers chatter"), std::string::npos) << log;
}

}  // namespace
