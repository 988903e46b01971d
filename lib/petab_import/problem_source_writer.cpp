// Writing the model source of a PEtab problem. The equations are printed with the parameters as
// an array P[1..] (the slots of problem_translation.h), so that every experiment can run with
// its own values; the problem's tables become constant arrays of quorvant/petab_sim types.
#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "quorvant/petab_import/problem_source_writer.h"
#include "quorvant/sbml/expr_derivative.h"
#include "quorvant/sbml/event_source_writer.h"
#include "quorvant/sbml/expr_print.h"
#include "quorvant/sbml/model_jacobian.h"
#include "quorvant/sbml/model_source_writer.h"

namespace qv::petab_import {

namespace {

using qv::sbml::ParamLeaves;
using qv::sbml::StartStep;

std::string num(double v) { return qv::sbml::to_c(qv::sbml::constant(v)); }

// The parts one after the other (appending, which optimised g++ 12 builds do not mistake for
// overlapping copies as it does some chains of +).
std::string cat(std::initializer_list<std::string_view> parts) {
    std::string s;
    for (std::string_view p : parts) s += p;
    return s;
}

std::string str(int v) { return std::to_string(v); }

std::string c_of(const qv::sbml::Expr &e, int slots = 0) {
    return qv::sbml::to_c(e, ParamLeaves::Array, slots > 0 ? slots + 1 : 0);
}

// A C string literal of an id (ids hold only letters, digits and '_'; anything else is escaped).
std::string literal(const std::string &s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7e) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string value_ref(const Value &v) {
    return cat({"{", str(v.formula >= 0 ? -2 - v.formula : v.theta), ", ", num(v.value), "}"});
}

const char *scale_enum(qv::petab::Scale s) {
    switch (s) {
    case qv::petab::Scale::Log: return "Scale::Log";
    case qv::petab::Scale::Log10: return "Scale::Log10";
    case qv::petab::Scale::Lin: break;
    }
    return "Scale::Lin";
}

const char *transform_enum(qv::petab::Transform t) {
    switch (t) {
    case qv::petab::Transform::Log: return "Transform::Log";
    case qv::petab::Transform::Log10: return "Transform::Log10";
    case qv::petab::Transform::Lin: break;
    }
    return "Transform::Lin";
}

const char *noise_enum(qv::petab::Noise n) { return n == qv::petab::Noise::Laplace ? "Noise::Laplace" : "Noise::Normal"; }

const char *prior_enum(qv::petab::PriorType p) {
    using P = qv::petab::PriorType;
    switch (p) {
    case P::Uniform: return "PriorKind::Uniform";
    case P::Normal: return "PriorKind::Normal";
    case P::Laplace: return "PriorKind::Laplace";
    case P::LogNormal: return "PriorKind::LogNormal";
    case P::LogLaplace: return "PriorKind::LogLaplace";
    case P::ParameterScaleUniform: return "PriorKind::ParameterScaleUniform";
    case P::ParameterScaleNormal: return "PriorKind::ParameterScaleNormal";
    case P::ParameterScaleLaplace: return "PriorKind::ParameterScaleLaplace";
    case P::Cauchy: return "PriorKind::Cauchy";
    case P::ChiSquared: return "PriorKind::ChiSquared";
    case P::Exponential: return "PriorKind::Exponential";
    case P::Gamma: return "PriorKind::Gamma";
    case P::LogUniform: return "PriorKind::LogUniform";
    case P::Rayleigh: return "PriorKind::Rayleigh";
    case P::None: break;
    }
    return "PriorKind::Uniform";
}

std::string header(const TranslatedProblem &t, const std::string &path) {
    const auto &m = t.model;
    std::string s;
    s += "// Model source written by petab_import from " + path + " (SBML model '" + m.model_id + "').\n";
    s += "// Import the problem again rather than editing this file: petab_import keeps a file whose\n";
    s += "// fingerprint (last line) no longer matches its contents unless it is given --force.\n//\n";
    s += "// State variables y[k]:\n";
    for (size_t k = 0; k < m.states.size(); ++k)
        s += "//   y[" + std::to_string(k + 1) + "]  " + m.states[k].id + "  (" + m.states[k].what + ")\n";
    s += "// Parameter slots P[k]:\n";
    for (size_t k = 0; k < t.slot_ids.size(); ++k) s += "//   P[" + std::to_string(k + 1) + "]  " + t.slot_ids[k] + "\n";
    s += "// Estimated parameters (the search variables, on their parameterScale), in the model input\n";
    s += "// file's PARAM " + theta_name(0) + " (values 1..):\n";
    for (size_t k = 0; k < t.theta.size(); ++k)
        s += "//   " + std::to_string(k) + "  " + t.theta[k]->id + "\n";
    return s;
}

std::string equations(const TranslatedProblem &t) {
    const auto &m = t.model;
    const size_t n = m.states.size();
    std::string s;
    s += "// Assignment-rule values and reaction rates at state y.\n";
    s += "inline void intermediates([[maybe_unused]] const double *P, [[maybe_unused]] const double *y,\n";
    s += "                          [[maybe_unused]] double *a) {\n";
    for (size_t k = 0; k < m.inters.size(); ++k)
        s += "    a[" + std::to_string(k) + "] = " + c_of(m.inters[k].def) + ";   // " + m.inters[k].id + "\n";
    s += "}\n\n";
    s += "void rhs([[maybe_unused]] const double *P, [[maybe_unused]] const double *y, double *dydt) {\n";
    s += "    double a[kIntermediates > 0 ? kIntermediates : 1];\n";
    s += "    intermediates(P, y, a);\n";
    for (size_t k = 0; k < n; ++k)
        s += "    dydt[" + std::to_string(k + 1) + "] = " + c_of(m.states[k].rhs) + ";   // " + m.states[k].id + "\n";
    s += "}\n\n";
    s += "// The non-zero entries of the Jacobian, row-major from 0, differentiated symbolically.\n";
    s += "void jac([[maybe_unused]] const double *P, [[maybe_unused]] const double *y, [[maybe_unused]] double *J) {\n";
    std::string pattern = "const int kJacIndex[] = {";
    int entries = 0;
    for (const auto &e : qv::sbml::jacobian(qv::sbml::inlined_rhs(m))) {
        const std::string at = std::to_string(static_cast<size_t>(e.row - 1) * n + static_cast<size_t>(e.col - 1));
        s += "    J[" + at + "] = " + c_of(e.value) + ";\n";
        pattern += at + ", ";
        ++entries;
    }
    s += "}\n\n";
    s += "// Where jac writes: the entries that can be non-zero.\n";
    s += "constexpr int kJacEntries = " + std::to_string(entries) + ";\n";
    s += pattern + "0};\n\n";
    return s;
}

std::string start_function(const TranslatedProblem &t) {
    const auto &m = t.model;
    std::string s;
    s += "// The start state in dependency order: a state from its set value or its model value, a\n";
    s += "// parameter from its initial assignment unless it was set, every intermediate.\n";
    s += "void start([[maybe_unused]] double *P, [[maybe_unused]] const unsigned char *p_fixed,\n";
    s += "           [[maybe_unused]] const double *y_set, [[maybe_unused]] double *y) {\n";
    s += "    [[maybe_unused]] double a[kIntermediates > 0 ? kIntermediates : 1];\n";
    for (const StartStep &st : m.start_steps) {
        const std::string k = std::to_string(st.index);
        std::string v = c_of(st.value);
        if (st.scale == StartStep::Scale::TimesSize) v = "(" + v + ") * (" + c_of(st.size) + ")";
        if (st.scale == StartStep::Scale::OverSize) v = "(" + v + ") / (" + c_of(st.size) + ")";
        switch (st.kind) {
        case StartStep::Kind::State: {
            const auto &state = m.states[static_cast<size_t>(st.index) - 1];
            std::string set = "y_set[" + k + "]";
            if (state.size) set += " * (" + c_of(state.size) + ")";
            s += "    y[" + k + "] = std::isnan(y_set[" + k + "]) ? " + v + " : " + set + ";   // " + state.id + "\n";
            break;
        }
        case StartStep::Kind::Param:
            if (st.attribute) break;
            s += "    if (!p_fixed[" + k + "]) P[" + k + "] = " + v + ";   // " + t.slot_ids[static_cast<size_t>(st.index) - 1] + "\n";
            break;
        case StartStep::Kind::Inter:
            s += "    a[" + k + "] = " + v + ";\n";
            break;
        }
    }
    s += "}\n\n";
    s += "// State k set to value, given in the species' SBML units.\n";
    s += "void set_state(int k, double value, [[maybe_unused]] const double *P, double *y) {\n";
    s += "    switch (k) {\n";
    for (size_t k = 0; k < m.states.size(); ++k)
        if (m.states[k].size)
            s += "    case " + std::to_string(k + 1) + ": y[" + std::to_string(k + 1) + "] = value * (" + c_of(m.states[k].size) +
                 "); return;\n";
    s += "    default: y[k] = value; return;\n";
    s += "    }\n}\n\n";
    return s;
}

std::string observe_function(const TranslatedProblem &t) {
    std::string s;
    s += "// Observable k at state y (q: the measurement's observable parameters, then its noise parameters).\n";
    s += "void observe(int k, [[maybe_unused]] const double *P, [[maybe_unused]] const double *y,\n";
    s += "             [[maybe_unused]] const double *q, double *value, double *sigma) {\n";
    s += "    double a[kIntermediates > 0 ? kIntermediates : 1];\n";
    s += "    intermediates(P, y, a);\n";
    s += "    switch (k) {\n";
    for (size_t k = 0; k < t.observables.size(); ++k) {
        const auto &o = t.observables[k];
        s += "    case " + std::to_string(k) + ":   // " + o.id + "\n";
        s += "        *value = " + c_of(o.value, t.slots()) + ";\n";
        s += "        *sigma = " + c_of(o.sigma, t.slots()) + ";\n";
        s += "        return;\n";
    }
    s += "    default: *value = NAN; *sigma = NAN; return;\n";
    s += "    }\n}\n\n";
    return s;
}

std::string formula_function(const TranslatedProblem &t) {
    std::string s;
    s += "// Formula k of the estimated parameters (q), the parameters (P) and the state (y).\n";
    s += "double formula(int k, [[maybe_unused]] const double *q, [[maybe_unused]] const double *P,\n";
    s += "               [[maybe_unused]] const double *y) {\n";
    s += "    [[maybe_unused]] double a[kIntermediates > 0 ? kIntermediates : 1];\n";
    if (!t.formulas.empty()) s += "    intermediates(P, y, a);\n";
    s += "    switch (k) {\n";
    for (size_t k = 0; k < t.formulas.size(); ++k)
        s += cat({"    case ", str(static_cast<int>(k)), ": return ", c_of(t.formulas[k], t.slots()), ";\n"});
    s += "    default: return NAN;\n";
    s += "    }\n}\n\n";
    return s;
}

// The intermediates with the earlier ones substituted, for expressions to differentiate.
std::vector<qv::sbml::Expr> inlined_intermediates(const qv::sbml::ImportedModel &m) {
    std::vector<qv::sbml::Expr> defs;
    for (const auto &it : m.inters) defs.push_back(qv::sbml::inline_inters(it.def, defs));
    return defs;
}

// The right-hand sides' derivatives with respect to the parameter slots, as a list of entries
// (row, slot) and one function that fills their values in list order.
std::string dfdp_function(const TranslatedProblem &t) {
    const auto rhs = qv::sbml::inlined_rhs(t.model);
    std::string rows = "const int kDfdpRow[] = {", slots = "const int kDfdpSlot[] = {", body;
    int count = 0;
    for (size_t i = 0; i < rhs.size(); ++i) {
        std::vector<int> ps;
        qv::sbml::collect_params(rhs[i], ps);
        for (int k : ps) {
            if (k < 1 || k > t.slots()) continue;
            qv::sbml::Expr d = qv::sbml::derivative_param(rhs[i], k);
            if (qv::sbml::is_zero(d)) continue;
            rows += str(static_cast<int>(i)) + ", ";
            slots += str(k) + ", ";
            body += cat({"    v[", str(count), "] = ", c_of(d), ";\n"});
            ++count;
        }
    }
    std::string s = "// The non-zero derivatives of the right-hand sides by the parameter slots: entry e is\n";
    s += "// d dydt[kDfdpRow[e] + 1] / d P[kDfdpSlot[e]].\n";
    s += "constexpr int kDfdpEntries = " + str(count) + ";\n";
    s += rows + "0};\n" + slots + "0};\n";
    s += "void dfdp([[maybe_unused]] const double *P, [[maybe_unused]] const double *y, [[maybe_unused]] double *v) {\n";
    s += body + "}\n\n";
    return s;
}

// Derivatives of observable k's value and noise parameter: dv[i - 1] by y[i] (i = 1..n), then
// dv[n + j - 1] by parameter leaf j (the slots, then the placeholders). Only the entries that can
// be non-zero are written; the caller zeroes the arrays.
std::string observe_derivative_function(const TranslatedProblem &t) {
    const auto defs = inlined_intermediates(t.model);
    const size_t n = t.model.states.size();
    std::string s;
    s += "void observe_derivatives(int k, [[maybe_unused]] const double *P, [[maybe_unused]] const double *y,\n";
    s += "                         [[maybe_unused]] const double *q, [[maybe_unused]] double *dv,\n";
    s += "                         [[maybe_unused]] double *ds) {\n";
    s += "    switch (k) {\n";
    auto entries = [&](const qv::sbml::Expr &e0, const char *out) {
        const qv::sbml::Expr e = qv::sbml::inline_inters(e0, defs);
        std::string b;
        std::vector<int> ys, ps;
        qv::sbml::collect_states(e, ys);
        qv::sbml::collect_params(e, ps);
        for (int i : ys) {
            qv::sbml::Expr d = qv::sbml::derivative(e, i);
            if (!qv::sbml::is_zero(d)) b += cat({"        ", out, "[", str(i - 1), "] = ", c_of(d, t.slots()), ";\n"});
        }
        for (int j : ps) {
            qv::sbml::Expr d = qv::sbml::derivative_param(e, j);
            if (!qv::sbml::is_zero(d))
                b += cat({"        ", out, "[", str(static_cast<int>(n) + j - 1), "] = ", c_of(d, t.slots()), ";\n"});
        }
        return b;
    };
    for (size_t k = 0; k < t.observables.size(); ++k) {
        const auto &o = t.observables[k];
        s += "    case " + std::to_string(k) + ":   // " + o.id + "\n";
        s += entries(o.value, "dv");
        s += entries(o.sigma, "ds");
        s += "        return;\n";
    }
    s += "    default: return;\n";
    s += "    }\n}\n\n";
    return s;
}

std::string tables(const TranslatedProblem &t, const SolverSettings &settings) {
    std::string s;
    s += "const double kBase[kSlots + 1] = {0.0";
    for (size_t k = 1; k < t.base.size(); ++k) s += ", " + num(t.base[k]);
    s += "};\n";
    s += "const ParamSet kEstimatedSlots[] = {";
    for (const auto &e : t.estimated_slots) s += "{" + std::to_string(e.param) + ", " + value_ref(e.value) + "}, ";
    s += "{}};\n";
    std::string priors = "const double kPriorParameters[] = {";
    std::string theta = "const Estimated kThetaTable[] = {\n";
    int prior_at = 0;
    for (const auto *p : t.theta) {
        const bool has = p->objective.type != qv::petab::PriorType::None;
        const int np = has ? static_cast<int>(p->objective.parameters.size()) : 0;
        for (int k = 0; k < np; ++k) priors += num(p->objective.parameters[static_cast<size_t>(k)]) + ", ";
        theta += "    {" + literal(p->id) + ", " + scale_enum(p->scale) + ", " + num(qv::petab::to_scale(p->scale, p->lower)) +
                 ", " + num(qv::petab::to_scale(p->scale, p->upper)) + ", " + (has ? "true" : "false") + ", " +
                 prior_enum(p->objective.type) + ", kPriorParameters + " + std::to_string(prior_at) + ", " +
                 std::to_string(np) + ", " + (p->objective.truncated ? "true" : "false") + ", " + num(p->lower) + ", " +
                 num(p->upper) + "},\n";
        prior_at += np;
    }
    s += priors + "0.0};\n";
    s += theta + "    {}};\n";
    // Periods and their changes.
    std::string params = "const ParamSet kPeriodParams[] = {", states = "const StateSet kPeriodStates[] = {";
    std::string periods = "const Period kPeriods[] = {\n", times = "const double kTimes[] = {";
    std::string experiments = "const Experiment kExperiments[] = {\n";
    int np = 0, ns = 0, nper = 0, nt = 0;
    for (const auto &e : t.experiments) {
        const int first_period = nper;
        for (const auto &p : e.periods) {
            const int p0 = np, s0 = ns;
            for (const auto &c : p.params) params += cat({"{", str(c.param), ", ", value_ref(c.value), "}, "}), ++np;
            for (const auto &c : p.states) states += cat({"{", str(c.state), ", ", value_ref(c.value), "}, "}), ++ns;
            periods += "    {" + num(p.start) + ", kPeriodParams + " + std::to_string(p0) + ", " + std::to_string(np - p0) +
                       ", kPeriodStates + " + std::to_string(s0) + ", " + std::to_string(ns - s0) + "},\n";
            ++nper;
        }
        const int t0 = nt;
        for (double x : e.times) times += num(x) + ", ", ++nt;
        experiments += "    {" + literal(e.id) + ", kPeriods + " + std::to_string(first_period) + ", " +
                       std::to_string(nper - first_period) + ", kTimes + " + std::to_string(t0) + ", " +
                       std::to_string(nt - t0) + "},\n";
    }
    s += params + "{}};\n" + states + "{}};\n" + periods + "    {}};\n" + times + "0.0};\n" + experiments + "    {}};\n";
    // Measurements.
    std::string refs = "const ValueRef kRefs[] = {", data = "const Datum kData[] = {\n";
    int nr = 0;
    for (const auto &d : t.data) {
        const auto &o = t.observables[static_cast<size_t>(d.observable)];
        const int r0 = nr;
        for (const auto &v : d.observable_parameters) refs += value_ref(v) + ", ", ++nr;
        const int r1 = nr;
        for (const auto &v : d.noise_parameters) refs += value_ref(v) + ", ", ++nr;
        data += "    {" + std::to_string(d.experiment) + ", " + std::to_string(d.time) + ", " + std::to_string(d.observable) +
                ", " + num(d.value) + ", kRefs + " + std::to_string(r0) + ", " + std::to_string(r1 - r0) + ", kRefs + " +
                std::to_string(r1) + ", " + std::to_string(nr - r1) + ", " + transform_enum(o.transform) + ", " +
                noise_enum(o.noise) + "},\n";
    }
    s += refs + "{}};\n" + data + "    {}};\n\n";
    s += "const Problem kProblem = {\n";
    s += "    {kStates, kSlots, " + std::to_string(t.model.time_index()) +
         ", rhs, jac, start, set_state, observe, formula,\n";
    s += "     kJacEntries, kJacIndex, kDfdpEntries, kDfdpRow, kDfdpSlot, dfdp, observe_derivatives,\n";
    if (t.model.events.empty())
        s += "     0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},\n";
    else
        s += "     kEventCount, kEvents, event_triggers, event_delay, event_priority, event_values, event_assign},\n";
    s += "    kBase, kEstimatedSlots, " + std::to_string(t.estimated_slots.size()) + ", kThetaTable, kTheta,\n";
    s += "    kExperiments, " + std::to_string(t.experiments.size()) + ", kData, " + std::to_string(t.data.size()) + ",\n";
    s += "    " + num(settings.atol) + ", " + num(settings.rtol) + "};\n\n";
    return s;
}

}  // namespace

std::string theta_name(int block) { return block == 0 ? "theta" : "theta_" + std::to_string(block + 1); }

std::string problem_source(const TranslatedProblem &t, const std::string &problem_path, const SolverSettings &settings) {
    std::string s = header(t, problem_path);
    s += R"(
#include <cmath>
#include <cfloat>

#include "quorvant/common/logUtil.h"
#include "quorvant/model.h"
#include "quorvant/model_objective.h"
#include "quorvant/petab_sim/experiment_simulation.h"
#include "quorvant/petab_sim/local_refinement.h"
#include "quorvant/petab_sim/objective.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/sbml_runtime/special_functions.h"

namespace {

using namespace qv::petab_sim;
using qv::petab_runtime::Noise;
using qv::petab_runtime::PriorKind;
using qv::petab_runtime::Transform;

)";
    s += "constexpr int kStates = " + std::to_string(t.model.states.size()) + ";\n";
    s += "constexpr int kSlots = " + std::to_string(t.slots()) + ";\n";
    s += "constexpr int kIntermediates = " + std::to_string(t.model.inters.size()) + ";\n";
    s += "constexpr int kTheta = " + std::to_string(t.theta.size()) + ";\n";
    s += "constexpr int kThetaPerName = " + std::to_string(kThetaPerName) + ";\n\n";
    s += qv::sbml::math_helpers() + "\n";
    s += equations(t);
    s += start_function(t);
    s += observe_function(t);
    s += formula_function(t);
    s += dfdp_function(t);
    s += observe_derivative_function(t);
    s += qv::sbml::problem_event_source(t.model);
    s += tables(t, settings);
    s += R"(// The estimated parameters of a parameter record: values 1.. of the PARAMs theta, theta_2, ...
void genes_of(const parameter *p, double *x) {
    static int first = 0;
    if (first == 0) first = Name2Pno("theta");
    for (int k = 0; k < kTheta; ++k) x[k] = p->val[first + k / kThetaPerName][1 + k % kThetaPerName];
}

Workspace &workspace() {
    static Workspace w;
    static bool ready = false;
    if (!ready) {
        prepare_workspace(kProblem, w);
        ready = true;
    }
    return w;
}

double genes[kTheta > 0 ? kTheta : 1];
long failed_evaluations = 0;

// The parameters of the first experiment at the record's values, for a plain time course.
const double *plain_parameters(const parameter *p) {
    genes_of(p, genes);
    experiment_parameters(kProblem, 0, genes, workspace());
    return workspace().P.data();
}

}  // namespace

// The log-likelihood of the measurements plus the log prior. A simulation that fails gives the
// worst fitness there is; the failures are counted on the log (at 1, 2, 4, 8, ... of them).
extern "C" int qv_model_objective(parameter *p, double *fitness) {
    genes_of(p, genes);
    const ObjectiveValue v = evaluate(kProblem, genes, workspace());
    const double f = v.llh + v.log_prior;
    if (v.failed > 0 || !std::isfinite(f)) {
        ++failed_evaluations;
        if ((failed_evaluations & (failed_evaluations - 1)) == 0)
            log_sys(" ## petab: %ld evaluation(s) failed so far (%s)\n", failed_evaluations,
                    v.failure.empty() ? "objective not finite" : v.failure.c_str());
        *fitness = -DBL_MAX;
        return 0;
    }
    *fitness = f;
    return 0;
}

// A local refinement of one individual (x: the search variables, which are the estimated
// parameters in table order) with at most budget evaluations; x and the fitness become the
// refined point's, never worse than the given one.
extern "C" int qv_model_refine(parameter *p, double *x, int n, long budget, double *fitness, qv_refine_count *count) {
    genes_of(p, genes);
    for (int k = 0; k < kTheta; ++k)
        if (n != kTheta || genes[k] != x[k]) {
            log_sys(" ## petab: the refinement was given %d search variables that are not the %d estimated parameters\n", n, kTheta);
            return -1;
        }
    RefinementSettings settings;
    settings.max_evaluations = static_cast<int>(budget < 1 ? 1 : (budget > 1000000000L ? 1000000000L : budget));
    // The search refines hundreds of points: each stops once its gains fall below 1e-6 of the
    // objective, rather than crawling along a flat valley to the end of its budget. The refinement
    // after the search goes on to the default tolerance.
    settings.tolerance = 1.0e-6;
    const std::vector<double> start(x, x + n);
    static GradientWork sensitivities;   // its buffers kept from one refinement to the next
    const RefinementResult r = refine(kProblem, start, settings, workspace(), sensitivities);
    ++count->refinements;
    count->evaluations += r.evaluations;
    count->gradients += r.gradients;
    const double f0 = std::isfinite(r.start_objective) ? r.start_objective : -DBL_MAX;
    if (std::isfinite(r.objective) && r.objective > f0) {
        for (int k = 0; k < n; ++k) x[k] = r.x[static_cast<size_t>(k)];
        *fitness = r.objective;
    } else {
        *fitness = std::isfinite(f0) ? f0 : -DBL_MAX;
    }
    return 0;
}

extern "C" void usr_fvec(double *dydt, double *y, double /*g*/, parameter *p) { rhs(plain_parameters(p), y, dydt); }

extern "C" void usr_fjac(double **J, double *y, double /*g*/, parameter *p) {
    static double dense[kStates * kStates];
    for (double &v : dense) v = 0.0;
    jac(plain_parameters(p), y, dense);
    for (int i = 0; i < kStates; ++i)
        for (int j = 0; j < kStates; ++j)
            if (dense[i * kStates + j] != 0.0) J[i + 1][j + 1] = dense[i * kStates + j];
}

// The problem itself, for the evaluation driver.
extern "C" const qv::petab_sim::Problem *qv_petab_problem() { return &kProblem; }

// A plain time course is not scored: the searches call qv_model_objective.
extern "C" int QvUsrFitness(double ** /*solution*/, int /*numSteps*/, int /*numVar*/, int /*status*/, double *fitness) {
    *fitness = 0.0;
    return 0;
}
)";
    return s;
}

}  // namespace qv::petab_import
