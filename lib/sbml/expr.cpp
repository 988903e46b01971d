// Construction with simplification, evaluation and traversal of expression trees.
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "quorvant/sbml/expr.h"
#include "quorvant/sbml_runtime/special_functions.h"

namespace qv::sbml {

namespace {

Expr make(Op op, std::vector<Expr> args) {
    auto n = std::make_shared<Node>();
    n->op = op;
    n->args = std::move(args);
    return n;
}

Expr leaf(Op op, int k) {
    auto n = std::make_shared<Node>();
    n->op = op;
    n->index = k;
    return n;
}

bool all_const(const std::vector<Expr> &args) {
    return std::all_of(args.begin(), args.end(), [](const Expr &a) { return a->op == Op::Const; });
}

bool truth(double v) { return v != 0.0; }

double apply_fn(Fn fn, double a, double b) {
    switch (fn) {
    case Fn::Exp: return std::exp(a);
    case Fn::Log: return std::log(a);
    case Fn::Sin: return std::sin(a);
    case Fn::Cos: return std::cos(a);
    case Fn::Tan: return std::tan(a);
    case Fn::Asin: return std::asin(a);
    case Fn::Acos: return std::acos(a);
    case Fn::Atan: return std::atan(a);
    case Fn::Sinh: return std::sinh(a);
    case Fn::Cosh: return std::cosh(a);
    case Fn::Tanh: return std::tanh(a);
    case Fn::Asinh: return std::asinh(a);
    case Fn::Acosh: return std::acosh(a);
    case Fn::Atanh: return std::atanh(a);
    case Fn::Abs: return std::fabs(a);
    case Fn::Sign: return a > 0.0 ? 1.0 : (a < 0.0 ? -1.0 : 0.0);
    case Fn::Floor: return std::floor(a);
    case Fn::Ceil: return std::ceil(a);
    case Fn::Trunc: return std::trunc(a);
    case Fn::Factorial: return std::tgamma(a + 1.0);
    case Fn::Digamma: return qv::sbml_runtime::digamma(a);
    case Fn::Min: return std::fmin(a, b);
    case Fn::Max: return std::fmax(a, b);
    case Fn::Rem: return std::fmod(a, b);
    case Fn::Quotient: return std::trunc(a / b);
    }
    return 0.0;
}

double apply_compare(Op op, double a, double b) {
    switch (op) {
    case Op::Lt: return a < b ? 1.0 : 0.0;
    case Op::Le: return a <= b ? 1.0 : 0.0;
    case Op::Gt: return a > b ? 1.0 : 0.0;
    case Op::Ge: return a >= b ? 1.0 : 0.0;
    case Op::Eq: return a == b ? 1.0 : 0.0;
    case Op::Ne: return a != b ? 1.0 : 0.0;
    default: return 0.0;
    }
}

}  // namespace

Expr constant(double v) {
    auto n = std::make_shared<Node>();
    n->op = Op::Const;
    n->value = v;
    return n;
}
Expr state(int k) { return leaf(Op::State, k); }
Expr param(int k) { return leaf(Op::Param, k); }
Expr inter(int k) { return leaf(Op::Inter, k); }

bool is_const(const Expr &e, double v) { return e->op == Op::Const && e->value == v; }
bool is_zero(const Expr &e) { return is_const(e, 0.0); }

Expr add(std::vector<Expr> terms) {
    std::vector<Expr> out;
    double c = 0.0;
    for (auto &t : terms) {
        if (t->op == Op::Add) {
            for (const auto &s : t->args) {
                if (s->op == Op::Const) c += s->value;
                else out.push_back(s);
            }
        } else if (t->op == Op::Const) {
            c += t->value;
        } else {
            out.push_back(std::move(t));
        }
    }
    if (c != 0.0 || std::isnan(c)) out.push_back(constant(c));
    if (out.empty()) return constant(0.0);
    if (out.size() == 1) return out[0];
    return make(Op::Add, std::move(out));
}
Expr add(const Expr &a, const Expr &b) { return add(std::vector<Expr>{a, b}); }
Expr sub(const Expr &a, const Expr &b) { return add(a, neg(b)); }

Expr mul(std::vector<Expr> factors) {
    std::vector<Expr> out;
    double c = 1.0;
    for (auto &f : factors) {
        if (f->op == Op::Mul) {
            for (const auto &s : f->args) {
                if (s->op == Op::Const) c *= s->value;
                else out.push_back(s);
            }
        } else if (f->op == Op::Const) {
            c *= f->value;
        } else if (f->op == Op::Neg) {
            c = -c;
            out.push_back(f->args[0]);
        } else {
            out.push_back(std::move(f));
        }
    }
    // A zero factor cancels the product; the SBML models' terms are finite where they are used.
    if (c == 0.0) return constant(0.0);
    if (out.empty()) return constant(c);
    Expr prod = out.size() == 1 ? out[0] : make(Op::Mul, out);
    if (c == 1.0) return prod;
    if (c == -1.0) return make(Op::Neg, {prod});
    std::vector<Expr> with_c{constant(c)};
    with_c.insert(with_c.end(), out.begin(), out.end());
    return make(Op::Mul, std::move(with_c));
}
Expr mul(const Expr &a, const Expr &b) { return mul(std::vector<Expr>{a, b}); }

Expr neg(const Expr &a) {
    if (a->op == Op::Const) return constant(-a->value);
    if (a->op == Op::Neg) return a->args[0];
    if (a->op == Op::Mul && a->args[0]->op == Op::Const) {
        std::vector<Expr> f = a->args;
        f[0] = constant(-f[0]->value);
        return mul(std::move(f));
    }
    return make(Op::Neg, {a});
}

// The same leaf (or the very same shared sub-tree).
bool same(const Expr &a, const Expr &b) {
    if (a == b) return true;
    return a->args.empty() && b->args.empty() && a->op == b->op && a->op != Op::Const && a->index == b->index;
}

Expr div(const Expr &a, const Expr &b) {
    if (a->op == Op::Const && b->op == Op::Const) return constant(a->value / b->value);
    // (x V) / V = x: a reaction's rate over the size of the compartment it already carries.
    if (a->op == Op::Mul && b->op != Op::Const) {
        for (size_t i = 0; i < a->args.size(); ++i) {
            if (!same(a->args[i], b)) continue;
            std::vector<Expr> rest = a->args;
            rest.erase(rest.begin() + static_cast<long>(i));
            return mul(std::move(rest));
        }
    }
    if (a->op == Op::Neg) {
        Expr inner = div(a->args[0], b);
        return neg(inner);
    }
    if (is_const(b, 1.0)) return a;
    if (is_const(b, -1.0)) return neg(a);
    if (is_zero(a) && b->op != Op::Const) return a;
    if (b->op == Op::Const) return mul(constant(1.0 / b->value), a);
    return make(Op::Div, {a, b});
}

Expr pow(const Expr &a, const Expr &b) {
    if (a->op == Op::Const && b->op == Op::Const) return constant(std::pow(a->value, b->value));
    if (is_const(b, 1.0)) return a;
    if (is_const(b, 0.0)) return constant(1.0);
    return make(Op::Pow, {a, b});
}

Expr func(Fn fn, const Expr &a) {
    if (a->op == Op::Const) return constant(apply_fn(fn, a->value, 0.0));
    auto n = std::make_shared<Node>();
    n->op = Op::Func;
    n->fn = fn;
    n->args = {a};
    return n;
}

Expr func2(Fn fn, const Expr &a, const Expr &b) {
    if (a->op == Op::Const && b->op == Op::Const) return constant(apply_fn(fn, a->value, b->value));
    auto n = std::make_shared<Node>();
    n->op = Op::Func;
    n->fn = fn;
    n->args = {a, b};
    return n;
}

Expr piecewise(std::vector<Expr> args) {
    // Drop pieces whose condition is constant false; a constant true condition ends the list.
    std::vector<Expr> out;
    size_t i = 0;
    for (; i + 1 < args.size(); i += 2) {
        const Expr &cond = args[i + 1];
        if (cond->op == Op::Const) {
            if (!truth(cond->value)) continue;
            if (out.empty()) return args[i];
            out.push_back(args[i]);
            return make(Op::Piecewise, std::move(out));
        }
        out.push_back(args[i]);
        out.push_back(cond);
    }
    const bool has_other = i < args.size();
    if (out.empty()) return has_other ? args[i] : constant(NAN);
    if (has_other) out.push_back(args[i]);
    // Every piece the same constant: the value does not depend on the conditions.
    if (has_other && out.back()->op == Op::Const) {
        bool same = true;
        for (size_t k = 0; k + 1 < out.size(); k += 2)
            same = same && out[k]->op == Op::Const && out[k]->value == out.back()->value;
        if (same) return out.back();
    }
    return make(Op::Piecewise, std::move(out));
}

Expr compare(Op op, const Expr &a, const Expr &b) {
    if (a->op == Op::Const && b->op == Op::Const) return constant(apply_compare(op, a->value, b->value));
    return make(op, {a, b});
}

Expr logic(Op op, std::vector<Expr> args) {
    if (all_const(args)) {
        Values none{};
        return constant(eval(make(op, std::move(args)), none));
    }
    return make(op, std::move(args));
}

double eval(const Expr &e, const Values &v) {
    const auto &a = e->args;
    switch (e->op) {
    case Op::Const: return e->value;
    case Op::State: return v.y[static_cast<size_t>(e->index)];
    case Op::Param: return v.p[static_cast<size_t>(e->index)];
    case Op::Inter: return v.inter[static_cast<size_t>(e->index)];
    case Op::Add: {
        double s = 0.0;
        for (const auto &t : a) s += eval(t, v);
        return s;
    }
    case Op::Mul: {
        double s = 1.0;
        for (const auto &t : a) s *= eval(t, v);
        return s;
    }
    case Op::Neg: return -eval(a[0], v);
    case Op::Div: return eval(a[0], v) / eval(a[1], v);
    case Op::Pow: return std::pow(eval(a[0], v), eval(a[1], v));
    case Op::Func: return apply_fn(e->fn, eval(a[0], v), a.size() > 1 ? eval(a[1], v) : 0.0);
    case Op::Piecewise: {
        size_t i = 0;
        for (; i + 1 < a.size(); i += 2)
            if (truth(eval(a[i + 1], v))) return eval(a[i], v);
        return i < a.size() ? eval(a[i], v) : NAN;
    }
    case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge: case Op::Eq: case Op::Ne:
        return apply_compare(e->op, eval(a[0], v), eval(a[1], v));
    case Op::And:
        for (const auto &t : a)
            if (!truth(eval(t, v))) return 0.0;
        return 1.0;
    case Op::Or:
        for (const auto &t : a)
            if (truth(eval(t, v))) return 1.0;
        return 0.0;
    case Op::Xor: {
        bool x = false;
        for (const auto &t : a) x = x != truth(eval(t, v));
        return x ? 1.0 : 0.0;
    }
    case Op::Not: return truth(eval(a[0], v)) ? 0.0 : 1.0;
    }
    return NAN;
}

namespace {
void collect(const Expr &e, Op leaf_op, std::vector<int> &out) {
    if (e->op == leaf_op) out.push_back(e->index);
    for (const auto &c : e->args) collect(c, leaf_op, out);
}
}  // namespace

void collect_states(const Expr &e, std::vector<int> &out) {
    collect(e, Op::State, out);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

void collect_inters(const Expr &e, std::vector<int> &out) { collect(e, Op::Inter, out); }

namespace {
void collect_once(const Expr &e, Op leaf_op, std::vector<int> &out, std::set<const Node *> &seen) {
    if (e->op == leaf_op) out.push_back(e->index);
    if (e->args.empty() || !seen.insert(e.get()).second) return;
    for (const auto &c : e->args) collect_once(c, leaf_op, out, seen);
}
}  // namespace

void collect_params(const Expr &e, std::vector<int> &out) {
    std::set<const Node *> seen;
    collect_once(e, Op::Param, out, seen);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

namespace {
size_t size_rec(const Expr &e, size_t cap, std::map<const Node *, size_t> &memo) {
    if (e->args.empty()) return 1;
    auto it = memo.find(e.get());
    if (it != memo.end()) return it->second;
    size_t n = 1;
    for (const auto &c : e->args) n = std::min(cap, n + size_rec(c, cap, memo));
    memo.emplace(e.get(), n);
    return n;
}

size_t depth_rec(const Expr &e, std::map<const Node *, size_t> &memo) {
    if (e->args.empty()) return 1;
    auto it = memo.find(e.get());
    if (it != memo.end()) return it->second;
    size_t d = 0;
    for (const auto &c : e->args) d = std::max(d, depth_rec(c, memo));
    memo.emplace(e.get(), d + 1);
    return d + 1;
}
}  // namespace

size_t tree_size(const Expr &e, size_t cap) {
    std::map<const Node *, size_t> memo;
    return size_rec(e, cap, memo);
}

size_t tree_depth(const Expr &e) {
    std::map<const Node *, size_t> memo;
    return depth_rec(e, memo);
}

namespace {
Expr rebuild(const Expr &e, std::vector<Expr> args) {
    switch (e->op) {
    case Op::Add: return add(std::move(args));
    case Op::Mul: return mul(std::move(args));
    case Op::Neg: return neg(args[0]);
    case Op::Div: return div(args[0], args[1]);
    case Op::Pow: return pow(args[0], args[1]);
    case Op::Func: return args.size() > 1 ? func2(e->fn, args[0], args[1]) : func(e->fn, args[0]);
    case Op::Piecewise: return piecewise(std::move(args));
    case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge: case Op::Eq: case Op::Ne:
        return compare(e->op, args[0], args[1]);
    case Op::And: case Op::Or: case Op::Xor: case Op::Not: return logic(e->op, std::move(args));
    default: return e;
    }
}

Expr inline_rec(const Expr &e, const std::vector<Expr> &defs, std::map<const Node *, Expr> &memo) {
    if (e->op == Op::Inter) return defs.at(static_cast<size_t>(e->index));
    if (e->args.empty()) return e;
    auto it = memo.find(e.get());
    if (it != memo.end()) return it->second;
    std::vector<Expr> args;
    bool changed = false;
    for (const auto &c : e->args) {
        args.push_back(inline_rec(c, defs, memo));
        changed = changed || args.back() != c;
    }
    Expr r = changed ? rebuild(e, std::move(args)) : e;
    memo.emplace(e.get(), r);
    return r;
}
}  // namespace

Expr inline_inters(const Expr &e, const std::vector<Expr> &defs) {
    std::map<const Node *, Expr> memo;
    return inline_rec(e, defs, memo);
}

}  // namespace qv::sbml
