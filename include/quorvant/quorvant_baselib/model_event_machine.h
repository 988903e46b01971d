// The events of the compiled model (quorvant/model_events.h) during one time-course run of the
// programs: the event machine over the model's qv_event functions and the working record Param,
// which the model's event code reads and changes. Failures are written to the log.
//
// A time-course path starts the machine with the run's start state (which fires the events due
// there), integrates until the solver stops at a watched trigger change or at nextDue(), hands the
// stop to stop(), and goes on from the state it leaves.
#ifndef QUORVANT_QUORVANT_BASELIB_MODEL_EVENT_MACHINE_H
#define QUORVANT_QUORVANT_BASELIB_MODEL_EVENT_MACHINE_H

#include "quorvant/event_machine/event_machine.h"

// Whether the model defines events (or switching conditions).
bool modelHasEvents();

class ModelEventMachine {
public:
    // Start of a run at t0 with state y (1..n): fires the events due at t0, which may change y and
    // Param (*fired then true). Returns 0, or -1 after a message.
    int begin(double t0, double *y, bool *fired);

    int count() const { return machine_.count(); }
    // What the solver must stop at, per trigger (qv::ndf::kWatchRise, ...).
    const int *watch() const { return machine_.watch(); }
    // The earliest time at which a delayed firing is due; +infinity when none is pending.
    double nextDue() const { return machine_.nextDue(); }

    // A stop at time t with state y: the triggers were onBefore just before t (as the solver saw
    // them; null: as the machine last saw them). Fires every event due at t, one after the other,
    // with the cascades they start. *fired: whether any assignment was made. Returns 0, or -1
    // after a message (events that do not settle, triggers that chatter, a negative delay).
    int stop(double t, double *y, const int *onBefore, bool *fired);

    // The triggers at (t, y), y 1..n, as the solvers evaluate them.
    static int triggers(double t, const double *y, int *on, double *g);

private:
    qv::events::EventModel model_;
    qv::events::EventMachine machine_;
};

#endif
