// Locating the instant at which a watched trigger changes between two points of an integration.
//
// A trigger is a truth value of (t, y) with a continuous companion g that changes sign where the
// truth changes. Each trigger is watched for its rise (false to true), its fall, or both. Given
// the triggers at both ends of a step and a way to evaluate them in between (the solver's
// interpolant, or a partial step), trigger_search narrows the bracket [lo, hi] around the first
// watched change to the rounding level of the time: by the secant of g where g brackets the
// change, by halving otherwise, and by halving whenever the secant keeps the same end twice (so
// that it ends within about a hundred evaluations whatever g does).
#ifndef QUORVANT_NDFLIB_TRIGGER_SEARCH_H
#define QUORVANT_NDFLIB_TRIGGER_SEARCH_H

#include <vector>

namespace qv::ndf {

enum : int { kWatchNone = 0, kWatchRise = 1, kWatchFall = 2, kWatchBoth = 3 };

// Trigger values at time t: on[k] 0/1 and g[k]. Returns 0, or -1 when they cannot be evaluated.
using TriggerAt = int (*)(void *ctx, double t, int *on, double *g);

// Trigger states at one time.
struct TriggerPoint {
    double t = 0.0;
    std::vector<int> on;
    std::vector<double> g;
    void resize(int num) {
        on.assign(static_cast<std::size_t>(num), 0);
        g.assign(static_cast<std::size_t>(num), 0.0);
    }
};

// Whether a trigger watched by watch[k] changed from `before` to `after`.
bool watched_change(int num, const int *watch, const int *before, const int *after);

// The scratch of one search, sized once per integration.
struct TriggerSearch {
    TriggerPoint lo, hi, mid;
    void resize(int num) {
        lo.resize(num);
        hi.resize(num);
        mid.resize(num);
    }
};

// Narrows s.lo (set by the caller: the start of the step, no watched change yet) and s.hi (the end:
// a watched change relative to s.lo) until hi.t - lo.t is at the rounding level of the time.
// On return s.hi is the first point found changed and s.lo the last one found unchanged.
// Returns 0, or -1 when at evaluates with an error.
int trigger_search(int num, const int *watch, TriggerAt at, void *ctx, TriggerSearch &s);

// The width below which two times count as one instant for the triggers near t over steps of h.
double trigger_time_tolerance(double t, double h);

}  // namespace qv::ndf

#endif
