// Pictures of the result files, drawn by gnuplot.
#ifndef QUORVANT_RESULTS_PLOT_WRITER_H
#define QUORVANT_RESULTS_PLOT_WRITER_H

#include <string>
#include <vector>

#include "quorvant/results/file_kind.h"
#include "quorvant/results/plot_options.h"
#include "quorvant/results/tool_status.h"

namespace qv::results {

// The picture of the files through gnuplot, written to a temporary name beside `options.output` and
// renamed to it when gnuplot succeeded.
ToolStatus write_plot(FileKind kind, const std::vector<std::string> &paths, const PlotOptions &options);

}  // namespace qv::results

#endif
