// Pictures of the result files: the script of the file's kind (plot_simulator, plot_gasearch,
// plot_rsearch), drawn by gnuplot. Each kind's sink gathers what its picture needs while the file
// streams past, in memory bounded by the number of series, not by the number of rows.
#include <string>
#include <vector>

#include "gnuplot_run.h"
#include "plot_gasearch.h"
#include "plot_rsearch.h"
#include "plot_script.h"
#include "plot_simulator.h"
#include "quorvant/results/file_kind.h"
#include "quorvant/results/plot_options.h"
#include "quorvant/results/plot_writer.h"
#include "quorvant/results/tool_status.h"

namespace qv::results {

ToolStatus write_plot(FileKind kind, const std::vector<std::string> &paths, const PlotOptions &options) {
    plot::Script script;
    ToolStatus st;
    switch (kind) {
    case FileKind::SimulatorResult:
    case FileKind::RsearchResult: st = plot::simulator_script(kind, paths.front(), options, script); break;
    case FileKind::GaReport: st = plot::ga_script(paths.front(), options, script); break;
    case FileKind::RsearchList: st = plot::rsearch_script(paths, options, script); break;
    default: return {1, paths.front() + ": " + kind_name(kind) + " has nothing to plot"};
    }
    if (st.exit_code != 0) return st;
    for (const plot::DataBlock &b : script.blocks)
        if (!b.data) return {1, "cannot make a temporary data file"};
    return plot::run_gnuplot(script, options);
}

}  // namespace qv::results
