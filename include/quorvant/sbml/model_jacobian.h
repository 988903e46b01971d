// The right-hand sides of an imported model with its intermediates inlined, and their exact
// Jacobian.
#ifndef QUORVANT_SBML_MODEL_JACOBIAN_H
#define QUORVANT_SBML_MODEL_JACOBIAN_H

#include <vector>

#include "quorvant/sbml/expr.h"
#include "quorvant/sbml/imported_model.h"

namespace qv::sbml {

struct JacobianEntry {
    int row = 0, col = 0;   // 1-based
    Expr value;
};

// The right-hand sides with every intermediate inlined (y[k] and parameters only).
std::vector<Expr> inlined_rhs(const ImportedModel &m);
// The non-zero entries of their Jacobian, row by row.
std::vector<JacobianEntry> jacobian(const std::vector<Expr> &rhs);

}  // namespace qv::sbml

#endif
