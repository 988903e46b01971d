// The timing of the solver benchmarks: a run counted once, then repeated for at least a given time,
// the fastest repetition kept.
#ifndef QUORVANT_BENCH_SOLVER_TIMING_H
#define QUORVANT_BENCH_SOLVER_TIMING_H

#include <algorithm>
#include <chrono>

// solve() returns a result with the fields rhs, jac and seconds; rhsCount and jacCount are the
// counters of the shared right-hand-side and Jacobian wrappers.
template <class F>
auto measure(F solve, double minSeconds, long &rhsCount, long &jacCount) {
    rhsCount = jacCount = 0;
    auto r = solve();
    r.rhs = rhsCount;
    r.jac = jacCount;
    double best = 1e300, total = 0.0;
    int reps = 0;
    while (total < minSeconds || reps < 3) {
        const auto a = std::chrono::steady_clock::now();
        [[maybe_unused]] const auto again = solve();
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
        best = std::min(best, s);
        total += s;
        ++reps;
    }
    r.seconds = best;
    return r;
}

#endif
