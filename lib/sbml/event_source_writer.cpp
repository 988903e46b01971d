// The events of a generated model source. Each function computes the intermediates only when
// the formulas it prints read them.
#include "quorvant/sbml/event_source_writer.h"

#include <functional>

#include "quorvant/sbml/expr_print.h"

namespace qv::sbml {

namespace {

bool reads_inters(const std::vector<Expr> &es) {
    std::vector<int> a;
    for (const Expr &e : es)
        if (e) collect_inters(e, a);
    return !a.empty();
}

std::string intermediates_if(const std::vector<Expr> &es, const char *indent) {
    if (!reads_inters(es)) return "";
    std::string s = indent;
    s += "double a[kIntermediates > 0 ? kIntermediates : 1];\n";
    s += indent;
    s += "qv_intermediates(y, p, a);\n";
    return s;
}

std::string table(const ImportedModel &m) {
    std::string s = "extern \"C\" const int32_t qv_event_count = " + std::to_string(m.events.size()) + ";\n";
    s += "// initial value, persistent, values of the trigger time, delayed, prioritised, values, switch only\n";
    s += "extern \"C\" const qv_event qv_events[] = {\n";
    for (const auto &e : m.events) {
        s += "    {" + std::to_string(e.initial_value ? 1 : 0) + ", " + std::to_string(e.persistent ? 1 : 0) + ", " +
             std::to_string(e.trigger_values ? 1 : 0) + ", " + std::to_string(e.delay ? 1 : 0) + ", " +
             std::to_string(e.priority ? 1 : 0) + ", " + std::to_string(e.assignments.size()) + ", " +
             std::to_string(e.switch_only ? 1 : 0) + "},   // " + e.id + "\n";
    }
    s += "};\n\n";
    return s;
}

std::string triggers(const ImportedModel &m) {
    std::vector<Expr> all;
    for (const auto &e : m.events) all.insert(all.end(), {e.trigger, e.guide});
    std::string s = "extern \"C\" void qv_event_triggers(double /*t*/, const double *y, [[maybe_unused]] parameter *p, "
                    "int32_t *on, double *g) {\n";
    s += intermediates_if(all, "    ");
    for (size_t k = 0; k < m.events.size(); ++k) {
        const auto &e = m.events[k];
        const std::string i = std::to_string(k);
        s += "    on[" + i + "] = " + to_c(e.trigger) + " != 0.0;\n";
        s += "    g[" + i + "] = " + (e.guide ? to_c(e.guide) : "on[" + i + "] ? 1.0 : -1.0") + ";\n";
    }
    s += "}\n\n";
    return s;
}

// A function of one event's formula (delay or priority), by event.
std::string per_event(const ImportedModel &m, const char *name, const std::function<Expr(const ImportedEvent &)> &of) {
    std::vector<Expr> all;
    for (const auto &e : m.events) all.push_back(of(e));
    std::string s = "extern \"C\" double " + std::string(name) +
                    "(int32_t k, double /*t*/, [[maybe_unused]] const double *y, [[maybe_unused]] parameter *p) {\n";
    s += intermediates_if(all, "    ");
    s += "    switch (k) {\n";
    for (size_t k = 0; k < m.events.size(); ++k)
        if (all[k]) s += "    case " + std::to_string(k) + ": return " + to_c(all[k]) + ";\n";
    s += "    default: return 0.0;\n    }\n}\n\n";
    return s;
}

std::string values(const ImportedModel &m) {
    std::string s = "extern \"C\" void qv_event_values(int32_t k, double /*t*/, [[maybe_unused]] const double *y, "
                    "[[maybe_unused]] parameter *p,\n                                [[maybe_unused]] double *v) {\n";
    s += "    switch (k) {\n";
    for (size_t k = 0; k < m.events.size(); ++k) {
        const auto &e = m.events[k];
        if (e.assignments.empty()) continue;
        std::vector<Expr> all;
        for (const auto &a : e.assignments) all.push_back(a.value);
        s += "    case " + std::to_string(k) + ": {\n";
        s += intermediates_if(all, "        ");
        for (size_t i = 0; i < e.assignments.size(); ++i)
            s += "        v[" + std::to_string(i) + "] = " + to_c(e.assignments[i].value) + ";\n";
        s += "        return;\n    }\n";
    }
    s += "    default: return;\n    }\n}\n\n";
    return s;
}

// The values go to their states; a concentration held as an amount is multiplied by its
// compartment's size after the other assignments of the event.
std::string assign(const ImportedModel &m) {
    std::string s = "extern \"C\" void qv_event_assign(int32_t k, [[maybe_unused]] const double *v, [[maybe_unused]] double *y, "
                    "[[maybe_unused]] parameter *p) {\n";
    s += "    switch (k) {\n";
    for (size_t k = 0; k < m.events.size(); ++k) {
        const auto &e = m.events[k];
        if (e.assignments.empty()) continue;
        s += "    case " + std::to_string(k) + ": {\n";
        std::vector<Expr> sizes;
        for (size_t i = 0; i < e.assignments.size(); ++i) {
            const auto &a = e.assignments[i];
            if (a.size) sizes.push_back(a.size);
            else s += "        y[" + std::to_string(a.state) + "] = v[" + std::to_string(i) + "];\n";
        }
        s += intermediates_if(sizes, "        ");
        for (size_t i = 0; i < e.assignments.size(); ++i) {
            const auto &a = e.assignments[i];
            if (a.size) s += "        y[" + std::to_string(a.state) + "] = v[" + std::to_string(i) + "] * " + to_c(a.size) + ";\n";
        }
        s += "        return;\n    }\n";
    }
    s += "    default: return;\n    }\n}\n\n";
    return s;
}

}  // namespace

std::string event_source(const ImportedModel &m) {
    if (m.events.empty()) return "";
    std::string s = "// Events (quorvant/model_events.h): triggers, delays, priorities and assignments.\n";
    s += table(m);
    s += triggers(m);
    s += per_event(m, "qv_event_delay", [](const ImportedEvent &e) { return e.delay; });
    s += per_event(m, "qv_event_priority", [](const ImportedEvent &e) { return e.priority; });
    s += values(m);
    s += assign(m);
    return s;
}

}  // namespace qv::sbml
