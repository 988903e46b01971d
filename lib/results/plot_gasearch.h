// The gnuplot script of a gasearch report.
#ifndef QUORVANT_RESULTS_PLOT_GASEARCH_H
#define QUORVANT_RESULTS_PLOT_GASEARCH_H

#include <string>

#include "plot_script.h"
#include "quorvant/results/plot_options.h"
#include "quorvant/results/tool_status.h"

namespace qv::results::plot {

// Reads the report and fills `script`; on failure the status names the file.
ToolStatus ga_script(const std::string &path, const PlotOptions &options, Script &script);

}  // namespace qv::results::plot

#endif
