// Expression trees printed as C++ expressions for the generated model source.
#ifndef QUORVANT_SBML_EXPR_PRINT_H
#define QUORVANT_SBML_EXPR_PRINT_H

#include <string>

#include "quorvant/sbml/expr.h"

namespace qv::sbml {

// How parameter leaves are written: as the model's parameter record p->val[k][1], or as P[k] of
// an array of parameter values (the models of estimation problems, whose conditions set them).
enum class ParamLeaves { Record, Array };

// C source of e: states as y[k], parameters as p->val[k][1] (or P[k]), intermediates as a[k].
// With ParamLeaves::Array, parameters beyond the first array_size - 1 (the values an estimation
// problem gives per measurement) are written as q[k - array_size].
std::string to_c(const Expr &e, ParamLeaves params = ParamLeaves::Record, int array_size = 0);

}  // namespace qv::sbml

#endif
