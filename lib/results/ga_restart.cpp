// A file of initial individuals (gasearch -s) from one generation of a report, so that a run cut short
// continues from where it stopped. The report's "[i][k]" lines are already such records; they are
// written island by island with "**" between the islands. A generation written after the islands
// were merged into one (DIGA) is dealt out again, best first, over the islands of the summary so that
// every island of the new run starts from good individuals.
#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "quorvant/results/ga_reader.h"
#include "quorvant/results/ga_restart.h"
#include "quorvant/results/read_status.h"
#include "quorvant/results/tool_status.h"
#include "text_lines.h"

namespace qv::results {

namespace {

struct Individual {
    int island;
    double fitness;
    std::vector<double> x;
};

class RestartCollector : public GaSink {
public:
    explicit RestartCollector(int wanted) : wanted_(wanted) {}
    void start(const GaLayout &l) override { layout_ = l; }
    void begin_generation(int g) override {
        current_.clear();
        first_ = first_ < 0 ? g : first_;
    }
    void individual(int island, int, double fitness, std::span<const double> x) override {
        current_.push_back({island, fitness, {x.begin(), x.end()}});
    }
    void end_generation(int g) override {
        last_ = g;
        if (wanted_ < 0 || g == wanted_) {
            chosen_.swap(current_);
            chosen_generation_ = g;
        }
    }

    GaLayout layout_;
    std::vector<Individual> current_, chosen_;
    int wanted_, first_ = -1, last_ = -1, chosen_generation_ = -1;
};

}  // namespace

ToolStatus write_ga_restart(const std::string &report, int generation, std::FILE *out) {
    RestartCollector c(generation);
    const ReadStatus st = read_ga_report(report, c, true);
    if (!st.ok) return {1, describe(report, st)};
    if (c.chosen_generation_ < 0)
        return {1, report + ": no complete generation " + std::to_string(generation) + " (the report holds " +
                       std::to_string(c.first_) + " to " + std::to_string(c.last_) + ")"};

    const GaLayout &l = c.layout_;
    const int block_islands = c.chosen_.empty() ? 0 : c.chosen_.back().island + 1;
    const bool merged = block_islands < l.islands;
    // Island of each individual in the new file: as in the report, or dealt out after a merge.
    std::vector<std::vector<const Individual *>> islands(static_cast<size_t>(std::max(l.islands, block_islands)));
    for (size_t n = 0; n < c.chosen_.size(); ++n) {
        const Individual &ind = c.chosen_[n];
        const size_t to = merged ? n % static_cast<size_t>(l.islands) : static_cast<size_t>(ind.island);
        islands[to].push_back(&ind);
    }
    int clamped = 0;
    for (size_t i = 0; i < islands.size(); ++i) {
        if (i > 0) std::fputs("**\n", out);
        for (size_t k = 0; k < islands[i].size(); ++k) {
            std::fprintf(out, "[%zu][%zu], %e", i, k, islands[i][k]->fitness);
            for (size_t v = 0; v < islands[i][k]->x.size(); ++v) {
                // The report rounds to six decimals; keep every value inside the box gasearch checks.
                const double x = std::clamp(islands[i][k]->x[v], l.min[v], l.max[v]);
                clamped += x != islands[i][k]->x[v];
                std::fprintf(out, ", %s", text::format_number(x).c_str());
            }
            std::fputc('\n', out);
        }
    }
    if (std::fflush(out) != 0 || std::ferror(out)) return {1, "cannot write the file of initial individuals"};

    ToolStatus done;
    done.message = report + ": generation " + std::to_string(c.chosen_generation_) + ", " +
                   std::to_string(c.chosen_.size()) + " individuals on " + std::to_string(islands.size()) + " islands";
    if (merged) done.message += " (the merged island dealt out over " + std::to_string(l.islands) + ")";
    if (clamped > 0) done.message += "; " + std::to_string(clamped) + " values moved onto the search box";
    if (!st.note.empty()) done.message += "; " + st.note;
    return done;
}

}  // namespace qv::results
