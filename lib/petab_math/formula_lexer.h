// The tokens of a formula, read one at a time.
#ifndef QUORVANT_PETAB_MATH_FORMULA_LEXER_H
#define QUORVANT_PETAB_MATH_FORMULA_LEXER_H

#include <cstddef>
#include <string>
#include <string_view>

namespace qv::petab_math {

enum class Tok {
    End, Number, Ident, LParen, RParen, Comma,
    Plus, Minus, Star, Slash, Pow, Not,
    Lt, Le, Gt, Ge, Eq, Ne, And, Or,
    Bad,   // a character no token starts with
};

struct Token {
    Tok kind = Tok::End;
    std::string_view text;   // as written
    size_t column = 0;       // of its first byte, from 1
    double value = 0.0;      // of a Number
};

// Reads the token at or after pos (skipping white space) and moves pos past it.
Token next_token(std::string_view text, size_t &pos);

// "'<text>'" of a token for messages ("end of formula" for End).
std::string describe(const Token &t);

}  // namespace qv::petab_math

#endif
