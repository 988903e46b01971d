// The gnuplot script of a simulator result file or of an rsearch result file.
#ifndef QUORVANT_RESULTS_PLOT_SIMULATOR_H
#define QUORVANT_RESULTS_PLOT_SIMULATOR_H

#include <string>

#include "plot_script.h"
#include "quorvant/results/file_kind.h"
#include "quorvant/results/plot_options.h"
#include "quorvant/results/tool_status.h"

namespace qv::results::plot {

// Reads the file and fills `script`; on failure the status names the file.
ToolStatus simulator_script(FileKind kind, const std::string &path, const PlotOptions &options, Script &script);

}  // namespace qv::results::plot

#endif
