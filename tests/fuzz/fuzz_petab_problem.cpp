// Fuzzing harness for the PEtab readers: the file named on the command line is read as a YAML
// problem file, as each kind of table of both format versions (the measurement table against a
// small fixed problem), and each of its lines as a formula. A refusal is a normal outcome; a crash,
// a sanitizer report or a hang is a finding.
//
//   fuzz_petab_problem <file>
//
// Under AFL++ instrumentation the reads are repeated in one process (persistent mode).
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "quorvant/petab/problem.h"
#include "quorvant/petab/problem_files.h"
#include "quorvant/petab/tsv_table.h"
#include "quorvant/petab_math/formula.h"

#ifndef __AFL_LOOP
// Without AFL++ the harness reads the file once.
static bool firstRound = true;
#define __AFL_LOOP(n) (firstRound ? (firstRound = false, true) : false)
#endif

namespace {

// A problem with one estimated parameter, one observable and one condition, for the measurements.
qv::petab::Problem fixed_problem(int version) {
    qv::petab::Problem p;
    p.version = version;
    p.path = "fixed.yaml";
    p.models = {"model.xml"};
    p.model_ids = {"model"};
    qv::petab::ProblemParameter k;
    k.id = "k";
    k.lower = 0.1;
    k.upper = 10;
    k.nominal = 1;
    k.estimate = true;
    p.parameters.push_back(k);
    qv::petab::Observable o;
    o.id = "obs";
    o.formula = "observableParameter1_obs * A";
    o.noise_formula = "noiseParameter1_obs";
    o.observable_placeholders = {"observableParameter1_obs"};
    o.noise_placeholders = {"noiseParameter1_obs"};
    p.observables.push_back(o);
    qv::petab::Condition c;
    c.id = "c0";
    p.conditions.push_back(c);
    qv::petab::Experiment e;
    e.id = "e0";
    e.periods.push_back({0.0, {0}});
    p.experiments.push_back(e);
    p.index();
    return p;
}

size_t read_once(const char *path) {
    size_t n = 0;
    qv::petab::ProblemFiles files;
    n += qv::petab::read_problem_files(path, files).size();
    qv::petab::TsvTable t;
    if (qv::petab::read_tsv(path, t).empty()) {
        for (int version : {1, 2}) {
            std::vector<qv::petab::ProblemParameter> params;
            std::vector<qv::petab::Observable> observables;
            std::vector<qv::petab::Condition> conditions;
            n += qv::petab::read_parameter_table({t}, version, params).size();
            n += qv::petab::read_observable_table({t}, version, observables).size();
            n += qv::petab::read_condition_table({t}, version, conditions).size();
            qv::petab::Problem p = fixed_problem(version);
            n += qv::petab::read_measurement_table({t}, p).size();
            if (version == 2) {
                std::vector<qv::petab::Experiment> experiments;
                n += qv::petab::read_experiment_table({t}, p.conditions, experiments).size();
            }
        }
        std::vector<qv::petab::Mapping> mappings;
        n += qv::petab::read_mapping_table({t}, mappings).size();
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::istringstream lines(text.str());
    const auto resolve = [](std::string_view, qv::sbml::Expr &e) {
        e = qv::sbml::param(1);
        return std::string();
    };
    for (std::string line; std::getline(lines, line);) {
        qv::sbml::Expr e;
        n += qv::petab_math::parse_formula(line, resolve, e).size();
        n += qv::petab_math::formula_identifiers(line).size();
    }
    return n;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_petab_problem <file>\n");
        return 2;
    }
    size_t total = 0;
    while (__AFL_LOOP(1000)) total += read_once(argv[1]);
    return total == static_cast<size_t>(-1) ? 1 : 0;
}
