// Importing a PEtab problem, step by step.
#include "quorvant/petab_import/import_problem.h"

#include "quorvant/petab/problem.h"
#include "quorvant/petab_import/problem_input_writer.h"
#include "quorvant/petab_import/problem_translation.h"
#include "quorvant/sbml/import_files.h"
#include "quorvant/sbml/sbml_reader.h"

namespace qv::petab_import {

std::string import_problem(const std::string &yaml, const std::string &outdir, Edited edited,
                           const SolverSettings &settings, ImportSummary &summary, Purpose purpose) {
    qv::petab::Problem problem;
    if (std::string msg = qv::petab::read_problem(yaml, problem); !msg.empty()) return msg;
    // What a search cannot start from: nothing to estimate, or a nominal value outside the box.
    bool estimated = false;
    for (const auto &p : problem.parameters) estimated = estimated || p.estimate;
    if (purpose == Purpose::Search && !estimated)
        return (problem.files.parameters.empty() ? yaml : problem.files.parameters[0]) +
               ": no parameter is estimated (estimate 1 or true in no row)";
    for (const auto &n : problem.notes)
        if (purpose == Purpose::Search && n.find("' is outside its bounds") != std::string::npos) return n;
    if (problem.models.size() != 1) return yaml + ": a problem with " + std::to_string(problem.models.size()) +
                                           " models (one SBML model is supported)";
    qv::sbml::ImportOptions opts;
    opts.for_estimation = true;
    opts.atol = settings.atol;
    opts.rtol = settings.rtol;
    qv::sbml::ImportedModel model;
    if (std::string msg = qv::sbml::import_sbml(problem.models[0], opts, model); !msg.empty()) {
        // Refusals name the construct, not the file.
        if (msg.rfind("refused: ", 0) != 0) return msg;
        std::string out = problem.models[0];
        out += ": ";
        out += msg;
        return out;
    }
    TranslatedProblem t;
    if (std::string msg = translate_problem(problem, std::move(model), t); !msg.empty()) return msg;
    std::vector<qv::sbml::GeneratedFile> files{
        {"model.cpp", "//", problem_source(t, yaml, settings)},
        {"model.in", "#", problem_input(t, yaml, settings)},
    };
    const qv::sbml::GeneratedFile ga{"problem.ga", "#", problem_ga(t)};
    if (edited != Edited::KeepGaFile) files.push_back(ga);
    if (std::string msg = qv::sbml::write_generated(outdir, files, edited != Edited::Keep, "petab_import"); !msg.empty())
        return msg;
    if (edited == Edited::KeepGaFile && !qv::sbml::write_generated(outdir, {ga}, false, "petab_import").empty())
        t.notes.push_back(outdir + "/problem.ga was edited: kept");
    summary.states = static_cast<int>(t.model.states.size());
    summary.estimated = static_cast<int>(t.theta.size());
    summary.experiments = static_cast<int>(t.experiments.size());
    summary.measurements = static_cast<int>(t.data.size());
    summary.notes = problem.notes;
    for (const auto &n : t.model.notes) summary.notes.push_back(n);
    for (const auto &n : t.notes) summary.notes.push_back(n);
    return "";
}

}  // namespace qv::petab_import
