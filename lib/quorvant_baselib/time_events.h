// Applying one time event; shared by the Runge-Kutta paths (timeEvent) and the NDF path
// (_do_events), so that both act on events in exactly the same way.
#ifndef QUORVANT_TIME_EVENTS_H
#define QUORVANT_TIME_EVENTS_H

#include "quorvant/set_data.h"

enum class EventKind { Force, Add, Marker, Parameter };

// y_force, y_add, time_start/time_end (markers) or a parameter name.
EventKind eventKind(int p_no);

// y_force sets y[index], y_add sets rate[index], a parameter event sets Param.val[number][index];
// markers do nothing. Events whose index lies outside the model are skipped. True when it set a
// state, rate or parameter value.
bool applyEvent(const event &ev, double *y, double *rate);

#endif
