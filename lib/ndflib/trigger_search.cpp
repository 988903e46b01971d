// The search for the instant of a trigger change: secant steps on the companion values, halving
// as the safeguard.
#include "quorvant/ndflib/trigger_search.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace qv::ndf {

namespace {

constexpr double kRoundingTimes = 100.0;   // the instant's width, in units of the time's rounding
constexpr double kEpsilon = 2.220446049250313e-16;
constexpr int kMaxEvaluations = 400;       // far more than halving alone needs from any step

bool changed(int watch, int before, int after) {
    if (before == after) return false;
    return after ? (watch & kWatchRise) != 0 : (watch & kWatchFall) != 0;
}

}  // namespace

bool watched_change(int num, const int *watch, const int *before, const int *after) {
    for (int k = 0; k < num; ++k)
        if (changed(watch[k], before[k], after[k])) return true;
    return false;
}

double trigger_time_tolerance(double t, double h) {
    return kRoundingTimes * kEpsilon * (std::fabs(t) + std::fabs(h));
}

int trigger_search(int num, const int *watch, TriggerAt at, void *ctx, TriggerSearch &s) {
    const double tol = trigger_time_tolerance(s.hi.t, s.hi.t - s.lo.t);
    int keptLo = 0, keptHi = 0;   // secant steps in a row that kept the same end
    for (int evals = 0; evals < kMaxEvaluations && s.hi.t - s.lo.t > tol; ++evals) {
        const double width = s.hi.t - s.lo.t;
        double tc = s.lo.t + 0.5 * width;
        if (keptLo < 2 && keptHi < 2) {
            // The earliest secant zero among the watched triggers that changed in the bracket.
            double best = s.hi.t;
            bool any = false;
            for (int k = 0; k < num; ++k) {
                const auto u = static_cast<std::size_t>(k);
                if (!changed(watch[k], s.lo.on[u], s.hi.on[u])) continue;
                const double gl = s.lo.g[u], gh = s.hi.g[u];
                if (!(gl * gh < 0.0) || !std::isfinite(gl) || !std::isfinite(gh)) continue;
                const double c = s.lo.t + width * (gl / (gl - gh));
                if (c < best) best = c;
                any = true;
            }
            if (any) tc = best;
        }
        tc = std::clamp(tc, s.lo.t + 0.5 * tol, s.hi.t - 0.5 * tol);
        s.mid.t = tc;
        if (at(ctx, tc, s.mid.on.data(), s.mid.g.data()) != 0) return -1;
        if (watched_change(num, watch, s.lo.on.data(), s.mid.on.data())) {
            std::swap(s.hi, s.mid);
            ++keptLo;
            keptHi = 0;
        } else {
            std::swap(s.lo, s.mid);
            ++keptHi;
            keptLo = 0;
        }
        if (keptLo > 2 || keptHi > 2) keptLo = keptHi = 0;   // after a halving, secants again
    }
    return 0;
}

}  // namespace qv::ndf
