// Expression trees printed as C++ expressions for the generated model source.
#ifndef QUORVANT_SBML_EXPR_PRINT_H
#define QUORVANT_SBML_EXPR_PRINT_H

#include <string>

#include "quorvant/sbml/expr.h"

namespace qv::sbml {

// C source of e: states as y[k], parameters as p->val[k][1], intermediates as a[k].
std::string to_c(const Expr &e);

}  // namespace qv::sbml

#endif
