// Events: what they set, their triggers, delays, priorities and assignments; and the switching
// conditions of piecewise functions of time, which become stops of the solvers.
#include <algorithm>

#include "quorvant/sbml/expr_print.h"

#include "translation_state.h"

namespace qv::sbml::detail {

namespace {

// Values one event may assign (the run-time interface's bound).
constexpr size_t kMaxEventValues = 512;

// A value that changes sign where the truth value e changes: a - b for a > b, the smaller of the
// values of an `and`, ... Null where e has no such value (the solvers then use +1 and -1).
Expr guide_of(const Expr &e) {
    const auto &a = e->args;
    switch (e->op) {
    case Op::Gt:
    case Op::Ge: return sub(a[0], a[1]);
    case Op::Lt:
    case Op::Le: return sub(a[1], a[0]);
    case Op::Not: {
        const Expr g = guide_of(a[0]);
        return g ? neg(g) : nullptr;
    }
    case Op::And:
    case Op::Or: {
        Expr r;
        for (const Expr &c : a) {
            const Expr g = guide_of(c);
            if (!g) return nullptr;
            r = r ? func2(e->op == Op::And ? Fn::Min : Fn::Max, r, g) : g;
        }
        return r;
    }
    default: return nullptr;
    }
}

bool reads_no_state(const Expr &e) {
    std::vector<int> s, a;
    collect_states(e, s);
    collect_inters(e, a);
    return s.empty() && a.empty();
}

// Comparisons of time with a value that does not change during the run, in e.
void time_comparisons(const Expr &e, int time, std::vector<Expr> &out, std::set<const Node *> &seen) {
    if (!seen.insert(e.get()).second) return;
    const bool compare = e->op == Op::Lt || e->op == Op::Le || e->op == Op::Gt || e->op == Op::Ge;
    if (compare) {
        const Expr &l = e->args[0], &r = e->args[1];
        const bool left = l->op == Op::State && l->index == time && reads_no_state(r);
        const bool right = r->op == Op::State && r->index == time && reads_no_state(l);
        if (left || right) {
            out.push_back(e);
            return;
        }
    }
    for (const Expr &c : e->args) time_comparisons(c, time, out, seen);
}

// The comparisons inside a trigger made of several (with and, or, not, xor).
void parts_of(const Expr &e, std::vector<Expr> &out) {
    switch (e->op) {
    case Op::Lt:
    case Op::Le:
    case Op::Gt:
    case Op::Ge: out.push_back(e); return;
    default:
        for (const Expr &c : e->args) parts_of(c, out);
    }
}

ImportedAssignment assignment_of(const Translation &t, const ImportedAssignment &proto, const std::string &id,
                              const std::string &event) {
    auto it = t.symbols.find(id);
    const std::string where = "assignment to " + in_quotes(id) + " of event " + event;
    if (it == t.symbols.end()) refuse(where + " (unknown id)");
    const Expr &sym = it->second;
    ImportedAssignment a = proto;
    if (sym->op == Op::State) {
        a.state = sym->index;
    } else if (sym->op == Op::Div && sym->args[0]->op == Op::State) {
        // A species held as an amount whose value is its concentration.
        a.state = sym->args[0]->index;
        a.size = sym->args[1];
    } else if (sym->op == Op::Inter) {
        refuse(where + " (an assignment rule gives its value)");
    } else {
        refuse(where + " (its value is constant)");
    }
    if (a.state == t.out.time_index()) refuse(where + " (time cannot be assigned)");
    return a;
}

}  // namespace

void collect_event_targets(Translation &t) {
    for (unsigned i = 0; i < t.model.getNumEvents(); ++i) {
        const Event *e = t.model.getEvent(i);
        for (unsigned k = 0; k < e->getNumEventAssignments(); ++k) {
            const ::EventAssignment *ea = e->getEventAssignment(k);
            if (ea->isSetMath()) t.event_targets.insert(ea->getVariable());
        }
    }
}

void read_events(Translation &t) {
    for (unsigned i = 0; i < t.model.getNumEvents(); ++i) {
        const Event *e = t.model.getEvent(i);
        const std::string name = label(e, i);
        const Trigger *trig = e->getTrigger();
        if (!trig || !trig->isSetMath()) {
            t.out.notes.push_back("event " + name + " has no trigger and never fires");
            continue;
        }
        ImportedEvent ev;
        ev.id = name;
        ev.trigger = math_of(t, trig->getMath(), nullptr, "trigger of event " + name);
        ev.guide = guide_of(ev.trigger);
        ev.initial_value = !trig->isSetInitialValue() || trig->getInitialValue();
        ev.persistent = !trig->isSetPersistent() || trig->getPersistent();
        ev.trigger_values = !e->isSetUseValuesFromTriggerTime() || e->getUseValuesFromTriggerTime();
        if (e->isSetDelay() && e->getDelay()->isSetMath())
            ev.delay = math_of(t, e->getDelay()->getMath(), nullptr, "delay of event " + name);
        if (e->isSetPriority() && e->getPriority()->isSetMath())
            ev.priority = math_of(t, e->getPriority()->getMath(), nullptr, "priority of event " + name);
        for (unsigned k = 0; k < e->getNumEventAssignments(); ++k) {
            const ::EventAssignment *ea = e->getEventAssignment(k);
            if (!ea->isSetMath()) {
                t.out.notes.push_back("assignment to " + in_quotes(ea->getVariable()) + " of event " + name +
                                      " has no math and is ignored");
                continue;
            }
            const std::string where = "assignment to " + in_quotes(ea->getVariable()) + " of event " + name;
            ImportedAssignment proto;
            proto.value = math_of(t, ea->getMath(), nullptr, where);
            ev.assignments.push_back(assignment_of(t, proto, ea->getVariable(), name));
        }
        // A resized compartment keeps the amounts of the species held as concentrations in it.
        for (unsigned k = 0; k < e->getNumEventAssignments(); ++k) {
            const ::EventAssignment *ea = e->getEventAssignment(k);
            if (!ea->isSetMath() || !t.model.getCompartment(ea->getVariable())) continue;
            const Expr size = t.symbols.at(ea->getVariable());
            for (unsigned i = 0; i < t.model.getNumSpecies(); ++i) {
                const Species *sp = t.model.getSpecies(i);
                if (sp->getCompartment() != ea->getVariable() || sp->getHasOnlySubstanceUnits()) continue;
                const auto st = t.state_of.find(sp->getId());
                if (st == t.state_of.end() || t.state_is_amount[sp->getId()]) continue;
                const bool assigned = std::any_of(ev.assignments.begin(), ev.assignments.end(),
                                                  [&](const ImportedAssignment &a) { return a.state == st->second; });
                if (!assigned) ev.rescaled.push_back({st->second, nullptr, size});
            }
        }
        if (ev.assignments.size() > kMaxEventValues)
            refuse("event " + name + " (more than " + std::to_string(kMaxEventValues) + " assignments)");
        t.out.events.push_back(std::move(ev));
    }
    // A trigger made of several comparisons may be true only between two steps (a window such as
    // a < x && x < b), where no sign of its guide shows it: the solvers also stop where each of
    // its comparisons changes, and the triggers are looked at there.
    std::set<std::string> seen;
    std::vector<ImportedEvent> parts;
    for (const ImportedEvent &ev : t.out.events) {
        if (ev.trigger->op != Op::And && ev.trigger->op != Op::Or && ev.trigger->op != Op::Xor) continue;
        std::vector<Expr> cs;
        parts_of(ev.trigger, cs);
        for (const Expr &c : cs) {
            const std::string text = to_c(c);
            if (!seen.insert(text).second) continue;
            ImportedEvent sw;
            sw.id = "part of the trigger of event " + ev.id;
            sw.switch_only = true;
            sw.trigger = c;
            sw.guide = guide_of(c);
            parts.push_back(std::move(sw));
        }
    }
    for (ImportedEvent &sw : parts) t.out.events.push_back(std::move(sw));
}

void switching_conditions(Translation &t) {
    const int time = t.out.time_index();
    std::vector<Expr> found;
    std::set<const Node *> seen;
    for (const auto &s : t.out.states) time_comparisons(s.rhs, time, found, seen);
    for (const auto &a : t.out.inters) time_comparisons(a.def, time, found, seen);
    // One stop per switching time, however many conditions compare with it.
    std::set<std::string> times;
    for (const Expr &c : found) {
        const Expr g = guide_of(c);
        const Expr at = c->args[0]->op == Op::State && c->args[0]->index == time ? c->args[1] : c->args[0];
        if (!times.insert(to_c(at)).second) continue;
        ImportedEvent ev;
        ev.id = "switch at time " + to_c(at);
        ev.switch_only = true;
        ev.trigger = c;
        ev.guide = g;
        t.out.events.push_back(std::move(ev));
    }
}

}  // namespace qv::sbml::detail
