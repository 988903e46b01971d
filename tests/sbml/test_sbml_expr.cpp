// Expression trees: symbolic derivatives against central differences for every function and
// operator the importer emits, and the simplifications the generated code relies on.
#include <cmath>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "quorvant/sbml/expr.h"
#include "quorvant/sbml/expr_derivative.h"
#include "quorvant/sbml/expr_print.h"
#include "quorvant/sbml_runtime/special_functions.h"

namespace sb = qv::sbml;

namespace {

struct Case {
    const char *name;
    std::function<sb::Expr(const sb::Expr &, const sb::Expr &)> build;
    double x, y;   // the point: y[1] = x, y[2] = y
};

double value_at(const sb::Expr &e, double x, double y) {
    const std::vector<double> ys{0.0, x, y}, ps{0.0, 3.0};
    return sb::eval(e, {ys, ps, {}});
}

}  // namespace

TEST(SbmlExpr, DerivativesMatchCentralDifferences) {
    const sb::Expr k = sb::param(1);   // 3
    auto c = [](double v) { return sb::constant(v); };
    const std::vector<Case> cases = {
        {"mass action", [&](auto x, auto y) { return sb::mul({k, x, y}); }, 0.7, 1.3},
        {"Michaelis-Menten", [&](auto x, auto) { return sb::div(sb::mul(k, x), sb::add(c(0.5), x)); }, 0.8, 0},
        {"Hill power", [&](auto x, auto y) { return sb::pow(x, y); }, 1.7, 2.3},
        {"power of constant", [&](auto, auto y) { return sb::pow(c(2.0), y); }, 0, 0.4},
        {"constant power", [&](auto x, auto) { return sb::pow(x, c(-1.5)); }, 0.9, 0},
        {"quotient", [&](auto x, auto y) { return sb::div(sb::sub(x, y), sb::mul(x, y)); }, 0.6, 1.9},
        {"exp log", [&](auto x, auto y) { return sb::mul(sb::func(sb::Fn::Exp, x), sb::func(sb::Fn::Log, y)); }, 0.3, 2.5},
        {"trig", [&](auto x, auto y) {
             return sb::add({sb::func(sb::Fn::Sin, x), sb::func(sb::Fn::Cos, y), sb::func(sb::Fn::Tan, sb::mul(x, y))});
         }, 0.4, 0.6},
        {"inverse trig", [&](auto x, auto y) {
             return sb::add({sb::func(sb::Fn::Asin, x), sb::func(sb::Fn::Acos, y), sb::func(sb::Fn::Atan, sb::mul(x, y))});
         }, 0.3, 0.5},
        {"hyperbolic", [&](auto x, auto y) {
             return sb::add({sb::func(sb::Fn::Sinh, x), sb::func(sb::Fn::Cosh, y), sb::func(sb::Fn::Tanh, sb::mul(x, y))});
         }, 0.4, 0.6},
        {"inverse hyperbolic", [&](auto x, auto y) {
             return sb::add({sb::func(sb::Fn::Asinh, x), sb::func(sb::Fn::Acosh, y), sb::func(sb::Fn::Atanh, x)});
         }, 0.3, 1.5},
        {"abs", [&](auto x, auto y) { return sb::mul(sb::func(sb::Fn::Abs, sb::sub(x, y)), y); }, 0.3, 1.5},
        {"min max", [&](auto x, auto y) {
             return sb::add(sb::func2(sb::Fn::Min, x, y), sb::mul(k, sb::func2(sb::Fn::Max, x, sb::mul(c(2.0), y))));
         }, 0.3, 1.5},
        {"rem", [&](auto x, auto y) { return sb::func2(sb::Fn::Rem, x, y); }, 3.7, 1.5},
        {"piecewise", [&](auto x, auto y) {
             return sb::piecewise({sb::mul(x, x), sb::compare(sb::Op::Lt, x, y), sb::mul(k, y)});
         }, 0.3, 1.5},
        {"piecewise other branch", [&](auto x, auto y) {
             return sb::piecewise({sb::mul(x, x), sb::compare(sb::Op::Lt, x, y), sb::mul(k, y)});
         }, 2.3, 1.5},
        {"factorial (evaluated as Gamma(x + 1))", [&](auto x, auto y) { return sb::mul(sb::func(sb::Fn::Factorial, x), y); },
         2.3, 1.5},
        {"negation and logic", [&](auto x, auto y) {
             return sb::neg(sb::mul(sb::logic(sb::Op::And, {sb::compare(sb::Op::Gt, x, c(0)), sb::compare(sb::Op::Ge, y, c(1))}), x));
         }, 0.3, 1.5},
    };
    for (const auto &tc : cases) {
        const sb::Expr e = tc.build(sb::state(1), sb::state(2));
        for (int var = 1; var <= 2; ++var) {
            const double h = 1e-6;
            double xp = tc.x, yp = tc.y, xm = tc.x, ym = tc.y;
            (var == 1 ? xp : yp) += h;
            (var == 1 ? xm : ym) -= h;
            const double fd = (value_at(e, xp, yp) - value_at(e, xm, ym)) / (2 * h);
            const double exact = value_at(sb::derivative(e, var), tc.x, tc.y);
            EXPECT_NEAR(exact, fd, 1e-6 * (1.0 + std::fabs(fd))) << tc.name << " d/dy[" << var << "]";
        }
    }
}

// The digamma function of the runtime library (the derivative of the factorial calls it) against
// values known in closed form or to full precision, on both sides of the recurrence threshold, for
// negative arguments and at the poles.
TEST(SbmlExpr, DigammaMatchesKnownValues) {
    constexpr double kEuler = 0.57721566490153286;
    const struct {
        double x, psi;
    } table[] = {
        {1.0, -kEuler},
        {0.5, -1.9635100260214235},
        {0.25, -kEuler - M_PI / 2 - 3 * std::log(2.0)},
        {2.0, 1.0 - kEuler},
        {7.0, 1.0 + 1.0 / 2 + 1.0 / 3 + 1.0 / 4 + 1.0 / 5 + 1.0 / 6 - kEuler},
        {10.0, 2.2517525890667211},
        {100.0, 4.6001618527380874},
        {1.4616321449683623, 0.0},            // the positive root
        {1e-8, -1e8 - kEuler + 1.6449340668482264e-8},   // -1/x - gamma + (pi^2 / 6) x
        {-0.5, 0.036489973978576520},
        {-1.5, 0.036489973978576520 + 2.0 / 3.0},
    };
    for (const auto &r : table)
        EXPECT_NEAR(qv::sbml_runtime::digamma(r.x), r.psi, 2e-15 * std::fmax(1.0, std::fabs(r.psi))) << r.x;
    // psi(x + 1) = psi(x) + 1/x across the threshold and on the negative side.
    for (double x : {-2.75, -0.3, 0.7, 5.5, 9.25, 9.999, 30.0})
        EXPECT_NEAR(qv::sbml_runtime::digamma(x + 1), qv::sbml_runtime::digamma(x) + 1 / x,
                    1e-14 * std::fmax(1.0, std::fabs(qv::sbml_runtime::digamma(x)))) << x;
    for (double pole : {0.0, -1.0, -7.0}) EXPECT_TRUE(std::isnan(qv::sbml_runtime::digamma(pole))) << pole;
    // The importer's own evaluation gives the same numbers.
    EXPECT_EQ(sb::func(sb::Fn::Digamma, sb::constant(0.5))->value, qv::sbml_runtime::digamma(0.5));
}

TEST(SbmlExpr, SimplificationsKeepTheGeneratedCodeSmall) {
    const sb::Expr x = sb::state(1), v = sb::param(2);
    // Neutral and absorbing elements, constant folding.
    EXPECT_EQ(sb::add(x, sb::constant(0.0)), x);
    EXPECT_EQ(sb::mul(x, sb::constant(1.0)), x);
    EXPECT_TRUE(sb::is_zero(sb::mul({x, sb::constant(0.0), v})));
    EXPECT_TRUE(sb::is_const(sb::add(sb::constant(2.0), sb::mul(sb::constant(3.0), sb::constant(4.0))), 14.0));
    EXPECT_EQ(sb::neg(sb::neg(x)), x);
    // A rate that carries its compartment's size, divided by that size, loses it.
    EXPECT_EQ(sb::to_c(sb::div(sb::mul({sb::param(2), sb::param(1), x}), sb::param(2))), "(p->val[1][1] * y[1])");
    // Derivatives of terms that do not read the variable are the zero constant (no Jacobian entry).
    EXPECT_TRUE(sb::is_zero(sb::derivative(sb::mul(v, sb::state(2)), 1)));
    // A piecewise with a constant condition is that piece.
    EXPECT_EQ(sb::piecewise({x, sb::constant(1.0), v}), x);
    EXPECT_EQ(sb::piecewise({x, sb::constant(0.0), v}), v);
    // Printing: doubles stay doubles, negative constants are parenthesised, conditions are C.
    EXPECT_EQ(sb::to_c(sb::mul(sb::constant(-2.0), x)), "((-2.0) * y[1])");
    EXPECT_EQ(sb::to_c(sb::piecewise({x, sb::compare(sb::Op::Lt, x, v), sb::constant(1e-300)})),
              "((((y[1] < p->val[2][1]) ? 1.0 : 0.0) != 0.0) ? y[1] : 1e-300)");
}
