// The identifiers of a formula, found by scanning its tokens (no parse: the formula may be invalid
// for the math parser and still name its symbols).
#include <cctype>

#include "quorvant/petab/problem.h"

namespace qv::petab {

namespace {

bool id_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool id_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool literal(std::string_view w) {
    std::string l;
    for (char c : w) l.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return l == "true" || l == "false" || l == "inf" || l == "nan";
}

}  // namespace

std::vector<std::string> formula_identifiers(std::string_view f) {
    std::vector<std::string> ids;
    size_t i = 0;
    while (i < f.size()) {
        const char c = f[i];
        if (std::isdigit(static_cast<unsigned char>(c)) || (c == '.' && i + 1 < f.size() && std::isdigit(static_cast<unsigned char>(f[i + 1])))) {
            // A number: digits, a fraction, an exponent with its sign.
            while (i < f.size() && (std::isdigit(static_cast<unsigned char>(f[i])) || f[i] == '.')) ++i;
            if (i < f.size() && (f[i] == 'e' || f[i] == 'E')) {
                size_t j = i + 1;
                if (j < f.size() && (f[j] == '+' || f[j] == '-')) ++j;
                if (j < f.size() && std::isdigit(static_cast<unsigned char>(f[j]))) {
                    i = j;
                    while (i < f.size() && std::isdigit(static_cast<unsigned char>(f[i]))) ++i;
                }
            }
            continue;
        }
        if (!id_start(c)) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < f.size() && id_char(f[i])) ++i;
        const std::string_view word = f.substr(start, i - start);
        size_t j = i;
        while (j < f.size() && (f[j] == ' ' || f[j] == '\t')) ++j;
        if (j < f.size() && f[j] == '(') continue;  // a function name
        if (literal(word)) continue;
        bool have = false;
        for (const std::string &s : ids)
            if (s == word) have = true;
        if (!have) ids.emplace_back(word);
    }
    return ids;
}

}  // namespace qv::petab
