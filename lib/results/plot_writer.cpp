// Pictures of the result files: the script of the file's kind (plot_simulator, plot_gasearch,
// plot_rsearch), drawn by gnuplot. Each kind's sink gathers what its picture needs while the file
// streams past, in memory bounded by the number of series, not by the number of rows.
#include "plot_parts.h"

namespace quorvant::results {

ToolStatus writePlot(FileKind kind, const std::vector<std::string> &paths, const PlotOptions &options) {
    plot::Script script;
    ToolStatus st;
    switch (kind) {
    case FileKind::SimulatorResult:
    case FileKind::RsearchResult: st = plot::simulatorScript(kind, paths.front(), options, script); break;
    case FileKind::GaReport: st = plot::gaScript(paths.front(), options, script); break;
    case FileKind::RsearchList: st = plot::rsearchScript(paths, options, script); break;
    default: return {1, paths.front() + ": " + kindName(kind) + " has nothing to plot"};
    }
    if (st.exitCode != 0) return st;
    for (const plot::DataBlock &b : script.blocks)
        if (!b.data) return {1, "cannot make a temporary data file"};
    return plot::runGnuplot(script, options);
}

}  // namespace quorvant::results
