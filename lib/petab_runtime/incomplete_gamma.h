// The regularised incomplete gamma functions, for the distribution functions of the gamma and
// chi-squared priors.
#ifndef QUORVANT_PETAB_RUNTIME_INCOMPLETE_GAMMA_H
#define QUORVANT_PETAB_RUNTIME_INCOMPLETE_GAMMA_H

namespace qv::petab_runtime {

// P(a, x) = gamma(a, x) / Gamma(a) and Q(a, x) = 1 - P(a, x) for a > 0, x >= 0: P from its series
// below x = a + 1, Q from its continued fraction above, each the other's complement (so the
// upper tail far out, where Q is tiny, keeps its relative precision).
void incomplete_gamma(double a, double x, double &p, double &q) noexcept;

}  // namespace qv::petab_runtime

#endif
