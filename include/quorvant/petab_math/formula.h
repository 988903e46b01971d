// Formulas of a PEtab problem (observable and noise formulas, condition values) read into the
// importer's expression trees.
//
// The grammar, loosest binding first:
//   a && b, a || b                     (one level, left to right)
//   < <= > >= == !=                    (one level, left to right)
//   binary + -                         (left to right)
//   * /                                (left to right)
//   unary + - !                        (prefix)
//   a ^ b, a ** b                      (right to left; the exponent may carry a unary sign: 3^-2)
//   numbers (1, 1.5, .5, 1., 1e-3, 2E+4), identifiers, true, false, inf, nan, f(args...), (expr)
// so -2^4 is -16 and true || false && false is (true || false) && false. Truth values are the
// doubles 1 and 0; a number used as a truth value is true when it is non-zero. inf, nan, true and
// false are recognised in any letter case. Functions the trees lack are written with those they
// have (cot x = 1 / tan x, log2 x = log x / log 2, sqrt x = x^0.5, arccot x = arctan(1 / x), ...).
#ifndef QUORVANT_PETAB_MATH_FORMULA_H
#define QUORVANT_PETAB_MATH_FORMULA_H

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "quorvant/sbml/expr.h"

namespace qv::petab_math {

// Maps an identifier of the formula to its tree (a parameter leaf, a state, a constant...). Returns
// an empty string on success, else what is wrong (e.g. "unknown identifier 'x'"); the parser adds
// where the identifier stands (" at column N").
using Resolver = std::function<std::string(std::string_view id, qv::sbml::Expr &out)>;

// Most nested levels (parentheses, function arguments, unary operators, powers) a formula may have.
inline constexpr int kMaxFormulaDepth = 200;

// Parses text into out. Returns an empty string on success, else one message "<what> at column N"
// (columns count bytes from 1), or "unexpected end of formula", or "empty formula".
std::string parse_formula(std::string_view text, const Resolver &resolve, qv::sbml::Expr &out);

// The identifiers the formula reads (not its function names, nor true/false/inf/nan), in the order
// of their first use, each once. For a malformed formula: those before the fault.
std::vector<std::string> formula_identifiers(std::string_view text);

}  // namespace qv::petab_math

#endif
