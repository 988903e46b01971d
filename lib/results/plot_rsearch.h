// The gnuplot script of the rsearch list files of one run.
#ifndef QUORVANT_RESULTS_PLOT_RSEARCH_H
#define QUORVANT_RESULTS_PLOT_RSEARCH_H

#include <string>
#include <vector>

#include "plot_script.h"
#include "quorvant/results/plot_options.h"
#include "quorvant/results/tool_status.h"

namespace qv::results::plot {

// Reads the files and fills `script`; on failure the status names the file.
ToolStatus rsearch_script(const std::vector<std::string> &paths, const PlotOptions &options, Script &script);

}  // namespace qv::results::plot

#endif
