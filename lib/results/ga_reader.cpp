// gasearch's report file, read generation by generation: the parameter summary (islands, population,
// the search box), then per generation "generation,G", the best individual so far and every
// individual "[i][k], fitness, values" of every island, best first. A block is complete when it holds
// every individual of the summary's total population.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quorvant/results/ga_reader.h"
#include "quorvant/results/read_status.h"
#include "text_lines.h"

namespace qv::results {

namespace {

using namespace text;

bool summary_int(std::string_view line, std::string_view key, int &value) {
    if (!starts_with(line, key)) return false;
    long v = 0;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !parse_int(trim(line.substr(colon + 1)), v)) return false;
    value = static_cast<int>(v);
    return true;
}

// "Domain variable[ 0]   : [0.400000, 10.000000]" (real genes; bit strings add "(step)").
bool domain_line(std::string_view line, double &min, double &max) {
    const size_t open = line.find('[', line.find(':'));
    const size_t close = line.find(']', open);
    if (open == std::string_view::npos || close == std::string_view::npos) return false;
    std::vector<std::string_view> f;
    split_fields(line.substr(open + 1, close - open - 1), f);
    return f.size() == 2 && parse_number(f[0], min) && parse_number(f[1], max);
}

// "[i][k]" -> i, k
bool parse_id(std::string_view id, int &island, int &rank) {
    const size_t mid = id.find("][");
    long i = 0, k = 0;
    if (id.size() < 6 || id.front() != '[' || id.back() != ']' || mid == std::string_view::npos ||
        !parse_int(id.substr(1, mid - 1), i) || !parse_int(id.substr(mid + 2, id.size() - mid - 3), k))
        return false;
    island = static_cast<int>(i);
    rank = static_cast<int>(k);
    return true;
}

enum class Expect { Generation, BestTitle, BestHeader, BestRow, IdHeader, Individual };

}  // namespace

ReadStatus read_ga_report(const std::string &path, GaSink &sink, bool allow_cut_last) {
    LineReader in(path);
    if (!in.is_open()) return ReadStatus::failure(0, "cannot open the file");
    auto fail = [&](std::string m) { return ReadStatus::failure(in.line_number(), std::move(m)); };

    GaLayout layout;
    std::string_view line;
    // 1. The parameter summary, up to its closing line of '='.
    bool in_domain = false, summary_done = false;
    while (in.next(line)) {
        if (starts_with(line, "===Searching space")) in_domain = true;
        else if (in_domain && starts_with(line, "=====")) {
            summary_done = true;
            break;
        } else if (starts_with(line, "Domain variable[")) {
            double lo = 0, hi = 0;
            if (!domain_line(line, lo, hi)) return fail("a domain line that cannot be read");
            layout.min.push_back(lo);
            layout.max.push_back(hi);
        } else if (!summary_int(line, "Number of islands", layout.islands) &&
                   !summary_int(line, "Island population", layout.population) &&
                   !summary_int(line, "Total population", layout.total)) {
            summary_int(line, "Number of Variable", layout.n_var);
        }
    }
    if (!summary_done) return fail("the file ends inside its parameter summary");
    if (layout.n_var < 1 || static_cast<int>(layout.min.size()) != layout.n_var || layout.islands < 1 ||
        layout.population < 1)
        return fail("the parameter summary lacks the islands, the population or the search box");
    if (layout.total < 1) layout.total = layout.islands * layout.population;
    sink.start(layout);

    // 2. The generation blocks.
    Expect expect = Expect::Generation;
    int generation = -1, count = 0, last_island = 0, last_rank = -1;
    std::vector<std::string_view> f;
    std::vector<double> x(static_cast<size_t>(layout.n_var));
    const size_t fields_per_row = 2 + static_cast<size_t>(layout.n_var);
    auto read_values = [&](double &fitness) {
        if (f.size() != fields_per_row || !parse_number(f[1], fitness)) return false;
        for (int k = 0; k < layout.n_var; ++k)
            if (!parse_number(f[2 + static_cast<size_t>(k)], x[static_cast<size_t>(k)])) return false;
        return true;
    };
    while (in.next(line)) {
        if (is_blank(line)) continue;
        if (!in.last_line_ended()) {
            if (expect == Expect::Individual && allow_cut_last) break;
            return fail("the file ends in the middle of a line (cut off in generation " +
                        std::to_string(generation) + ")");
        }
        if (starts_with(line, "generation,")) {
            if (expect == Expect::Individual && count == layout.total) sink.end_generation(generation);
            else if (expect != Expect::Generation)
                return fail("generation " + std::to_string(generation) + " stops after " + std::to_string(count) +
                            " of its " + std::to_string(layout.total) + " individuals");
            long g = 0;
            if (!parse_int(trim(line.substr(11)), g)) return fail("a generation line without its number");
            generation = static_cast<int>(g);
            count = 0;
            last_island = 0;
            last_rank = -1;
            sink.begin_generation(generation);
            expect = Expect::BestTitle;
            continue;
        }
        split_fields(line, f);
        switch (expect) {
        case Expect::Generation: return fail("a line where a 'generation,' line should start the next block");
        case Expect::BestTitle:
            if (!starts_with(line, "Best gene:")) return fail("expected 'Best gene:'");
            expect = Expect::BestHeader;
            break;
        case Expect::BestHeader:
        case Expect::IdHeader:
            if (f.size() != fields_per_row || f[1] != "fitness")
                return fail("a column header that does not name " + std::to_string(layout.n_var) + " variables");
            expect = expect == Expect::BestHeader ? Expect::BestRow : Expect::Individual;
            break;
        case Expect::BestRow: {
            long obtained = 0;
            double fitness = 0;
            if (f.empty() || !parse_int(f[0], obtained) || !read_values(fitness))
                return fail("the best individual's line cannot be read");
            sink.best(static_cast<int>(obtained), fitness, x);
            expect = Expect::IdHeader;
            break;
        }
        case Expect::Individual: {
            int island = 0, rank = 0;
            double fitness = 0;
            if (f.empty() || !parse_id(f[0], island, rank) || !read_values(fitness))
                return fail("an individual's line that is not '[island][rank], fitness, " +
                            std::to_string(layout.n_var) + " values'");
            const bool next = island == last_island && rank == last_rank + 1;
            const bool new_island = island == last_island + 1 && rank == 0 && last_rank >= 0;
            if (!next && !new_island) return fail("individual [" + std::to_string(island) + "][" +
                                                 std::to_string(rank) + "] out of order");
            if (++count > layout.total) return fail("more individuals in a generation than the total population");
            last_island = island;
            last_rank = rank;
            sink.individual(island, rank, fitness, x);
            break;
        }
        }
    }
    if (in.read_error()) return ReadStatus::failure(0, "cannot read the file");
    if (expect == Expect::Individual && count == layout.total) {
        sink.end_generation(generation);
        return {};
    }
    if (expect == Expect::Generation) return ReadStatus::failure(0, "the report holds no generation");
    if (allow_cut_last) {
        ReadStatus st;
        st.note = "generation " + std::to_string(generation) + " is cut off; it is left out";
        return st;
    }
    return fail("the file ends inside generation " + std::to_string(generation) + " (after " + std::to_string(count) +
                " of its " + std::to_string(layout.total) + " individuals)");
}

}  // namespace qv::results
