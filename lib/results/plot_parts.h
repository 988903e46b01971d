// The pieces the pictures share: the limits that keep a picture's memory bounded, small helpers for
// the data blocks, and one function per kind of file that reads it and writes its gnuplot script.
#ifndef QUORVANT_RESULTS_PLOT_PARTS_H
#define QUORVANT_RESULTS_PLOT_PARTS_H

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "gnuplot_run.h"

namespace quorvant::results::plot {

constexpr size_t kPointBudget = 100000;   // buckets of all time-course series together
constexpr size_t kMaxBuckets = 2000;      // per series (each bucket gives at most 2 points)
constexpr size_t kMinBuckets = 8;
constexpr size_t kMaxKeyEntries = 12;     // more series in a panel than this: no key
constexpr size_t kMaxScatter = 20000;     // rsearch: more searches than this are thinned ...
constexpr size_t kKeepBest = 1000;        // ... but the best ones are always drawn

// A name inside a data block's double quotes.
std::string dataLabel(std::string s);
text::File tempData();
void printRow(std::FILE *f, std::initializer_list<double> values);
// The selected 0-based columns of n, or the usage message.
std::string selectVars(const std::vector<int> &wanted, size_t n, std::vector<size_t> &sel);

// Fitness drawn on a log scale: minus the fitness when every value is <= 0 (a misfit to minimise).
struct FitnessAxis {
    bool anyPositive = false, anyNegative = false;
    void see(double f) {
        if (f > 0) anyPositive = true;
        if (f < 0) anyNegative = true;
    }
    bool negate(bool logY) const { return logY && !anyPositive; }
    std::string error(bool logY) const {
        return logY && anyPositive && anyNegative ? "--log-y: the fitness has values of both signs" : "";
    }
    std::string label(bool logY) const { return negate(logY) ? "-fitness (log scale)" : "fitness"; }
    std::string column(int c, bool logY) const {
        return negate(logY) ? "(-column(" + std::to_string(c) + "))" : std::to_string(c);
    }
};

// Each reads its file(s) and fills `script`; on failure the status names the file.
ToolStatus simulatorScript(FileKind kind, const std::string &path, const PlotOptions &options, Script &script);
ToolStatus gaScript(const std::string &path, const PlotOptions &options, Script &script);
ToolStatus rsearchScript(const std::vector<std::string> &paths, const PlotOptions &options, Script &script);

// The picture's title: the file's name without its directory.
std::string baseName(const std::string &path);

}  // namespace quorvant::results::plot

#endif
