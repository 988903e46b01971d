// The picture of rsearch list files: the fitness against each search variable, one panel per
// variable. Searches go to a temporary data file; a very long list is thinned to a sample that keeps
// all of the best searches.
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <queue>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "fitness_axis.h"
#include "gnuplot_run.h"
#include "plot_parts.h"
#include "plot_rsearch.h"
#include "plot_script.h"
#include "quorvant/common/file_owner.h"
#include "quorvant/results/plot_options.h"
#include "quorvant/results/read_status.h"
#include "quorvant/results/rsearch_reader.h"
#include "quorvant/results/tool_status.h"
#include "text_lines.h"

namespace qv::results::plot {

namespace {

// Bounds that keep the picture's memory and file small.
constexpr size_t kMaxScatter = 20000;     // more searches than this are thinned ...
constexpr size_t kKeepBest = 1000;        // ... but the best ones are always drawn

class RsearchPlot : public RsearchSink {
public:
    RsearchPlot(const PlotOptions &o, std::string title) : options_(o), title_(std::move(title)) {}

    void start(const std::vector<std::string> &names) override {
        names_ = names;
        usage_ = select_vars(options_.vars, names.size(), sel_);
    }
    void search(int, int, double fitness, std::span<const double> x) override {
        std::fputs(text::format_number(fitness).c_str(), all_.get());
        for (double v : x) std::fprintf(all_.get(), " %s", text::format_number(v).c_str());
        std::fputc('\n', all_.get());
        axis_.see(fitness);
        if (std::isfinite(fitness)) {
            best_.push(fitness);
            if (best_.size() > kKeepBest) best_.pop();
        }
        ++count_;
    }

    ToolStatus script(Script &s) {
        if (!usage_.empty()) return {2, usage_};
        if (names_.empty()) return {1, "the searches have no search variables to plot against"};
        if (count_ == 0) return {1, "no searches to plot"};
        if (const std::string e = axis_.error(options_.log_y); !e.empty()) return {2, e};
        DataBlock b{"$r", thinned()};
        const bool log = options_.log_y;
        const size_t panels = sel_.size();
        s.panels = static_cast<int>(panels);
        std::string title = title_ + " (" + std::to_string(count_) + " searches";
        if (count_ > kMaxScatter) title += "; a sample and the best " + std::to_string(kKeepBest) + " drawn";
        title += ")";
        s.commands = "set grid\nset format y '%g'\n";
        if (log) s.commands += "set logscale y\n";
        if (panels > 1) s.commands += "set multiplot layout " + std::to_string(panels) + ",1 title " + quoted(title) + "\n";
        else s.commands += "set title " + quoted(title) + "\n";
        s.commands += "set ylabel " + quoted(axis_.label(log)) + "\n";
        for (size_t j : sel_)
            s.commands += "set xlabel " + quoted(names_[j]) + "\nplot " + b.name + " using " + std::to_string(j + 2) +
                          ":" + axis_.column(1, log) + " with points pt 7 ps 0.4 notitle\n";
        if (panels > 1) s.commands += "unset multiplot\n";
        s.blocks.push_back(std::move(b));
        return {};
    }

private:
    // Every search when there are few; otherwise every k-th one and all of the best.
    File thinned() {
        if (count_ <= kMaxScatter) return std::move(all_);
        const size_t stride = (count_ + kMaxScatter - 1) / kMaxScatter;
        const double threshold = best_.empty() ? INFINITY : best_.top();
        File out = temp_data();
        std::rewind(all_.get());
        char *line = nullptr;
        size_t cap = 0;
        for (size_t n = 0; getline(&line, &cap, all_.get()) > 0; ++n)
            if (n % stride == 0 || std::strtod(line, nullptr) >= threshold) std::fputs(line, out.get());
        std::free(line);
        return out;
    }

    const PlotOptions &options_;
    std::string title_;
    std::vector<std::string> names_;
    std::string usage_;
    std::vector<size_t> sel_;
    File all_ = temp_data();
    std::priority_queue<double, std::vector<double>, std::greater<double>> best_;   // the kKeepBest best
    FitnessAxis axis_;
    size_t count_ = 0;
};

}  // namespace

ToolStatus rsearch_script(const std::vector<std::string> &paths, const PlotOptions &options, Script &script) {
    const std::string &path = paths.front();
    const std::string more = paths.size() > 1 ? " and " + std::to_string(paths.size() - 1) + " more" : "";
    RsearchPlot sink(options, base_name(path) + more);
    std::string failed;
    const ReadStatus st = read_rsearch_lists(paths, sink, failed);
    if (!st.ok) return {1, describe(failed, st)};
    const ToolStatus made = sink.script(script);
    return made.exit_code == 0 ? made : ToolStatus{made.exit_code, path + ": " + made.message};
}

}  // namespace qv::results::plot
