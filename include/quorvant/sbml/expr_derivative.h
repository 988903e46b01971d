// Symbolic differentiation of expression trees.
#ifndef QUORVANT_SBML_EXPR_DERIVATIVE_H
#define QUORVANT_SBML_EXPR_DERIVATIVE_H

#include "quorvant/sbml/expr.h"

namespace qv::sbml {

// d e / d y[k], simplified. e must be free of intermediates.
Expr derivative(const Expr &e, int k);

// d e / d p[k] (a parameter leaf), simplified. e must be free of intermediates.
Expr derivative_param(const Expr &e, int k);

}  // namespace qv::sbml

#endif
