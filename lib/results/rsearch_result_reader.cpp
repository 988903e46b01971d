// rsearch's result file of one rank: the echo of the settings (variable tags), then per search a block
//   $$ Random Search No<rank>-<k>
//   fitness, name[i], ...
//   <fitness>, <values>
//   Time, y[1], ...            (only when the simulation stored rows)
//   <rows>
//   Solution not found.        (only after a failed simulation)
// read as one case per search. The file has no closing line: a file cut between two lines cannot be
// told from a complete one, but a row cut in the middle is refused.
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quorvant/results/read_status.h"
#include "quorvant/results/rsearch_result_reader.h"
#include "quorvant/results/simulator_sink.h"
#include "text_lines.h"

namespace qv::results {

namespace {

using namespace text;

enum class Expect { Search, Names, Values, Rows };

}  // namespace

ReadStatus read_rsearch_result(const std::string &path, SimulatorSink &sink) {
    SimulatorLayout layout;
    layout.searches = true;
    std::string_view line;
    {
        // The number of searches first, so that the picture can share its points among them.
        LineReader count(path);
        if (!count.is_open()) return ReadStatus::failure(0, "cannot open the file");
        while (count.next(line))
            if (starts_with(line, "$$ Random Search No")) ++layout.cases;
    }
    LineReader in(path);
    if (!in.is_open()) return ReadStatus::failure(0, "cannot open the file");
    auto fail = [&](std::string m) { return ReadStatus::failure(in.line_number(), std::move(m)); };

    // 1. The echo: the variables' tags.
    bool in_start_values = false, results = false;
    while (!results && in.next(line)) {
        if (starts_with(line, "$$ Results")) results = true;
        else if (starts_with(line, "#######")) in_start_values = line.find("Starting Y Values") != std::string_view::npos;
        else if (in_start_values && starts_with(line, "y[")) {
            const size_t hash = line.find('#');
            const std::string_view tag = hash == std::string_view::npos ? std::string_view() : trim(line.substr(hash + 1));
            layout.names.push_back(tag.empty() ? "y[" + std::to_string(layout.names.size() + 1) + "]" : std::string(tag));
        }
    }
    if (!results) return fail("the file ends before its '$$ Results' line");
    layout.n_var = static_cast<int>(layout.names.size());
    if (layout.n_var < 1) return fail("the file does not name its variables ('Starting Y Values')");
    sink.start(layout);

    // 2. The search blocks.
    Expect expect = Expect::Search;
    bool in_case = false, failed = false;
    std::vector<std::string> names;
    std::vector<SurveySetting> settings;
    std::vector<std::string_view> f;
    std::vector<double> row;
    int rank = 0, number = 0;
    while (in.next(line)) {
        if (!in.last_line_ended() && !is_blank(line)) return fail("the file ends in the middle of a row");
        if (starts_with(line, "$$ Random Search No")) {
            if (in_case) sink.end_case(!failed);
            if (std::sscanf(std::string(line).c_str(), "$$ Random Search No%d-%d", &rank, &number) != 2)
                return fail("a search line without its number");
            in_case = true;
            failed = false;
            expect = Expect::Names;
            continue;
        }
        if (starts_with(line, "Solution not found.")) {
            failed = true;
            continue;
        }
        if (is_blank(line)) {
            if (expect == Expect::Rows) expect = Expect::Search;
            continue;
        }
        split_fields(line, f);
        switch (expect) {
        case Expect::Search: return fail("a line outside the search blocks");
        case Expect::Names:
            if (f.empty() || f[0] != "fitness") return fail("expected the line 'fitness, <search variables>'");
            names.assign(f.begin() + 1, f.end());
            expect = Expect::Values;
            break;
        case Expect::Values: {
            settings.assign({{"rank", double(rank)}, {"search", double(number)}, {"fitness", 0}});
            if (f.size() != names.size() + 1 || !parse_number(f[0], settings[2].value))
                return fail("the search's fitness and values cannot be read");
            for (size_t k = 0; k < names.size(); ++k) {
                settings.push_back({names[k], 0});
                if (!parse_number(f[k + 1], settings.back().value))
                    return fail(not_a_number(f[k + 1]));
            }
            sink.begin_case(number + 1, settings);
            expect = Expect::Rows;
            break;
        }
        case Expect::Rows:
            if (starts_with(line, "Time")) {
                if (static_cast<int>(f.size()) != layout.n_var + 1)
                    return fail("a time course of " + std::to_string(f.size() - 1) + " variables where the file has " +
                                std::to_string(layout.n_var));
                break;
            }
            if (static_cast<int>(f.size()) != layout.n_var + 1)
                return fail("a row of " + std::to_string(f.size()) + " values under a header of " +
                            std::to_string(layout.n_var + 1) + " columns");
            row.resize(f.size());
            for (size_t k = 0; k < f.size(); ++k)
                if (!parse_number(f[k], row[k])) return fail(not_a_number(f[k]));
            sink.time_row(row[0], std::span<const double>(row).subspan(1));
            break;
        }
    }
    if (in.read_error()) return ReadStatus::failure(0, "cannot read the file");
    if (expect == Expect::Names || expect == Expect::Values) return fail("the file ends inside a search's header");
    if (in_case) sink.end_case(!failed);
    return {};
}

}  // namespace qv::results
