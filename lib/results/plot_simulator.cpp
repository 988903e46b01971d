// The picture of a simulator result file (and of an rsearch result file, whose searches are drawn
// like survey cases): a time course is one line per variable; a survey one panel per variable with
// one line per case; a steady state one bar per variable, or in a survey one line per variable
// against the surveyed value. Each series keeps an envelope of bounded size, whatever the rows.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "gnuplot_run.h"
#include "plot_parts.h"
#include "plot_script.h"
#include "plot_simulator.h"
#include "quorvant/results/decimate.h"
#include "quorvant/results/file_kind.h"
#include "quorvant/results/plot_options.h"
#include "quorvant/results/read_status.h"
#include "quorvant/results/rsearch_result_reader.h"
#include "quorvant/results/simulator_reader.h"
#include "quorvant/results/simulator_sink.h"
#include "quorvant/results/tool_status.h"
#include "text_lines.h"

namespace qv::results::plot {

namespace {

// Bounds that keep the picture's memory bounded.
constexpr size_t kPointBudget = 100000;   // buckets of all time-course series together
constexpr size_t kMaxBuckets = 2000;      // per series (each bucket gives at most 2 points)
constexpr size_t kMinBuckets = 8;
constexpr size_t kMaxKeyEntries = 12;     // more series in a panel than this: no key

class SimulatorPlot : public SimulatorSink {
public:
    SimulatorPlot(const PlotOptions &o, std::string title) : options_(o), title_(std::move(title)) {}

    void start(const SimulatorLayout &l) override {
        layout_ = l;
        usage_ = select_vars(options_.vars, static_cast<size_t>(l.n_var), sel_);
        const size_t series = std::max<size_t>(1, static_cast<size_t>(std::max(1, l.cases)) * sel_.size());
        buckets_ = std::clamp(kPointBudget / series, kMinBuckets, kMaxBuckets);
    }
    void begin_case(int, const std::vector<SurveySetting> &s) override {
        std::string label;
        if (layout_.searches && s.size() >= 3) {   // rank, number, fitness, values
            fitness_.push_back(s[2].value);
            char buf[96];
            std::snprintf(buf, sizeof buf, "No%d-%d fitness=%g", int(s[0].value), int(s[1].value), s[2].value);
            label = buf;
        }
        for (const SurveySetting &v : layout_.searches ? std::vector<SurveySetting>() : s) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%s%s=%g", label.empty() ? "" : ", ", v.name.c_str(), v.value);
            label += buf;
        }
        if (s.size() == 1) one_setting_ = true, case_x_.push_back(s.front().value);
        else case_x_.push_back(static_cast<double>(labels_.size() + 1));
        labels_.push_back(label);
        survey_ = true;
        new_case();
    }
    void time_row(double t, std::span<const double> y) override {
        if (cases_.empty()) new_case();
        for (size_t j = 0; j < sel_.size(); ++j) cases_.back()[j].add(t, y[sel_[j]]);
        ++rows_;
    }
    void steady_state(std::span<const double> y) override {
        if (!survey_) case_x_.push_back(1);
        std::vector<double> v;
        for (size_t j : sel_) v.push_back(y[j]);
        steady_.push_back(std::move(v));
        ++rows_;
    }
    void end_case(bool ok) override {
        if (!ok && !labels_.empty()) labels_.back() += " (failed)";
        if (!ok && survey_ && layout_.steady) steady_.push_back(std::vector<double>(sel_.size(), NAN));
    }

    ToolStatus script(Script &s) {
        if (!usage_.empty()) return {2, usage_};
        if (rows_ == 0) return {1, "no rows to plot (every case failed)"};
        s.commands = "set grid\nset key outside right top\nset format y '%g'\n";
        if (options_.log_y) s.commands += "set logscale y\n";
        return layout_.steady ? steady_script(s) : time_script(s);
    }

private:
    void new_case() {
        cases_.emplace_back();
        for (size_t j = 0; j < sel_.size(); ++j) cases_.back().emplace_back(buckets_);
    }
    const std::string &name(size_t j) const { return layout_.names[sel_[j]]; }

    // Colour value of each series: the case number, or for searches the rank of the fitness (1 for
    // the best), which a single failed search's huge misfit cannot squeeze.
    std::vector<double> series_colours(size_t n) const {
        std::vector<double> colour(n);
        for (size_t k = 0; k < n; ++k) colour[k] = double(k + 1);
        if (!layout_.searches || fitness_.size() != n) return colour;
        std::vector<size_t> order(n);
        for (size_t k = 0; k < n; ++k) order[k] = k;
        auto key = [&](size_t k) { return std::isnan(fitness_[k]) ? -INFINITY : fitness_[k]; };   // nan last
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return key(a) > key(b); });
        for (size_t r = 0; r < n; ++r) colour[order[r]] = double(r + 1);
        return colour;
    }

    ToolStatus time_script(Script &s) {
        // One data block per panel; in it one index block per series.
        const bool per_variable = survey_;
        const size_t panels = per_variable ? sel_.size() : 1;
        s.panels = static_cast<int>(panels);
        if (panels > 1) s.commands += "set multiplot layout " + std::to_string(panels) + ",1 title " + quoted(title_) + "\n";
        for (size_t p = 0; p < panels; ++p) {
            DataBlock b{"$v" + std::to_string(p), temp_data()};
            const size_t n_series = per_variable ? cases_.size() : sel_.size();
            const std::vector<double> colour = series_colours(n_series);
            for (size_t k = 0; k < n_series; ++k) {
                const EnvelopeDecimator &d = per_variable ? cases_[k][p] : cases_.front()[k];
                const auto pts = d.points();
                for (const auto &pt : pts) print_row(b.data.get(), {pt.x, pt.y, colour[k]});
                if (pts.empty()) std::fputs("nan nan nan\n", b.data.get());
                std::fputs("\n\n", b.data.get());
            }
            s.commands += "set title " + quoted(panels > 1 ? name(p) : title_) + "\n";
            s.commands += "set xlabel 'time'\nset ylabel " + quoted(per_variable ? name(p) : "value") + "\n";
            if (n_series > kMaxKeyEntries) {
                // Too many cases for a key: the colour runs through a scale of case numbers, or of
                // the searches' ranks by fitness.
                s.commands += "set cbrange [1:" + std::to_string(n_series) + "]\nset cblabel " +
                              quoted(layout_.searches ? "rank by fitness (1 = best)" : "case") + "\n" +
                              "plot for [i=0:" + std::to_string(n_series - 1) + "] " + b.name +
                              " index i using 1:2:3 with lines lc palette notitle\n";
            } else {
                s.commands += "plot ";
                for (size_t k = 0; k < n_series; ++k)
                    s.commands += (k ? ", " : "") + b.name + " index " + std::to_string(k) +
                                  " using 1:2 with lines lw 1.5 title " +
                                  quoted(per_variable ? labels_[k] : name(k));
                s.commands += "\n";
            }
            s.blocks.push_back(std::move(b));
        }
        if (panels > 1) s.commands += "unset multiplot\n";
        return {};
    }

    ToolStatus steady_script(Script &s) {
        DataBlock b{"$s", temp_data()};
        s.commands += "set title " + quoted(title_) + "\n";
        if (!survey_) {
            // One bar per variable.
            for (size_t j = 0; j < sel_.size(); ++j)
                std::fprintf(b.data.get(), "%zu %s \"%s\"\n", j, text::format_number(steady_.front()[j]).c_str(),
                             data_label(name(j)).c_str());
            if (!options_.log_y) s.commands += "set yrange [0:*]\n";
            s.commands += "set style fill solid 0.5\nset boxwidth 0.6\nset ylabel 'steady state'\nset xtics rotate by -30\n"
                          "plot " + b.name + " using 1:2:xtic(3) with boxes notitle\n";
        } else {
            for (size_t c = 0; c < steady_.size(); ++c) {
                std::fprintf(b.data.get(), "%s", text::format_number(c < case_x_.size() ? case_x_[c] : double(c + 1)).c_str());
                for (double v : steady_[c]) std::fprintf(b.data.get(), " %s", text::format_number(v).c_str());
                std::fputc('\n', b.data.get());
            }
            const std::string x_name = one_setting_ ? labels_.front().substr(0, labels_.front().find('=')) : "case";
            s.commands += "set xlabel " + quoted(x_name) + "\nset ylabel 'steady state'\nplot ";
            for (size_t j = 0; j < sel_.size(); ++j)
                s.commands += (j ? ", " : "") + b.name + " using 1:" + std::to_string(j + 2) +
                              " with linespoints title " + quoted(name(j));
            s.commands += "\n";
        }
        s.blocks.push_back(std::move(b));
        return {};
    }

    const PlotOptions &options_;
    std::string title_;
    SimulatorLayout layout_;
    std::string usage_;
    std::vector<size_t> sel_;
    size_t buckets_ = kMaxBuckets;
    bool survey_ = false, one_setting_ = false;
    size_t rows_ = 0;
    std::vector<std::vector<EnvelopeDecimator>> cases_;   // [case][selected variable]
    std::vector<std::string> labels_;
    std::vector<double> case_x_;
    std::vector<double> fitness_;   // per search (rsearch result files)
    std::vector<std::vector<double>> steady_;              // [case][selected variable]
};

}  // namespace

ToolStatus simulator_script(FileKind kind, const std::string &path, const PlotOptions &options, Script &script) {
    SimulatorPlot sink(options, base_name(path));
    const ReadStatus st =
        kind == FileKind::RsearchResult ? read_rsearch_result(path, sink) : read_simulator_result(path, sink);
    if (!st.ok) return {1, describe(path, st)};
    const ToolStatus made = sink.script(script);
    return made.exit_code == 0 ? made : ToolStatus{made.exit_code, path + ": " + made.message};
}

}  // namespace qv::results::plot
