// Private to the SBML reader: the state that translating one SBML model builds up, shared by the
// translation steps (one source file each), and the refusal that ends a translation.
//
// Layers, each calling only the ones below it:
//   sbml_reader.cpp         the document: reading, packages, refusals, consistency, conversions
//   translate.cpp           the order of the steps, the size limits
//   translate_symbols.cpp, translate_reactions.cpp, translate_rules.cpp, translate_events.cpp,
//   initial_values.cpp
//   translate_math.cpp      MathML to expression trees
//   translation_state.cpp   this state and its helpers
#ifndef QUORVANT_LIB_SBML_TRANSLATION_STATE_H
#define QUORVANT_LIB_SBML_TRANSLATION_STATE_H

#include <map>
#include <set>
#include <string>
#include <vector>

#include <sbml/SBMLTypes.h>

#include "quorvant/sbml/imported_model.h"

namespace qv::sbml::detail {

// Thrown inside the translation only; import_sbml turns it into its returned message.
struct Failure {
    std::string message;
};

[[noreturn]] void refuse(const std::string &what);   // "refused: " + what
[[noreturn]] void fail(const std::string &what);

std::string in_quotes(const std::string &id);
// An id for messages: the element's id, or its position when it has none.
std::string label(const SBase *e, unsigned index);

enum class RuleKind { None, Assignment, Rate };

struct InitialAssignmentMath {
    std::string symbol;
    Expr value;
};

struct Translation {
    Translation(Model &m, const ImportOptions &o, ImportedModel &result) : model(m), opts(o), out(result) {}

    Model &model;
    const ImportOptions &opts;
    ImportedModel &out;
    std::map<std::string, Expr> symbols;        // what an SBML id stands for in formulas
    std::map<std::string, const Rule *> rules;   // by variable; rules with math only
    std::set<std::string> used_names;            // PARAM names given out
    std::vector<Expr> rhs_terms;                 // per state, filled while the reactions are read
    std::map<std::string, int> state_of;         // species id -> state index (1-based)
    std::map<std::string, bool> state_is_amount;
    std::map<std::string, int> rate_inter;       // reaction id -> intermediate index
    std::set<std::string> ia_targets;            // ids an initial assignment (with math) sets
    std::set<std::string> event_targets;         // ids an event assignment (with math) sets
    std::vector<InitialAssignmentMath> initial_assignments;

    RuleKind rule_kind(const std::string &id) const;
    int add_param(const std::string &preferred, const std::string &id, double value);   // 1-based index
    int add_state(const std::string &id, const std::string &what, double initial);      // 1-based index
    int add_inter(const std::string &id, const std::string &what);                      // 0-based index
    // preferred, or a shortened form with a _k suffix: at most 15 characters, not reserved, unused.
    std::string map_name(const std::string &preferred);
};

// translate_math.cpp: the expression of a MathML tree; local ids (a kinetic law's local
// parameters) shadow the model's. where names the formula in messages.
Expr math_of(const Translation &t, const ASTNode *n, const std::map<std::string, Expr> *local, const std::string &where);

// translate_rules.cpp
void collect_rules(Translation &t);                 // rules and initial-assignment targets
void read_rules(Translation &t);                    // their formulas (after the symbols)
void read_initial_assignments(Translation &t);
void order_intermediates(Translation &t);           // evaluation order, renumbered everywhere

// translate_events.cpp: the ids events set (before the symbols), the events (after the order of
// the intermediates), and the switching times of piecewise conditions on time.
void collect_event_targets(Translation &t);
void read_events(Translation &t);
void switching_conditions(Translation &t);

// translate_symbols.cpp: compartments, species, parameters and species references.
void declare_symbols(Translation &t);

// translate_reactions.cpp
void read_reactions(Translation &t);
void fluxes_to_concentrations(Translation &t);

// initial_values.cpp
void initial_values(Translation &t);
void check_start_state(const Translation &t);

// translate.cpp: all of the above in order.
void translate(Model &model, const ImportOptions &opts, ImportedModel &out);

}  // namespace qv::sbml::detail

#endif
