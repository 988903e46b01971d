// Printing expression trees as C expressions for the generated model source.
#include <cmath>
#include <cstdio>

#include "quorvant/sbml/expr_print.h"

namespace qv::sbml {

namespace {

// How the printing under way writes parameter leaves.
thread_local ParamLeaves param_leaves = ParamLeaves::Record;
thread_local int param_array_size = 0;

// Every sub-expression that is not a leaf is parenthesised: the output is compiled, not read, and
// the compiler does not care about the extra parentheses.
void print(const Expr &e, std::string &out);

void print_number(double v, std::string &out) {
    if (std::isnan(v)) {
        out += "NAN";
        return;
    }
    if (std::isinf(v)) {
        out += v > 0 ? "HUGE_VAL" : "(-HUGE_VAL)";
        return;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    std::string s = buf;
    // Keep it a double literal (no integer arithmetic, no octal) and negative values in parentheses.
    if (s.find_first_of(".en") == std::string::npos) s += ".0";
    if (v < 0) s = "(" + s + ")";
    out += s;
}

void print_list(const std::vector<Expr> &a, const char *sep, std::string &out) {
    out += "(";
    for (size_t i = 0; i < a.size(); ++i) {
        if (i) out += sep;
        print(a[i], out);
    }
    out += ")";
}

const char *fn_name(Fn fn) {
    switch (fn) {
    case Fn::Exp: return "std::exp";
    case Fn::Log: return "std::log";
    case Fn::Sin: return "std::sin";
    case Fn::Cos: return "std::cos";
    case Fn::Tan: return "std::tan";
    case Fn::Asin: return "std::asin";
    case Fn::Acos: return "std::acos";
    case Fn::Atan: return "std::atan";
    case Fn::Sinh: return "std::sinh";
    case Fn::Cosh: return "std::cosh";
    case Fn::Tanh: return "std::tanh";
    case Fn::Asinh: return "std::asinh";
    case Fn::Acosh: return "std::acosh";
    case Fn::Atanh: return "std::atanh";
    case Fn::Abs: return "std::fabs";
    case Fn::Sign: return "qv_sign";
    case Fn::Floor: return "std::floor";
    case Fn::Ceil: return "std::ceil";
    case Fn::Trunc: return "std::trunc";
    case Fn::Factorial: return "qv_factorial";
    case Fn::Digamma: return "qv::sbml_runtime::digamma";
    case Fn::Min: return "std::fmin";
    case Fn::Max: return "std::fmax";
    case Fn::Rem: return "std::fmod";
    case Fn::Quotient: return "qv_quotient";
    }
    return "?";
}

const char *compare_op(Op op) {
    switch (op) {
    case Op::Lt: return " < ";
    case Op::Le: return " <= ";
    case Op::Gt: return " > ";
    case Op::Ge: return " >= ";
    case Op::Eq: return " == ";
    default: return " != ";
    }
}

void print_truth(const Expr &e, std::string &out) {
    out += "(";
    print(e, out);
    out += " != 0.0)";
}

void print(const Expr &e, std::string &out) {
    const auto &a = e->args;
    switch (e->op) {
    case Op::Const: print_number(e->value, out); return;
    case Op::State: out += "y[" + std::to_string(e->index) + "]"; return;
    case Op::Param:
        if (param_leaves == ParamLeaves::Array && param_array_size > 0 && e->index >= param_array_size)
            out += "q[" + std::to_string(e->index - param_array_size) + "]";
        else if (param_leaves == ParamLeaves::Array) out += "P[" + std::to_string(e->index) + "]";
        else out += "p->val[" + std::to_string(e->index) + "][1]";
        return;
    case Op::Inter: out += "a[" + std::to_string(e->index) + "]"; return;
    case Op::Add: print_list(a, " + ", out); return;
    case Op::Mul: print_list(a, " * ", out); return;
    case Op::Neg: out += "(-"; print(a[0], out); out += ")"; return;
    case Op::Div: print_list(a, " / ", out); return;
    case Op::Pow:
        out += "std::pow";
        print_list(a, ", ", out);
        return;
    case Op::Func:
        out += fn_name(e->fn);
        print_list(a, ", ", out);
        return;
    case Op::Piecewise: {
        out += "(";
        size_t i = 0;
        for (; i + 1 < a.size(); i += 2) {
            print_truth(a[i + 1], out);
            out += " ? ";
            print(a[i], out);
            out += " : ";
        }
        if (i < a.size()) print(a[i], out);
        else out += "NAN";
        out += ")";
        return;
    }
    case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge: case Op::Eq: case Op::Ne:
        out += "((";
        print(a[0], out);
        out += compare_op(e->op);
        print(a[1], out);
        out += ") ? 1.0 : 0.0)";
        return;
    case Op::And: case Op::Or: case Op::Xor: {
        const char *sep = e->op == Op::And ? " && " : (e->op == Op::Or ? " || " : " != ");
        out += "((";
        for (size_t i = 0; i < a.size(); ++i) {
            if (i) out += sep;
            print_truth(a[i], out);
        }
        if (a.empty()) out += e->op == Op::And ? "true" : "false";
        out += ") ? 1.0 : 0.0)";
        return;
    }
    case Op::Not:
        out += "(";
        print_truth(a[0], out);
        out += " ? 0.0 : 1.0)";
        return;
    }
}

}  // namespace

std::string to_c(const Expr &e, ParamLeaves params, int array_size) {
    param_leaves = params;
    param_array_size = array_size;
    std::string out;
    print(e, out);
    param_leaves = ParamLeaves::Record;
    return out;
}

}  // namespace qv::sbml
