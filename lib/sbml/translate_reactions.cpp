// Reactions: their rates become intermediates, and each rate moves the species it names.
#include "translation_state.h"

namespace qv::sbml::detail {

void read_reactions(Translation &t) {
    const Model &model = t.model;
    for (unsigned i = 0; i < model.getNumReactions(); ++i) {
        const Reaction *r = model.getReaction(i);
        const KineticLaw *kl = r->getKineticLaw();
        const std::string rid = r->isSetId() ? r->getId() : "reaction_" + std::to_string(i + 1);
        const std::string where = "kinetic law of reaction " + in_quotes(rid);
        // Local parameters shadow the global ids inside their kinetic law.
        std::map<std::string, Expr> local;
        for (unsigned k = 0; k < kl->getNumLocalParameters(); ++k) {
            const LocalParameter *lp = kl->getLocalParameter(k);
            if (!lp->isSetValue()) refuse("local parameter " + in_quotes(rid + "." + lp->getId()) + " has no value");
            local[lp->getId()] = param(t.add_param(rid + "_" + lp->getId(), rid + "." + lp->getId(), lp->getValue()));
        }
        const Expr rate = math_of(t, kl->getMath(), &local, where);
        const int a = r->isSetId() ? t.rate_inter.at(r->getId()) : t.add_inter(rid, "kinetic law");
        t.out.inters[static_cast<size_t>(a)].def = rate;
        for (unsigned k = 0; k < r->getNumReactants() + r->getNumProducts(); ++k) {
            const bool reactant = k < r->getNumReactants();
            const SpeciesReference *sr = reactant ? r->getReactant(k) : r->getProduct(k - r->getNumReactants());
            const std::string &sid = sr->getSpecies();
            auto st = t.state_of.find(sid);
            const Species *s = model.getSpecies(sid);
            if (!s) refuse("unknown species " + in_quotes(sid) + " in reaction " + in_quotes(rid));
            if (st == t.state_of.end() || s->getBoundaryCondition() || s->getConstant() ||
                t.rule_kind(sid) != RuleKind::None)
                continue;   // reactions do not change boundary, constant or rule-defined species
            Expr stoich = sr->isSetId() ? t.symbols.at(sr->getId())
                                        : constant(sr->isSetStoichiometry() ? sr->getStoichiometry() : 1.0);
            Expr term = mul(stoich, inter(a));
            // A conversion factor (the species' own, else the model's) scales what reactions do to it.
            const std::string cf = s->isSetConversionFactor() ? s->getConversionFactor()
                                   : model.isSetConversionFactor() ? model.getConversionFactor() : "";
            if (!cf.empty()) {
                auto it = t.symbols.find(cf);
                if (it == t.symbols.end()) refuse("unknown conversion factor " + in_quotes(cf) + " of species " + in_quotes(sid));
                term = mul(term, it->second);
            }
            const size_t row = static_cast<size_t>(st->second - 1);
            t.rhs_terms[row] = reactant ? sub(t.rhs_terms[row], term) : add(t.rhs_terms[row], term);
        }
    }
}

// Reactions change amounts: a species held as a concentration changes by its net flux over the
// size of its compartment (one division per species, not one per reaction).
void fluxes_to_concentrations(Translation &t) {
    for (const auto &[sid, k] : t.state_of) {
        const Species *s = t.model.getSpecies(sid);
        if (t.state_is_amount.at(sid) || s->getBoundaryCondition() || s->getConstant()) continue;
        const size_t row = static_cast<size_t>(k - 1);
        if (!is_zero(t.rhs_terms[row])) t.rhs_terms[row] = div(t.rhs_terms[row], t.symbols.at(s->getCompartment()));
    }
}

}  // namespace qv::sbml::detail
