// The functions a formula may call: their names, how many arguments they take, and the trees
// they stand for.
#ifndef QUORVANT_PETAB_MATH_FORMULA_FUNCTIONS_H
#define QUORVANT_PETAB_MATH_FORMULA_FUNCTIONS_H

#include <string>
#include <string_view>
#include <vector>

#include "quorvant/sbml/expr.h"

namespace qv::petab_math {

struct FormulaFunction {
    std::string_view name;
    int min_args;
    int max_args;   // -1: no limit
    qv::sbml::Expr (*build)(const std::vector<qv::sbml::Expr> &args);
};

// The function of this name; nullptr for none.
const FormulaFunction *find_function(std::string_view name);

// "'log' takes 1 or 2 arguments", "'pow' takes 2 arguments", ...
std::string arity_message(const FormulaFunction &f);

}  // namespace qv::petab_math

#endif
