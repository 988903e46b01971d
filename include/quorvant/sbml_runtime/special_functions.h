// Special functions that generated models (and the importer's own evaluation) share, so that the
// value a model computes and the value the importer checks are the same numbers.
#ifndef QUORVANT_SBML_RUNTIME_SPECIAL_FUNCTIONS_H
#define QUORVANT_SBML_RUNTIME_SPECIAL_FUNCTIONS_H

namespace qv::sbml_runtime {

// The digamma function psi(x) = d/dx ln Gamma(x): NaN at 0 and the negative integers (its poles)
// and for NaN, +inf for +inf. Away from the poles its error is below 2e-15 times
// max(1, |psi(x)|).
double digamma(double x);

}  // namespace qv::sbml_runtime

#endif
