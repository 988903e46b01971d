// rsearch's result file of one rank: the echo of the settings (variable tags), then per search a block
//   $$ Random Search No<rank>-<k>
//   fitness, name[i], ...
//   <fitness>, <values>
//   Time, y[1], ...            (only when the simulation stored rows)
//   <rows>
//   Solution not found.        (only after a failed simulation)
// read as one case per search. The file has no closing line: a file cut between two lines cannot be
// told from a complete one, but a row cut in the middle is refused.
#include "quorvant/results_read.h"
#include "text_lines.h"

namespace quorvant::results {

namespace {

using namespace text;

enum class Expect { Search, Names, Values, Rows };

}  // namespace

ReadStatus readRsearchResult(const std::string &path, SimulatorSink &sink) {
    SimulatorLayout layout;
    layout.searches = true;
    std::string_view line;
    {
        // The number of searches first, so that the picture can share its points among them.
        LineReader count(path);
        if (!count.isOpen()) return ReadStatus::failure(0, "cannot open the file");
        while (count.next(line))
            if (startsWith(line, "$$ Random Search No")) ++layout.cases;
    }
    LineReader in(path);
    if (!in.isOpen()) return ReadStatus::failure(0, "cannot open the file");
    auto fail = [&](std::string m) { return ReadStatus::failure(in.lineNumber(), std::move(m)); };

    // 1. The echo: the variables' tags.
    bool inStartValues = false, results = false;
    while (!results && in.next(line)) {
        if (startsWith(line, "$$ Results")) results = true;
        else if (startsWith(line, "#######")) inStartValues = line.find("Starting Y Values") != std::string_view::npos;
        else if (inStartValues && startsWith(line, "y[")) {
            const size_t hash = line.find('#');
            const std::string_view tag = hash == std::string_view::npos ? std::string_view() : trim(line.substr(hash + 1));
            layout.names.push_back(tag.empty() ? "y[" + std::to_string(layout.names.size() + 1) + "]" : std::string(tag));
        }
    }
    if (!results) return fail("the file ends before its '$$ Results' line");
    layout.nVar = static_cast<int>(layout.names.size());
    if (layout.nVar < 1) return fail("the file does not name its variables ('Starting Y Values')");
    sink.start(layout);

    // 2. The search blocks.
    Expect expect = Expect::Search;
    bool inCase = false, failed = false;
    std::vector<std::string> names;
    std::vector<SurveySetting> settings;
    std::vector<std::string_view> f;
    std::vector<double> row;
    int rank = 0, number = 0;
    while (in.next(line)) {
        if (!in.lastLineEnded() && !isBlank(line)) return fail("the file ends in the middle of a row");
        if (startsWith(line, "$$ Random Search No")) {
            if (inCase) sink.endCase(!failed);
            if (std::sscanf(std::string(line).c_str(), "$$ Random Search No%d-%d", &rank, &number) != 2)
                return fail("a search line without its number");
            inCase = true;
            failed = false;
            expect = Expect::Names;
            continue;
        }
        if (startsWith(line, "Solution not found.")) {
            failed = true;
            continue;
        }
        if (isBlank(line)) {
            if (expect == Expect::Rows) expect = Expect::Search;
            continue;
        }
        splitFields(line, f);
        switch (expect) {
        case Expect::Search: return fail("a line outside the search blocks");
        case Expect::Names:
            if (f.empty() || f[0] != "fitness") return fail("expected the line 'fitness, <search variables>'");
            names.assign(f.begin() + 1, f.end());
            expect = Expect::Values;
            break;
        case Expect::Values: {
            settings.assign({{"rank", double(rank)}, {"search", double(number)}, {"fitness", 0}});
            if (f.size() != names.size() + 1 || !parseNumber(f[0], settings[2].value))
                return fail("the search's fitness and values cannot be read");
            for (size_t k = 0; k < names.size(); ++k) {
                settings.push_back({names[k], 0});
                if (!parseNumber(f[k + 1], settings.back().value))
                    return fail("'" + std::string(f[k + 1]) + "' is not a number");
            }
            sink.beginCase(number + 1, settings);
            expect = Expect::Rows;
            break;
        }
        case Expect::Rows:
            if (startsWith(line, "Time")) {
                if (static_cast<int>(f.size()) != layout.nVar + 1)
                    return fail("a time course of " + std::to_string(f.size() - 1) + " variables where the file has " +
                                std::to_string(layout.nVar));
                break;
            }
            if (static_cast<int>(f.size()) != layout.nVar + 1)
                return fail("a row of " + std::to_string(f.size()) + " values under a header of " +
                            std::to_string(layout.nVar + 1) + " columns");
            row.resize(f.size());
            for (size_t k = 0; k < f.size(); ++k)
                if (!parseNumber(f[k], row[k])) return fail("'" + std::string(f[k]) + "' is not a number");
            sink.timeRow(row[0], std::span<const double>(row).subspan(1));
            break;
        }
    }
    if (in.readError()) return ReadStatus::failure(0, "cannot read the file");
    if (expect == Expect::Names || expect == Expect::Values) return fail("the file ends inside a search's header");
    if (inCase) sink.endCase(!failed);
    return {};
}

}  // namespace quorvant::results
