// The log-likelihood of one measurement under a PEtab noise model, and its weighted squared
// residual. Called per measurement per evaluation by generated models: plain functions, no
// allocation, nothing thrown.
//
// m is the measurement, y the simulated value, sigma the noise parameter of the transformed
// quantity h(m) (h = identity, ln or log10): the standard deviation of a normal, the scale of a
// Laplace distribution. The densities, with h(m) ~ N(h(y), sigma^2) or Laplace(h(y), sigma):
//   normal:  -ln(sigma) - ln(2 pi) / 2 - ((h(m) - h(y)) / sigma)^2 / 2 - J
//   laplace: -ln(2 sigma) - |h(m) - h(y)| / sigma - J
// where J = 0 (lin), ln(m) (log), ln(m ln 10) (log10) turns the density of h(m) into the density
// of m.
//
// Outside the model's domain the measurement is impossible rather than undefined: a non-finite m,
// y or sigma, sigma <= 0, or m <= 0 or y <= 0 under a log transform give -inf (log_likelihood)
// and +inf (chi2_term), never NaN.
#ifndef QUORVANT_PETAB_RUNTIME_LIKELIHOOD_H
#define QUORVANT_PETAB_RUNTIME_LIKELIHOOD_H

namespace qv::petab_runtime {

enum class Noise : int { Normal = 0, Laplace = 1 };
enum class Transform : int { Lin = 0, Log = 1, Log10 = 2 };

double log_likelihood(double m, double y, double sigma, Transform t, Noise n) noexcept;

// The derivatives of log_likelihood by y and by sigma; false (both 0) outside the domain.
bool log_likelihood_derivatives(double m, double y, double sigma, Transform t, Noise n, double *d_y,
                                double *d_sigma) noexcept;

// ((h(m) - h(y)) / sigma)^2, whatever the noise distribution.
double chi2_term(double m, double y, double sigma, Transform t) noexcept;

}  // namespace qv::petab_runtime

#endif
