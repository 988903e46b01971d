// The compiled model's events on the working parameter record.
#include "quorvant/quorvant_baselib/model_event_machine.h"

#include "quorvant/common/logUtil.h"
#include "quorvant/model_events.h"
#include "quorvant/quorvant_baselib/model_tables.h"

// A model without events does not define these.
extern "C" {
extern const int32_t qv_event_count __attribute__((weak));
extern const qv_event qv_events[] __attribute__((weak));
void qv_event_triggers(double t, const double *y, parameter *p, int32_t *on, double *g) __attribute__((weak));
double qv_event_delay(int32_t k, double t, const double *y, parameter *p) __attribute__((weak));
double qv_event_priority(int32_t k, double t, const double *y, parameter *p) __attribute__((weak));
void qv_event_values(int32_t k, double t, const double *y, parameter *p, double *v) __attribute__((weak));
void qv_event_assign(int32_t k, const double *v, double *y, parameter *p) __attribute__((weak));
}

namespace {

void triggersOf(void *, double t, const double *y, int *on, double *g) { ModelEventMachine::triggers(t, y, on, g); }
double delayOf(void *, int k, double t, const double *y) { return qv_event_delay(k, t, y, &Param); }
double priorityOf(void *, int k, double t, const double *y) { return qv_event_priority(k, t, y, &Param); }
void valuesOf(void *, int k, double t, const double *y, double *v) { qv_event_values(k, t, y, &Param, v); }
void assignOf(void *, int k, const double *v, double *y) { qv_event_assign(k, v, y, &Param); }

int logged(int rc, const qv::events::EventMachine &m) {
    if (rc != 0) log_sys("## Error!! %s\n", m.error().c_str());
    return rc;
}

}  // namespace

bool modelHasEvents() {
    return &qv_event_count != nullptr && qv_events != nullptr && qv_event_triggers != nullptr &&
           qv_event_values != nullptr && qv_event_assign != nullptr && qv_event_count > 0;
}

int ModelEventMachine::triggers(double t, const double *y, int *on, double *g) {
    static_assert(sizeof(int) == sizeof(int32_t));
    qv_event_triggers(t, y, &Param, reinterpret_cast<int32_t *>(on), g);
    return 0;
}

int ModelEventMachine::begin(double t0, double *y, bool *fired) {
    model_ = {};
    if (modelHasEvents()) {
        model_.count = qv_event_count;
        model_.table = qv_events;
        model_.triggers = triggersOf;
        model_.delay = qv_event_delay != nullptr ? delayOf : nullptr;
        model_.priority = qv_event_priority != nullptr ? priorityOf : nullptr;
        model_.values = valuesOf;
        model_.assign = assignOf;
    }
    return logged(machine_.begin(model_, t0, y, fired), machine_);
}

int ModelEventMachine::stop(double t, double *y, const int *onBefore, bool *fired) {
    return logged(machine_.stop(t, y, onBefore, fired), machine_);
}
