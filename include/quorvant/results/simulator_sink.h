// What a reader of a simulator-style result file hands on: the file's layout, then its cases and
// rows as they come. The simulator's result files and rsearch's result files are read into it.
#ifndef QUORVANT_RESULTS_SIMULATOR_SINK_H
#define QUORVANT_RESULTS_SIMULATOR_SINK_H

#include <span>
#include <string>
#include <vector>

namespace qv::results {

struct SurveySetting {
    std::string name;   // "k1[1]"
    double value = 0;
};

struct SimulatorLayout {
    int solver = 0;                   // 0 when the file has no echo of the input (a rank's own file)
    int n_var = 0;
    std::vector<std::string> names;   // one per variable: its tag, or "y[i]" without one
    int cases = 0;                    // survey cases from the file's count line; 0 for a single run
    bool steady = false;              // steady-state blocks instead of time courses
    // rsearch result files: every search is a case whose settings are its rank, its number, its
    // fitness and its drawn values.
    bool searches = false;
};

class SimulatorSink {
public:
    virtual ~SimulatorSink() = default;
    // Once, before any case or row.
    virtual void start(const SimulatorLayout &) {}
    // Survey files only: the case number (1-based) and its survey values.
    virtual void begin_case(int, const std::vector<SurveySetting> &) {}
    virtual void time_row(double, std::span<const double>) {}
    virtual void steady_state(std::span<const double>) {}
    virtual void end_case(bool /*succeeded*/) {}
};

}  // namespace qv::results

#endif
