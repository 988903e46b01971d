// The data fitness of generated models.
#include "quorvant/sbml_runtime/data_fitness.h"

#include <cmath>
#include <cstddef>

namespace qv::sbml_runtime {

namespace {

constexpr double kFailedRun = -1.0e10;      // fitness of a failed simulation
constexpr double kMissingSample = 1.0e6;    // penalty for a measurement outside the time course
constexpr double kTimeTolerance = 1.0e-9;   // relative: a row this close in time is the sample's row

// Value of column c in stored row `row`.
double column_value(const DataTable &d, const Observer &o, double **solution, int row, int c, parameter *p) {
    o.observe(solution[row], p, o.amount, o.concentration);
    const int k = d.observable[c];
    return d.in_amount[c] ? o.amount[k] : o.concentration[k];
}

}  // namespace

double data_fitness(const DataTable &d, const Observer &o, double **solution, int steps, int var, int states,
                    int status, parameter *p) {
    if (status != 0 || steps <= 0 || var != states || p == nullptr) return kFailedRun;
    double sum = 0.0;
    int row = 0;
    for (int r = 0; r < d.rows; ++r) {
        const double t = d.time[r];
        const double tol = kTimeTolerance * (std::fabs(t) > 1.0 ? std::fabs(t) : 1.0);
        while (row < steps && solution[row][0] < t - tol) ++row;
        int lo = row, hi = row;
        double w = 0.0;
        bool inside = row < steps;
        if (inside && std::fabs(solution[row][0] - t) > tol) {
            inside = row > 0;
            lo = row - 1;
            if (inside) w = (t - solution[lo][0]) / (solution[hi][0] - solution[lo][0]);
        }
        const double *measured_row = d.values + static_cast<std::ptrdiff_t>(r) * d.cols;
        for (int c = 0; c < d.cols; ++c) {
            const double measured = measured_row[c];
            if (std::isnan(measured)) continue;
            if (!inside) {
                sum += kMissingSample;
                continue;
            }
            double v = column_value(d, o, solution, lo, c, p);
            if (hi != lo) v += w * (column_value(d, o, solution, hi, c, p) - v);
            const double diff = measured != 0.0 ? (v - measured) / measured : v - measured;
            sum += std::isfinite(diff) ? diff * diff : kMissingSample;
        }
    }
    return std::isfinite(sum) ? -sum : kFailedRun;
}

}  // namespace qv::sbml_runtime
