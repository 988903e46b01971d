// Expression trees of an imported SBML model: construction with simplification, evaluation and
// traversal (differentiation: expr_derivative.h; printing as C: expr_print.h).
//
// A leaf names a state variable y[k], a parameter value p->val[k][1] or an intermediate a[k] (an
// assignment-rule value or a reaction rate, computed once per right-hand-side call in a fixed
// order). Trees are immutable and shared (std::shared_ptr<const Node>), so derivatives reuse the
// sub-trees of the expression they come from. Truth values are the doubles 1 and 0.
#ifndef QUORVANT_SBML_EXPR_H
#define QUORVANT_SBML_EXPR_H

#include <memory>
#include <span>
#include <vector>

namespace qv::sbml {

enum class Op {
    Const,      // value
    State,      // y[index]
    Param,      // p->val[index][1]
    Inter,      // a[index]
    Add,        // sum of args (two or more)
    Mul,        // product of args (two or more)
    Neg,        // -arg0
    Div,        // arg0 / arg1
    Pow,        // arg0 ^ arg1
    Func,       // fn(arg0) or fn(arg0, arg1) for Rem/Quotient/Min/Max
    Piecewise,  // value0 if cond0, value1 if cond1, ..., otherwise (args: v0, c0, v1, c1, ..., [other])
    Lt, Le, Gt, Ge, Eq, Ne,   // comparisons of arg0 and arg1
    And, Or, Xor, Not,        // logic on args (true = non-zero)
};

enum class Fn {
    Exp, Log, Sin, Cos, Tan, Asin, Acos, Atan, Sinh, Cosh, Tanh, Asinh, Acosh, Atanh,
    Abs, Sign, Floor, Ceil, Trunc, Factorial,
    Digamma,   // d/dx ln Gamma(x): what differentiating the factorial leads to
    Min, Max, Rem, Quotient,   // two arguments
};

struct Node;
using Expr = std::shared_ptr<const Node>;

struct Node {
    Op op = Op::Const;
    Fn fn = Fn::Exp;
    double value = 0.0;
    int index = 0;
    std::vector<Expr> args;
};

// Leaves.
Expr constant(double v);
Expr state(int k);
Expr param(int k);
Expr inter(int k);

// Simplifying constructors: constant folding, neutral and absorbing elements, flattening of
// nested sums and products. Constant zero is the only zero they produce.
Expr add(std::vector<Expr> terms);
Expr add(const Expr &a, const Expr &b);
Expr sub(const Expr &a, const Expr &b);
Expr mul(std::vector<Expr> factors);
Expr mul(const Expr &a, const Expr &b);
Expr neg(const Expr &a);
Expr div(const Expr &a, const Expr &b);
Expr pow(const Expr &a, const Expr &b);
Expr func(Fn fn, const Expr &a);
Expr func2(Fn fn, const Expr &a, const Expr &b);
Expr piecewise(std::vector<Expr> args);
Expr compare(Op op, const Expr &a, const Expr &b);
Expr logic(Op op, std::vector<Expr> args);

bool is_const(const Expr &e, double v);
bool is_zero(const Expr &e);

// Values of the leaves for evaluation (index 1.. for states and parameters, 0.. for intermediates).
struct Values {
    std::span<const double> y;       // y[k], k = 1..n (element 0 unused)
    std::span<const double> p;       // p[k], k = 1..np (element 0 unused)
    std::span<const double> inter;   // a[k], k = 0..m-1
};
double eval(const Expr &e, const Values &v);

// Adds the indices of the states e reads to out (sorted, unique after the call).
void collect_states(const Expr &e, std::vector<int> &out);
// Adds the indices of the parameters e reads to out (sorted, unique after the call).
void collect_params(const Expr &e, std::vector<int> &out);
// Adds the intermediate indices e reads to out (unsorted, may repeat).
void collect_inters(const Expr &e, std::vector<int> &out);

// Size of e written out as a tree (shared sub-trees counted at every use), saturating at cap, and
// its depth: what printing it and differentiating it cost.
size_t tree_size(const Expr &e, size_t cap);
size_t tree_depth(const Expr &e);

// e with every intermediate a[k] replaced by defs[k] (which must already be free of
// intermediates of index >= k; callers inline in order).
Expr inline_inters(const Expr &e, const std::vector<Expr> &defs);

}  // namespace qv::sbml

#endif
