// The event machine on small event tables driven by hand (stops where the test says), and the
// search for the instant of a trigger change: the order of firings at one instant, delays with the
// values of the trigger or the firing time, cancellation, the start, and the bounds that end a
// cascade or a delay that cannot be carried out.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "quorvant/event_machine/event_machine.h"
#include "quorvant/ndflib/trigger_search.h"

namespace ev = qv::events;
namespace nd = qv::ndf;

namespace {

// A model over y[1] = x, y[2] = time. Event k triggers on trig[k](y), assigns y[1] = value[k](y) and
// appends k to fired.
struct Toy {
    std::vector<qv_event> table;
    std::vector<std::function<bool(const double *)>> trig;
    std::vector<std::function<double(const double *)>> value;
    std::vector<double> delay, priority;
    std::vector<int> fired;
    ev::EventModel model;

    void add(qv_event e, std::function<bool(const double *)> t, std::function<double(const double *)> v, double d = 0.0,
             double p = 0.0) {
        e.n_values = 1;
        table.push_back(e);
        trig.push_back(std::move(t));
        value.push_back(std::move(v));
        delay.push_back(d);
        priority.push_back(p);
    }
    const ev::EventModel &ready() {
        model.count = static_cast<int>(table.size());
        model.table = table.data();
        model.ctx = this;
        model.triggers = [](void *c, double, const double *y, int *on, double *g) {
            auto &m = *static_cast<Toy *>(c);
            for (size_t k = 0; k < m.trig.size(); ++k) {
                on[k] = m.trig[k](y) ? 1 : 0;
                g[k] = on[k] ? 1.0 : -1.0;
            }
        };
        model.delay = [](void *c, int k, double, const double *) { return static_cast<Toy *>(c)->delay[static_cast<size_t>(k)]; };
        model.priority = [](void *c, int k, double, const double *) { return static_cast<Toy *>(c)->priority[static_cast<size_t>(k)]; };
        model.values = [](void *c, int k, double, const double *y, double *v) { *v = static_cast<Toy *>(c)->value[static_cast<size_t>(k)](y); };
        model.assign = [](void *c, int k, const double *v, double *y) {
            y[1] = *v;
            static_cast<Toy *>(c)->fired.push_back(k);
        };
        return model;
    }
};

//                         initial, persistent, trigger values, delayed, prioritised, values, switch
constexpr qv_event kPlain{1, 1, 0, 0, 0, 1, 0};
constexpr qv_event kPrioritised{1, 1, 0, 0, 1, 1, 0};   // values of the firing time
constexpr qv_event kDelayedAtTrigger{1, 1, 1, 1, 0, 1, 0};
constexpr qv_event kDelayedAtFiring{1, 1, 0, 1, 0, 1, 0};
constexpr qv_event kDelayedFragile{1, 0, 1, 1, 0, 1, 0};   // not persistent
constexpr qv_event kAtStart{0, 1, 1, 0, 0, 1, 0};          // trigger false before the start

bool late(const double *y) { return y[2] >= 1.0; }

}  // namespace

TEST(EventMachine, FiringsFollowPrioritiesDelaysAndTheStart) {
    {   // Due together: priority 5, then 1, then the one without; equal priorities in table order;
        // each sees what the ones before it assigned.
        Toy toy;
        toy.add(kPlain, late, [](const double *y) { return y[1] + 1; });
        toy.add(kPrioritised, late, [](const double *y) { return y[1] * 10; }, 0.0, 1.0);
        toy.add(kPrioritised, late, [](const double *y) { return y[1] - 3; }, 0.0, 5.0);
        toy.add(kPrioritised, late, [](const double *y) { return y[1] * 2; }, 0.0, 1.0);
        ev::EventMachine m;
        double y[3] = {0, 1, 0};
        bool fired = false;
        ASSERT_EQ(m.begin(toy.ready(), 0.0, y, &fired), 0);
        EXPECT_FALSE(fired);
        y[2] = 1.0;
        ASSERT_EQ(m.stop(1.0, y, nullptr, &fired), 0);
        EXPECT_TRUE(fired);
        EXPECT_EQ(toy.fired, (std::vector<int>{2, 1, 3, 0}));
        EXPECT_EQ(y[1], ((1.0 - 3) * 10) * 2 + 1);
    }
    {   // Delayed by 0.5: the value of the trigger time, or of the firing time; a fragile one is
        // cancelled when its trigger turns false before it is due.
        for (const qv_event &e : {kDelayedAtTrigger, kDelayedAtFiring, kDelayedFragile}) {
            Toy toy;
            toy.add(e, late, [](const double *y) { return 100 + y[1]; }, 0.5);
            ev::EventMachine m;
            double y[3] = {0, 1, 0};
            bool fired = false;
            ASSERT_EQ(m.begin(toy.ready(), 0.0, y, &fired), 0);
            y[2] = 1.0;
            ASSERT_EQ(m.stop(1.0, y, nullptr, &fired), 0);
            EXPECT_FALSE(fired);
            EXPECT_EQ(m.nextDue(), 1.5);
            y[1] = 7.0;
            if (!e.persistent) {
                EXPECT_NE(m.watch()[0] & nd::kWatchFall, 0);
                y[2] = 0.5;   // the trigger is false again (time stands in for any state here)
                ASSERT_EQ(m.stop(1.2, y, nullptr, &fired), 0);
                EXPECT_TRUE(std::isinf(m.nextDue()));
                continue;
            }
            y[2] = 1.5;
            ASSERT_EQ(m.stop(1.5, y, nullptr, &fired), 0);
            EXPECT_TRUE(fired);
            EXPECT_EQ(y[1], e.trigger_values ? 101.0 : 107.0);
        }
    }
    {   // True at the start: fires there only when the trigger counts as false before it.
        for (const qv_event &e : {kPlain, kAtStart}) {
            Toy toy;
            toy.add(e, [](const double *) { return true; }, [](const double *) { return 3.0; });
            ev::EventMachine m;
            double y[3] = {0, 1, 0};
            bool fired = false;
            ASSERT_EQ(m.begin(toy.ready(), 0.0, y, &fired), 0);
            EXPECT_EQ(fired, e.initial_value == 0);
            EXPECT_EQ(y[1], e.initial_value == 0 ? 3.0 : 1.0);
        }
    }
}

TEST(EventMachine, CascadesThatNeverSettleAndBadDelaysEndWithAMessage) {
    Toy cascade;   // each resets x so that the other fires at the same instant
    cascade.add(kPlain, [](const double *y) { return y[1] >= 1.0; }, [](const double *) { return 0.0; });
    cascade.add(kPlain, [](const double *y) { return y[1] < 0.5; }, [](const double *) { return 1.0; });
    ev::EventMachine m;
    double y[3] = {0, 0.5, 0};
    bool fired = false;
    ASSERT_EQ(m.begin(cascade.ready(), 0.0, y, &fired), 0);
    y[1] = 2.0;
    EXPECT_EQ(m.stop(0.25, y, nullptr, &fired), -1);
    EXPECT_EQ(m.error(), "the events at t= 2.500E-01 do not settle after 10000 firings");

    Toy negative;
    negative.add(kDelayedAtTrigger, late, [](const double *) { return 0.0; }, -1.0);
    double z[3] = {0, 1, 0};
    ASSERT_EQ(m.begin(negative.ready(), 0.0, z, &fired), 0);
    z[2] = 2.0;
    EXPECT_EQ(m.stop(2.0, z, nullptr, &fired), -1);
    EXPECT_EQ(m.error(), "event 1 has the delay -1.000E+00 at t= 2.000E+00");
}

namespace {

struct Search {
    std::vector<std::function<double(double)>> g;   // the guides; a trigger is on where g > 0
    bool guided = true;                             // false: g only as +1 / -1
    int watch = nd::kWatchRise;
    double expected;
};

int searchAt(void *ctx, double t, int *on, double *g) {
    const auto &s = *static_cast<const Search *>(ctx);
    for (size_t k = 0; k < s.g.size(); ++k) {
        const double v = s.g[k](t);
        on[k] = v > 0 ? 1 : 0;
        g[k] = s.guided ? v : (on[k] ? 1.0 : -1.0);
    }
    return 0;
}

}  // namespace

TEST(TriggerSearch, FindsTheFirstWatchedChangeToTheRoundingOfTime) {
    const Search cases[] = {
        {{[](double t) { return t - 0.3; }}, true, nd::kWatchRise, 0.3},
        {{[](double t) { return std::exp(8 * t) - 100.0; }}, true, nd::kWatchRise, std::log(100.0) / 8},
        {{[](double t) { return t - 0.7; }}, false, nd::kWatchRise, 0.7},
        {{[](double t) { return 0.4 - t; }}, true, nd::kWatchFall, 0.4},
        {{[](double t) { return t - 0.6; }, [](double t) { return std::sin(4 * t - 1.0); }}, true, nd::kWatchRise, 0.25},
        {{[](double t) { return 0.55 - t; }, [](double t) { return t - 0.8; }}, false, nd::kWatchBoth, 0.55},
    };
    for (const Search &c : cases) {
        const int num = static_cast<int>(c.g.size());
        const std::vector<int> watch(static_cast<size_t>(num), c.watch);
        nd::TriggerSearch s;
        s.resize(num);
        s.lo.t = 0.0;
        s.hi.t = 1.0;
        ASSERT_EQ(searchAt(const_cast<Search *>(&c), s.lo.t, s.lo.on.data(), s.lo.g.data()), 0);
        ASSERT_EQ(searchAt(const_cast<Search *>(&c), s.hi.t, s.hi.on.data(), s.hi.g.data()), 0);
        ASSERT_TRUE(nd::watched_change(num, watch.data(), s.lo.on.data(), s.hi.on.data())) << c.expected;
        ASSERT_EQ(nd::trigger_search(num, watch.data(), searchAt, const_cast<Search *>(&c), s), 0);
        // To the rounding level of the times of a step of 1 ending at 1 (some 1e-14).
        const double tol = nd::trigger_time_tolerance(1.0, 1.0);
        EXPECT_NEAR(s.hi.t, c.expected, tol) << c.expected;
        EXPECT_LE(s.hi.t - s.lo.t, tol) << c.expected;
        EXPECT_LT(s.lo.t, c.expected + 1e-15) << c.expected;
        EXPECT_TRUE(nd::watched_change(num, watch.data(), s.lo.on.data(), s.hi.on.data())) << c.expected;
    }
}
