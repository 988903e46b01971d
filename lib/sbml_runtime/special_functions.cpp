// The digamma function: recurrence up to x >= 10, then the asymptotic series; reflection for x < 0.
#include "quorvant/sbml_runtime/special_functions.h"

#include <cmath>
#include <iterator>
#include <numbers>

namespace qv::sbml_runtime {

namespace {

constexpr double kAsymptoticFrom = 10.0;

// Coefficients B_2k / (2k) of the asymptotic series
//   psi(x) ~ ln x - 1/(2x) - sum_k B_2k / (2k x^2k),
// enough terms for double precision from x = 10 on (the first term left out is below 5e-17 there).
constexpr double kSeries[] = {
    1.0 / 12.0, -1.0 / 120.0, 1.0 / 252.0, -1.0 / 240.0, 1.0 / 132.0, -691.0 / 32760.0, 1.0 / 12.0,
};

double digamma_positive(double x) {
    // psi(x) = psi(x + 1) - 1/x: shift x up to where the series converges fast.
    double shift = 0.0;
    while (x < kAsymptoticFrom) {
        shift += 1.0 / x;
        x += 1.0;
    }
    const double inv2 = 1.0 / (x * x);
    double series = 0.0;
    for (auto it = std::rbegin(kSeries); it != std::rend(kSeries); ++it) series = (series + *it) * inv2;
    return std::log(x) - 0.5 / x - series - shift;
}

}  // namespace

double digamma(double x) {
    if (std::isnan(x)) return x;
    if (x == 0.0 || (x < 0.0 && x == std::floor(x))) return NAN;   // poles
    if (std::isinf(x)) return x > 0.0 ? x : NAN;
    if (x > 0.0) return digamma_positive(x);
    // Reflection: psi(1 - x) - psi(x) = pi cot(pi x). The cotangent is computed from the fractional
    // part of x, where sin and cos stay accurate.
    const double frac = x - std::floor(x);
    const double pi = std::numbers::pi;
    return digamma_positive(1.0 - x) - pi * std::cos(pi * frac) / std::sin(pi * frac);
}

}  // namespace qv::sbml_runtime
