// The pieces of the NDF path: event groups, addition periods, output times of a period, the
// events of a group, and the 0-based/1-based model adapters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/dosolver3_adapters.h"
#include "quorvant/quorvant_baselib/dosolver3_periods.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/model.h"
#include "test_model.h"

namespace {

struct Ev {
    const char *name;
    int index;
    double time;
    double value;
};

class NdfPeriods : public ::testing::Test {
protected:
    void SetUp() override {
        resetParamTab();
        resetInputData();
        for (const char *name : {"k", "y_force", "y_add", "time_start", "time_end"})
            ASSERT_EQ(addParam2Tab(name), 0);
        Param.n_var = 3;
        Param.n_varNR = 0;
    }
    void TearDown() override {
        setTestModel(nullptr, nullptr);
        resetParamTab();
        resetInputData();
    }
    // Events in time order, as the reader leaves them.
    static void setEvents(const std::vector<Ev> &evs) {
        EventsNum = 0;
        for (const Ev &e : evs) Events[EventsNum++] = event{Name2Pno(e.name), e.index, e.time, e.value};
    }
};

TEST_F(NdfPeriods, EventGroupsFollowTheDistinctEventTimes) {
    struct Case {
        const char *what;
        std::vector<Ev> events;
        double t_start, t_end;
        std::vector<event_group> groups;
    };
    const std::vector<Case> cases = {
        {"events at 2 and 5",
         {{"time_start", 0, 0, 0}, {"k", 1, 2, 1}, {"y_force", 1, 5, 1}, {"time_end", 0, 10, 0}},
         0, 10, {{0, 1, 0}, {1, 1, 2}, {2, 1, 5}, {3, 1, 10}}},
        {"simultaneous events form one group",
         {{"time_start", 0, 0, 0}, {"k", 1, 2, 1}, {"y_add", 2, 2, 1}, {"time_end", 0, 4, 0}},
         0, 4, {{0, 1, 0}, {1, 2, 2}, {3, 1, 4}}},
        {"events at and before the start act at the start",
         {{"y_force", 1, 0.5, 1}, {"k", 1, 1, 2}, {"time_start", 0, 1, 0}, {"time_end", 0, 4, 0}},
         1, 4, {{0, 3, 1}, {3, 1, 4}}},
        {"an event at the end joins the end group; later ones are ignored",
         {{"time_start", 0, 0, 0}, {"k", 1, 4, 1}, {"time_end", 0, 4, 0}, {"k", 1, 6, 1}},
         0, 4, {{0, 1, 0}, {1, 2, 4}}},
        {"no events: start and end only", {}, 0, 3, {{0, 0, 0}, {0, 0, 3}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        setEvents(c.events);
        event_group groups[kMaxEventGroups];
        const int n = _get_simultaneous_events(c.t_start, c.t_end, groups);
        ASSERT_EQ(n, static_cast<int>(c.groups.size()));
        for (int k = 0; k < n; ++k) {
            EXPECT_EQ(groups[k].first, c.groups[k].first) << "group " << k;
            EXPECT_EQ(groups[k].count, c.groups[k].count) << "group " << k;
            EXPECT_EQ(groups[k].time, c.groups[k].time) << "group " << k;
        }
    }
}

TEST_F(NdfPeriods, AdditionPeriodsAreThoseWithARateInForce) {
    struct Case {
        const char *what;
        std::vector<Ev> events;   // between time_start at 0 and time_end at 10
        std::vector<int> flags;   // one per group
    };
    const std::vector<Case> cases = {
        {"on at 1, off at 4", {{"y_add", 2, 1, 2}, {"y_add", 2, 4, 0}}, {0, 1, 0, 0}},
        {"an off before any on does not cancel a later on",
         {{"y_add", 2, 1, 0}, {"y_add", 2, 2, 2}}, {0, 0, 1, 1}},
        {"a changed rate needs only one off", {{"y_add", 2, 1, 2}, {"y_add", 2, 2, 3}, {"y_add", 2, 3, 0}},
         {0, 1, 1, 0, 0}},
        {"two variables", {{"y_add", 1, 1, 1}, {"y_add", 2, 2, 1}, {"y_add", 1, 3, 0}, {"y_add", 2, 4, 0}},
         {0, 1, 1, 1, 0, 0}},
        {"other events do not make an addition period", {{"y_force", 2, 1, 2}, {"k", 1, 2, 3}}, {0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Ev> evs = {{"time_start", 0, 0, 0}};
        evs.insert(evs.end(), c.events.begin(), c.events.end());
        evs.push_back({"time_end", 0, 10, 0});
        setEvents(evs);
        event_group groups[kMaxEventGroups];
        const int n = _get_simultaneous_events(0, 10, groups);
        ASSERT_EQ(n, static_cast<int>(c.flags.size()));
        int flags[kMaxEventGroups];
        _get_adding_periods(n, groups, flags);
        EXPECT_EQ(std::vector<int>(flags, flags + n), c.flags);
    }
}

TEST_F(NdfPeriods, OutputTimesOfAPeriod) {
    struct Case {
        double from, to, dm;
        std::vector<double> times;
    };
    const std::vector<Case> cases = {
        {0, 2, 1, {0, 1, 2}},
        {2, 5, 1, {2, 3, 4, 5}},
        {2, 4.05, 1, {2, 3, 4.05}},          // the grid point 4 is dropped: 0.05 from the end
        {2, 4.95, 1, {2, 3, 4, 4.95}},
        {1, 3.5, 1, {1, 2, 3, 3.5}},
        {0, 0.5, 1, {0, 0.5}},               // shorter than DELTA_M: the two ends
        {0, 1.05, 1, {0, 1.05}},
        {0, 5, 0, {0, 5}},                   // no sampling interval
        {0, 5, -1, {0, 5}},
        {0, 0.3, 0.1, {0, 0.1, 0.2, 0.3}},   // 0.3 / 0.1 is just below 3 in floating point
    };
    std::vector<double> times;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " to " << c.to << " every " << c.dm);
        EXPECT_EQ(periodOutputCount(c.to - c.from, c.dm), static_cast<long>(c.times.size()));
        ASSERT_EQ(periodOutputTimes(c.from, c.to, c.dm, times), 0);
        ASSERT_EQ(times.size(), c.times.size());
        for (size_t i = 0; i < times.size(); ++i) EXPECT_DOUBLE_EQ(times[i], c.times[i]) << i;
        EXPECT_EQ(times.back(), c.to);   // the end exactly, not a sum of steps
    }
    // A sampling interval far too small for the period is refused, not allocated.
    EXPECT_EQ(periodOutputCount(1e12, 1e-6), -1);
    EXPECT_EQ(periodOutputTimes(0, 1e12, 1e-6, times), -1);
}

TEST_F(NdfPeriods, EventsOfAGroupSetStatesRatesAndParameters) {
    Param.n_val[1] = 2;
    Param.val[1][2] = 7;
    setEvents({{"time_start", 0, 0, 0},
               {"y_force", 2, 1, 5},
               {"y_add", 3, 1, 0.5},
               {"y_force", 4, 1, 9},    // beyond N_VAR: skipped
               {"k", 2, 2, 3},
               {"time_end", 0, 3, 0}});
    double y[qv::kStateSize] = {0, 1, 1, 1, 1};
    double rate[qv::kStateSize] = {};

    EXPECT_EQ(_do_events(0, 4, y, rate), 0);   // markers, states and rates change no parameter
    EXPECT_EQ(y[2], 5);
    EXPECT_EQ(rate[3], 0.5);
    EXPECT_EQ(y[4], 1);
    EXPECT_EQ(Param.val[1][2], 7);

    EXPECT_EQ(_do_events(4, 2, y, rate), 1);
    EXPECT_EQ(Param.val[1][2], 3);
}

// dydt[i] = 100 i + y[i] (with the scale and a parameter value): shows which element went where.
void indexModel(double *dydt, double *y, double g, parameter *p) {
    for (int i = 1; i <= p->n_var; ++i) dydt[i] = 100.0 * i + y[i] + g * p->val[1][1];
}
// jac[i][j] = 10 i + j for every entry.
void fullJacobian(double **jac, double *, double, parameter *p) {
    for (int i = 1; i <= p->n_var; ++i)
        for (int j = 1; j <= p->n_var; ++j) jac[i][j] = 10.0 * i + j;
}
// Only the diagonal: everything else must read as zero.
void diagonalJacobian(double **jac, double *y, double, parameter *p) {
    for (int i = 1; i <= p->n_var; ++i) jac[i][i] = -y[i];
}

TEST_F(NdfPeriods, AdaptersMapTheSolversArraysOntoTheModelsIndices) {
    GeneConc = 2.0;
    Param.val[1][1] = 0.5;
    setTestModel(indexModel, fullJacobian);
    double y[3] = {1, 2, 3};
    double f[3] = {};
    EXPECT_EQ(odefunc(0.0, y, f), 0);
    EXPECT_EQ(std::vector<double>(f, f + 3), (std::vector<double>{102, 203, 304}));

    double J[9] = {};
    EXPECT_EQ(jacfunc(0.0, y, J), 0);
    EXPECT_EQ(std::vector<double>(J, J + 9), (std::vector<double>{11, 12, 13, 21, 22, 23, 31, 32, 33}));

    // A later call starts from a cleared work matrix.
    setTestModel(indexModel, diagonalJacobian);
    EXPECT_EQ(jacfunc(0.0, y, J), 0);
    EXPECT_EQ(std::vector<double>(J, J + 9), (std::vector<double>{-1, 0, 0, 0, -2, 0, 0, 0, -3}));
}

}  // namespace
