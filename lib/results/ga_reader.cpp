// gasearch's report file, read generation by generation: the parameter summary (islands, population,
// the search box), then per generation "generation,G", the best individual so far and every
// individual "[i][k], fitness, values" of every island, best first. A block is complete when it holds
// every individual of the summary's total population.
#include "quorvant/results_read.h"
#include "text_lines.h"

namespace quorvant::results {

namespace {

using namespace text;

bool summaryInt(std::string_view line, std::string_view key, int &value) {
    if (!startsWith(line, key)) return false;
    long v = 0;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !parseInt(trim(line.substr(colon + 1)), v)) return false;
    value = static_cast<int>(v);
    return true;
}

// "Domain variable[ 0]   : [0.400000, 10.000000]" (real genes; bit strings add "(step)").
bool domainLine(std::string_view line, double &min, double &max) {
    const size_t open = line.find('[', line.find(':'));
    const size_t close = line.find(']', open);
    if (open == std::string_view::npos || close == std::string_view::npos) return false;
    std::vector<std::string_view> f;
    splitFields(line.substr(open + 1, close - open - 1), f);
    return f.size() == 2 && parseNumber(f[0], min) && parseNumber(f[1], max);
}

// "[i][k]" -> i, k
bool parseId(std::string_view id, int &island, int &rank) {
    const size_t mid = id.find("][");
    long i = 0, k = 0;
    if (id.size() < 6 || id.front() != '[' || id.back() != ']' || mid == std::string_view::npos ||
        !parseInt(id.substr(1, mid - 1), i) || !parseInt(id.substr(mid + 2, id.size() - mid - 3), k))
        return false;
    island = static_cast<int>(i);
    rank = static_cast<int>(k);
    return true;
}

enum class Expect { Generation, BestTitle, BestHeader, BestRow, IdHeader, Individual };

}  // namespace

ReadStatus readGaReport(const std::string &path, GaSink &sink, bool allowCutLast) {
    LineReader in(path);
    if (!in.isOpen()) return ReadStatus::failure(0, "cannot open the file");
    auto fail = [&](std::string m) { return ReadStatus::failure(in.lineNumber(), std::move(m)); };

    GaLayout layout;
    std::string_view line;
    // 1. The parameter summary, up to its closing line of '='.
    bool inDomain = false, summaryDone = false;
    while (in.next(line)) {
        if (startsWith(line, "===Searching space")) inDomain = true;
        else if (inDomain && startsWith(line, "=====")) {
            summaryDone = true;
            break;
        } else if (startsWith(line, "Domain variable[")) {
            double lo = 0, hi = 0;
            if (!domainLine(line, lo, hi)) return fail("a domain line that cannot be read");
            layout.min.push_back(lo);
            layout.max.push_back(hi);
        } else if (!summaryInt(line, "Number of islands", layout.islands) &&
                   !summaryInt(line, "Island population", layout.population) &&
                   !summaryInt(line, "Total population", layout.total)) {
            summaryInt(line, "Number of Variable", layout.nVar);
        }
    }
    if (!summaryDone) return fail("the file ends inside its parameter summary");
    if (layout.nVar < 1 || static_cast<int>(layout.min.size()) != layout.nVar || layout.islands < 1 ||
        layout.population < 1)
        return fail("the parameter summary lacks the islands, the population or the search box");
    if (layout.total < 1) layout.total = layout.islands * layout.population;
    sink.start(layout);

    // 2. The generation blocks.
    Expect expect = Expect::Generation;
    int generation = -1, count = 0, lastIsland = 0, lastRank = -1;
    std::vector<std::string_view> f;
    std::vector<double> x(static_cast<size_t>(layout.nVar));
    const size_t fieldsPerRow = 2 + static_cast<size_t>(layout.nVar);
    auto readValues = [&](double &fitness) {
        if (f.size() != fieldsPerRow || !parseNumber(f[1], fitness)) return false;
        for (int k = 0; k < layout.nVar; ++k)
            if (!parseNumber(f[2 + static_cast<size_t>(k)], x[static_cast<size_t>(k)])) return false;
        return true;
    };
    while (in.next(line)) {
        if (isBlank(line)) continue;
        if (!in.lastLineEnded()) {
            if (expect == Expect::Individual && allowCutLast) break;
            return fail("the file ends in the middle of a line (cut off in generation " +
                        std::to_string(generation) + ")");
        }
        if (startsWith(line, "generation,")) {
            if (expect == Expect::Individual && count == layout.total) sink.endGeneration(generation);
            else if (expect != Expect::Generation)
                return fail("generation " + std::to_string(generation) + " stops after " + std::to_string(count) +
                            " of its " + std::to_string(layout.total) + " individuals");
            long g = 0;
            if (!parseInt(trim(line.substr(11)), g)) return fail("a generation line without its number");
            generation = static_cast<int>(g);
            count = 0;
            lastIsland = 0;
            lastRank = -1;
            sink.beginGeneration(generation);
            expect = Expect::BestTitle;
            continue;
        }
        splitFields(line, f);
        switch (expect) {
        case Expect::Generation: return fail("a line where a 'generation,' line should start the next block");
        case Expect::BestTitle:
            if (!startsWith(line, "Best gene:")) return fail("expected 'Best gene:'");
            expect = Expect::BestHeader;
            break;
        case Expect::BestHeader:
        case Expect::IdHeader:
            if (f.size() != fieldsPerRow || f[1] != "fitness")
                return fail("a column header that does not name " + std::to_string(layout.nVar) + " variables");
            expect = expect == Expect::BestHeader ? Expect::BestRow : Expect::Individual;
            break;
        case Expect::BestRow: {
            long obtained = 0;
            double fitness = 0;
            if (f.empty() || !parseInt(f[0], obtained) || !readValues(fitness))
                return fail("the best individual's line cannot be read");
            sink.best(static_cast<int>(obtained), fitness, x);
            expect = Expect::IdHeader;
            break;
        }
        case Expect::Individual: {
            int island = 0, rank = 0;
            double fitness = 0;
            if (f.empty() || !parseId(f[0], island, rank) || !readValues(fitness))
                return fail("an individual's line that is not '[island][rank], fitness, " +
                            std::to_string(layout.nVar) + " values'");
            const bool next = island == lastIsland && rank == lastRank + 1;
            const bool newIsland = island == lastIsland + 1 && rank == 0 && lastRank >= 0;
            if (!next && !newIsland) return fail("individual [" + std::to_string(island) + "][" +
                                                 std::to_string(rank) + "] out of order");
            if (++count > layout.total) return fail("more individuals in a generation than the total population");
            lastIsland = island;
            lastRank = rank;
            sink.individual(island, rank, fitness, x);
            break;
        }
        }
    }
    if (in.readError()) return ReadStatus::failure(0, "cannot read the file");
    if (expect == Expect::Individual && count == layout.total) {
        sink.endGeneration(generation);
        return {};
    }
    if (expect == Expect::Generation) return ReadStatus::failure(0, "the report holds no generation");
    if (allowCutLast) {
        ReadStatus st;
        st.note = "generation " + std::to_string(generation) + " is cut off; it is left out";
        return st;
    }
    return fail("the file ends inside generation " + std::to_string(generation) + " (after " + std::to_string(count) +
                " of its " + std::to_string(layout.total) + " individuals)");
}

}  // namespace quorvant::results
