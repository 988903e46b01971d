// Checks shared by the table readers.
#include "table_checks.h"

#include <cctype>

namespace qv::petab::detail {

namespace {

// Version 2's reserved words: literals, the model time and the function names of formulas.
constexpr std::string_view kReserved[] = {
    "true", "false", "inf", "nan", "time", "pow", "exp", "sqrt", "log", "ln", "log2", "log10",
    "sin", "cos", "tan", "cot", "sec", "csc", "arcsin", "arccos", "arctan", "arccot", "arcsec",
    "arccsc", "sinh", "cosh", "tanh", "coth", "sech", "csch", "arcsinh", "arccosh", "arctanh",
    "arccoth", "arcsech", "arccsch", "piecewise", "abs", "sign", "min", "max"};

bool iequal(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

std::string_view trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\v' || s[b] == '\f')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\v' || s[e - 1] == '\f'))
        --e;
    return s.substr(b, e - b);
}

std::string require_columns(const TsvTable &t, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names)
        if (t.column(n) < 0)
            return cat(t.path, ":", std::to_string(t.header_line), ": table lacks the required column '", n, "'");
    return "";
}

bool is_reserved(std::string_view id) {
    for (std::string_view w : kReserved)
        if (iequal(w, id)) return true;
    return false;
}

std::string check_id(const TsvTable &t, size_t row, int col, int version, std::string_view what) {
    const std::string &c = cell(t, row, col);
    if (c.empty()) return cat(t.where(row, col), what, " is empty");
    if (!is_identifier(c)) return cat(t.where(row, col), what, " '", c, "' is not a valid identifier");
    if (version >= 2 && is_reserved(c)) return cat(t.where(row, col), what, " '", c, "' is a reserved word");
    return "";
}

std::vector<std::string> split_list(std::string_view c) {
    std::vector<std::string> items;
    c = trim(c);
    if (c.empty()) return items;
    size_t start = 0;
    while (true) {
        const size_t semi = c.find(';', start);
        items.emplace_back(trim(c.substr(start, semi == std::string_view::npos ? std::string_view::npos : semi - start)));
        if (semi == std::string_view::npos) break;
        start = semi + 1;
    }
    return items;
}

std::string number_cell(const TsvTable &t, size_t row, int col, std::string_view what, double &out) {
    const std::string &c = cell(t, row, col);
    if (c.empty()) return cat(t.where(row, col), what, " is empty");
    std::string err = parse_number(c, out);
    if (!err.empty()) return cat(t.where(row, col), what, ": ", err);
    return "";
}

}  // namespace qv::petab::detail
