// Initial values: every state, parameter and intermediate at the start, each computed once, in
// the order of what it reads. A value comes from its attribute (species convert between amount
// and concentration with the size of their compartment at the start), from an initial
// assignment, or, for an intermediate, from its assignment rule or kinetic law; any of them may
// read any other value at the start.
#include <cmath>
#include <unordered_set>

#include "translation_state.h"

namespace qv::sbml::detail {

namespace {

// How one value at the start is computed: value, then times or over the compartment size.
struct StartRule {
    using Scale = StartStep::Scale;
    Expr value;
    Scale scale = Scale::None;
    Expr size;
    bool attribute = false;
};

// The values the start state is made of, numbered together: states 1..n as 0..n-1, then the
// parameters, then the intermediates.
class StartGraph {
public:
    StartGraph(const ImportedModel &m) : n_(m.states.size()), np_(m.params.size()), rules_(n_ + np_ + m.inters.size()) {}

    size_t state_node(int k) const { return static_cast<size_t>(k - 1); }
    size_t param_node(int k) const { return n_ + static_cast<size_t>(k - 1); }
    size_t inter_node(int k) const { return n_ + np_ + static_cast<size_t>(k); }
    size_t size() const { return rules_.size(); }
    StartRule &rule(size_t node) { return rules_[node]; }

    // The nodes a rule reads.
    std::vector<size_t> reads(size_t node) const {
        std::vector<size_t> out;
        std::unordered_set<const Node *> seen;
        const StartRule &r = rules_[node];
        for (const Expr *e : {&r.value, &r.size})
            if (*e) walk(*e, seen, out);
        return out;
    }

private:
    size_t n_, np_;
    std::vector<StartRule> rules_;

    void walk(const Expr &e, std::unordered_set<const Node *> &seen, std::vector<size_t> &out) const {
        if (!seen.insert(e.get()).second) return;
        switch (e->op) {
        case Op::State: out.push_back(state_node(e->index)); return;
        case Op::Param: out.push_back(param_node(e->index)); return;
        case Op::Inter: out.push_back(inter_node(e->index)); return;
        default:
            for (const auto &c : e->args) walk(c, seen, out);
        }
    }
};

std::string node_name(const ImportedModel &m, size_t node) {
    const size_t n = m.states.size(), np = m.params.size();
    if (node < n) return m.states[node].id;
    if (node < n + np) return m.params[node - n].id;
    return m.inters[node - n - np].id;
}

// Depth-first, with an explicit stack (chains of rules can be long): every node after the nodes
// it reads.
std::vector<size_t> dependency_order(const StartGraph &g, const ImportedModel &m) {
    const size_t total = g.size();
    std::vector<std::vector<size_t>> deps(total);
    for (size_t k = 0; k < total; ++k) deps[k] = g.reads(k);
    std::vector<size_t> order;
    std::vector<int> mark(total, 0);   // 0 new, 1 in progress, 2 done
    for (size_t root = 0; root < total; ++root) {
        if (mark[root]) continue;
        std::vector<std::pair<size_t, size_t>> stack{{root, 0}};
        mark[root] = 1;
        while (!stack.empty()) {
            auto &[k, next] = stack.back();
            if (next < deps[k].size()) {
                const size_t d = deps[k][next++];
                if (mark[d] == 1)
                    refuse("initial values depend on each other in a cycle through " + in_quotes(node_name(m, d)));
                if (mark[d] == 0) {
                    mark[d] = 1;
                    stack.push_back({d, 0});
                }
            } else {
                mark[k] = 2;
                order.push_back(k);
                stack.pop_back();
            }
        }
    }
    return order;
}

// The leaf that holds the id's value: a species held as an amount reads as amount / size.
const Expr &holder(const Expr &sym) { return sym->op == Op::Div ? sym->args[0] : sym; }

}  // namespace

void initial_values(Translation &t) {
    ImportedModel &out = t.out;
    StartGraph g(out);
    using Scale = StartRule::Scale;
    // Attributes.
    for (size_t k = 0; k < out.states.size(); ++k) g.rule(k) = {constant(out.states[k].initial), Scale::None, nullptr, true};
    out.states.back().initial = t.opts.t_start;
    g.rule(out.states.size() - 1).value = constant(t.opts.t_start);
    for (size_t k = 0; k < out.params.size(); ++k)
        g.rule(g.param_node(static_cast<int>(k) + 1)) = {constant(out.params[k].value), Scale::None, nullptr, true};
    for (size_t k = 0; k < out.inters.size(); ++k) g.rule(g.inter_node(static_cast<int>(k))).value = out.inters[k].def;
    for (const auto &[id, k] : t.state_of) {
        if (t.ia_targets.count(id)) continue;
        const Species *s = t.model.getSpecies(id);
        const bool amount = t.state_is_amount.at(id);
        StartRule &r = g.rule(g.state_node(k));
        r.attribute = true;
        r.size = t.symbols.at(s->getCompartment());
        if (s->isSetInitialAmount()) {
            r.value = constant(s->getInitialAmount());
            r.scale = amount ? Scale::None : Scale::OverSize;
        } else {
            r.value = constant(s->getInitialConcentration());
            r.scale = amount ? Scale::TimesSize : Scale::None;
        }
        if (r.scale == Scale::None) r.size = nullptr;
    }
    // Initial assignments replace the attributes of what they set.
    for (const auto &a : t.initial_assignments) {
        const Expr &leaf = holder(t.symbols.at(a.symbol));
        size_t node = 0;
        if (leaf->op == Op::State) node = g.state_node(leaf->index);
        else if (leaf->op == Op::Param) node = g.param_node(leaf->index);
        else refuse("initial assignment for " + in_quotes(a.symbol) + " (an assignment rule gives its value)");
        StartRule &r = g.rule(node);
        r = {a.value, Scale::None, nullptr, false};
        const Species *s = t.model.getSpecies(a.symbol);
        if (s && t.state_is_amount.count(a.symbol) && t.state_is_amount.at(a.symbol) && !s->getHasOnlySubstanceUnits())
            r = {a.value, Scale::TimesSize, t.symbols.at(s->getCompartment()), false};   // a concentration, held as amount
    }

    std::vector<double> y(out.states.size() + 1, 0.0), p(out.params.size() + 1, 0.0), inter(out.inters.size(), 0.0);
    const Values v{y, p, inter};
    const size_t n = out.states.size(), np = out.params.size();
    const std::vector<size_t> order = dependency_order(g, out);
    if (t.opts.for_estimation) {
        out.start_steps.clear();
        for (size_t node : order) {
            const StartRule &r = g.rule(node);
            StartStep st;
            if (node < n) st.kind = StartStep::Kind::State, st.index = static_cast<int>(node) + 1;
            else if (node < n + np) st.kind = StartStep::Kind::Param, st.index = static_cast<int>(node - n) + 1;
            else st.kind = StartStep::Kind::Inter, st.index = static_cast<int>(node - n - np);
            st.attribute = r.attribute;
            st.value = r.value;
            st.scale = r.scale;
            st.size = r.size;
            out.start_steps.push_back(st);
        }
    }
    for (size_t node : order) {
        const StartRule &r = g.rule(node);
        double x = eval(r.value, v);
        if (r.scale == Scale::TimesSize) x *= eval(r.size, v);
        if (r.scale == Scale::OverSize) x /= eval(r.size, v);
        if (node < n) y[node + 1] = x;
        else if (node < n + np) p[node - n + 1] = x;
        else inter[node - n - np] = x;
    }
    for (size_t k = 0; k < n; ++k) out.states[k].initial = y[k + 1];
    for (size_t k = 0; k < np; ++k) out.params[k].value = p[k + 1];
}

namespace {

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

}  // namespace

void check_start_state(const Translation &t) {
    const ImportedModel &out = t.out;
    const StartValues v = start_values(out);
    for (size_t k = 0; k < out.states.size(); ++k)
        if (!std::isfinite(out.states[k].initial))
            refuse("initial value of " + in_quotes(out.states[k].id) + " is not finite (" +
                   std::to_string(out.states[k].initial) + ")");
    for (size_t k = 0; k < out.inters.size(); ++k)
        if (!std::isfinite(v.a[k]))
            refuse((out.inters[k].what == "kinetic law" ? "kinetic law of reaction " : "assignment rule for ") +
                   in_quotes(out.inters[k].id) + " is not finite at the start state (division by zero?)");
    for (size_t k = 0; k < out.states.size(); ++k)
        if (!std::isfinite(eval(out.states[k].rhs, {v.y, v.p, v.a})))
            refuse("rate of change of " + in_quotes(out.states[k].id) + " is not finite at the start state (division by zero?)");
}

}  // namespace qv::sbml::detail
