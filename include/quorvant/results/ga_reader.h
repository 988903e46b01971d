// The reader of gasearch's report file (-f): the parameter summary, then generation by generation the
// best individual so far and every individual of every island, handed to a sink as they come.
#ifndef QUORVANT_RESULTS_GA_READER_H
#define QUORVANT_RESULTS_GA_READER_H

#include <span>
#include <string>
#include <vector>

#include "quorvant/results/read_status.h"

namespace qv::results {

struct GaLayout {
    int islands = 0;
    int population = 0;   // per island
    int total = 0;        // individuals per generation block
    int n_var = 0;
    std::vector<double> min, max;   // the search box as printed in the summary
};

class GaSink {
public:
    virtual ~GaSink() = default;
    virtual void start(const GaLayout &) {}
    virtual void begin_generation(int) {}
    virtual void best(int /*obtained*/, double /*fitness*/, std::span<const double>) {}
    virtual void individual(int /*island*/, int /*rank*/, double /*fitness*/, std::span<const double>) {}
    // Only for a complete block (every individual of the generation present).
    virtual void end_generation(int) {}
};

// With allow_cut_last a last generation block that stops early (a run killed while writing) is left
// out with a note; without it such a file is refused.
ReadStatus read_ga_report(const std::string &path, GaSink &sink, bool allow_cut_last = false);

}  // namespace qv::results

#endif
