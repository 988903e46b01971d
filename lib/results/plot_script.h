// A gnuplot script with its data: the data blocks, each in a temporary file, and the plot commands.
#ifndef QUORVANT_RESULTS_PLOT_SCRIPT_H
#define QUORVANT_RESULTS_PLOT_SCRIPT_H

#include <string>
#include <vector>

#include "quorvant/common/file_owner.h"

namespace qv::results::plot {

// A temporary data file that is deleted when closed.
struct DataBlock {
    std::string name;   // "$v0"
    File data;
};

struct Script {
    std::vector<DataBlock> blocks;
    std::string commands;   // everything after the terminal and output settings
    int panels = 1;         // stacked panels: the picture's height grows with them
};

}  // namespace qv::results::plot

#endif
