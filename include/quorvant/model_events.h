/*
 * Optional part of a model: events that the state or the time triggers.
 *
 * A model with events defines the symbols below besides the three functions of quorvant/model.h.
 * Every time-course path then evaluates the triggers after each step; where one turns from false
 * to true it locates that instant to within the solver's tolerance, fires the event there and
 * restarts the integration from the new state. A model without these symbols behaves as before,
 * and the T_EVENT lines of the model input file keep their meaning beside them.
 *
 * State arrays are addressed 1..n as in usr_fvec; t is the time of the run. Every function reads
 * the working parameter record p, and qv_event_assign may change it (a parameter set by an
 * event keeps its new value for the rest of the run; the next run starts from the model input
 * file's values again).
 *
 * What firing means (the semantics of SBML events):
 *   - An event is triggered when its trigger turns from false to true. Just before the start of
 *     a run the trigger is taken to be `initial_value`; so a trigger that is true at the start
 *     fires there only when `initial_value` is 0.
 *   - Without a delay the event fires at the instant it is triggered; with one it fires
 *     qv_event_delay later (the delay is evaluated when it is triggered). A delayed event may be
 *     pending several times at once.
 *   - A non-persistent event (`persistent` 0) is cancelled when its trigger turns false before it
 *     fires.
 *   - The assignments' values are computed when it is triggered (`trigger_values` 1) or when it
 *     fires (0); all values of one event are computed before any of them is assigned.
 *   - Events due at one instant fire one at a time, the highest priority first (an event without
 *     priority comes after those with one; among equal priorities, the lower index first). After
 *     each firing the triggers and priorities are evaluated again, so an assignment can trigger
 *     or cancel other events at the same instant.
 *   - A `switch_only` entry is no event: it marks a condition on which the equations switch (such
 *     as that of a piecewise function). The solvers stop where it changes either way and restart
 *     there, so that no step straddles the switch; nothing is assigned.
 */
#ifndef QUORVANT_MODEL_EVENTS_H
#define QUORVANT_MODEL_EVENTS_H

#include <stdint.h>

#include "quorvant/model.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    int32_t initial_value;    /* trigger value taken to hold just before the start: 1 true, 0 false */
    int32_t persistent;       /* 1: fires even when its trigger turns false while it is pending */
    int32_t trigger_values;   /* 1: assignment values of the trigger time; 0: of the firing time */
    int32_t delayed;          /* 1: qv_event_delay gives its delay; 0: it fires when triggered */
    int32_t prioritised;      /* 1: qv_event_priority gives its priority; 0: it has none */
    int32_t n_values;         /* number of values qv_event_values computes (at most 512) */
    int32_t switch_only;      /* 1: a switching condition of the equations, not an event */
} qv_event;

/* Number of entries of qv_events, and the entries. */
extern const int32_t qv_event_count;
extern const qv_event qv_events[];

/*
 * The triggers at time t and state y: on[k] = 1 when trigger k is true, else 0, and g[k] a
 * continuous value that changes sign where on[k] changes (a - b for a > b, the smaller of two
 * such values for an `and`, ...). g only guides the search for the instant of a change; where a
 * trigger has no such value, g[k] = on[k] ? 1 : -1 does.
 */
void qv_event_triggers(double t, const double *y, parameter *p, int32_t *on, double *g);

/* Delay of event k, evaluated at the trigger time (only called when qv_events[k].delayed). */
double qv_event_delay(int32_t k, double t, const double *y, parameter *p);

/* Priority of event k at time t (only called when qv_events[k].prioritised); larger first. */
double qv_event_priority(int32_t k, double t, const double *y, parameter *p);

/* The qv_events[k].n_values values of event k's assignments at time t and state y. */
void qv_event_values(int32_t k, double t, const double *y, parameter *p, double *v);

/* Carries out event k's assignments with the values v: sets states in y and values in p. */
void qv_event_assign(int32_t k, const double *v, double *y, parameter *p);

#ifdef __cplusplus
}
#endif

#endif /* QUORVANT_MODEL_EVENTS_H */
