// rsearch's list files: a header "No, fitness, name[i], ..." and one line "No<rank>-<k>, fitness,
// values" per search. The ranks of one run are read as one table; a file joined from several ranks may
// repeat the header or leave it out (then the variables are called variable[0], variable[1], ...).
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quorvant/results/read_status.h"
#include "quorvant/results/rsearch_reader.h"
#include "text_lines.h"

namespace qv::results {

namespace {

using namespace text;

// "No3-17" -> 3, 17
bool parse_search_id(std::string_view id, int &rank, int &number) {
    const size_t dash = id.find('-');
    long r = 0, k = 0;
    if (!starts_with(id, "No") || dash == std::string_view::npos || !parse_int(id.substr(2, dash - 2), r) ||
        !parse_int(id.substr(dash + 1), k))
        return false;
    rank = static_cast<int>(r);
    number = static_cast<int>(k);
    return true;
}

}  // namespace

ReadStatus read_rsearch_lists(const std::vector<std::string> &paths, RsearchSink &sink, std::string &failed_path) {
    std::vector<std::string> names;
    bool started = false;
    std::vector<std::string_view> f;
    std::vector<double> x;
    for (const std::string &path : paths) {
        failed_path = path;
        LineReader in(path);
        if (!in.is_open()) return ReadStatus::failure(0, "cannot open the file");
        auto fail = [&](std::string m) { return ReadStatus::failure(in.line_number(), std::move(m)); };
        std::string_view line;
        bool any = false;
        while (in.next(line)) {
            if (is_blank(line)) continue;
            split_fields(line, f);
            if (starts_with(line, "No, fitness")) {
                std::vector<std::string> header(f.begin() + 2, f.end());
                if (!in.last_line_ended()) return fail("the file ends in the middle of its header");
                if (started && header != names)
                    return fail("its search variables differ from those of " + paths.front());
                if (!started) {
                    names = std::move(header);
                    sink.start(names);
                    started = true;
                }
                any = true;
                continue;
            }
            int rank = 0, number = 0;
            if (f.size() < 2 || !parse_search_id(f[0], rank, number))
                return fail(any ? "a line that is not 'No<rank>-<search>, fitness, values'"
                                : "not an rsearch list file (no 'No, fitness' header)");
            if (!started) {   // joined lines without a header
                for (size_t k = 2; k < f.size(); ++k) names.push_back("variable[" + std::to_string(k - 2) + "]");
                sink.start(names);
                started = true;
            }
            any = true;
            if (!in.last_line_ended()) return fail("the file ends in the middle of a row");
            if (f.size() != names.size() + 2)
                return fail("a search with " + std::to_string(f.size() - 2) + " values where the header names " +
                            std::to_string(names.size()) + " variables");
            double fitness = 0;
            x.resize(names.size());
            if (!parse_number(f[1], fitness)) return fail(not_a_number(f[1]));
            for (size_t k = 0; k < names.size(); ++k)
                if (!parse_number(f[2 + k], x[k])) return fail(not_a_number(f[2 + k]));
            sink.search(rank, number, fitness, x);
        }
        if (in.read_error()) return ReadStatus::failure(0, "cannot read the file");
        if (!any) return ReadStatus::failure(0, "an empty file");
    }
    failed_path.clear();
    return {};
}

}  // namespace qv::results
