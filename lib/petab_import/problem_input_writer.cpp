// The model input file and the GA parameter file of a PEtab problem.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "quorvant/common/limits.h"
#include "quorvant/petab_import/problem_input_writer.h"

namespace qv::petab_import {

namespace {

// ---- Settings of the generated files ----------------------------------------------------------------
constexpr int kNdfSolver = 3;                 // SOLVER 3: NDF, for stiff systems
constexpr int kPoints = 100;                  // output intervals of the plain time course
constexpr double kDefaultEnd = 10.0;          // its end when the first experiment measures no finite time
constexpr double kFirstStepFraction = 1.0e-3; // DELTA_T / DELTA_M
constexpr size_t kMaxTag = qv::kTagLen - 1;
constexpr int kIslands = 2;
constexpr int kMinPopulation = 30;
constexpr int kPopulationPerParameter = 10;
constexpr int kMaxPopulation = 400;
constexpr int kGenerations = 500;
constexpr int kChildren = 10;
// The hybrid: every kRefineInterval generations the best of each island is refined by the
// model's local search (Levenberg-Marquardt or BFGS with gradients from the sensitivities), with
// at most kRefineBudget evaluations (a gradient counting as one), and kRefineSpread more members
// of each island, taken across its ranking in turn, so that the local searches start from many
// basins rather than again from the same optimum.
constexpr int kRefineInterval = 10;
constexpr int kRefineBest = 1;
constexpr int kRefineBudget = 200;
constexpr int kRefineSpread = 1;
// The run's state, written every kCheckpointInterval generations for petab fit --resume.
constexpr int kCheckpointInterval = 10;

std::string num(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string tag(const std::string &id) { return id.substr(0, std::min(id.size(), kMaxTag)); }

}  // namespace

std::vector<double> nominal_start(const TranslatedProblem &t) {
    const auto &m = t.model;
    std::vector<double> P = t.base, y(m.states.size() + 1, 0.0), a(m.inters.size(), 0.0);
    std::vector<unsigned char> fixed(P.size(), 0);
    std::vector<double> set(y.size(), std::nan(""));
    for (const auto &e : t.estimated_slots) {
        P[static_cast<size_t>(e.param)] = e.value.theta >= 0 ? t.theta[static_cast<size_t>(e.value.theta)]->nominal : e.value.value;
        fixed[static_cast<size_t>(e.param)] = 1;
    }
    auto value = [&](const Value &v) {
        if (v.formula >= 0) {
            std::vector<double> Pq = P;   // the slots, then the estimated parameters
            for (const auto *p : t.theta) Pq.push_back(p->nominal);
            return qv::sbml::eval(t.formulas[static_cast<size_t>(v.formula)], {y, Pq, a});
        }
        return v.theta >= 0 ? t.theta[static_cast<size_t>(v.theta)]->nominal : v.value;
    };
    if (!t.experiments.empty() && !t.experiments[0].periods.empty()) {
        const auto &p = t.experiments[0].periods[0];
        for (const auto &c : p.params)
            if (!std::isnan(value(c.value))) P[static_cast<size_t>(c.param)] = value(c.value), fixed[static_cast<size_t>(c.param)] = 1;
        for (const auto &c : p.states) set[static_cast<size_t>(c.state)] = value(c.value);
    }
    const qv::sbml::Values v{y, P, a};
    for (const auto &st : m.start_steps) {
        double x = qv::sbml::eval(st.value, v);
        if (st.scale == qv::sbml::StartStep::Scale::TimesSize) x *= qv::sbml::eval(st.size, v);
        if (st.scale == qv::sbml::StartStep::Scale::OverSize) x /= qv::sbml::eval(st.size, v);
        const size_t k = static_cast<size_t>(st.index);
        switch (st.kind) {
        case qv::sbml::StartStep::Kind::State:
            if (!std::isnan(set[k])) x = m.states[k - 1].size ? set[k] * qv::sbml::eval(m.states[k - 1].size, v) : set[k];
            y[k] = x;
            break;
        case qv::sbml::StartStep::Kind::Param:
            if (!st.attribute && !fixed[k]) P[k] = x;
            break;
        case qv::sbml::StartStep::Kind::Inter: a[k] = x; break;
        }
    }
    return y;
}

std::string problem_input(const TranslatedProblem &t, const std::string &path, const SolverSettings &settings) {
    double end = 0.0;
    if (!t.experiments.empty())
        for (double x : t.experiments[0].times)
            if (std::isfinite(x)) end = std::max(end, x);
    if (!(end > 0.0)) end = kDefaultEnd;
    const double dm = end / kPoints;
    std::string s;
    s += "# Model input file written by petab_import from " + path + ".\n";
    s += "# The searches call the model's own objective: every experiment of the problem simulated and\n";
    s += "# scored by the likelihood of its measurements. The search variables are the estimated\n";
    s += "# parameters on their parameterScale, the values of the PARAMs theta, theta_2, ... (type S, with\n";
    s += "# the scaled bounds; the tag is the parameter's id). A plain time course (simulator) runs the first\n";
    s += "# experiment's last period at these values, from its start state at the nominal values.\n";
    s += "SOLVER      ; " + std::to_string(kNdfSolver) + "     # NDF (stiff) solver\n";
    s += "N_VAR       ; " + std::to_string(t.model.states.size()) + "\n";
    s += "G_VALUE     ; 1.0\n";
    s += "T_START     ; 0\n";
    s += "T_END       ; " + num(end) + "\n";
    s += "DELTA_T     ; " + num(dm * kFirstStepFraction) + "\n";
    s += "DELTA_M     ; " + num(dm) + "\n";
    s += "NDF_RTOL    ; " + num(settings.rtol) + "\n";
    s += "NDF_ATOL    ; " + num(settings.atol) + "\n";
    s += "NDF_POSITIVE ; 0\n\n";
    const int blocks = std::max(1, static_cast<int>((t.theta.size() + kThetaPerName - 1) / kThetaPerName));
    for (int b = 0; b < blocks; ++b) s += "PARAM_NAME  ; " + theta_name(b) + "\n";
    s += "\n# PARAM ; name ; index ; value ; start ; steps ; type ; change ; min ; max ; tag (PEtab id)\n";
    if (t.theta.empty()) s += "PARAM ; theta ; 1 ; 0 ;;;;;;; none\n";
    for (size_t k = 0; k < t.theta.size(); ++k) {
        const auto *p = t.theta[k];
        s += "PARAM ; " + theta_name(static_cast<int>(k) / kThetaPerName) + " ; " + std::to_string(k % kThetaPerName + 1) +
             " ; " + num(qv::petab::to_scale(p->scale, p->nominal)) + " ;;; S ;; " + num(qv::petab::to_scale(p->scale, p->lower)) +
             " ; " + num(qv::petab::to_scale(p->scale, p->upper)) + " ; " + tag(p->id) + "\n";
    }
    s += "\n# Y_START ; variable ; initial value ; tag\n";
    const std::vector<double> y = nominal_start(t);
    for (size_t k = 0; k < t.model.states.size(); ++k)
        s += "Y_START ; " + std::to_string(k + 1) + " ; " + num(std::isfinite(y[k + 1]) ? y[k + 1] : 0.0) + " ; " +
             tag(t.model.states[k].id) + "\n";
    return s;
}

std::string problem_ga(const TranslatedProblem &t) {
    const int m = static_cast<int>(t.theta.size());
    const int population = std::clamp(kPopulationPerParameter * m, kMinPopulation, kMaxPopulation);
    std::string s;
    s += "# GA parameter file written by petab_import for " + std::to_string(m) + " estimated parameters.\n";
    s += "# The fitness is the log-likelihood plus the log prior (larger is better).\n";
    s += "#   mpiexec -n 1 gasearch -I model.in -p problem.ga -f fit.report -S 1\n";
    s += "ENCODE;REAL;\n";
    s += "#      type; generations; target; islands; population; migration; interval; rate;\n";
    s += "GATYPE;DGA;" + std::to_string(kGenerations) + ";1e300;" + std::to_string(kIslands) + ";" +
         std::to_string(population) + ";RandomRing;50;0.1;\n";
    s += "# Workers evaluate individuals (the result is that of one process, on any number of them).\n";
    s += "PARALLEL;INDIVIDUAL;\n";
    s += "#      generations between refinements; best of each island refined; evaluations each;\n";
    s += "#      more of each island refined, across the ranking in turn;\n";
    s += "REFINE;" + std::to_string(kRefineInterval) + ";" + std::to_string(kRefineBest) + ";" +
         std::to_string(kRefineBudget) + ";" + std::to_string(kRefineSpread) + ";\n";
    s += "#          state file (in the run's directory); generations between two states;\n";
    s += "CHECKPOINT;fit.state;" + std::to_string(kCheckpointInterval) + ";\n";
    s += "DIGENESIS;MGG;" + std::to_string(kChildren) + ";\n";
    s += "CROSSOVER;UNDX;1.0;0.35;\n";
    s += "MUTATION;NONE;\n";
    return s;
}

}  // namespace qv::petab_import
