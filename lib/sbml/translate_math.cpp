// MathML (libSBML's AST) to expression trees. Most node types map onto one constructor through
// a table; the rest (arithmetic with its arities, numbers, names, logarithms, roots) are
// converted case by case.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "translation_state.h"

namespace qv::sbml::detail {

namespace {

constexpr int kMaxMathDepth = 1000;          // nesting of one formula (guards the recursion)
constexpr double kAvogadro = 6.02214179e23;  // the value SBML Level 3 fixes for its avogadro symbol

enum class Form {
    Func,            // fn(x)
    FuncOfInverse,   // fn(1 / x): the inverse trigonometric functions of cot, csc, sec
    InverseOfFunc,   // 1 / fn(x): cot, csc, sec and their hyperbolic forms
    Func2,           // fn(x, y)
    Fold,            // fn(fn(x1, x2), x3) ...: min and max of one or more arguments
    Compare,         // x1 op x2 and x2 op x3 ...
    Logic,           // op(x1, x2, ...); with no argument the value of `empty`
};

struct MathForm {
    ASTNodeType_t type;
    Form form;
    Fn fn = Fn::Exp;
    Op op = Op::Const;
    double empty = 0.0;
};

constexpr MathForm kMathForms[] = {
    {AST_FUNCTION_ABS, Form::Func, Fn::Abs},
    {AST_FUNCTION_ARCCOS, Form::Func, Fn::Acos},
    {AST_FUNCTION_ARCCOSH, Form::Func, Fn::Acosh},
    {AST_FUNCTION_ARCCOT, Form::FuncOfInverse, Fn::Atan},
    {AST_FUNCTION_ARCCOTH, Form::FuncOfInverse, Fn::Atanh},
    {AST_FUNCTION_ARCCSC, Form::FuncOfInverse, Fn::Asin},
    {AST_FUNCTION_ARCCSCH, Form::FuncOfInverse, Fn::Asinh},
    {AST_FUNCTION_ARCSEC, Form::FuncOfInverse, Fn::Acos},
    {AST_FUNCTION_ARCSECH, Form::FuncOfInverse, Fn::Acosh},
    {AST_FUNCTION_ARCSIN, Form::Func, Fn::Asin},
    {AST_FUNCTION_ARCSINH, Form::Func, Fn::Asinh},
    {AST_FUNCTION_ARCTAN, Form::Func, Fn::Atan},
    {AST_FUNCTION_ARCTANH, Form::Func, Fn::Atanh},
    {AST_FUNCTION_CEILING, Form::Func, Fn::Ceil},
    {AST_FUNCTION_COS, Form::Func, Fn::Cos},
    {AST_FUNCTION_COSH, Form::Func, Fn::Cosh},
    {AST_FUNCTION_COT, Form::InverseOfFunc, Fn::Tan},
    {AST_FUNCTION_COTH, Form::InverseOfFunc, Fn::Tanh},
    {AST_FUNCTION_CSC, Form::InverseOfFunc, Fn::Sin},
    {AST_FUNCTION_CSCH, Form::InverseOfFunc, Fn::Sinh},
    {AST_FUNCTION_SEC, Form::InverseOfFunc, Fn::Cos},
    {AST_FUNCTION_SECH, Form::InverseOfFunc, Fn::Cosh},
    {AST_FUNCTION_EXP, Form::Func, Fn::Exp},
    {AST_FUNCTION_FACTORIAL, Form::Func, Fn::Factorial},
    {AST_FUNCTION_FLOOR, Form::Func, Fn::Floor},
    {AST_FUNCTION_LN, Form::Func, Fn::Log},
    {AST_FUNCTION_SIN, Form::Func, Fn::Sin},
    {AST_FUNCTION_SINH, Form::Func, Fn::Sinh},
    {AST_FUNCTION_TAN, Form::Func, Fn::Tan},
    {AST_FUNCTION_TANH, Form::Func, Fn::Tanh},
    {AST_FUNCTION_QUOTIENT, Form::Func2, Fn::Quotient},
    {AST_FUNCTION_REM, Form::Func2, Fn::Rem},
    {AST_FUNCTION_MAX, Form::Fold, Fn::Max},
    {AST_FUNCTION_MIN, Form::Fold, Fn::Min},
    {AST_RELATIONAL_EQ, Form::Compare, Fn::Exp, Op::Eq},
    {AST_RELATIONAL_GEQ, Form::Compare, Fn::Exp, Op::Ge},
    {AST_RELATIONAL_GT, Form::Compare, Fn::Exp, Op::Gt},
    {AST_RELATIONAL_LEQ, Form::Compare, Fn::Exp, Op::Le},
    {AST_RELATIONAL_LT, Form::Compare, Fn::Exp, Op::Lt},
    {AST_RELATIONAL_NEQ, Form::Compare, Fn::Exp, Op::Ne},
    {AST_LOGICAL_AND, Form::Logic, Fn::Exp, Op::And, 1.0},
    {AST_LOGICAL_OR, Form::Logic, Fn::Exp, Op::Or, 0.0},
    {AST_LOGICAL_XOR, Form::Logic, Fn::Exp, Op::Xor, 0.0},
};

constexpr const MathForm *find_form(ASTNodeType_t type) {
    for (const MathForm &f : kMathForms)
        if (f.type == type) return &f;
    return nullptr;
}

static_assert(find_form(AST_FUNCTION_SEC)->fn == Fn::Cos && find_form(AST_PLUS) == nullptr);

class Converter {
public:
    Converter(const Translation &t, const std::map<std::string, Expr> *local, const std::string &where)
        : t_(t), local_(local), where_(where) {}

    Expr convert(const ASTNode *n, int depth) {
        if (depth > kMaxMathDepth) refuse("math nested too deeply in " + where_);
        if (const MathForm *f = find_form(n->getType())) return by_table(*f, n, depth);
        return by_case(n, depth);
    }

private:
    const Translation &t_;
    const std::map<std::string, Expr> *local_;
    const std::string &where_;

    Expr child(const ASTNode *n, unsigned i, int depth) { return convert(n->getChild(i), depth + 1); }
    std::vector<Expr> all(const ASTNode *n, int depth) {
        std::vector<Expr> v;
        for (unsigned i = 0; i < n->getNumChildren(); ++i) v.push_back(child(n, i, depth));
        return v;
    }
    void need(const ASTNode *n, unsigned lo, unsigned hi) const {
        const unsigned nc = n->getNumChildren();
        if (nc < lo || nc > hi) refuse("malformed math (operator with " + std::to_string(nc) + " arguments) in " + where_);
    }
    static Expr inv(const Expr &e) { return div(constant(1.0), e); }

    Expr by_table(const MathForm &f, const ASTNode *n, int depth);
    Expr by_case(const ASTNode *n, int depth);
    Expr name(const ASTNode *n) const;
};

Expr Converter::by_table(const MathForm &f, const ASTNode *n, int depth) {
    const unsigned nc = n->getNumChildren();
    switch (f.form) {
    case Form::Func: need(n, 1, 1); return func(f.fn, child(n, 0, depth));
    case Form::FuncOfInverse: need(n, 1, 1); return func(f.fn, inv(child(n, 0, depth)));
    case Form::InverseOfFunc: need(n, 1, 1); return inv(func(f.fn, child(n, 0, depth)));
    case Form::Func2: need(n, 2, 2); return func2(f.fn, child(n, 0, depth), child(n, 1, depth));
    case Form::Fold: {
        need(n, 1, 1u << 30);
        std::vector<Expr> v = all(n, depth);
        Expr r = v[0];
        for (size_t i = 1; i < v.size(); ++i) r = func2(f.fn, r, v[i]);
        return r;
    }
    case Form::Compare: {
        if (f.op == Op::Ne) need(n, 2, 2);
        if (nc < 2) return constant(1.0);   // a chain of fewer than two values holds trivially
        std::vector<Expr> v = all(n, depth), pairs;
        for (size_t i = 0; i + 1 < v.size(); ++i) pairs.push_back(compare(f.op, v[i], v[i + 1]));
        return pairs.size() == 1 ? pairs[0] : logic(Op::And, pairs);
    }
    case Form::Logic: return nc == 0 ? constant(f.empty) : logic(f.op, all(n, depth));
    }
    return constant(NAN);
}

Expr Converter::name(const ASTNode *n) const {
    const std::string id = n->getName() ? n->getName() : "";
    if (local_) {
        auto it = local_->find(id);
        if (it != local_->end()) return it->second;
    }
    auto it = t_.symbols.find(id);
    if (it == t_.symbols.end()) refuse("unknown id " + in_quotes(id) + " in " + where_);
    return it->second;
}

Expr Converter::by_case(const ASTNode *n, int depth) {
    const unsigned nc = n->getNumChildren();
    auto c = [&](unsigned i) { return child(n, i, depth); };
    switch (n->getType()) {
    case AST_PLUS: return add(all(n, depth));
    case AST_MINUS:
        need(n, 1, 2);
        return nc == 1 ? neg(c(0)) : sub(c(0), c(1));
    case AST_TIMES: return mul(all(n, depth));
    case AST_DIVIDE: need(n, 2, 2); return div(c(0), c(1));
    case AST_POWER:
    case AST_FUNCTION_POWER: need(n, 2, 2); return pow(c(0), c(1));
    case AST_INTEGER: return constant(static_cast<double>(n->getInteger()));
    case AST_REAL:
    case AST_REAL_E:
    case AST_RATIONAL: return constant(n->getReal());
    case AST_NAME: return name(n);
    case AST_NAME_TIME: return state(t_.out.time_index());
    case AST_NAME_AVOGADRO: return constant(kAvogadro);
    case AST_CONSTANT_E: return constant(std::exp(1.0));
    case AST_CONSTANT_PI: return constant(std::numbers::pi);
    case AST_CONSTANT_TRUE: return constant(1.0);
    case AST_CONSTANT_FALSE: return constant(0.0);
    case AST_FUNCTION_LOG:
        // log(x) is the common logarithm; with two arguments the first is the base.
        need(n, 1, 2);
        if (nc == 1) return div(func(Fn::Log, c(0)), constant(std::log(10.0)));
        return div(func(Fn::Log, c(1)), func(Fn::Log, c(0)));
    case AST_FUNCTION_ROOT:
        need(n, 1, 2);
        if (nc == 1) return pow(c(0), constant(0.5));
        return pow(c(1), div(constant(1.0), c(0)));
    case AST_FUNCTION_PIECEWISE: return piecewise(all(n, depth));
    case AST_LOGICAL_NOT: need(n, 1, 1); return logic(Op::Not, {c(0)});
    case AST_LOGICAL_IMPLIES: need(n, 2, 2); return logic(Op::Or, {logic(Op::Not, {c(0)}), c(1)});
    case AST_FUNCTION_DELAY: refuse("delay in " + where_ + " (delays are not supported)");
    case AST_FUNCTION_RATE_OF: refuse("rateOf in " + where_ + " (rateOf is not supported)");
    case AST_FUNCTION:
        refuse("call of the undefined function " + in_quotes(n->getName() ? n->getName() : "") + " in " + where_);
    default: {
        const char *what = n->getName();
        refuse("math element '" + std::string(what ? what : "?") + "' in " + where_ + " (not supported)");
    }
    }
}

}  // namespace

Expr math_of(const Translation &t, const ASTNode *n, const std::map<std::string, Expr> *local, const std::string &where) {
    if (!n) refuse(where + " has no math");
    return Converter(t, local, where).convert(n, 0);
}

}  // namespace qv::sbml::detail
