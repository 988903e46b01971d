// Log-likelihood and squared residual of one measurement (likelihood.h).
#include "quorvant/petab_runtime/likelihood.h"

#include <cmath>
#include <numbers>

namespace qv::petab_runtime {

namespace {

constexpr double kHalfLog2Pi = 0.91893853320467274178;   // ln(2 pi) / 2
constexpr double kLog2 = std::numbers::ln2;
constexpr double kLogLn10 = 0.83403244524795594;          // ln(ln 10)

// The transformed residual h(m) - h(y); false where the measurement is outside the model's domain.
bool residual(double m, double y, double sigma, Transform t, double &r) noexcept {
    if (!std::isfinite(m) || !std::isfinite(y) || !std::isfinite(sigma) || !(sigma > 0.0)) return false;
    switch (t) {
    case Transform::Lin: r = m - y; return true;
    case Transform::Log:
        if (!(m > 0.0) || !(y > 0.0)) return false;
        r = std::log(m) - std::log(y);
        return true;
    case Transform::Log10:
        if (!(m > 0.0) || !(y > 0.0)) return false;
        r = std::log10(m) - std::log10(y);
        return true;
    }
    return false;
}

// ln of the Jacobian d h(m) / dm, with m > 0 under the log transforms.
double log_jacobian(double m, Transform t) noexcept {
    switch (t) {
    case Transform::Lin: return 0.0;
    case Transform::Log: return -std::log(m);
    case Transform::Log10: return -std::log(m) - kLogLn10;
    }
    return 0.0;
}

}  // namespace

double log_likelihood(double m, double y, double sigma, Transform t, Noise n) noexcept {
    double r = 0.0;
    if (!residual(m, y, sigma, t, r)) return -INFINITY;
    // ln(sigma) rather than ln(sigma^2): a tiny sigma must not underflow to ln 0 = -inf and meet
    // an infinite residual term as inf - inf.
    const double z = r / sigma;
    const double density = n == Noise::Laplace ? -kLog2 - std::log(sigma) - std::fabs(z)
                                               : -kHalfLog2Pi - std::log(sigma) - 0.5 * z * z;
    return density + log_jacobian(m, t);
}

bool log_likelihood_derivatives(double m, double y, double sigma, Transform t, Noise n, double *d_y,
                                double *d_sigma) noexcept {
    *d_y = 0.0;
    *d_sigma = 0.0;
    double r = 0.0;
    if (!residual(m, y, sigma, t, r)) return false;
    // d r / d y = -h'(y).
    double dr = -1.0;
    if (t == Transform::Log) dr = -1.0 / y;
    if (t == Transform::Log10) dr = -1.0 / (y * std::numbers::ln10);
    if (n == Noise::Laplace) {
        const double sign = r > 0.0 ? 1.0 : (r < 0.0 ? -1.0 : 0.0);
        *d_y = -sign / sigma * dr;
        *d_sigma = -1.0 / sigma + std::fabs(r) / (sigma * sigma);
    } else {
        *d_y = -r / (sigma * sigma) * dr;
        *d_sigma = -1.0 / sigma + r * r / (sigma * sigma * sigma);
    }
    return true;
}

double chi2_term(double m, double y, double sigma, Transform t) noexcept {
    double r = 0.0;
    if (!residual(m, y, sigma, t, r)) return INFINITY;
    const double z = r / sigma;
    return z * z;
}

}  // namespace qv::petab_runtime
