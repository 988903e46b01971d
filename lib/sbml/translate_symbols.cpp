// What each SBML id stands for: compartments and parameters become a PARAM, a state (rate rule,
// or set by events) or an intermediate (assignment rule); species become states unless a rule
// gives them; species references with an id stand for their stoichiometry.
#include "translation_state.h"

namespace qv::sbml::detail {

namespace {

void declare_value(Translation &t, const std::string &id, bool has_value, double value, const std::string &kind) {
    has_value = has_value || t.ia_targets.count(id);
    switch (t.rule_kind(id)) {
    case RuleKind::Assignment:
        t.symbols[id] = inter(t.add_inter(id, "assignment rule"));
        break;
    case RuleKind::Rate:
        if (!has_value) refuse(kind + " " + in_quotes(id) + " has no initial value");
        t.symbols[id] = state(t.add_state(id, kind + " (rate rule)", value));
        break;
    case RuleKind::None:
        if (!has_value) refuse(kind + " " + in_quotes(id) + " has no value");
        // A value that events change is a state with no rate of change: the rows carry it, and
        // the next run starts from the file's value again.
        if (t.event_targets.count(id)) t.symbols[id] = state(t.add_state(id, kind + " (set by events)", value));
        else t.symbols[id] = param(t.add_param(id, id, value));
        break;
    }
}

// A species whose compartment changes size is held as an amount (reactions move amounts; a
// constant species keeps its amount while its concentration follows the size); one in a fixed
// compartment as the value its formulas use.
void declare_species(Translation &t, const Species *s) {
    const std::string &id = s->getId();
    const Compartment *c = t.model.getCompartment(s->getCompartment());
    if (!c) refuse("species " + in_quotes(id) + " is in the unknown compartment " + in_quotes(s->getCompartment()));
    const Expr size = t.symbols.at(c->getId());
    const bool only_amount = s->getHasOnlySubstanceUnits();
    const bool compartment_varies = t.rule_kind(c->getId()) != RuleKind::None || t.event_targets.count(c->getId());
    Observable ob;
    ob.id = id;
    ob.is_species = true;
    ob.data_in_amount = only_amount;
    Expr sym;
    if (t.rule_kind(id) == RuleKind::Assignment) {
        sym = inter(t.add_inter(id, "assignment rule"));
    } else {
        if (!s->isSetInitialAmount() && !s->isSetInitialConcentration() && !t.ia_targets.count(id))
            refuse("species " + in_quotes(id) + " has no initial value");
        const bool held_as_amount = t.rule_kind(id) == RuleKind::None && !only_amount && compartment_varies;
        const bool amount = held_as_amount || only_amount;
        const int k = t.add_state(id, amount ? "species amount" : "species concentration", 0.0);
        t.state_of[id] = k;
        t.state_is_amount[id] = amount;
        sym = held_as_amount ? div(state(k), size) : state(k);
        if (held_as_amount && !only_amount) t.out.states[static_cast<size_t>(k) - 1].size = size;
        if (held_as_amount) {
            ob.amount = state(k);
            ob.concentration = sym;
        }
    }
    if (!ob.amount) {
        ob.amount = only_amount ? sym : mul(sym, size);
        ob.concentration = only_amount ? div(sym, size) : sym;
    }
    t.symbols[id] = sym;
    t.out.observables.push_back(ob);
}

// Species references with an id: their stoichiometry, possibly set by a rule.
void declare_species_reference(Translation &t, const SpeciesReference *sr) {
    const std::string &id = sr->getId();
    const double st = sr->isSetStoichiometry() ? sr->getStoichiometry() : 1.0;
    switch (t.rule_kind(id)) {
    case RuleKind::Assignment: t.symbols[id] = inter(t.add_inter(id, "assignment rule")); break;
    case RuleKind::Rate: t.symbols[id] = state(t.add_state(id, "stoichiometry (rate rule)", st)); break;
    case RuleKind::None:
        // An initial assignment sets it once: a PARAM, like any other value of the model; events
        // set it during the run: a state without rate.
        if (t.event_targets.count(id)) t.symbols[id] = state(t.add_state(id, "stoichiometry (set by events)", st));
        else t.symbols[id] = t.ia_targets.count(id) ? param(t.add_param(id, id, st)) : constant(st);
        break;
    }
    // A stoichiometry that changes is reported like a rate-rule variable.
    if (t.rule_kind(id) != RuleKind::None || t.event_targets.count(id)) {
        const Expr &v = t.symbols[id];
        t.out.observables.push_back({id, false, false, v, v});
    }
}

}  // namespace

void declare_symbols(Translation &t) {
    const Model &model = t.model;
    for (unsigned i = 0; i < model.getNumCompartments(); ++i) {
        const Compartment *c = model.getCompartment(i);
        const bool dimensionless = c->isSetSpatialDimensions() && c->getSpatialDimensionsAsDouble() == 0.0;
        declare_value(t, c->getId(), c->isSetSize() || dimensionless, c->isSetSize() ? c->getSize() : 1.0, "compartment");
    }
    for (unsigned i = 0; i < model.getNumSpecies(); ++i) declare_species(t, model.getSpecies(i));
    for (unsigned i = 0; i < model.getNumParameters(); ++i) {
        const Parameter *p = model.getParameter(i);
        declare_value(t, p->getId(), p->isSetValue(), p->getValue(), "parameter");
    }
    for (unsigned i = 0; i < model.getNumCompartments(); ++i) {
        const std::string &id = model.getCompartment(i)->getId();
        t.out.observables.push_back({id, false, false, t.symbols[id], t.symbols[id]});
    }
    for (unsigned i = 0; i < model.getNumParameters(); ++i) {
        const std::string &id = model.getParameter(i)->getId();
        t.out.observables.push_back({id, false, false, t.symbols[id], t.symbols[id]});
    }
    for (unsigned i = 0; i < model.getNumReactions(); ++i) {
        const Reaction *r = model.getReaction(i);
        for (unsigned k = 0; k < r->getNumReactants() + r->getNumProducts(); ++k) {
            const SpeciesReference *sr =
                k < r->getNumReactants() ? r->getReactant(k) : r->getProduct(k - r->getNumReactants());
            if (sr->isSetId()) declare_species_reference(t, sr);
        }
        if (r->isSetId()) {
            const int a = t.add_inter(r->getId(), "kinetic law");
            t.rate_inter[r->getId()] = a;
            t.symbols[r->getId()] = inter(a);
        }
    }
    for (const auto &[id, rule] : t.rules)
        if (!t.symbols.count(id)) refuse("rule for the unknown id " + in_quotes(id));
}

}  // namespace qv::sbml::detail
