// Applying time events: y_force, y_add and parameter events, as the Runge-Kutta and NDF paths share
// them, and the addition rates they switch on and off.
#ifndef QUORVANT_QUORVANT_BASELIB_TIME_EVENTS_H
#define QUORVANT_QUORVANT_BASELIB_TIME_EVENTS_H

#include "quorvant/quorvant_baselib/model_tables.h"

// Applies the events due before the step from t (event time < t + h/2): y_force sets y[index],
// y_add sets rate[index], a parameter event sets Param.val[number][index]. restart != 0 starts
// again from the first event. Returns 1 when a state, rate or parameter value was set, else 0.
int timeEvent(double *y, double *rate, double t, double h, int restart);

// Adds dt * rate[i] to every differential variable y[n_varNR+1 .. n_var].
void applyAdditionRates(double *y, const double *rate, double dt);

enum class EventKind { Force, Add, Marker, Parameter };

// y_force, y_add, time_start/time_end (markers) or a parameter name.
EventKind eventKind(int p_no);

// y_force sets y[index], y_add sets rate[index], a parameter event sets Param.val[number][index];
// markers do nothing. Events whose index lies outside the model are skipped. True when it set a
// state, rate or parameter value.
bool applyEvent(const event &ev, double *y, double *rate);

#endif
