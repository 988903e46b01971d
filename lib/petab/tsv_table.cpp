// Splitting tab-separated tables into header and cells, and reading numbers from cells.
#include "quorvant/petab/tsv_table.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>
#include <unordered_set>

#include "table_checks.h"

namespace qv::petab {

using detail::cat;
using detail::trim;

int TsvTable::column(std::string_view name) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i] == name) return static_cast<int>(i);
    return -1;
}

std::string TsvTable::where(size_t row, int col) const {
    const int line = row < lines.size() ? lines[row] : 0;
    return cat(path, ":", std::to_string(line), ":", std::to_string(col + 1 + column_offset), ": ");
}

std::string TsvTable::where_header(int col) const {
    return cat(path, ":", std::to_string(header_line), ":", std::to_string(col + 1 + column_offset), ": ");
}

std::string TsvTable::where_row(size_t row) const {
    const int line = row < lines.size() ? lines[row] : 0;
    return cat(path, ":", std::to_string(line), ": ");
}

bool is_identifier(std::string_view s) {
    if (s.empty()) return false;
    auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (!alpha(s[0])) return false;
    for (char c : s)
        if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}

namespace {

// The cells of one line, split at tabs and trimmed.
void split_cells(std::string_view line, std::vector<std::string> &cells) {
    cells.clear();
    size_t start = 0;
    while (true) {
        const size_t tab = line.find('\t', start);
        const std::string_view c = line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
        cells.emplace_back(trim(c));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
}

bool all_empty(const std::vector<std::string> &cells) {
    for (const std::string &c : cells)
        if (!c.empty()) return false;
    return true;
}

}  // namespace

std::string parse_tsv(std::string_view text, const std::string &path, TsvTable &out) {
    out = TsvTable{};
    out.path = path;
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    std::vector<std::string> cells;
    bool have_header = false;
    int line_no = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++line_no;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (const size_t nul = line.find('\0'); nul != std::string_view::npos) {
            const size_t field = static_cast<size_t>(std::count(line.begin(), line.begin() + static_cast<long>(nul), '\t')) + 1;
            return cat(path, ":", std::to_string(line_no), ":", std::to_string(field), ": NUL byte in the table");
        }
        split_cells(line, cells);
        if (all_empty(cells)) continue;

        if (!have_header) {
            have_header = true;
            out.header_line = line_no;
            while (cells.size() > 1 && cells.back().empty()) cells.pop_back();
            if (cells[0].empty()) {
                out.column_offset = 1;
                cells.erase(cells.begin());
            }
            std::unordered_set<std::string_view> seen;
            for (size_t i = 0; i < cells.size(); ++i) {
                const int field = static_cast<int>(i) + 1 + out.column_offset;
                if (cells[i].empty())
                    return cat(path, ":", std::to_string(line_no), ":", std::to_string(field), ": empty column name");
                if (!seen.insert(cells[i]).second)
                    return cat(path, ":", std::to_string(line_no), ":", std::to_string(field), ": duplicate column '",
                               cells[i], "'");
            }
            out.columns = cells;
            continue;
        }

        if (out.column_offset == 1) cells.erase(cells.begin());
        const size_t ncol = out.columns.size();
        if (cells.size() > ncol) {
            for (size_t i = ncol; i < cells.size(); ++i)
                if (!cells[i].empty())
                    return cat(path, ":", std::to_string(line_no), ":", std::to_string(i + 1 + static_cast<size_t>(out.column_offset)),
                               ": row has ", std::to_string(cells.size()), " cells, the header ", std::to_string(ncol));
            cells.resize(ncol);
        }
        cells.resize(ncol);
        out.rows.push_back(cells);
        out.lines.push_back(line_no);
    }
    if (!have_header) return cat(path, ": empty table (no header)");
    return "";
}

std::string read_tsv(const std::string &path, TsvTable &out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return cat(path, ": cannot open the table");
    std::stringstream buf;
    buf << in.rdbuf();
    if (in.bad()) return cat(path, ": cannot read the table");
    return parse_tsv(buf.str(), path, out);
}

std::string parse_number(std::string_view s, double &out) {
    if (s.empty()) return "empty, a number is needed";
    std::string_view body = s;
    bool negative = false;
    if (body[0] == '+' || body[0] == '-') {
        negative = body[0] == '-';
        body.remove_prefix(1);
    }
    // Only digits, one decimal point and an exponent, or the words inf, infinity and nan.
    auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); };
    std::string word;
    for (char c : body) word.push_back(lower(c));
    if (word == "inf" || word == "infinity") {
        out = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return "";
    }
    if (word == "nan") {
        out = std::numeric_limits<double>::quiet_NaN();
        return "";
    }
    if (body.empty() || !((body[0] >= '0' && body[0] <= '9') || body[0] == '.'))
        return cat("'", s, "' is not a number");
    double v = 0;
    const auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), v, std::chars_format::general);
    if (ptr != body.data() + body.size() || (ec != std::errc() && ec != std::errc::result_out_of_range))
        return cat("'", s, "' is not a number");
    if (ec == std::errc::result_out_of_range) return cat("'", s, "' is out of the range of numbers");
    out = negative ? -v : v;
    return "";
}

}  // namespace qv::petab
