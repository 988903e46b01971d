// The generated model source: usr_fvec, the exact usr_fjac, the observer and QvUsrFitness.
#include <cstdio>
#include <string>

#include "quorvant/sbml/model_source_writer.h"

#include "quorvant/sbml/event_source_writer.h"
#include "quorvant/sbml/expr_print.h"
#include "quorvant/sbml/model_jacobian.h"

namespace qv::sbml {

namespace {

std::string num(double v) {
    std::string s = to_c(constant(v));
    return s;
}

std::string header_comment(const ImportedModel &m) {
    std::string s;
    s += "// Model source written by sbml_import from " + m.source + " (SBML model '" + m.model_id + "').\n";
    s += "// Import the SBML file again rather than editing this file: sbml_import keeps a file whose\n";
    s += "// fingerprint (last line) no longer matches its contents unless it is given --force.\n//\n";
    s += "// State variables y[k]:\n";
    for (size_t k = 0; k < m.states.size(); ++k)
        s += "//   y[" + std::to_string(k + 1) + "]  " + m.states[k].id + "  (" + m.states[k].what + ")\n";
    s += "// Parameters p->val[k][1], in the order of the PARAM_NAME lines of the model input file:\n";
    for (size_t k = 0; k < m.params.size(); ++k)
        s += "//   " + std::to_string(k + 1) + "  " + m.params[k].name +
             (m.params[k].name != m.params[k].id ? "  (" + m.params[k].id + ")" : "") + "\n";
    s += "// Intermediates a[k] (assignment-rule values and reaction rates, in evaluation order):\n";
    for (size_t k = 0; k < m.inters.size(); ++k)
        s += "//   a[" + std::to_string(k) + "]  " + m.inters[k].id + "  (" + m.inters[k].what + ")\n";
    return s;
}

std::string fitness_without_data() {
    return "// No measurements were given at import (--data): every time course scores 0.\n"
           "extern \"C\" int QvUsrFitness(double ** /*solution*/, int /*numSteps*/, int /*numVar*/, int /*status*/,\n"
           "                              double *fitness) {\n"
           "    *fitness = 0.0;\n"
           "    return 0;\n"
           "}\n";
}

std::string fitness_with_data(const ImportedModel &m, const DataSet &d) {
    const size_t rows = d.times.size(), cols = d.columns.size();
    std::string s;
    s += "namespace {\n\n";
    s += "// Measurements of " + d.source + ": times, the observable of each column, and the values\n";
    s += "// (NAN where a cell was empty). Species columns hold the SBML value of the species: its amount\n";
    s += "// when it has only substance units, else its concentration.\n";
    s += "constexpr int kDataRows = " + std::to_string(rows) + ";\n";
    s += "constexpr int kDataCols = " + std::to_string(cols) + ";\n";
    s += "const double kDataTime[kDataRows] = {";
    for (size_t r = 0; r < rows; ++r) s += (r ? ", " : "") + num(d.times[r]);
    s += "};\n";
    s += "const int kDataObservable[kDataCols] = {";
    for (size_t c = 0; c < cols; ++c) s += (c ? ", " : "") + std::to_string(d.columns[c]);
    s += "};\n";
    s += "const int kDataAmount[kDataCols] = {";
    for (size_t c = 0; c < cols; ++c)
        s += std::string(c ? ", " : "") + (m.observables[static_cast<size_t>(d.columns[c])].data_in_amount ? "1" : "0");
    s += "};\n";
    s += "const double kData[kDataRows][kDataCols] = {\n";
    for (size_t r = 0; r < rows; ++r) {
        s += "    {";
        for (size_t c = 0; c < cols; ++c) s += (c ? ", " : "") + num(d.values[r][c]);
        s += "},\n";
    }
    s += "};\n\n";
    s += R"(double qv_obs_amount[kObservables > 0 ? kObservables : 1];
double qv_obs_conc[kObservables > 0 ? kObservables : 1];

}  // namespace

// Minus the sum of squared differences between the stored time course and the measurements
// (relative where the measured value is not 0): quorvant/sbml_runtime/data_fitness.h.
extern "C" int QvUsrFitness(double **solution, int numSteps, int numVar, int status, double *fitness) {
    const qv::sbml_runtime::DataTable data{kDataRows, kDataCols, kDataTime, kDataObservable, kDataAmount, &kData[0][0]};
    const qv::sbml_runtime::Observer observer{qv_sbml_observe, qv_obs_amount, qv_obs_conc};
    *fitness = qv::sbml_runtime::data_fitness(data, observer, solution, numSteps, numVar, kStates, status,
                                              qv_current_param);
    return 0;
}
)";
    return s;
}

}  // namespace

std::string math_helpers() {
    return "[[maybe_unused]] double qv_sign(double x) { return x > 0.0 ? 1.0 : (x < 0.0 ? -1.0 : 0.0); }\n"
           "[[maybe_unused]] double qv_factorial(double x) { return std::tgamma(x + 1.0); }\n"
           "[[maybe_unused]] double qv_quotient(double a, double b) { return std::trunc(a / b); }\n";
}

std::string model_source(const ImportedModel &m, const DataSet *data) {
    const size_t n = m.states.size(), na = m.inters.size(), no = m.observables.size();
    std::string s = header_comment(m);
    s += R"(
#include <cmath>

#include "quorvant/model.h"
)";
    if (!m.events.empty()) s += "#include \"quorvant/model_events.h\"\n";
    s += R"(#include "quorvant/sbml_observe.h"
#include "quorvant/sbml_runtime/data_fitness.h"
#include "quorvant/sbml_runtime/special_functions.h"

namespace {

)";
    s += "constexpr int kStates = " + std::to_string(n) + ";\n";
    s += "constexpr int kIntermediates = " + std::to_string(na) + ";\n";
    s += "constexpr int kObservables = " + std::to_string(no) + ";\n";
    s += R"(
// The record the equations last ran with: the fitness observes parameters and rule values with it.
[[maybe_unused]] parameter *qv_current_param = nullptr;

)";
    s += math_helpers();
    s += R"(
// Assignment-rule values and reaction rates at state y.
inline void qv_intermediates([[maybe_unused]] const double *y, [[maybe_unused]] const parameter *p,
                             [[maybe_unused]] double *a) {
)";
    for (size_t k = 0; k < na; ++k)
        s += "    a[" + std::to_string(k) + "] = " + to_c(m.inters[k].def) + ";   // " + m.inters[k].id + "\n";
    s += "}\n\n}  // namespace\n\n";

    s += "extern \"C\" void usr_fvec(double *dydt, double *y, double /*g*/, parameter *p) {\n";
    s += "    qv_current_param = p;\n";
    s += "    double a[kIntermediates > 0 ? kIntermediates : 1];\n";
    s += "    qv_intermediates(y, p, a);\n";
    for (size_t k = 0; k < n; ++k)
        s += "    dydt[" + std::to_string(k + 1) + "] = " + to_c(m.states[k].rhs) + ";   // " + m.states[k].id + "\n";
    s += "}\n\n";

    s += "// The non-zero entries of the Jacobian, differentiated symbolically.\n";
    s += "extern \"C\" void usr_fjac([[maybe_unused]] double **jac, [[maybe_unused]] double *y, double /*g*/,\n";
    s += "                         [[maybe_unused]] parameter *p) {\n";
    for (const auto &e : jacobian(inlined_rhs(m)))
        s += "    jac[" + std::to_string(e.row) + "][" + std::to_string(e.col) + "] = " + to_c(e.value) + ";\n";
    s += "}\n\n";
    s += event_source(m);

    s += "extern \"C\" const int qv_sbml_observable_count = kObservables;\n";
    s += "extern \"C\" const char *const qv_sbml_observable_ids[] = {";
    for (size_t k = 0; k < no; ++k) s += (k ? ", \"" : "\"") + m.observables[k].id + "\"";
    if (no == 0) s += "nullptr";
    s += "};\n";
    s += "extern \"C\" const int qv_sbml_observable_is_species[] = {";
    for (size_t k = 0; k < no; ++k) s += std::string(k ? ", " : "") + (m.observables[k].is_species ? "1" : "0");
    if (no == 0) s += "0";
    s += "};\n";
    s += "extern \"C\" const int qv_sbml_time_index = " + std::to_string(m.time_index()) + ";\n\n";
    s += "extern \"C\" void qv_sbml_observe(const double *y, parameter *p, [[maybe_unused]] double *amount,\n";
    s += "                                [[maybe_unused]] double *concentration) {\n";
    s += "    double a[kIntermediates > 0 ? kIntermediates : 1];\n";
    s += "    qv_intermediates(y, p, a);\n";
    for (size_t k = 0; k < no; ++k) {
        const auto &ob = m.observables[k];
        s += "    amount[" + std::to_string(k) + "] = " + to_c(ob.amount) + ";   // " + ob.id + "\n";
        s += "    concentration[" + std::to_string(k) + "] = " + to_c(ob.concentration) + ";\n";
    }
    s += "}\n\n";
    s += data ? fitness_with_data(m, *data) : fitness_without_data();
    return s;
}

}  // namespace qv::sbml
