// Symbolic differentiation of expression trees (the exact Jacobian of an imported model).
#include <map>

#include "quorvant/sbml/expr_derivative.h"

namespace qv::sbml {

namespace {

Expr one() { return constant(1.0); }

// d fn(u) / du for the one-argument functions.
Expr outer_derivative(Fn fn, const Expr &u, const Expr &node) {
    switch (fn) {
    case Fn::Exp: return node;
    case Fn::Log: return div(one(), u);
    case Fn::Sin: return func(Fn::Cos, u);
    case Fn::Cos: return neg(func(Fn::Sin, u));
    case Fn::Tan: return div(one(), pow(func(Fn::Cos, u), constant(2.0)));
    case Fn::Asin: return div(one(), pow(sub(one(), pow(u, constant(2.0))), constant(0.5)));
    case Fn::Acos: return neg(div(one(), pow(sub(one(), pow(u, constant(2.0))), constant(0.5))));
    case Fn::Atan: return div(one(), add(one(), pow(u, constant(2.0))));
    case Fn::Sinh: return func(Fn::Cosh, u);
    case Fn::Cosh: return func(Fn::Sinh, u);
    case Fn::Tanh: return sub(one(), pow(node, constant(2.0)));
    case Fn::Asinh: return div(one(), pow(add(pow(u, constant(2.0)), one()), constant(0.5)));
    case Fn::Acosh: return div(one(), pow(sub(pow(u, constant(2.0)), one()), constant(0.5)));
    case Fn::Atanh: return div(one(), sub(one(), pow(u, constant(2.0))));
    case Fn::Abs: return func(Fn::Sign, u);
    // The factorial is evaluated as Gamma(u + 1), whose derivative is Gamma(u + 1) psi(u + 1).
    case Fn::Factorial: return mul(node, func(Fn::Digamma, add(u, one())));
    // Step functions: zero almost everywhere. Digamma only appears in derivatives, which are not
    // differentiated again.
    default: return constant(0.0);
    }
}

}  // namespace

namespace {

// Derivatives of the shared sub-trees are computed once (memo): an expression with its assignment
// rules substituted is a DAG whose tree form can be far larger.
// The leaf kind differentiated by (State or Param) travels with the memo.
struct Memo {
    Op leaf = Op::State;
    std::map<const Node *, Expr> done;
};
Expr diff(const Expr &e, int k, Memo &memo);

Expr diff_node(const Expr &e, int k, Memo &memo) {
    auto derivative = [&memo](const Expr &x, int var) { return diff(x, var, memo); };
    const auto &a = e->args;
    switch (e->op) {
    case Op::State: return one();
    case Op::Add: {
        std::vector<Expr> terms;
        for (const auto &t : a) terms.push_back(derivative(t, k));
        return add(std::move(terms));
    }
    case Op::Mul: {
        // Product rule: sum over factors of (derivative of that factor) x (the others).
        std::vector<Expr> terms;
        for (size_t i = 0; i < a.size(); ++i) {
            Expr d = derivative(a[i], k);
            if (is_zero(d)) continue;
            std::vector<Expr> f;
            for (size_t j = 0; j < a.size(); ++j) f.push_back(j == i ? d : a[j]);
            terms.push_back(mul(std::move(f)));
        }
        return add(std::move(terms));
    }
    case Op::Neg: return neg(derivative(a[0], k));
    case Op::Div: {
        Expr du = derivative(a[0], k), dv = derivative(a[1], k);
        if (is_zero(dv)) return div(du, a[1]);
        // (u/v)' = u'/v - u v' / v^2
        return sub(div(du, a[1]), div(mul(a[0], dv), pow(a[1], constant(2.0))));
    }
    case Op::Pow: {
        const Expr &u = a[0], &v = a[1];
        Expr du = derivative(u, k), dv = derivative(v, k);
        if (is_zero(dv)) {
            // v u^(v-1) u'
            return mul({v, pow(u, sub(v, one())), du});
        }
        if (is_zero(du)) return mul({e, func(Fn::Log, u), dv});
        // u^v (v' ln u + v u' / u)
        return mul(e, add(mul(dv, func(Fn::Log, u)), div(mul(v, du), u)));
    }
    case Op::Func: {
        if (a.size() == 1) return mul(outer_derivative(e->fn, a[0], e), derivative(a[0], k));
        Expr da = derivative(a[0], k), db = derivative(a[1], k);
        switch (e->fn) {
        case Fn::Min: return piecewise({da, compare(Op::Le, a[0], a[1]), db});
        case Fn::Max: return piecewise({da, compare(Op::Ge, a[0], a[1]), db});
        case Fn::Rem:   // a - trunc(a/b) b
            return sub(da, mul(func(Fn::Trunc, div(a[0], a[1])), db));
        default: return constant(0.0);
        }
    }
    case Op::Piecewise: {
        std::vector<Expr> out;
        for (size_t i = 0; i < a.size(); ++i) {
            // Odd positions hold the conditions; the values (and the otherwise) are differentiated.
            out.push_back(i % 2 == 1 ? a[i] : derivative(a[i], k));
        }
        return piecewise(std::move(out));
    }
    default:   // comparisons and logic: piecewise constant
        return constant(0.0);
    }
}

Expr diff(const Expr &e, int k, Memo &memo) {
    if (e->op == memo.leaf) return constant(e->index == k ? 1.0 : 0.0);
    if (e->args.empty()) return constant(0.0);
    auto it = memo.done.find(e.get());
    if (it != memo.done.end()) return it->second;
    Expr d = diff_node(e, k, memo);
    memo.done.emplace(e.get(), d);
    return d;
}

}  // namespace

Expr derivative(const Expr &e, int k) {
    Memo memo;
    return diff(e, k, memo);
}

Expr derivative_param(const Expr &e, int k) {
    Memo memo;
    memo.leaf = Op::Param;
    return diff(e, k, memo);
}

}  // namespace qv::sbml
