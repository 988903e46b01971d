// Running gnuplot on a script: the data blocks streamed from their files, then the commands, fed to
// gnuplot through a pipe.
#ifndef QUORVANT_RESULTS_GNUPLOT_RUN_H
#define QUORVANT_RESULTS_GNUPLOT_RUN_H

#include <string>

#include "plot_script.h"
#include "quorvant/results/plot_options.h"
#include "quorvant/results/tool_status.h"

namespace qv::results::plot {

// A text as a gnuplot string constant.
std::string quoted(const std::string &s);

// Runs gnuplot on the script, drawing options.output through a temporary file.
ToolStatus run_gnuplot(Script &script, const PlotOptions &options);

}  // namespace qv::results::plot

#endif
