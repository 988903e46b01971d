// Time events of the NDF path: the sorted events are cut into groups that take effect at one
// time, the run into periods between neighbouring groups, and each period into its output times.
// The NDF solver integrates a whole period at once, so events can only act at period boundaries.
#include <cmath>
#include <new>

#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/dosolver3_periods.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/time_events.h"

namespace {

// A grid point closer to the end of its period than this fraction of DELTA_M is dropped, so that
// a period of 2.05 sampled every 1 ends 2, 2.05 rather than with a sliver of 0.05.
constexpr double kMinLastFraction = 0.1;

bool isVariableIndex(int index) { return index >= 1 && index <= Param.n_var; }

}  // namespace

int _get_simultaneous_events(double t_start, double t_end, event_group *groups) {
    // Group 0 starts the run at t_start even when some event lies before it: those events act at
    // the start, and the integration never begins before t_start.
    int ngroups = 1;
    groups[0] = event_group{0, 0, t_start};
    for (int i = 0; i < EventsNum; ++i) {
        const double t = Events[i].time;
        event_group &cur = groups[ngroups - 1];
        if (t <= t_start || t == cur.time) {
            // The events are sorted, so this one follows the current group's last event.
            ++cur.count;
        } else if (t > cur.time && t <= t_end) {
            groups[ngroups++] = event_group{i, 1, t};
        } else {
            break;   // after t_end (or not a number): this and every later event are ignored
        }
    }
    if (groups[ngroups - 1].time < t_end) groups[ngroups++] = event_group{EventsNum, 0, t_end};
    return ngroups;
}

void _get_adding_periods(int ngroups, const event_group *groups, int *flags) {
    // Follow which rates are in force rather than counting y_add events on and off: a rate reset
    // to 0 that was never set, or a rate changed from one value to another, must not unbalance
    // the bookkeeping.
    bool inForce[qv::kStateSize] = {};
    int active = 0;
    for (int k = 0; k < ngroups; ++k) {
        const event_group &g = groups[k];
        for (int e = g.first; e < g.first + g.count; ++e) {
            const event &ev = Events[e];
            if (eventKind(ev.p_no) != EventKind::Add || !isVariableIndex(ev.index)) continue;
            const bool on = ev.value != 0.0;
            if (on != inForce[ev.index]) active += on ? 1 : -1;
            inForce[ev.index] = on;
        }
        flags[k] = active > 0 ? 1 : 0;
    }
}

int _do_events(int first, int count, double *y, double *rate) {
    int paramChanged = 0;
    for (int e = first; e < first + count; ++e) {
        const event &ev = Events[e];
        if (applyEvent(ev, y, rate) && eventKind(ev.p_no) == EventKind::Parameter) paramChanged = 1;
    }
    return paramChanged;
}

long periodOutputCount(double length, double dm) {
    if (!(dm > 0.0)) return 2;
    const double q = length / dm;
    if (!(q >= 0.0)) return 2;   // an empty or reversed period: its two ends
    if (!(q < kMaxPeriodPoints)) return -1;
    const double whole = std::floor(q);
    long m = 2 + static_cast<long>(whole);
    if (q >= 1.0 && q - whole < kMinLastFraction) --m;
    return m;
}

int periodOutputTimes(double t_from, double t_to, double dm, std::vector<double> &times) {
    const long m = periodOutputCount(t_to - t_from, dm);
    if (m < 2) return -1;
    try {
        times.resize(static_cast<size_t>(m));
    } catch (const std::bad_alloc &) {
        return -1;
    }
    for (long i = 0; i + 1 < m; ++i) times[static_cast<size_t>(i)] = t_from + static_cast<double>(i) * dm;
    times[static_cast<size_t>(m - 1)] = t_to;
    return 0;
}
