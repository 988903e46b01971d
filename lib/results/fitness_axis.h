// The fitness axis of the gasearch and rsearch pictures, on a linear or a log scale.
#ifndef QUORVANT_RESULTS_FITNESS_AXIS_H
#define QUORVANT_RESULTS_FITNESS_AXIS_H

#include <string>

namespace qv::results::plot {

// Fitness drawn on a log scale: minus the fitness when every value is <= 0 (a misfit to minimise).
struct FitnessAxis {
    bool any_positive = false, any_negative = false;
    void see(double f) {
        if (f > 0) any_positive = true;
        if (f < 0) any_negative = true;
    }
    bool negate(bool log_y) const { return log_y && !any_positive; }
    std::string error(bool log_y) const {
        return log_y && any_positive && any_negative ? "--log-y: the fitness has values of both signs" : "";
    }
    std::string label(bool log_y) const { return negate(log_y) ? "-fitness (log scale)" : "fitness"; }
    std::string column(int c, bool log_y) const {
        return negate(log_y) ? "(-column(" + std::to_string(c) + "))" : std::to_string(c);
    }
};

}  // namespace qv::results::plot

#endif
