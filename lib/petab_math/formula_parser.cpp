// Recursive descent over the formula grammar (formula.h), one function per precedence level,
// building the tree with the simplifying constructors as it goes.
#include <algorithm>
#include <cmath>

#include "formula_functions.h"
#include "formula_lexer.h"
#include "quorvant/petab_math/formula.h"

namespace qv::petab_math {

namespace {

namespace sb = qv::sbml;

bool equals_ignoring_case(std::string_view a, std::string_view lower) {
    if (a.size() != lower.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        if (c != lower[i]) return false;
    }
    return true;
}

// The literal an identifier-shaped word stands for (true, false, inf, nan in any case).
bool keyword_value(std::string_view word, double &v) {
    if (equals_ignoring_case(word, "true")) v = 1.0;
    else if (equals_ignoring_case(word, "false")) v = 0.0;
    else if (equals_ignoring_case(word, "inf")) v = INFINITY;
    else if (equals_ignoring_case(word, "nan")) v = NAN;
    else return false;
    return true;
}

std::string at_column(std::string what, size_t column) {
    what += " at column ";
    what += std::to_string(column);
    return what;
}

class Parser {
public:
    Parser(std::string_view text, const Resolver &resolve) : text_(text), resolve_(resolve) { advance(); }

    std::string parse(sb::Expr &out) {
        if (tok_.kind == Tok::End) return "empty formula";
        if (!logic(out)) return error_;
        if (tok_.kind != Tok::End) return unexpected();
        return {};
    }

private:
    void advance() { tok_ = next_token(text_, pos_); }

    bool fail(std::string message) {
        error_ = std::move(message);
        return false;
    }
    std::string unexpected() const {
        if (tok_.kind == Tok::End) return "unexpected end of formula";
        std::string s = "unexpected ";
        s += describe(tok_);
        return at_column(std::move(s), tok_.column);
    }

    // Counts one more nested level for the lifetime of the guard (too_deep refuses past the limit).
    struct Level {
        explicit Level(Parser &p) : p(p) { ++p.depth_; }
        ~Level() { --p.depth_; }
        Level(const Level &) = delete;
        Level &operator=(const Level &) = delete;
        Parser &p;
    };
    // A left-to-right chain of an operator the trees do not flatten (/, comparisons, && and ||)
    // nests one level per operator: a/b/c is (a/b)/c. Counted like nesting, for the chain's rest.
    struct Chain {
        explicit Chain(Parser &p) : p(p) {}
        ~Chain() { p.depth_ -= n; }
        Chain(const Chain &) = delete;
        Chain &operator=(const Chain &) = delete;
        bool longer() {
            ++n;
            ++p.depth_;
            return !p.too_deep();
        }
        Parser &p;
        int n = 0;
    };
    bool too_deep() {
        if (depth_ <= kMaxFormulaDepth) return false;
        std::string s = "formula nested deeper than ";
        s += std::to_string(kMaxFormulaDepth);
        s += " levels";
        return !fail(at_column(std::move(s), tok_.column));
    }

    // a && b, a || b: one level, left to right.
    bool logic(sb::Expr &out) {
        if (!comparison(out)) return false;
        Chain chain(*this);
        while (tok_.kind == Tok::And || tok_.kind == Tok::Or) {
            if (!chain.longer()) return false;
            const sb::Op op = tok_.kind == Tok::And ? sb::Op::And : sb::Op::Or;
            advance();
            sb::Expr rhs;
            if (!comparison(rhs)) return false;
            out = sb::logic(op, {out, rhs});
        }
        return true;
    }

    bool comparison(sb::Expr &out) {
        if (!additive(out)) return false;
        Chain chain(*this);
        for (;;) {
            sb::Op op;
            switch (tok_.kind) {
            case Tok::Lt: op = sb::Op::Lt; break;
            case Tok::Le: op = sb::Op::Le; break;
            case Tok::Gt: op = sb::Op::Gt; break;
            case Tok::Ge: op = sb::Op::Ge; break;
            case Tok::Eq: op = sb::Op::Eq; break;
            case Tok::Ne: op = sb::Op::Ne; break;
            default: return true;
            }
            if (!chain.longer()) return false;
            advance();
            sb::Expr rhs;
            if (!additive(rhs)) return false;
            out = sb::compare(op, out, rhs);
        }
    }

    // Sums and products are gathered and built once: the constructors flatten, and adding one term
    // at a time would copy the sum so far at every step.
    bool additive(sb::Expr &out) {
        if (!multiplicative(out)) return false;
        if (tok_.kind != Tok::Plus && tok_.kind != Tok::Minus) return true;
        std::vector<sb::Expr> terms{out};
        while (tok_.kind == Tok::Plus || tok_.kind == Tok::Minus) {
            const bool minus = tok_.kind == Tok::Minus;
            advance();
            sb::Expr rhs;
            if (!multiplicative(rhs)) return false;
            terms.push_back(minus ? sb::neg(rhs) : rhs);
        }
        out = sb::add(std::move(terms));
        return true;
    }

    bool multiplicative(sb::Expr &out) {
        if (!unary(out)) return false;
        if (tok_.kind != Tok::Star && tok_.kind != Tok::Slash) return true;
        std::vector<sb::Expr> factors{out};
        Chain chain(*this);
        while (tok_.kind == Tok::Star || tok_.kind == Tok::Slash) {
            const bool divide = tok_.kind == Tok::Slash;
            if (divide && !chain.longer()) return false;
            advance();
            sb::Expr rhs;
            if (!unary(rhs)) return false;
            if (divide) factors = {sb::div(sb::mul(std::move(factors)), rhs)};
            else factors.push_back(rhs);
        }
        out = sb::mul(std::move(factors));
        return true;
    }

    // Prefix + - !, binding looser than ^: -2^4 is -(2^4).
    bool unary(sb::Expr &out) {
        const Level level(*this);
        if (too_deep()) return false;
        const Tok kind = tok_.kind;
        if (kind != Tok::Plus && kind != Tok::Minus && kind != Tok::Not) return power(out);
        advance();
        if (!unary(out)) return false;
        if (kind == Tok::Minus) out = sb::neg(out);
        else if (kind == Tok::Not) out = sb::logic(sb::Op::Not, {out});
        return true;
    }

    // a ^ b, right to left; the exponent is a unary expression (9 * 3^-2, 2^2^3 = 2^8).
    bool power(sb::Expr &out) {
        if (!primary(out)) return false;
        if (tok_.kind != Tok::Pow) return true;
        advance();
        sb::Expr exponent;
        if (!unary(exponent)) return false;
        out = sb::pow(out, exponent);
        return true;
    }

    bool primary(sb::Expr &out) {
        switch (tok_.kind) {
        case Tok::Number:
            out = sb::constant(tok_.value);
            advance();
            return true;
        case Tok::LParen: {
            advance();
            if (!logic(out)) return false;
            if (tok_.kind != Tok::RParen) return fail(unexpected());
            advance();
            return true;
        }
        case Tok::Ident: return word(out);
        default: return fail(unexpected());
        }
    }

    // An identifier, a literal word, or a function call.
    bool word(sb::Expr &out) {
        const Token name = tok_;
        advance();
        if (tok_.kind == Tok::LParen) return call(name, out);
        double v = 0.0;
        if (keyword_value(name.text, v)) {
            out = sb::constant(v);
            return true;
        }
        if (find_function(name.text) != nullptr) {
            std::string s = "function '";
            s += name.text;
            s += "' without arguments";
            return fail(at_column(std::move(s), name.column));
        }
        std::string message = resolve_(name.text, out);
        if (!message.empty()) return fail(at_column(std::move(message), name.column));
        return true;
    }

    bool call(const Token &name, sb::Expr &out) {
        const FormulaFunction *f = find_function(name.text);
        if (f == nullptr) {
            std::string s = "unknown function '";
            s += name.text;
            s += '\'';
            return fail(at_column(std::move(s), name.column));
        }
        advance();   // past '('
        std::vector<sb::Expr> args;
        if (tok_.kind != Tok::RParen) {
            for (;;) {
                sb::Expr a;
                if (!logic(a)) return false;
                args.push_back(std::move(a));
                if (tok_.kind == Tok::RParen) break;
                if (tok_.kind != Tok::Comma) return fail(unexpected());
                advance();
            }
        }
        advance();   // past ')'
        const int n = static_cast<int>(args.size());
        if (n < f->min_args || (f->max_args >= 0 && n > f->max_args))
            return fail(at_column(arity_message(*f), name.column));
        out = f->build(args);
        return true;
    }

    std::string_view text_;
    const Resolver &resolve_;
    size_t pos_ = 0;
    Token tok_;
    int depth_ = 0;
    std::string error_;
};

}  // namespace

std::string parse_formula(std::string_view text, const Resolver &resolve, sb::Expr &out) {
    Parser parser(text, resolve);
    sb::Expr e;
    std::string message = parser.parse(e);
    if (message.empty()) out = std::move(e);
    return message;
}

std::vector<std::string> formula_identifiers(std::string_view text) {
    std::vector<std::string> ids;
    const Resolver record = [&ids](std::string_view id, sb::Expr &out) {
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.emplace_back(id);
        out = sb::param(0);
        return std::string();
    };
    sb::Expr ignored;
    parse_formula(text, record, ignored);
    return ids;
}

}  // namespace qv::petab_math
