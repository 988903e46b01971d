// The events of a generated model source. Each function computes the intermediates only when
// the formulas it prints read them.
#include "quorvant/sbml/event_source_writer.h"

#include <functional>

#include "quorvant/sbml/expr_print.h"

namespace qv::sbml {

namespace {

// How the functions are declared and what they read the parameters from: the run-time interface
// of the programs (the record p) or the model code of an estimation problem (the array P).
struct Style {
    bool record;
    std::string link, prefix, integer, params, intermediates;
    ParamLeaves leaves;
    std::string c(const Expr &e) const { return to_c(e, leaves); }
};

const Style kRecord{true, "extern \"C\" ", "qv_event_", "int32_t", "parameter *p", "qv_intermediates(y, p, a)", ParamLeaves::Record};
const Style kArray{false, "", "event_", "int", "const double *P", "intermediates(P, y, a)", ParamLeaves::Array};

bool reads_inters(const std::vector<Expr> &es) {
    std::vector<int> a;
    for (const Expr &e : es)
        if (e) collect_inters(e, a);
    return !a.empty();
}

std::string intermediates_if(const Style &st, const std::vector<Expr> &es, const char *indent) {
    if (!reads_inters(es)) return "";
    std::string s = indent;
    s += "double a[kIntermediates > 0 ? kIntermediates : 1];\n";
    s += indent + st.intermediates + ";\n";
    return s;
}

// [[maybe_unused]] parameters of the functions.
std::string unused(const std::string &decl) { return "[[maybe_unused]] " + decl; }

std::string table(const Style &st, const ImportedModel &m) {
    std::string s;
    if (st.record) s = "extern \"C\" const int32_t qv_event_count = " + std::to_string(m.events.size()) + ";\n";
    else s = "constexpr int kEventCount = " + std::to_string(m.events.size()) + ";\n";
    s += "// initial value, persistent, values of the trigger time, delayed, prioritised, values, switch only\n";
    s += st.record ? "extern \"C\" const qv_event qv_events[] = {\n" : "const qv_event kEvents[] = {\n";
    for (const auto &e : m.events) {
        s += "    {" + std::to_string(e.initial_value ? 1 : 0) + ", " + std::to_string(e.persistent ? 1 : 0) + ", " +
             std::to_string(e.trigger_values ? 1 : 0) + ", " + std::to_string(e.delay ? 1 : 0) + ", " +
             std::to_string(e.priority ? 1 : 0) + ", " + std::to_string(e.assignments.size()) + ", " +
             std::to_string(e.switch_only ? 1 : 0) + "},   // " + e.id + "\n";
    }
    s += "};\n\n";
    return s;
}

std::string triggers(const Style &st, const ImportedModel &m) {
    std::vector<Expr> all;
    for (const auto &e : m.events) all.insert(all.end(), {e.trigger, e.guide});
    std::string s = st.link + "void " + st.prefix + "triggers(double /*t*/, const double *y, " + unused(st.params) + ", " +
                    st.integer + " *on, double *g) {\n";
    s += intermediates_if(st, all, "    ");
    for (size_t k = 0; k < m.events.size(); ++k) {
        const auto &e = m.events[k];
        const std::string i = std::to_string(k);
        s += "    on[" + i + "] = " + st.c(e.trigger) + " != 0.0;\n";
        s += "    g[" + i + "] = " + (e.guide ? st.c(e.guide) : "on[" + i + "] ? 1.0 : -1.0") + ";\n";
    }
    s += "}\n\n";
    return s;
}

// A function of one event's formula (delay or priority), by event.
std::string per_event(const Style &st, const ImportedModel &m, const char *name,
                      const std::function<Expr(const ImportedEvent &)> &of) {
    std::vector<Expr> all;
    for (const auto &e : m.events) all.push_back(of(e));
    std::string s = st.link + "double " + st.prefix + name + "(" + st.integer +
                    " k, double /*t*/, [[maybe_unused]] const double *y, " + unused(st.params) + ") {\n";
    s += intermediates_if(st, all, "    ");
    s += "    switch (k) {\n";
    for (size_t k = 0; k < m.events.size(); ++k)
        if (all[k]) s += "    case " + std::to_string(k) + ": return " + st.c(all[k]) + ";\n";
    s += "    default: return 0.0;\n    }\n}\n\n";
    return s;
}

std::string values(const Style &st, const ImportedModel &m) {
    std::string s = st.link + "void " + st.prefix + "values(" + st.integer + " k, double /*t*/, [[maybe_unused]] const double *y, " +
                    unused(st.params) + ",\n                     [[maybe_unused]] double *v) {\n";
    s += "    switch (k) {\n";
    for (size_t k = 0; k < m.events.size(); ++k) {
        const auto &e = m.events[k];
        if (e.assignments.empty()) continue;
        std::vector<Expr> all;
        for (const auto &a : e.assignments) all.push_back(a.value);
        s += "    case " + std::to_string(k) + ": {\n";
        s += intermediates_if(st, all, "        ");
        for (size_t i = 0; i < e.assignments.size(); ++i)
            s += "        v[" + std::to_string(i) + "] = " + st.c(e.assignments[i].value) + ";\n";
        s += "        return;\n    }\n";
    }
    s += "    default: return;\n    }\n}\n\n";
    return s;
}

// The values go to their states; a concentration held as an amount is multiplied by its
// compartment's size after the other assignments of the event.
std::string assign(const Style &st, const ImportedModel &m) {
    std::string s = st.link + "void " + st.prefix + "assign(" + st.integer +
                    " k, [[maybe_unused]] const double *v, [[maybe_unused]] double *y, " + unused(st.params) + ") {\n";
    s += "    switch (k) {\n";
    for (size_t k = 0; k < m.events.size(); ++k) {
        const auto &e = m.events[k];
        if (e.assignments.empty()) continue;
        s += "    case " + std::to_string(k) + ": {\n";
        for (size_t i = 0; i < e.rescaled.size(); ++i)
            s += "        const double size" + std::to_string(i) + " = " + st.c(e.rescaled[i].size) + ";\n";
        std::vector<Expr> sizes;
        for (size_t i = 0; i < e.assignments.size(); ++i) {
            const auto &a = e.assignments[i];
            if (a.size) sizes.push_back(a.size);
            else s += "        y[" + std::to_string(a.state) + "] = v[" + std::to_string(i) + "];\n";
        }
        s += intermediates_if(st, sizes, "        ");
        for (size_t i = 0; i < e.assignments.size(); ++i) {
            const auto &a = e.assignments[i];
            if (a.size) s += "        y[" + std::to_string(a.state) + "] = v[" + std::to_string(i) + "] * " + st.c(a.size) + ";\n";
        }
        for (size_t i = 0; i < e.rescaled.size(); ++i)
            s += "        y[" + std::to_string(e.rescaled[i].state) + "] *= size" + std::to_string(i) + " / (" +
                 st.c(e.rescaled[i].size) + ");\n";
        s += "        return;\n    }\n";
    }
    s += "    default: return;\n    }\n}\n\n";
    return s;
}

std::string source(const Style &st, const ImportedModel &m) {
    if (m.events.empty()) return "";
    std::string s = "// Events (quorvant/model_events.h): triggers, delays, priorities and assignments.\n";
    s += table(st, m);
    s += triggers(st, m);
    s += per_event(st, m, "delay", [](const ImportedEvent &e) { return e.delay; });
    s += per_event(st, m, "priority", [](const ImportedEvent &e) { return e.priority; });
    s += values(st, m);
    s += assign(st, m);
    return s;
}

}  // namespace

std::string event_source(const ImportedModel &m) { return source(kRecord, m); }

std::string problem_event_source(const ImportedModel &m) { return source(kArray, m); }

}  // namespace qv::sbml
