// Reading an SBML document with libSBML, checking it against the supported model class and
// translating it into state variables, parameters, intermediates and observables.
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include <sbml/SBMLTypes.h>
#include <sbml/conversion/ConversionProperties.h>
#include <sbml/extension/SBasePlugin.h>

#include "quorvant/sbml_import.h"

namespace qv::sbml {

namespace {

// ---- Limits and constants ------------------------------------------------------------------------
constexpr int kMaxParams = 124;              // user parameter names of a model input file
constexpr int kMaxStates = 512;              // N_VAR
constexpr size_t kMaxNameLength = 15;        // PARAM_NAME
constexpr int kMaxMathDepth = 1000;          // nesting of one formula (guards the recursion)
constexpr size_t kMaxTreeSize = 200000;      // a right-hand side with its rules substituted, as a tree
constexpr size_t kMaxTreeDepth = 3000;       // and its nesting (printing and differentiating recurse)
constexpr std::uintmax_t kMaxFileBytes = 64u << 20;
constexpr double kAvogadro = 6.02214179e23;  // the value SBML Level 3 fixes for its avogadro symbol
// Names the model input file reserves (time events, the S-system's independent variables).
const std::set<std::string> kReservedNames = {"y_force", "y_add", "time_start", "time_end", "constantPlayer"};

struct Failure {
    std::string message;
};

[[noreturn]] void refuse(const std::string &what) { throw Failure{"refused: " + what}; }
[[noreturn]] void fail(const std::string &what) { throw Failure{what}; }

std::string in_quotes(const std::string &id) { return "'" + id + "'"; }

std::string one_line(std::string s) {
    for (char &c : s)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    while (!s.empty() && s.back() == ' ') s.pop_back();
    size_t start = s.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : s.substr(start);
}

// The file's name for the comments of the generated files: no directory, and no character that
// could end or continue a comment line.
std::string printable_name(const std::string &path) {
    std::string name = std::filesystem::path(path).filename().string().substr(0, 200);
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+') c = '_';
    return name;
}

// An id for messages: the element's id, or its position when it has none.
std::string label(const SBase *e, unsigned index) {
    if (e->isSetIdAttribute() && !e->getIdAttribute().empty()) return in_quotes(e->getIdAttribute());
    return "#" + std::to_string(index + 1);
}

// libSBML's messages state the rule, then "Reference: <document> Section <n>  ", then what this
// document did wrong: keep the last part, which names the offending id.
std::string specific_part(const std::string &msg) {
    constexpr size_t kMaxMessage = 300;
    std::string out = msg;
    const size_t ref = msg.find("Reference: ");
    if (ref != std::string::npos) {
        const size_t gap = msg.find("  ", ref);
        if (gap != std::string::npos && gap + 2 < msg.size()) out = msg.substr(gap + 2);
    }
    if (out.size() > kMaxMessage) out = out.substr(0, kMaxMessage) + " ...";
    return out;
}

void first_error(const SBMLDocument &doc, const std::string &path) {
    for (unsigned i = 0; i < doc.getNumErrors(); ++i) {
        const SBMLError *e = doc.getError(i);
        if (e->isError() || e->isFatal())
            fail(path + ": line " + std::to_string(e->getLine()) + ": " + specific_part(one_line(e->getMessage())));
    }
}

enum class RuleKind { None, Assignment, Rate };

// What an SBML id stands for in formulas.
struct Symbol {
    Expr value;
};

class Translator {
public:
    Translator(Model &model, const ImportOptions &opts, ImportedModel &out) : model_(model), opts_(opts), out_(out) {}
    void run();

private:
    Model &model_;
    const ImportOptions &opts_;
    ImportedModel &out_;
    std::map<std::string, Symbol> symbols_;
    std::map<std::string, const Rule *> rules_;
    std::set<std::string> used_names_;
    std::vector<Expr> rhs_terms_;   // per state, filled while the reactions are read
    std::map<std::string, int> state_of_;   // species id -> state index (1-based)
    std::map<std::string, bool> state_is_amount_;
    std::map<std::string, int> rate_inter_;  // reaction id -> intermediate index
    std::set<std::string> ia_targets_;        // ids an initial assignment sets
    struct InitialAssignmentMath {
        std::string symbol;
        Expr value;
    };
    std::vector<InitialAssignmentMath> initial_assignments_;

    RuleKind rule_kind(const std::string &id) const {
        auto it = rules_.find(id);
        if (it == rules_.end()) return RuleKind::None;
        return it->second->isAssignment() ? RuleKind::Assignment : RuleKind::Rate;
    }
    int add_param(const std::string &preferred, const std::string &id, double value);
    int add_state(const std::string &id, const std::string &what, double initial);
    int add_inter(const std::string &id, const std::string &what);
    std::string map_name(const std::string &preferred);
    Expr convert(const ASTNode *n, const std::map<std::string, Expr> *local, const std::string &where, int depth);
    Expr math_of(const ASTNode *n, const std::map<std::string, Expr> *local, const std::string &where);
    void declare_symbols();
    void read_reactions();
    void fluxes_to_concentrations();
    void read_rules();
    void read_initial_assignments();
    void order_intermediates();
    void initial_values();
    void check_start_state();
    void check_sizes();
};

std::string Translator::map_name(const std::string &preferred) {
    auto ok = [this](const std::string &n) {
        return !n.empty() && n.size() <= kMaxNameLength && !kReservedNames.count(n) && !used_names_.count(n);
    };
    std::string name = preferred;
    for (int k = 1; !ok(name); ++k) {
        const std::string suffix = "_" + std::to_string(k);
        name = preferred.substr(0, kMaxNameLength - suffix.size()) + suffix;
    }
    used_names_.insert(name);
    return name;
}

int Translator::add_param(const std::string &preferred, const std::string &id, double value) {
    out_.params.push_back({map_name(preferred), id, value});
    return static_cast<int>(out_.params.size());
}

int Translator::add_state(const std::string &id, const std::string &what, double initial) {
    out_.states.push_back({id, what, initial, nullptr});
    rhs_terms_.push_back(constant(0.0));
    return static_cast<int>(out_.states.size());
}

int Translator::add_inter(const std::string &id, const std::string &what) {
    out_.inters.push_back({id, what, nullptr});
    return static_cast<int>(out_.inters.size()) - 1;
}

// Constructs outside the model class, named with their id.
void check_refusals(const Model &model_, std::vector<std::string> &notes) {
    for (unsigned i = 0; i < model_.getNumEvents(); ++i)
        refuse("event " + label(model_.getEvent(i), i) + " (events are not supported)");
    for (unsigned i = 0; i < model_.getNumRules(); ++i) {
        const Rule *r = model_.getRule(i);
        if (r->isAlgebraic()) refuse("algebraic rule " + label(r, i) + " (algebraic rules are not supported)");
    }
    for (unsigned i = 0; i < model_.getNumReactions(); ++i) {
        const Reaction *r = model_.getReaction(i);
        if (r->isSetFast() && r->getFast())
            refuse("fast reaction " + label(r, i) + " (fast reactions are not supported)");
        if (!r->isSetKineticLaw() || !r->getKineticLaw()->isSetMath())
            refuse("reaction " + label(r, i) + " has no kinetic law");
        for (unsigned k = 0; k < r->getNumReactants() + r->getNumProducts(); ++k) {
            const SpeciesReference *sr =
                k < r->getNumReactants() ? r->getReactant(k) : r->getProduct(k - r->getNumReactants());
            if (sr->isSetStoichiometryMath())
                refuse("stoichiometryMath of species " + in_quotes(sr->getSpecies()) + " in reaction " + label(r, i) +
                       " (stoichiometryMath is not supported)");
        }
    }
    for (unsigned i = 0; i < model_.getNumConstraints(); ++i)
        notes.push_back("constraint " + label(model_.getConstraint(i), i) + " is not checked during simulations");
}

// Compartments and parameters: a PARAM, a state (rate rule) or an intermediate (assignment rule).
void Translator::declare_symbols() {
    for (unsigned i = 0; i < model_.getNumRules(); ++i) {
        const Rule *r = model_.getRule(i);
        if (rules_.count(r->getVariable())) refuse("two rules for " + in_quotes(r->getVariable()));
        rules_[r->getVariable()] = r;
    }
    auto declare = [this](const std::string &id, bool has_value, double value, const std::string &kind) {
        has_value = has_value || ia_targets_.count(id);
        switch (rule_kind(id)) {
        case RuleKind::Assignment:
            symbols_[id] = {inter(add_inter(id, "assignment rule"))};
            break;
        case RuleKind::Rate:
            if (!has_value) refuse(kind + " " + in_quotes(id) + " has no initial value");
            symbols_[id] = {state(add_state(id, kind + " (rate rule)", value))};
            break;
        case RuleKind::None:
            if (!has_value) refuse(kind + " " + in_quotes(id) + " has no value");
            symbols_[id] = {param(add_param(id, id, value))};
            break;
        }
    };
    for (unsigned i = 0; i < model_.getNumCompartments(); ++i) {
        const Compartment *c = model_.getCompartment(i);
        const bool dimensionless = c->isSetSpatialDimensions() && c->getSpatialDimensionsAsDouble() == 0.0;
        declare(c->getId(), c->isSetSize() || dimensionless, c->isSetSize() ? c->getSize() : 1.0, "compartment");
    }
    // Species: state variables unless an assignment rule gives them. A species whose compartment
    // changes size is held as an amount (reactions move amounts); one in a fixed compartment as
    // the value its formulas use.
    for (unsigned i = 0; i < model_.getNumSpecies(); ++i) {
        const Species *s = model_.getSpecies(i);
        const std::string &id = s->getId();
        const Compartment *c = model_.getCompartment(s->getCompartment());
        if (!c) refuse("species " + in_quotes(id) + " is in the unknown compartment " + in_quotes(s->getCompartment()));
        const Expr size = symbols_.at(c->getId()).value;
        const bool only_amount = s->getHasOnlySubstanceUnits();
        const bool compartment_varies = rule_kind(c->getId()) != RuleKind::None;
        Observable ob;
        ob.id = id;
        ob.is_species = true;
        ob.data_in_amount = only_amount;
        Expr sym;
        if (rule_kind(id) == RuleKind::Assignment) {
            sym = inter(add_inter(id, "assignment rule"));
        } else {
            if (!s->isSetInitialAmount() && !s->isSetInitialConcentration() && !ia_targets_.count(id))
                refuse("species " + in_quotes(id) + " has no initial value");
            const bool held_as_amount =
                rule_kind(id) == RuleKind::None && !s->getConstant() && !only_amount && compartment_varies;
            const bool amount = held_as_amount || only_amount;
            const int k = add_state(id, amount ? "species amount" : "species concentration", 0.0);
            state_of_[id] = k;
            state_is_amount_[id] = amount;
            sym = held_as_amount ? div(state(k), size) : state(k);
            if (held_as_amount) {
                ob.amount = state(k);
                ob.concentration = sym;
            }
        }
        if (!ob.amount) {
            ob.amount = only_amount ? sym : mul(sym, size);
            ob.concentration = only_amount ? div(sym, size) : sym;
        }
        symbols_[id] = {sym};
        out_.observables.push_back(ob);
    }
    for (unsigned i = 0; i < model_.getNumParameters(); ++i) {
        const Parameter *p = model_.getParameter(i);
        declare(p->getId(), p->isSetValue(), p->getValue(), "parameter");
    }
    for (unsigned i = 0; i < model_.getNumCompartments(); ++i) {
        const std::string &id = model_.getCompartment(i)->getId();
        out_.observables.push_back({id, false, false, symbols_[id].value, symbols_[id].value});
    }
    for (unsigned i = 0; i < model_.getNumParameters(); ++i) {
        const std::string &id = model_.getParameter(i)->getId();
        out_.observables.push_back({id, false, false, symbols_[id].value, symbols_[id].value});
    }
    // Species references with an id: their stoichiometry, possibly set by a rule.
    for (unsigned i = 0; i < model_.getNumReactions(); ++i) {
        const Reaction *r = model_.getReaction(i);
        for (unsigned k = 0; k < r->getNumReactants() + r->getNumProducts(); ++k) {
            const SpeciesReference *sr =
                k < r->getNumReactants() ? r->getReactant(k) : r->getProduct(k - r->getNumReactants());
            if (!sr->isSetId()) continue;
            const double st = sr->isSetStoichiometry() ? sr->getStoichiometry() : 1.0;
            switch (rule_kind(sr->getId())) {
            case RuleKind::Assignment: symbols_[sr->getId()] = {inter(add_inter(sr->getId(), "assignment rule"))}; break;
            case RuleKind::Rate: symbols_[sr->getId()] = {state(add_state(sr->getId(), "stoichiometry (rate rule)", st))}; break;
            case RuleKind::None:
                // An initial assignment sets it once: a PARAM, like any other value of the model.
                symbols_[sr->getId()] = {ia_targets_.count(sr->getId()) ? param(add_param(sr->getId(), sr->getId(), st))
                                                                       : constant(st)};
                break;
            }
            // A stoichiometry that changes is reported like a rate-rule variable.
            if (rule_kind(sr->getId()) != RuleKind::None) {
                const Expr &v = symbols_[sr->getId()].value;
                out_.observables.push_back({sr->getId(), false, false, v, v});
            }
        }
        if (r->isSetId()) {
            const int a = add_inter(r->getId(), "kinetic law");
            rate_inter_[r->getId()] = a;
            symbols_[r->getId()] = {inter(a)};
        }
    }
    for (const auto &[id, rule] : rules_)
        if (!symbols_.count(id)) refuse("rule for the unknown id " + in_quotes(id));
}

Expr Translator::math_of(const ASTNode *n, const std::map<std::string, Expr> *local, const std::string &where) {
    if (!n) refuse(where + " has no math");
    return convert(n, local, where, 0);
}

Expr Translator::convert(const ASTNode *n, const std::map<std::string, Expr> *local, const std::string &where, int depth) {
    if (depth > kMaxMathDepth) refuse("math nested too deeply in " + where);
    const unsigned nc = n->getNumChildren();
    auto child = [&](unsigned i) { return convert(n->getChild(i), local, where, depth + 1); };
    auto all = [&]() {
        std::vector<Expr> v;
        for (unsigned i = 0; i < nc; ++i) v.push_back(child(i));
        return v;
    };
    auto need = [&](unsigned lo, unsigned hi) {
        if (nc < lo || nc > hi) refuse("malformed math (operator with " + std::to_string(nc) + " arguments) in " + where);
    };
    auto f1 = [&](Fn fn) { need(1, 1); return func(fn, child(0)); };
    auto inv = [](const Expr &e) { return div(constant(1.0), e); };
    const Expr one = constant(1.0);
    switch (n->getType()) {
    case AST_PLUS: return add(all());
    case AST_MINUS:
        need(1, 2);
        return nc == 1 ? neg(child(0)) : sub(child(0), child(1));
    case AST_TIMES: return mul(all());
    case AST_DIVIDE: need(2, 2); return div(child(0), child(1));
    case AST_POWER:
    case AST_FUNCTION_POWER: need(2, 2); return pow(child(0), child(1));
    case AST_INTEGER: return constant(static_cast<double>(n->getInteger()));
    case AST_REAL:
    case AST_REAL_E:
    case AST_RATIONAL: return constant(n->getReal());
    case AST_NAME: {
        const std::string name = n->getName() ? n->getName() : "";
        if (local) {
            auto it = local->find(name);
            if (it != local->end()) return it->second;
        }
        auto it = symbols_.find(name);
        if (it == symbols_.end()) refuse("unknown id " + in_quotes(name) + " in " + where);
        return it->second.value;
    }
    case AST_NAME_TIME: return state(out_.time_index());
    case AST_NAME_AVOGADRO: return constant(kAvogadro);
    case AST_CONSTANT_E: return constant(std::exp(1.0));
    case AST_CONSTANT_PI: return constant(M_PI);
    case AST_CONSTANT_TRUE: return constant(1.0);
    case AST_CONSTANT_FALSE: return constant(0.0);
    case AST_FUNCTION_ABS: return f1(Fn::Abs);
    case AST_FUNCTION_ARCCOS: return f1(Fn::Acos);
    case AST_FUNCTION_ARCCOSH: return f1(Fn::Acosh);
    case AST_FUNCTION_ARCCOT: need(1, 1); return func(Fn::Atan, inv(child(0)));
    case AST_FUNCTION_ARCCOTH: need(1, 1); return func(Fn::Atanh, inv(child(0)));
    case AST_FUNCTION_ARCCSC: need(1, 1); return func(Fn::Asin, inv(child(0)));
    case AST_FUNCTION_ARCCSCH: need(1, 1); return func(Fn::Asinh, inv(child(0)));
    case AST_FUNCTION_ARCSEC: need(1, 1); return func(Fn::Acos, inv(child(0)));
    case AST_FUNCTION_ARCSECH: need(1, 1); return func(Fn::Acosh, inv(child(0)));
    case AST_FUNCTION_ARCSIN: return f1(Fn::Asin);
    case AST_FUNCTION_ARCSINH: return f1(Fn::Asinh);
    case AST_FUNCTION_ARCTAN: return f1(Fn::Atan);
    case AST_FUNCTION_ARCTANH: return f1(Fn::Atanh);
    case AST_FUNCTION_CEILING: return f1(Fn::Ceil);
    case AST_FUNCTION_COS: return f1(Fn::Cos);
    case AST_FUNCTION_COSH: return f1(Fn::Cosh);
    case AST_FUNCTION_COT: need(1, 1); return inv(func(Fn::Tan, child(0)));
    case AST_FUNCTION_COTH: need(1, 1); return inv(func(Fn::Tanh, child(0)));
    case AST_FUNCTION_CSC: need(1, 1); return inv(func(Fn::Sin, child(0)));
    case AST_FUNCTION_CSCH: need(1, 1); return inv(func(Fn::Sinh, child(0)));
    case AST_FUNCTION_SEC: need(1, 1); return inv(func(Fn::Cos, child(0)));
    case AST_FUNCTION_SECH: need(1, 1); return inv(func(Fn::Cosh, child(0)));
    case AST_FUNCTION_EXP: return f1(Fn::Exp);
    case AST_FUNCTION_FACTORIAL: return f1(Fn::Factorial);
    case AST_FUNCTION_FLOOR: return f1(Fn::Floor);
    case AST_FUNCTION_LN: return f1(Fn::Log);
    case AST_FUNCTION_LOG:
        // log(x) is the common logarithm; with two arguments the first is the base.
        need(1, 2);
        if (nc == 1) return div(func(Fn::Log, child(0)), constant(std::log(10.0)));
        return div(func(Fn::Log, child(1)), func(Fn::Log, child(0)));
    case AST_FUNCTION_ROOT:
        need(1, 2);
        if (nc == 1) return pow(child(0), constant(0.5));
        return pow(child(1), div(one, child(0)));
    case AST_FUNCTION_SIN: return f1(Fn::Sin);
    case AST_FUNCTION_SINH: return f1(Fn::Sinh);
    case AST_FUNCTION_TAN: return f1(Fn::Tan);
    case AST_FUNCTION_TANH: return f1(Fn::Tanh);
    case AST_FUNCTION_PIECEWISE: return piecewise(all());
    case AST_LOGICAL_AND: return nc == 0 ? one : logic(Op::And, all());
    case AST_LOGICAL_OR: return nc == 0 ? constant(0.0) : logic(Op::Or, all());
    case AST_LOGICAL_XOR: return nc == 0 ? constant(0.0) : logic(Op::Xor, all());
    case AST_LOGICAL_NOT: need(1, 1); return logic(Op::Not, {child(0)});
    case AST_LOGICAL_IMPLIES: need(2, 2); return logic(Op::Or, {logic(Op::Not, {child(0)}), child(1)});
    case AST_RELATIONAL_EQ:
    case AST_RELATIONAL_GEQ:
    case AST_RELATIONAL_GT:
    case AST_RELATIONAL_LEQ:
    case AST_RELATIONAL_LT:
    case AST_RELATIONAL_NEQ: {
        const ASTNodeType_t t = n->getType();
        const Op op = t == AST_RELATIONAL_EQ ? Op::Eq : t == AST_RELATIONAL_GEQ ? Op::Ge
                    : t == AST_RELATIONAL_GT ? Op::Gt : t == AST_RELATIONAL_LEQ ? Op::Le
                    : t == AST_RELATIONAL_LT ? Op::Lt : Op::Ne;
        if (op == Op::Ne) need(2, 2);
        if (nc < 2) return one;   // a chain of fewer than two values holds trivially
        std::vector<Expr> v = all(), pairs;
        for (size_t i = 0; i + 1 < v.size(); ++i) pairs.push_back(compare(op, v[i], v[i + 1]));
        return pairs.size() == 1 ? pairs[0] : logic(Op::And, pairs);
    }
    case AST_FUNCTION_MAX:
    case AST_FUNCTION_MIN: {
        need(1, 1u << 30);
        std::vector<Expr> v = all();
        Expr r = v[0];
        for (size_t i = 1; i < v.size(); ++i) r = func2(n->getType() == AST_FUNCTION_MAX ? Fn::Max : Fn::Min, r, v[i]);
        return r;
    }
    case AST_FUNCTION_QUOTIENT: need(2, 2); return func2(Fn::Quotient, child(0), child(1));
    case AST_FUNCTION_REM: need(2, 2); return func2(Fn::Rem, child(0), child(1));
    case AST_FUNCTION_DELAY: refuse("delay in " + where + " (delays are not supported)");
    case AST_FUNCTION_RATE_OF: refuse("rateOf in " + where + " (rateOf is not supported)");
    case AST_FUNCTION:
        refuse("call of the undefined function " + in_quotes(n->getName() ? n->getName() : "") + " in " + where);
    default: {
        const char *name = n->getName();
        refuse("math element '" + std::string(name ? name : "?") + "' in " + where + " (not supported)");
    }
    }
}

void Translator::read_reactions() {
    for (unsigned i = 0; i < model_.getNumReactions(); ++i) {
        const Reaction *r = model_.getReaction(i);
        const KineticLaw *kl = r->getKineticLaw();
        const std::string rid = r->isSetId() ? r->getId() : "reaction_" + std::to_string(i + 1);
        const std::string where = "kinetic law of reaction " + in_quotes(rid);
        // Local parameters shadow the global ids inside their kinetic law.
        std::map<std::string, Expr> local;
        for (unsigned k = 0; k < kl->getNumLocalParameters(); ++k) {
            const LocalParameter *lp = kl->getLocalParameter(k);
            if (!lp->isSetValue()) refuse("local parameter " + in_quotes(rid + "." + lp->getId()) + " has no value");
            local[lp->getId()] = param(add_param(rid + "_" + lp->getId(), rid + "." + lp->getId(), lp->getValue()));
        }
        const Expr rate = math_of(kl->getMath(), &local, where);
        int a;
        if (r->isSetId()) {
            a = rate_inter_.at(r->getId());
        } else {
            a = add_inter(rid, "kinetic law");
        }
        out_.inters[static_cast<size_t>(a)].def = rate;
        for (unsigned k = 0; k < r->getNumReactants() + r->getNumProducts(); ++k) {
            const bool reactant = k < r->getNumReactants();
            const SpeciesReference *sr = reactant ? r->getReactant(k) : r->getProduct(k - r->getNumReactants());
            const std::string &sid = sr->getSpecies();
            auto st = state_of_.find(sid);
            if (!model_.getSpecies(sid)) refuse("unknown species " + in_quotes(sid) + " in reaction " + in_quotes(rid));
            const Species *s = model_.getSpecies(sid);
            if (st == state_of_.end() || s->getBoundaryCondition() || s->getConstant() || rule_kind(sid) != RuleKind::None)
                continue;   // reactions do not change boundary, constant or rule-defined species
            Expr stoich = sr->isSetId() ? symbols_.at(sr->getId()).value
                                        : constant(sr->isSetStoichiometry() ? sr->getStoichiometry() : 1.0);
            Expr term = mul(stoich, inter(a));
            // A conversion factor (the species' own, else the model's) scales what reactions do to it.
            const std::string cf = s->isSetConversionFactor() ? s->getConversionFactor()
                                   : model_.isSetConversionFactor() ? model_.getConversionFactor() : "";
            if (!cf.empty()) {
                auto it = symbols_.find(cf);
                if (it == symbols_.end()) refuse("unknown conversion factor " + in_quotes(cf) + " of species " + in_quotes(sid));
                term = mul(term, it->second.value);
            }
            const size_t row = static_cast<size_t>(st->second - 1);
            rhs_terms_[row] = reactant ? sub(rhs_terms_[row], term) : add(rhs_terms_[row], term);
        }
    }
}

// Reactions change amounts: a species held as a concentration changes by its net flux over the
// size of its compartment (one division per species, not one per reaction).
void Translator::fluxes_to_concentrations() {
    for (const auto &[sid, k] : state_of_) {
        const Species *s = model_.getSpecies(sid);
        if (state_is_amount_.at(sid) || s->getBoundaryCondition() || s->getConstant()) continue;
        const size_t row = static_cast<size_t>(k - 1);
        if (!is_zero(rhs_terms_[row])) rhs_terms_[row] = div(rhs_terms_[row], symbols_.at(s->getCompartment()).value);
    }
}

void Translator::read_rules() {
    for (const auto &[id, rule] : rules_) {
        const std::string where = std::string(rule->isAssignment() ? "assignment" : "rate") + " rule for " + in_quotes(id);
        const Expr e = math_of(rule->getMath(), nullptr, where);
        const Expr &sym = symbols_.at(id).value;
        if (rule->isAssignment()) {
            out_.inters[static_cast<size_t>(sym->index)].def = e;
        } else {
            // The rate rule gives the derivative of the state that holds the id's value.
            if (sym->op != Op::State) refuse("rate rule for " + in_quotes(id) + " (its value is not a state variable)");
            rhs_terms_[static_cast<size_t>(sym->index - 1)] = e;
        }
    }
}

void Translator::read_initial_assignments() {
    for (unsigned i = 0; i < model_.getNumInitialAssignments(); ++i) {
        const InitialAssignment *ia = model_.getInitialAssignment(i);
        const std::string where = "initial assignment for " + in_quotes(ia->getSymbol());
        if (!symbols_.count(ia->getSymbol())) refuse(where + " (unknown id)");
        initial_assignments_.push_back({ia->getSymbol(), math_of(ia->getMath(), nullptr, where)});
    }
}

// Puts the intermediates in an order in which each reads only earlier ones.
void Translator::order_intermediates() {
    const size_t m = out_.inters.size();
    std::vector<std::vector<int>> deps(m);
    for (size_t k = 0; k < m; ++k) {
        if (!out_.inters[k].def) refuse("no formula for " + in_quotes(out_.inters[k].id));
        collect_inters(out_.inters[k].def, deps[k]);
    }
    std::vector<int> order, mark(m, 0);   // 0 new, 1 in progress, 2 done
    // Depth-first with an explicit stack: deep chains of rules must not exhaust the call stack.
    for (size_t root = 0; root < m; ++root) {
        if (mark[root]) continue;
        std::vector<std::pair<int, size_t>> stack{{static_cast<int>(root), 0}};
        mark[root] = 1;
        while (!stack.empty()) {
            auto &[k, next] = stack.back();
            if (next < deps[static_cast<size_t>(k)].size()) {
                const int d = deps[static_cast<size_t>(k)][next++];
                if (mark[static_cast<size_t>(d)] == 1)
                    refuse("assignment rules and kinetic laws depend on each other in a cycle through " +
                           in_quotes(out_.inters[static_cast<size_t>(d)].id));
                if (mark[static_cast<size_t>(d)] == 0) {
                    mark[static_cast<size_t>(d)] = 1;
                    stack.push_back({d, 0});
                }
            } else {
                mark[static_cast<size_t>(k)] = 2;
                order.push_back(k);
                stack.pop_back();
            }
        }
    }
    std::vector<Expr> renumber(m);
    for (size_t pos = 0; pos < m; ++pos) renumber[static_cast<size_t>(order[pos])] = inter(static_cast<int>(pos));
    std::vector<ImportedInter> sorted;
    for (size_t pos = 0; pos < m; ++pos) {
        ImportedInter it = out_.inters[static_cast<size_t>(order[pos])];
        it.def = inline_inters(it.def, renumber);
        sorted.push_back(it);
    }
    out_.inters = std::move(sorted);
    for (size_t k = 0; k < out_.states.size(); ++k) out_.states[k].rhs = inline_inters(rhs_terms_[k], renumber);
    for (auto &ia : initial_assignments_) ia.value = inline_inters(ia.value, renumber);
    for (auto &[id, sym] : symbols_) sym.value = inline_inters(sym.value, renumber);
    for (auto &ob : out_.observables) {
        ob.amount = inline_inters(ob.amount, renumber);
        ob.concentration = inline_inters(ob.concentration, renumber);
    }
}

struct StartValues {
    std::vector<double> y, p, a;
};

StartValues start_values(const ImportedModel &m) {
    StartValues v;
    v.y.push_back(0.0);
    for (const auto &s : m.states) v.y.push_back(s.initial);
    v.p.push_back(0.0);
    for (const auto &p : m.params) v.p.push_back(p.value);
    v.a.assign(m.inters.size(), 0.0);
    for (size_t k = 0; k < m.inters.size(); ++k) v.a[k] = eval(m.inters[k].def, {v.y, v.p, v.a});
    return v;
}

// Initial values: the attributes, then the initial assignments, which may read any value at the
// start (species, rule values, reaction rates, other initial assignments). They are evaluated in
// rounds until every assignment has seen the final values of what it reads (one round per link of
// the longest chain); species values convert between amount and concentration with the size of
// their compartment at the start.
void Translator::initial_values() {
    out_.states.back().initial = opts_.t_start;
    const auto &assignments = initial_assignments_;
    for (size_t round = 0; round < assignments.size() + 2; ++round) {
        StartValues v = start_values(out_);
        for (const auto &[id, k] : state_of_) {
            if (ia_targets_.count(id)) continue;
            const Species *s = model_.getSpecies(id);
            const double size = eval(symbols_.at(s->getCompartment()).value, {v.y, v.p, v.a});
            const bool amount = state_is_amount_.at(id);
            double x;
            if (s->isSetInitialAmount()) x = amount ? s->getInitialAmount() : s->getInitialAmount() / size;
            else x = amount ? s->getInitialConcentration() * size : s->getInitialConcentration();
            out_.states[static_cast<size_t>(k - 1)].initial = x;
        }
        v = start_values(out_);
        for (const auto &a : assignments) {
            double x = eval(a.value, {v.y, v.p, v.a});
            const Expr &target = symbols_.at(a.symbol).value;
            const Species *s = model_.getSpecies(a.symbol);
            if (s && state_is_amount_.count(a.symbol) && state_is_amount_.at(a.symbol) && !s->getHasOnlySubstanceUnits())
                x *= eval(symbols_.at(s->getCompartment()).value, {v.y, v.p, v.a});   // a concentration, held as amount
            const Expr &leaf = target->op == Op::Div ? target->args[0] : target;
            if (leaf->op == Op::State) out_.states[static_cast<size_t>(leaf->index - 1)].initial = x;
            else if (leaf->op == Op::Param) out_.params[static_cast<size_t>(leaf->index - 1)].value = x;
            else refuse("initial assignment for " + in_quotes(a.symbol) + " (an assignment rule gives its value)");
        }
    }
}

// The Jacobian differentiates each right-hand side with its assignment rules substituted: chains of
// rules that use each other several times make that expression explode, so bound it.
void Translator::check_sizes() {
    const std::vector<Expr> rhs = inlined_rhs(out_);
    for (size_t k = 0; k < rhs.size(); ++k)
        if (tree_size(rhs[k], kMaxTreeSize) >= kMaxTreeSize || tree_depth(rhs[k]) > kMaxTreeDepth)
            refuse("rate of change of " + in_quotes(out_.states[k].id) +
                   " (too large to differentiate once its assignment rules are substituted)");
}

void Translator::check_start_state() {
    const StartValues v = start_values(out_);
    for (size_t k = 0; k < out_.states.size(); ++k)
        if (!std::isfinite(out_.states[k].initial))
            refuse("initial value of " + in_quotes(out_.states[k].id) + " is not finite (" +
                   std::to_string(out_.states[k].initial) + ")");
    for (size_t k = 0; k < out_.inters.size(); ++k)
        if (!std::isfinite(v.a[k]))
            refuse((out_.inters[k].what == "kinetic law" ? "kinetic law of reaction " : "assignment rule for ") +
                   in_quotes(out_.inters[k].id) + " is not finite at the start state (division by zero?)");
    for (size_t k = 0; k < out_.states.size(); ++k)
        if (!std::isfinite(eval(out_.states[k].rhs, {v.y, v.p, v.a})))
            refuse("rate of change of " + in_quotes(out_.states[k].id) + " is not finite at the start state (division by zero?)");
}

void Translator::run() {
    // Only for the comments of the generated files (a model file line holds at most 511 characters).
    constexpr size_t kMaxCommentId = 200;
    out_.model_id = model_.isSetId() ? model_.getId().substr(0, kMaxCommentId) : "";
    for (unsigned i = 0; i < model_.getNumInitialAssignments(); ++i)
        ia_targets_.insert(model_.getInitialAssignment(i)->getSymbol());
    declare_symbols();
    add_state("time", "time", 0.0);
    rhs_terms_.back() = constant(1.0);
    read_reactions();
    fluxes_to_concentrations();
    read_rules();
    read_initial_assignments();
    if (static_cast<int>(out_.params.size()) > kMaxParams)
        refuse("the model has " + std::to_string(out_.params.size()) +
               " compartments, parameters and local parameters (a model input file holds at most " +
               std::to_string(kMaxParams) + ")");
    if (static_cast<int>(out_.states.size()) > kMaxStates)
        refuse("the model needs " + std::to_string(out_.states.size()) + " state variables with time (at most " +
               std::to_string(kMaxStates) + ")");
    order_intermediates();
    check_sizes();
    initial_values();
    check_start_state();
}

void convert_or_fail(SBMLDocument &doc, const char *option, const std::string &what) {
    ConversionProperties props;
    props.addOption(option, true);
    if (doc.convert(props) != LIBSBML_OPERATION_SUCCESS) refuse(what);
}

void read_document(const std::string &path, const ImportOptions &opts, ImportedModel &out) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) fail(path + ": no such file");
    const auto bytes = std::filesystem::file_size(path, ec);
    if (ec) fail(path + ": cannot read the file");
    if (bytes > kMaxFileBytes) fail(path + ": file too large (" + std::to_string(bytes) + " bytes)");
    std::unique_ptr<SBMLDocument> doc(readSBMLFromFile(path.c_str()));
    if (!doc) fail(path + ": cannot read the file");
    first_error(*doc, path);
    if (!doc->getModel()) fail(path + ": no model in the document");
    for (unsigned i = 0; i < doc->getNumPlugins(); ++i) {
        const std::string name = doc->getPlugin(i)->getPackageName();
        // Packages exist in Level 3 only; libSBML also lists its own support of the Level 3
        // Version 2 core math as a plugin with the core's namespace.
        const std::string uri = doc->getPlugin(i)->getURI();
        if (doc->getLevel() < 3 || uri == SBMLNamespaces::getSBMLNamespaceURI(doc->getLevel(), doc->getVersion()))
            continue;
        if (doc->isPackageEnabled(name)) refuse("package '" + name + "' (SBML packages are not supported)");
    }
    if (doc->getNumUnknownPackages() > 0)
        refuse("package '" + doc->getUnknownPackagePrefix(0) + "' (SBML packages are not supported)");
    // Refusals first, so that an unsupported construct is named rather than reported as a
    // consistency error about it.
    check_refusals(*doc->getModel(), out.notes);
    doc->setConsistencyChecks(LIBSBML_CAT_UNITS_CONSISTENCY, false);
    doc->setConsistencyChecks(LIBSBML_CAT_MODELING_PRACTICE, false);
    doc->setConsistencyChecks(LIBSBML_CAT_SBO_CONSISTENCY, false);
    doc->checkConsistency();
    first_error(*doc, path);
    if (doc->getLevel() < 3 && !doc->setLevelAndVersion(3, 1, false))
        fail(path + ": cannot convert SBML level " + std::to_string(doc->getLevel()) + " to level 3");
    convert_or_fail(*doc, "expandFunctionDefinitions", "function definitions that libSBML cannot expand");
    Model &model = *doc->getModel();
    out.source = printable_name(path);
    Translator t(model, opts, out);
    t.run();
}

}  // namespace

std::string import_sbml(const std::string &path, const ImportOptions &opts, ImportedModel &out) {
    out = ImportedModel{};
    try {
        read_document(path, opts, out);
        return "";
    } catch (const Failure &f) {
        return f.message;
    } catch (const std::exception &e) {
        return std::string("internal error: ") + e.what();
    }
}

}  // namespace qv::sbml
