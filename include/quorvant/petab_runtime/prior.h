// Log densities of the parameter priors of a PEtab problem, for the MAP objective. Plain
// functions, no allocation, nothing thrown.
#ifndef QUORVANT_PETAB_RUNTIME_PRIOR_H
#define QUORVANT_PETAB_RUNTIME_PRIOR_H

namespace qv::petab_runtime {

// The density each kind is of, and its parameters (in order):
//   Uniform(a, b), LogUniform(a, b)          of x on [a, b] (LogUniform: 1 / (x ln(b / a)), 0 < a)
//   Normal(mu, sigma), Laplace(mu, sigma),
//   Cauchy(mu, sigma)                         of x
//   LogNormal(mu, sigma), LogLaplace(mu, sigma) of x > 0 whose ln x is normal / Laplace (1 / x included)
//   ParameterScaleUniform(a, b), ParameterScaleNormal(mu, sigma),
//   ParameterScaleLaplace(mu, sigma)          of xs, the parameter on its estimation scale
//   ChiSquared(nu), Exponential(theta), Gamma(alpha, theta), Rayleigh(sigma)   of x > 0
enum class PriorKind : int {
    Uniform, Normal, Laplace, LogNormal, LogLaplace,
    ParameterScaleUniform, ParameterScaleNormal, ParameterScaleLaplace,
    Cauchy, ChiSquared, Exponential, Gamma, LogUniform, Rayleigh,
};

// How many parameters the kind takes.
int prior_parameter_count(PriorKind kind) noexcept;

// nullptr when params (nparams of them) are valid for the kind, else a fixed message such as
// "the scale must be positive and finite".
const char *prior_parameter_error(PriorKind kind, const double *params, int nparams) noexcept;

// ln of the prior density at x (linear scale), or at xs (parameter scale) for the
// ParameterScale* kinds. truncated: the density restricted to [lower, upper] and divided by the
// probability of that interval; lower and upper are on the scale the density is of (that of xs for
// the ParameterScale* kinds). Returns -inf outside the support (or outside [lower, upper] when
// truncated, or when that interval has probability zero), NaN for invalid parameters
// (prior_parameter_error).
double log_prior(PriorKind kind, const double *params, int nparams, double x, double xs, bool truncated,
                 double lower, double upper) noexcept;

}  // namespace qv::petab_runtime

#endif
