// What the user asks of a picture: its file, the variables drawn, the scale, the gnuplot to use.
#ifndef QUORVANT_RESULTS_PLOT_OPTIONS_H
#define QUORVANT_RESULTS_PLOT_OPTIONS_H

#include <string>
#include <vector>

namespace qv::results {

struct PlotOptions {
    std::string output;       // .svg or .png
    std::vector<int> vars;    // 1-based variable numbers; empty: all
    bool log_y = false;
    std::string gnuplot = "gnuplot";   // program name (searched in PATH) or path
};

}  // namespace qv::results

#endif
