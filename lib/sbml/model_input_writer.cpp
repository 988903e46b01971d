// The generated model input file: NDF solver, the sampling the importer was asked for, every
// compartment size and (local) parameter as a named PARAM, and the initial state.
#include <algorithm>
#include <cstdio>
#include <string>

#include "quorvant/sbml/model_input_writer.h"

#include "quorvant/common/limits.h"

namespace qv::sbml {

namespace {

// ---- Settings of the generated file ---------------------------------------------------------------
constexpr int kNdfSolver = 3;                 // SOLVER 3: NDF, for stiff systems
constexpr double kFirstStepFraction = 1.0e-3; // DELTA_T (the NDF solver's first step) / DELTA_M
constexpr size_t kMaxTag = qv::kTagLen - 1;   // the characters of a tag the reader keeps

std::string num(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string tag(const std::string &id) { return id.substr(0, std::min(id.size(), kMaxTag)); }

}  // namespace

std::string model_input(const ImportedModel &m, const ImportOptions &opts) {
    const double dm = (opts.t_end - opts.t_start) / opts.points;
    std::string s;
    s += "# Model input file written by sbml_import from " + m.source + " (SBML model '" + m.model_id + "').\n";
    s += "# Variables: the species (amount or concentration, see model.cpp), the rate-rule variables,\n";
    s += "# and time last. Every compartment size and (local) parameter is a PARAM: survey it or give it a\n";
    s += "# search range (type S). Initial values were computed at import: changing a parameter here does\n";
    s += "# not move an initial value that an initial assignment derived from it.\n";
    s += "SOLVER      ; " + std::to_string(kNdfSolver) + "     # NDF (stiff) solver\n";
    s += "N_VAR       ; " + std::to_string(m.states.size()) + "\n";
    s += "G_VALUE     ; 1.0\n";
    s += "T_START     ; " + num(opts.t_start) + "\n";
    s += "T_END       ; " + num(opts.t_end) + "\n";
    s += "DELTA_T     ; " + num(dm * kFirstStepFraction) + "     # first step of the NDF solver\n";
    s += "DELTA_M     ; " + num(dm) + "     # " + std::to_string(opts.points) + " output intervals\n";
    s += "NDF_RTOL    ; " + num(opts.rtol) + "\n";
    s += "NDF_ATOL    ; " + num(opts.atol) + "\n";
    // SBML gives no sign constraint: a rate-rule parameter or a species may pass through zero.
    s += "NDF_POSITIVE ; 0    # 1: reject every step that makes a variable negative\n\n";
    for (const auto &p : m.params) s += "PARAM_NAME  ; " + p.name + "\n";
    if (!m.params.empty()) s += "\n# PARAM ; name ; index ; value ; start ; steps ; type ; change ; min ; max ; tag (SBML id)\n";
    for (const auto &p : m.params) s += "PARAM ; " + p.name + " ; 1 ; " + num(p.value) + " ;;;;;;; " + tag(p.id) + "\n";
    s += "\n# Y_START ; variable ; initial value ; tag (SBML id)\n";
    for (size_t k = 0; k < m.states.size(); ++k)
        s += "Y_START ; " + std::to_string(k + 1) + " ; " + num(m.states[k].initial) + " ; " + tag(m.states[k].id) + "\n";
    return s;
}

}  // namespace qv::sbml
