// The inlined right-hand sides of an imported model and their exact Jacobian.
#include "quorvant/sbml/model_jacobian.h"

#include "quorvant/sbml/expr_derivative.h"

namespace qv::sbml {

std::vector<Expr> inlined_rhs(const ImportedModel &m) {
    std::vector<Expr> defs;
    for (const auto &it : m.inters) defs.push_back(inline_inters(it.def, defs));
    std::vector<Expr> out;
    for (const auto &s : m.states) out.push_back(inline_inters(s.rhs, defs));
    return out;
}

std::vector<JacobianEntry> jacobian(const std::vector<Expr> &rhs) {
    std::vector<JacobianEntry> out;
    for (size_t i = 0; i < rhs.size(); ++i) {
        std::vector<int> cols;
        collect_states(rhs[i], cols);
        for (int j : cols) {
            Expr d = derivative(rhs[i], j);
            if (!is_zero(d)) out.push_back({static_cast<int>(i) + 1, j, d});
        }
    }
    return out;
}

}  // namespace qv::sbml
