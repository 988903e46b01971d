// A gnuplot script with its data: data blocks streamed from temporary files, then the plot commands,
// fed to gnuplot through a pipe.
#ifndef QUORVANT_RESULTS_GNUPLOT_RUN_H
#define QUORVANT_RESULTS_GNUPLOT_RUN_H

#include <cstdio>
#include <string>
#include <vector>

#include "quorvant/results_write.h"
#include "text_lines.h"

namespace quorvant::results::plot {

// A temporary data file that is deleted when closed.
struct DataBlock {
    std::string name;   // "$v0"
    text::File data;
};

struct Script {
    std::vector<DataBlock> blocks;
    std::string commands;   // everything after the terminal and output settings
    int panels = 1;         // stacked panels: the picture's height grows with them
};

// A text as a gnuplot string constant.
std::string quoted(const std::string &s);

// Runs gnuplot on the script, drawing options.output through a temporary file.
ToolStatus runGnuplot(Script &script, const PlotOptions &options);

}  // namespace quorvant::results::plot

#endif
