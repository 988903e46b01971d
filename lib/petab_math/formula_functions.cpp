// The function table of formulas. Functions the expression trees lack are composed from those
// they have, so that the importer's printer and differentiation need nothing new.
#include "formula_functions.h"

#include <numbers>

namespace qv::petab_math {

namespace {

namespace sb = qv::sbml;
using Args = std::vector<sb::Expr>;

sb::Expr one() { return sb::constant(1.0); }
sb::Expr recip(const sb::Expr &a) { return sb::div(one(), a); }

template <sb::Fn F>
sb::Expr fn1(const Args &a) { return sb::func(F, a[0]); }
template <sb::Fn F>
sb::Expr fn2(const Args &a) { return sb::func2(F, a[0], a[1]); }
// 1 / f(x): cot, sec, csc, coth, sech, csch.
template <sb::Fn F>
sb::Expr recip_of(const Args &a) { return recip(sb::func(F, a[0])); }
// f(1 / x): arccot, arcsec, arccsc, arccoth, arcsech, arccsch.
template <sb::Fn F>
sb::Expr of_recip(const Args &a) { return sb::func(F, recip(a[0])); }

sb::Expr log_any(const Args &a) {
    const sb::Expr ln = sb::func(sb::Fn::Log, a[0]);
    return a.size() == 1 ? ln : sb::div(ln, sb::func(sb::Fn::Log, a[1]));
}
sb::Expr log_base10(const Args &a) { return sb::mul(sb::constant(1.0 / std::numbers::ln10), sb::func(sb::Fn::Log, a[0])); }
sb::Expr log_base2(const Args &a) { return sb::mul(sb::constant(1.0 / std::numbers::ln2), sb::func(sb::Fn::Log, a[0])); }
sb::Expr power(const Args &a) { return sb::pow(a[0], a[1]); }
sb::Expr square_root(const Args &a) { return sb::pow(a[0], sb::constant(0.5)); }
sb::Expr piecewise(const Args &a) { return sb::piecewise(a); }

// Searched in order; a formula looks a name up once per call it makes.
constexpr FormulaFunction kFunctions[] = {
    {"exp", 1, 1, fn1<sb::Fn::Exp>},
    {"log", 1, 2, log_any},
    {"ln", 1, 1, fn1<sb::Fn::Log>},
    {"log10", 1, 1, log_base10},
    {"log2", 1, 1, log_base2},
    {"sqrt", 1, 1, square_root},
    {"pow", 2, 2, power},
    {"abs", 1, 1, fn1<sb::Fn::Abs>},
    {"sign", 1, 1, fn1<sb::Fn::Sign>},
    {"min", 2, 2, fn2<sb::Fn::Min>},
    {"max", 2, 2, fn2<sb::Fn::Max>},
    {"floor", 1, 1, fn1<sb::Fn::Floor>},
    {"ceil", 1, 1, fn1<sb::Fn::Ceil>},
    {"sin", 1, 1, fn1<sb::Fn::Sin>},
    {"cos", 1, 1, fn1<sb::Fn::Cos>},
    {"tan", 1, 1, fn1<sb::Fn::Tan>},
    {"cot", 1, 1, recip_of<sb::Fn::Tan>},
    {"sec", 1, 1, recip_of<sb::Fn::Cos>},
    {"csc", 1, 1, recip_of<sb::Fn::Sin>},
    {"arcsin", 1, 1, fn1<sb::Fn::Asin>},
    {"arccos", 1, 1, fn1<sb::Fn::Acos>},
    {"arctan", 1, 1, fn1<sb::Fn::Atan>},
    {"arccot", 1, 1, of_recip<sb::Fn::Atan>},
    {"arcsec", 1, 1, of_recip<sb::Fn::Acos>},
    {"arccsc", 1, 1, of_recip<sb::Fn::Asin>},
    {"sinh", 1, 1, fn1<sb::Fn::Sinh>},
    {"cosh", 1, 1, fn1<sb::Fn::Cosh>},
    {"tanh", 1, 1, fn1<sb::Fn::Tanh>},
    {"coth", 1, 1, recip_of<sb::Fn::Tanh>},
    {"sech", 1, 1, recip_of<sb::Fn::Cosh>},
    {"csch", 1, 1, recip_of<sb::Fn::Sinh>},
    {"arcsinh", 1, 1, fn1<sb::Fn::Asinh>},
    {"arccosh", 1, 1, fn1<sb::Fn::Acosh>},
    {"arctanh", 1, 1, fn1<sb::Fn::Atanh>},
    {"arccoth", 1, 1, of_recip<sb::Fn::Atanh>},
    {"arcsech", 1, 1, of_recip<sb::Fn::Acosh>},
    {"arccsch", 1, 1, of_recip<sb::Fn::Asinh>},
    {"piecewise", 2, -1, piecewise},
};

}  // namespace

const FormulaFunction *find_function(std::string_view name) {
    for (const auto &f : kFunctions)
        if (f.name == name) return &f;
    return nullptr;
}

std::string arity_message(const FormulaFunction &f) {
    std::string s = "'";
    s += f.name;
    s += "' takes ";
    if (f.max_args < 0) {
        s += "at least ";
        s += std::to_string(f.min_args);
    } else {
        s += std::to_string(f.min_args);
        if (f.max_args != f.min_args) {
            s += " or ";
            s += std::to_string(f.max_args);
        }
    }
    s += f.min_args == 1 && f.max_args == 1 ? " argument" : " arguments";
    return s;
}

}  // namespace qv::petab_math
