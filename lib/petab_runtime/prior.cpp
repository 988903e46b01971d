// Prior log densities and, for truncation, the probability of the bounds' interval (prior.h).
#include "quorvant/petab_runtime/prior.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "incomplete_gamma.h"

namespace qv::petab_runtime {

namespace {

constexpr double kHalfLog2Pi = 0.91893853320467274178;   // ln(2 pi) / 2
constexpr double kLogPi = 1.14472988584940017414;         // ln(pi)

constexpr const char *kBadScale = "the scale must be positive and finite";
constexpr const char *kBadLocation = "the location must be finite";
constexpr const char *kBadBounds = "the bounds must be finite with lower < upper";
constexpr const char *kBadLogBounds = "the bounds must be finite with 0 < lower < upper";
constexpr const char *kBadShape = "the shape must be positive and finite";
constexpr const char *kBadCount = "wrong number of prior parameters";

// The distribution functions at v: p = P(X <= v), q = P(X > v), each computed where it is small
// so that an interval far in either tail keeps its probability.
struct Tails {
    double p, q;
};

Tails normal_tails(double z) noexcept {
    return {0.5 * std::erfc(-z * std::numbers::sqrt2 / 2.0), 0.5 * std::erfc(z * std::numbers::sqrt2 / 2.0)};
}
Tails laplace_tails(double z) noexcept {
    if (z < 0.0) {
        const double p = 0.5 * std::exp(z);
        return {p, 1.0 - p};
    }
    const double q = 0.5 * std::exp(-z);
    return {1.0 - q, q};
}
Tails cauchy_tails(double z) noexcept {
    return {std::atan2(1.0, -z) / std::numbers::pi, std::atan2(1.0, z) / std::numbers::pi};
}
Tails uniform_tails(double v, double a, double b) noexcept {
    return {std::clamp((v - a) / (b - a), 0.0, 1.0), std::clamp((b - v) / (b - a), 0.0, 1.0)};
}
Tails gamma_tails(double alpha, double v_over_theta) noexcept {
    Tails t{};
    incomplete_gamma(alpha, v_over_theta, t.p, t.q);
    return t;
}
// Distributions of x > 0 with q = exp(-s(x)) for a rate s: exponential, Rayleigh.
Tails exp_tails(double s) noexcept { return {-std::expm1(-s), std::exp(-s)}; }

constexpr Tails kBelowSupport{0.0, 1.0};

bool is_positive(double v) { return v > 0.0 && std::isfinite(v); }

int count_of(PriorKind kind) noexcept {
    switch (kind) {
    case PriorKind::ChiSquared: case PriorKind::Exponential: case PriorKind::Rayleigh: return 1;
    default: return 2;
    }
}

// One prior with its checked parameters: the log density and the distribution functions at v.
struct Prior {
    PriorKind kind;
    double a, b;   // the parameters in the order of prior.h (b unused for one-parameter kinds)

    double log_density(double v) const noexcept {
        switch (kind) {
        case PriorKind::Uniform: case PriorKind::ParameterScaleUniform:
            return v >= a && v <= b ? -std::log(b - a) : -INFINITY;
        case PriorKind::LogUniform:
            return v >= a && v <= b ? -std::log(v) - std::log(std::log(b) - std::log(a)) : -INFINITY;
        case PriorKind::Normal: case PriorKind::ParameterScaleNormal: {
            const double z = (v - a) / b;
            return -kHalfLog2Pi - std::log(b) - 0.5 * z * z;
        }
        case PriorKind::Laplace: case PriorKind::ParameterScaleLaplace:
            return -std::numbers::ln2 - std::log(b) - std::fabs((v - a) / b);
        case PriorKind::Cauchy: {
            const double z = (v - a) / b;
            return -kLogPi - std::log(b) - std::log1p(z * z);
        }
        case PriorKind::LogNormal: {
            if (!(v > 0.0)) return -INFINITY;
            const double z = (std::log(v) - a) / b;
            return -kHalfLog2Pi - std::log(b) - 0.5 * z * z - std::log(v);
        }
        case PriorKind::LogLaplace:
            if (!(v > 0.0)) return -INFINITY;
            return -std::numbers::ln2 - std::log(b) - std::fabs((std::log(v) - a) / b) - std::log(v);
        case PriorKind::ChiSquared:
            if (!(v > 0.0)) return -INFINITY;
            return (0.5 * a - 1.0) * std::log(v) - 0.5 * v - 0.5 * a * std::numbers::ln2 - std::lgamma(0.5 * a);
        case PriorKind::Exponential:
            if (!(v > 0.0)) return -INFINITY;
            return -std::log(a) - v / a;
        case PriorKind::Gamma:
            if (!(v > 0.0)) return -INFINITY;
            return (a - 1.0) * std::log(v) - v / b - std::lgamma(a) - a * std::log(b);
        case PriorKind::Rayleigh:
            if (!(v > 0.0)) return -INFINITY;
            return std::log(v) - 2.0 * std::log(a) - 0.5 * (v / a) * (v / a);
        }
        return NAN;
    }

    Tails tails(double v) const noexcept {
        switch (kind) {
        case PriorKind::Uniform: case PriorKind::ParameterScaleUniform: return uniform_tails(v, a, b);
        case PriorKind::LogUniform:
            return v > 0.0 ? uniform_tails(std::log(v), std::log(a), std::log(b)) : kBelowSupport;
        case PriorKind::Normal: case PriorKind::ParameterScaleNormal: return normal_tails((v - a) / b);
        case PriorKind::Laplace: case PriorKind::ParameterScaleLaplace: return laplace_tails((v - a) / b);
        case PriorKind::Cauchy: return cauchy_tails((v - a) / b);
        case PriorKind::LogNormal: return v > 0.0 ? normal_tails((std::log(v) - a) / b) : kBelowSupport;
        case PriorKind::LogLaplace: return v > 0.0 ? laplace_tails((std::log(v) - a) / b) : kBelowSupport;
        case PriorKind::ChiSquared: return gamma_tails(0.5 * a, 0.5 * v);
        case PriorKind::Exponential: return v > 0.0 ? exp_tails(v / a) : kBelowSupport;
        case PriorKind::Gamma: return gamma_tails(a, v / b);
        case PriorKind::Rayleigh: return v > 0.0 ? exp_tails(0.5 * (v / a) * (v / a)) : kBelowSupport;
        }
        return kBelowSupport;
    }

    // P(lower <= X <= upper), from the tail in which the interval lies further.
    double mass(double lower, double upper) const noexcept {
        const Tails lo = tails(lower), hi = tails(upper);
        return lo.p > 0.5 ? lo.q - hi.q : hi.p - lo.p;
    }
};

}  // namespace

int prior_parameter_count(PriorKind kind) noexcept { return count_of(kind); }

const char *prior_parameter_error(PriorKind kind, const double *params, int nparams) noexcept {
    if (params == nullptr || nparams != count_of(kind)) return kBadCount;
    const double a = params[0], b = nparams > 1 ? params[1] : 0.0;
    switch (kind) {
    case PriorKind::Uniform: case PriorKind::ParameterScaleUniform:
        return std::isfinite(a) && std::isfinite(b) && a < b ? nullptr : kBadBounds;
    case PriorKind::LogUniform: return is_positive(a) && std::isfinite(b) && a < b ? nullptr : kBadLogBounds;
    case PriorKind::Normal: case PriorKind::ParameterScaleNormal: case PriorKind::Laplace:
    case PriorKind::ParameterScaleLaplace: case PriorKind::Cauchy: case PriorKind::LogNormal:
    case PriorKind::LogLaplace:
        if (!std::isfinite(a)) return kBadLocation;
        return is_positive(b) ? nullptr : kBadScale;
    case PriorKind::ChiSquared: return is_positive(a) ? nullptr : kBadShape;
    case PriorKind::Exponential: case PriorKind::Rayleigh: return is_positive(a) ? nullptr : kBadScale;
    case PriorKind::Gamma:
        if (!is_positive(a)) return kBadShape;
        return is_positive(b) ? nullptr : kBadScale;
    }
    return kBadCount;
}

double log_prior(PriorKind kind, const double *params, int nparams, double x, double xs, bool truncated,
                 double lower, double upper) noexcept {
    if (prior_parameter_error(kind, params, nparams) != nullptr) return NAN;
    const Prior prior{kind, params[0], nparams > 1 ? params[1] : 0.0};
    const bool on_scale = kind == PriorKind::ParameterScaleUniform || kind == PriorKind::ParameterScaleNormal ||
                          kind == PriorKind::ParameterScaleLaplace;
    const double v = on_scale ? xs : x;
    if (!std::isfinite(v)) return -INFINITY;   // every density vanishes at infinity
    const double density = prior.log_density(v);
    if (!truncated) return density;
    if (!(v >= lower && v <= upper)) return -INFINITY;
    const double mass = prior.mass(lower, upper);
    return mass > 0.0 ? density - std::log(mass) : -INFINITY;
}

}  // namespace qv::petab_runtime
