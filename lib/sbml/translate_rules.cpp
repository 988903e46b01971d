// Rules and initial assignments: which ids they give values to, their formulas, and the order in
// which the intermediates (assignment-rule values and reaction rates) are evaluated.
#include "translation_state.h"

namespace qv::sbml::detail {

void collect_rules(Translation &t) {
    const Model &model = t.model;
    for (unsigned i = 0; i < model.getNumRules(); ++i) {
        const Rule *r = model.getRule(i);
        // SBML Level 3 Version 2 lets a rule leave out its math: it then has no effect.
        if (!r->isSetMath()) {
            const std::string kind = r->isAssignment() ? "assignment rule" : r->isRate() ? "rate rule" : "algebraic rule";
            std::string note = kind;
            note += r->isAlgebraic() ? " " : " for ";
            note += r->isAlgebraic() ? label(r, i) : in_quotes(r->getVariable());
            note += " has no math and is ignored";
            t.out.notes.push_back(note);
            continue;
        }
        if (t.rules.count(r->getVariable())) refuse("two rules for " + in_quotes(r->getVariable()));
        t.rules[r->getVariable()] = r;
    }
    for (unsigned i = 0; i < model.getNumInitialAssignments(); ++i) {
        const InitialAssignment *ia = model.getInitialAssignment(i);
        if (ia->isSetMath()) {
            t.ia_targets.insert(ia->getSymbol());
            continue;
        }
        t.out.notes.push_back("initial assignment for " + in_quotes(ia->getSymbol()) + " has no math and is ignored");
    }
}

void read_rules(Translation &t) {
    for (const auto &[id, rule] : t.rules) {
        const std::string where = std::string(rule->isAssignment() ? "assignment" : "rate") + " rule for " + in_quotes(id);
        const Expr e = math_of(t, rule->getMath(), nullptr, where);
        const Expr &sym = t.symbols.at(id);
        if (rule->isAssignment()) {
            t.out.inters[static_cast<size_t>(sym->index)].def = e;
        } else {
            // The rate rule gives the derivative of the state that holds the id's value.
            if (sym->op != Op::State) refuse("rate rule for " + in_quotes(id) + " (its value is not a state variable)");
            t.rhs_terms[static_cast<size_t>(sym->index - 1)] = e;
        }
    }
}

void read_initial_assignments(Translation &t) {
    for (unsigned i = 0; i < t.model.getNumInitialAssignments(); ++i) {
        const InitialAssignment *ia = t.model.getInitialAssignment(i);
        if (!ia->isSetMath()) continue;   // noted by collect_rules
        const std::string where = "initial assignment for " + in_quotes(ia->getSymbol());
        if (!t.symbols.count(ia->getSymbol())) refuse(where + " (unknown id)");
        t.initial_assignments.push_back({ia->getSymbol(), math_of(t, ia->getMath(), nullptr, where)});
    }
}

// Puts the intermediates in an order in which each reads only earlier ones.
void order_intermediates(Translation &t) {
    auto &inters = t.out.inters;
    const size_t m = inters.size();
    std::vector<std::vector<int>> deps(m);
    for (size_t k = 0; k < m; ++k) {
        if (!inters[k].def) refuse("no formula for " + in_quotes(inters[k].id));
        collect_inters(inters[k].def, deps[k]);
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
                           in_quotes(inters[static_cast<size_t>(d)].id));
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
        ImportedInter it = inters[static_cast<size_t>(order[pos])];
        it.def = inline_inters(it.def, renumber);
        sorted.push_back(it);
    }
    inters = std::move(sorted);
    for (size_t k = 0; k < t.out.states.size(); ++k) t.out.states[k].rhs = inline_inters(t.rhs_terms[k], renumber);
    for (auto &ia : t.initial_assignments) ia.value = inline_inters(ia.value, renumber);
    for (auto &[id, sym] : t.symbols) sym = inline_inters(sym, renumber);
    for (auto &ob : t.out.observables) {
        ob.amount = inline_inters(ob.amount, renumber);
        ob.concentration = inline_inters(ob.concentration, renumber);
    }
}

}  // namespace qv::sbml::detail
