// The picture of a gasearch report: the best fitness so far per generation, and per generation each
// island's spread (median, bar from the worst to the best individual). Rows go to temporary data
// files as the generations stream past; only one generation's fitness values are held.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "fitness_axis.h"
#include "gnuplot_run.h"
#include "plot_gasearch.h"
#include "plot_parts.h"
#include "plot_script.h"
#include "quorvant/results/ga_reader.h"
#include "quorvant/results/plot_options.h"
#include "quorvant/results/read_status.h"
#include "quorvant/results/tool_status.h"

namespace qv::results::plot {

namespace {

class GaPlot : public GaSink {
public:
    GaPlot(const PlotOptions &o, std::string title) : options_(o), title_(std::move(title)) {}

    void start(const GaLayout &l) override {
        islands_.assign(static_cast<size_t>(l.islands), {});
        for (size_t i = 0; i < islands_.size(); ++i) spread_.push_back({"$i" + std::to_string(i), temp_data()});
    }
    void begin_generation(int) override {
        for (auto &v : islands_) v.clear();
    }
    void best(int, double fitness, std::span<const double>) override {
        best_ = fitness;
        axis_.see(fitness);
    }
    void individual(int island, int, double fitness, std::span<const double>) override {
        if (static_cast<size_t>(island) < islands_.size() && !std::isnan(fitness))
            islands_[static_cast<size_t>(island)].push_back(fitness);
        axis_.see(fitness);
    }
    void end_generation(int g) override {
        print_row(best_data_.data.get(), {double(g), best_});
        const double width = 0.6 / static_cast<double>(islands_.size());
        for (size_t i = 0; i < islands_.size(); ++i) {
            std::vector<double> &v = islands_[i];
            if (v.empty()) continue;   // islands merged into one
            std::sort(v.begin(), v.end());
            const double x = g + (static_cast<double>(i) - 0.5 * static_cast<double>(islands_.size() - 1)) * width;
            print_row(spread_[i].data.get(), {x, v[v.size() / 2], v.front(), v.back()});
        }
    }

    ToolStatus script(Script &s) {
        if (!options_.vars.empty()) return {2, "--vars does not apply to a gasearch report"};
        if (const std::string e = axis_.error(options_.log_y); !e.empty()) return {2, e};
        const bool log = options_.log_y;
        s.panels = 2;
        s.commands = "set grid\nset key outside right top\nset multiplot layout 2,1 title " + quoted(title_) + "\n";
        if (log) s.commands += "set logscale y\n";
        s.commands += "set format y '%g'\nset autoscale xfix\nset offsets 0.5, 0.5, 0, 0\n";
        s.commands += "set xlabel 'generation'\nset ylabel " + quoted(axis_.label(log)) + "\n";
        s.commands += "set title 'best fitness so far'\nplot " + best_data_.name + " using 1:" + axis_.column(2, log) +
                      " with lines lw 2 title 'best'\n";
        s.commands += "set title 'fitness of each island: median, bars from worst to best'\nplot ";
        const std::string lo = axis_.negate(log) ? "(-column(4))" : "3", hi = axis_.negate(log) ? "(-column(3))" : "4";
        for (size_t i = 0; i < spread_.size(); ++i)
            s.commands += (i ? ", " : "") + spread_[i].name + " using 1:" + axis_.column(2, log) + ":" + lo + ":" + hi +
                          " with yerrorbars pt 7 ps 0.3 title 'island " + std::to_string(i) + "'";
        s.commands += "\nunset multiplot\n";
        s.blocks.push_back(std::move(best_data_));
        for (DataBlock &b : spread_) s.blocks.push_back(std::move(b));
        return {};
    }

private:
    const PlotOptions &options_;
    std::string title_;
    std::vector<std::vector<double>> islands_;
    DataBlock best_data_{"$best", temp_data()};
    std::vector<DataBlock> spread_;
    FitnessAxis axis_;
    double best_ = 0;
};

}  // namespace

ToolStatus ga_script(const std::string &path, const PlotOptions &options, Script &script) {
    GaPlot sink(options, base_name(path));
    const ReadStatus st = read_ga_report(path, sink);
    if (!st.ok) return {1, describe(path, st)};
    const ToolStatus made = sink.script(script);
    return made.exit_code == 0 ? made : ToolStatus{made.exit_code, path + ": " + made.message};
}

}  // namespace qv::results::plot
