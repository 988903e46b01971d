// Tokens of a formula: numbers in decimal or scientific notation, identifiers, operators.
#include "formula_lexer.h"

#include <charconv>
#include <cmath>

namespace qv::petab_math {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_ident_start(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool is_ident_char(char c) { return is_ident_start(c) || is_digit(c); }
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

struct Operator {
    std::string_view text;
    Tok kind;
};

// Longest first, so that "**" is not read as two "*" and "<=" not as "<".
constexpr Operator kOperators[] = {
    {"**", Tok::Pow}, {"<=", Tok::Le}, {">=", Tok::Ge}, {"==", Tok::Eq}, {"!=", Tok::Ne},
    {"&&", Tok::And}, {"||", Tok::Or}, {"(", Tok::LParen}, {")", Tok::RParen}, {",", Tok::Comma},
    {"+", Tok::Plus}, {"-", Tok::Minus}, {"*", Tok::Star}, {"/", Tok::Slash}, {"^", Tok::Pow},
    {"!", Tok::Not}, {"<", Tok::Lt}, {">", Tok::Gt},
};

// digits [. digits*] | . digits, then [eE [+-] digits]. Returns the length (0: no number here).
size_t number_length(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && is_digit(s[i])) ++i;
    const size_t int_digits = i;
    if (i < s.size() && s[i] == '.') {
        size_t j = i + 1;
        while (j < s.size() && is_digit(s[j])) ++j;
        if (int_digits == 0 && j == i + 1) return 0;   // a lone '.'
        i = j;
    }
    if (i == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        const size_t exp_start = j;
        while (j < s.size() && is_digit(s[j])) ++j;
        if (j > exp_start) i = j;   // without exponent digits the 'e' is not part of the number
    }
    return i;
}

double number_value(std::string_view s) {
    double v = 0.0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
        // Beyond the doubles: a negative exponent underflows to zero, a positive one overflows.
        const size_t e = s.find_first_of("eE");
        const bool negative_exponent = e != std::string_view::npos && e + 1 < s.size() && s[e + 1] == '-';
        return negative_exponent ? 0.0 : INFINITY;
    }
    return v;
}

}  // namespace

Token next_token(std::string_view text, size_t &pos) {
    while (pos < text.size() && is_space(text[pos])) ++pos;
    Token t;
    t.column = pos + 1;
    if (pos >= text.size()) {
        t.kind = Tok::End;
        return t;
    }
    const std::string_view rest = text.substr(pos);
    if (const size_t n = number_length(rest); n > 0) {
        t.kind = Tok::Number;
        t.text = rest.substr(0, n);
        t.value = number_value(t.text);
        pos += n;
        return t;
    }
    if (is_ident_start(rest[0])) {
        size_t n = 1;
        while (n < rest.size() && is_ident_char(rest[n])) ++n;
        t.kind = Tok::Ident;
        t.text = rest.substr(0, n);
        pos += n;
        return t;
    }
    for (const auto &op : kOperators) {
        if (rest.starts_with(op.text)) {
            t.kind = op.kind;
            t.text = rest.substr(0, op.text.size());
            pos += op.text.size();
            return t;
        }
    }
    t.kind = Tok::Bad;
    t.text = rest.substr(0, 1);
    pos += 1;
    return t;
}

std::string describe(const Token &t) {
    if (t.kind == Tok::End) return "end of formula";
    if (t.kind == Tok::Bad) {
        const auto c = static_cast<unsigned char>(t.text[0]);
        if (c < 0x20 || c >= 0x7f) {
            constexpr char kHex[] = "0123456789abcdef";
            std::string s = "byte 0x";
            s += kHex[c >> 4];
            s += kHex[c & 15];
            return s;
        }
        std::string s = "character '";
        s += t.text;
        s += '\'';
        return s;
    }
    std::string s = "'";
    s += t.text;
    s += '\'';
    return s;
}

}  // namespace qv::petab_math
