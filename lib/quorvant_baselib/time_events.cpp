// Time events of the Runge-Kutta paths and the addition rates they switch on and off.
//
// The events of the model file are sorted by time when the file is read. A run walks them with a
// cursor: before each step every event that falls before the middle of the step is applied, so an
// event lands on the step boundary nearest to its time.
#include "quorvant/quorvant_baselib/time_events.h"
#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"

namespace {

// Index of the next event not yet applied.
int eventCursor = 0;

bool isVariableIndex(int index) { return index >= 1 && index <= Param.n_var; }

}  // namespace

EventKind eventKind(int p_no) {
    if (isPno("y_force", p_no)) return EventKind::Force;
    if (isPno("y_add", p_no)) return EventKind::Add;
    if (isPno("time_start", p_no) || isPno("time_end", p_no)) return EventKind::Marker;
    return EventKind::Parameter;
}

bool applyEvent(const event &ev, double *y, double *rate) {
    switch (eventKind(ev.p_no)) {
    case EventKind::Force:
        if (!isVariableIndex(ev.index)) return false;
        y[ev.index] = ev.value;
        return true;
    case EventKind::Add:
        if (!isVariableIndex(ev.index)) return false;
        rate[ev.index] = ev.value;
        return true;
    case EventKind::Marker:
        return false;
    case EventKind::Parameter:
        if (ev.p_no < 1 || ev.p_no >= qv::kMaxParamNo || ev.index < 1 || ev.index > qv::kMaxValIndex)
            return false;
        Param.val[ev.p_no][ev.index] = ev.value;
        return true;
    }
    return false;
}

int timeEvent(double *y, double *rate, double t, double h, int restart) {
    if (restart) eventCursor = 0;
    const double limit = t + h / 2;
    int applied = 0;
    while (eventCursor < EventsNum && Events[eventCursor].time < limit) {
        if (applyEvent(Events[eventCursor], y, rate)) applied = 1;
        ++eventCursor;
    }
    return applied;
}

void applyAdditionRates(double *y, const double *rate, double dt) {
    for (int i = Param.n_varNR + 1; i <= Param.n_var; ++i) y[i] += dt * rate[i];
}
