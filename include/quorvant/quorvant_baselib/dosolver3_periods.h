// Pieces of the NDF time-course path: event groups and the periods between them, and the output
// times of a period.
#ifndef QUORVANT_QUORVANT_BASELIB_DOSOLVER3_PERIODS_H
#define QUORVANT_QUORVANT_BASELIB_DOSOLVER3_PERIODS_H

#include <vector>

#include "quorvant/common/limits.h"

// A run of consecutive entries of the sorted Events array that take effect at one time.
// Group 0 is the start of the run (time t_start); a group may be empty (count 0) when it only
// marks the start or the end of the run.
struct event_group {
    int first;     // index of the group's first event in Events
    int count;     // number of events in the group
    double time;   // the time at which they take effect
};

// Groups: one for every distinct event time in (t_start, t_end], plus group 0 at t_start.
constexpr int kMaxEventGroups = qv::kMaxEvents + 2;

// Splits the sorted events into groups (room for kMaxEventGroups) and returns their number.
// Events at or before t_start all belong to group 0; events after t_end are ignored; the last
// group is at t_end (an empty one is added when no event marks the end).
int _get_simultaneous_events(double t_start, double t_end, event_group *groups);

// flags[k] = 1 when a y_add rate is non-zero during period k (from group k to group k+1),
// following the rates the y_add events of groups 0..k leave in force; else 0.
void _get_adding_periods(int ngroups, const event_group *groups, int *flags);

// Applies the count events from Events[first]: y_force sets y[index], y_add sets rate[index], a
// parameter event sets Param.val[number][index]; time_start and time_end do nothing. Events
// whose index lies outside the model are skipped. Returns 1 if a parameter value was set, else 0.
int _do_events(int first, int count, double *y, double *rate);

// Number of output times of a period of the given length with sampling interval dm: the start,
// the grid points start + dm, start + 2dm, ..., and the end. A grid point closer to the end than
// a tenth of dm is dropped. With dm <= 0 (or not a number) only the two ends. Returns -1 when the
// period would need more than kMaxPeriodPoints points.
constexpr double kMaxPeriodPoints = 1 << 26;

long periodOutputCount(double length, double dm);

// Fills times with the periodOutputCount points from t_from to t_to (t_to exactly the last).
// Returns 0, or -1 when the count is out of range or the array cannot be allocated.
int periodOutputTimes(double t_from, double t_to, double dm, std::vector<double> &times);

#endif
