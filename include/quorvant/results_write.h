// What the result tools make of a file: a plain CSV table, a gnuplot picture, and for gasearch's
// report a file of initial individuals to restart the search from.
#ifndef QUORVANT_RESULTS_WRITE_H
#define QUORVANT_RESULTS_WRITE_H

#include <cstdio>
#include <string>
#include <vector>

#include "quorvant/results_read.h"

namespace quorvant::results {

// The outcome of a tool: the process's exit status (0 done, 1 a file refused or a failure,
// 2 bad usage) and the message for standard error.
struct ToolStatus {
    int exitCode = 0;
    std::string message;
};

// The data of the files as CSV on `out`. The files are read to the end once before anything is
// written, so a file refused halfway leaves `out` untouched. Layouts (header row first):
//   time course    time,<variables>                      one row per time point
//   survey         case,<survey values>,time,<variables> one row per case and time point
//   steady state   <variables> / case,<survey values>,<variables>   one row per case
//   gasearch       generation,island,rank,fitness,<variables>        one row per individual
//   rsearch        rank,search,fitness,<variables>                   one row per search
ToolStatus writeCsv(FileKind kind, const std::vector<std::string> &paths, std::FILE *out);

struct PlotOptions {
    std::string output;       // .svg or .png
    std::vector<int> vars;    // 1-based variable numbers; empty: all
    bool logY = false;
    std::string gnuplot = "gnuplot";   // program name (searched in PATH) or path
};

// The picture of the files through gnuplot, written to a temporary name beside `output` and renamed
// to it when gnuplot succeeded.
ToolStatus writePlot(FileKind kind, const std::vector<std::string> &paths, const PlotOptions &options);

// The individuals of one generation of a report (the last complete one when generation < 0) as a
// file of initial individuals for gasearch -s: "[i][k], fitness, values" lines, island by island,
// with "**" between islands.
ToolStatus writeGaRestart(const std::string &report, int generation, std::FILE *out);

}  // namespace quorvant::results

#endif
