// The translation of a checked SBML model, step by step, and the limits of what the generated
// files can hold.
#include "translation_state.h"

#include "quorvant/common/limits.h"
#include "quorvant/sbml/model_jacobian.h"

namespace qv::sbml::detail {

namespace {

constexpr int kMaxParams = qv::kMaxUserParams;   // user parameter names of a model input file
constexpr int kMaxStates = qv::kMaxVar;          // N_VAR
constexpr size_t kMaxTreeSize = 200000;          // a right-hand side with its rules substituted, as a tree
constexpr size_t kMaxTreeDepth = 3000;           // and its nesting (printing and differentiating recurse)

void check_counts(const ImportedModel &out, const ImportOptions &opts) {
    if (!opts.for_estimation && static_cast<int>(out.params.size()) > kMaxParams)
        refuse("the model has " + std::to_string(out.params.size()) +
               " compartments, parameters and local parameters (a model input file holds at most " +
               std::to_string(kMaxParams) + ")");
    if (static_cast<int>(out.states.size()) > kMaxStates)
        refuse("the model needs " + std::to_string(out.states.size()) + " state variables with time (at most " +
               std::to_string(kMaxStates) + ")");
}

// The Jacobian differentiates each right-hand side with its assignment rules substituted: chains of
// rules that use each other several times make that expression explode, so bound it.
void check_sizes(const ImportedModel &out) {
    const std::vector<Expr> rhs = inlined_rhs(out);
    for (size_t k = 0; k < rhs.size(); ++k)
        if (tree_size(rhs[k], kMaxTreeSize) >= kMaxTreeSize || tree_depth(rhs[k]) > kMaxTreeDepth)
            refuse("rate of change of " + in_quotes(out.states[k].id) +
                   " (too large to differentiate once its assignment rules are substituted)");
}

}  // namespace

void translate(Model &model, const ImportOptions &opts, ImportedModel &out) {
    // Only for the comments of the generated files (a model file line holds at most 511 characters).
    constexpr size_t kMaxCommentId = 200;
    out.model_id = model.isSetId() ? model.getId().substr(0, kMaxCommentId) : "";
    Translation t(model, opts, out);
    collect_rules(t);
    collect_event_targets(t);
    declare_symbols(t);
    t.add_state("time", "time", 0.0);
    t.rhs_terms.back() = constant(1.0);
    read_reactions(t);
    fluxes_to_concentrations(t);
    read_rules(t);
    read_initial_assignments(t);
    check_counts(out, opts);
    order_intermediates(t);
    read_events(t);
    switching_conditions(t);
    check_sizes(out);
    initial_values(t);
    // An estimation problem sets the start state per condition and evaluation; what the file's own
    // values give is checked when it is simulated.
    if (!opts.for_estimation) check_start_state(t);
}

}  // namespace qv::sbml::detail
