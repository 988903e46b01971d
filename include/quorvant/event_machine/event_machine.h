// The events of a model during one time-course run: which triggers the solver must stop at, the
// delayed firings that are pending, and what happens at a stop (the rules of quorvant/model_events.h).
//
// A time-course path starts the machine with the run's start state (which fires the events due
// there), integrates until the solver stops at a watched trigger change or at nextDue(), hands the
// stop to stop(), and goes on from the state it leaves. The model is reached through EventModel,
// whose functions close over the parameters of the run.
#ifndef QUORVANT_EVENT_MACHINE_EVENT_MACHINE_H
#define QUORVANT_EVENT_MACHINE_EVENT_MACHINE_H

#include <string>
#include <vector>

#include "quorvant/model_events.h"

namespace qv::events {

// A model's events: the table and its functions (as in quorvant/model_events.h, with the
// parameters behind ctx). delay and priority may be null where no entry has one.
struct EventModel {
    int count = 0;
    const qv_event *table = nullptr;
    void *ctx = nullptr;
    void (*triggers)(void *ctx, double t, const double *y, int *on, double *g) = nullptr;
    double (*delay)(void *ctx, int k, double t, const double *y) = nullptr;
    double (*priority)(void *ctx, int k, double t, const double *y) = nullptr;
    void (*values)(void *ctx, int k, double t, const double *y, double *v) = nullptr;
    void (*assign)(void *ctx, int k, const double *v, double *y) = nullptr;
};

class EventMachine {
public:
    // Start of a run of model at t0 with state y (1..n): fires the events due at t0, which may
    // change y (*fired then true). Returns 0, or -1 with error() set. model must outlive the run.
    int begin(const EventModel &model, double t0, double *y, bool *fired);

    int count() const { return count_; }
    // What the solver must stop at, per trigger (qv::ndf::kWatchRise, ...).
    const int *watch() const { return watch_.data(); }
    // The earliest time at which a delayed firing is due; +infinity when none is pending.
    double nextDue() const;

    // A stop at time t with state y: the triggers were onBefore just before t (as the solver saw
    // them; null: as the machine last saw them). Fires every event due at t, one after the other,
    // with the cascades they start. *fired: whether any assignment was made. Returns 0, or -1
    // with error() set (events that do not settle, triggers that chatter, a negative delay).
    int stop(double t, double *y, const int *onBefore, bool *fired);

    // The triggers at (t, y), y 1..n.
    void triggers(double t, const double *y, int *on, double *g) const { model_->triggers(model_->ctx, t, y, on, g); }

    // Why the last call failed.
    const std::string &error() const { return error_; }

private:
    struct Pending {
        int event;
        double due;
        long seq;                    // order of triggering, for the ties that remain
        std::vector<double> values;  // computed at the trigger time, if the event says so
    };
    int settle(double t, double *y, bool *fired);
    int noticeTriggers(double t, const double *y);
    bool choose(double t, const double *y, std::size_t *which) const;
    void updateWatch();

    const EventModel *model_ = nullptr;
    int count_ = 0;
    long seq_ = 0;
    std::vector<int> prev_, on_, watch_;
    std::vector<double> g_, values_;
    std::vector<Pending> pending_;
    double lastStop_ = 0.0;
    int stalls_ = 0;
    std::string error_;
};

}  // namespace qv::events

#endif
