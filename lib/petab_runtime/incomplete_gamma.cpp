// Regularised incomplete gamma: the power series below x = a + 1, the continued fraction for
// Q(a, x) (modified Lentz) above.
#include "incomplete_gamma.h"

#include <cmath>

namespace qv::petab_runtime {

namespace {

constexpr double kEpsilon = 1e-16;     // relative size of the last term / correction kept
constexpr double kTiny = 1e-300;       // guard of the continued fraction's denominators
constexpr int kMaxTerms = 100000;      // the series needs about sqrt(a) terms near x = a

// ln(x^a e^-x / Gamma(a)), the factor both expansions share.
double log_prefactor(double a, double x) noexcept { return a * std::log(x) - x - std::lgamma(a); }

double series_p(double a, double x) noexcept {
    double term = 1.0 / a, sum = term, ap = a;
    for (int n = 0; n < kMaxTerms && std::fabs(term) > std::fabs(sum) * kEpsilon; ++n) {
        ap += 1.0;
        term *= x / ap;
        sum += term;
    }
    return sum * std::exp(log_prefactor(a, x));
}

double fraction_q(double a, double x) noexcept {
    double b = x + 1.0 - a, c = 1.0 / kTiny, d = 1.0 / b, h = d;
    for (int i = 1; i < kMaxTerms; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::fabs(d) < kTiny) d = kTiny;
        c = b + an / c;
        if (std::fabs(c) < kTiny) c = kTiny;
        d = 1.0 / d;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1.0) < kEpsilon) break;
    }
    return h * std::exp(log_prefactor(a, x));
}

}  // namespace

void incomplete_gamma(double a, double x, double &p, double &q) noexcept {
    if (!(x > 0.0)) {
        p = 0.0;
        q = 1.0;
    } else if (std::isinf(x)) {
        p = 1.0;
        q = 0.0;
    } else if (x < a + 1.0) {
        p = series_p(a, x);
        q = 1.0 - p;
    } else {
        q = fraction_q(a, x);
        p = 1.0 - q;
    }
}

}  // namespace qv::petab_runtime
