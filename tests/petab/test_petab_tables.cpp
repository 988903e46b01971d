// The estimation-problem readers: every public test-suite case and benchmark problem reads, the
// counts of a few are checked, and malformed tables and problem files are refused with their
// exact messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include <unistd.h>
#include <string>
#include <vector>

#include "quorvant/petab/problem.h"
#include "quorvant/petab/tsv_table.h"
#include "text_files.h"

namespace fs = std::filesystem;
using namespace qv::petab;

namespace {

const fs::path kPetabDir = QV_PETAB_DIR;

// The problem files of the test-suite cases of one version (the YAML that is not the solution).
std::vector<fs::path> suite_problems(const std::string &version) {
    std::vector<fs::path> out;
    const fs::path dir = kPetabDir / "test-suite" / version / "sbml";
    if (!fs::is_directory(dir)) return out;
    for (const auto &e : fs::directory_iterator(dir)) {
        if (!e.is_directory()) continue;
        std::string name = "_";
        name.append(e.path().filename().string()).append(".yaml");
        const fs::path yaml = e.path() / name;
        if (fs::exists(yaml)) out.push_back(yaml);
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(PetabSuites, EveryCaseAndBenchmarkReads) {
    std::vector<fs::path> all = suite_problems("v1.0.0");
    const size_t v1 = all.size();
    for (const fs::path &p : suite_problems("v2.0.0")) all.push_back(p);
    const size_t v2 = all.size() - v1;
    const fs::path bench = kPetabDir / "benchmark";
    size_t nbench = 0;
    if (fs::is_directory(bench))
        for (const auto &e : fs::directory_iterator(bench))
            if (e.is_directory() && fs::exists(e.path() / (e.path().filename().string() + ".yaml"))) {
                all.push_back(e.path() / (e.path().filename().string() + ".yaml"));
                ++nbench;
            }
    if (all.empty()) GTEST_SKIP() << "no problems under " << kPetabDir;
    for (const fs::path &yaml : all) {
        Problem p;
        EXPECT_EQ(read_problem(yaml.string(), p), "") << yaml;
    }
    std::printf("read %zu v1 cases, %zu v2 cases, %zu benchmark problems\n", v1, v2, nbench);
}


struct Counts {
    const char *problem;
    size_t parameters, estimated, measurements, observables, conditions, experiments;
};

// Counted in the files by other means (rows, estimate == 1, distinct condition pairs).
TEST(PetabSuites, BenchmarkCounts) {
    const Counts cases[] = {
        {"Boehm_JProteomeRes2014", 11, 9, 48, 3, 1, 1},
        {"Fujita_SciSignal2010", 19, 19, 144, 3, 16, 6},
        {"Schwen_PONE2014", 30, 30, 286, 4, 19, 19},
        {"Weber_BMC2015", 40, 36, 135, 8, 3, 2},
    };
    for (const Counts &c : cases) {
        const fs::path yaml = kPetabDir / "benchmark" / c.problem / (std::string(c.problem) + ".yaml");
        if (!fs::exists(yaml)) GTEST_SKIP() << yaml << " absent";
        Problem p;
        ASSERT_EQ(read_problem(yaml.string(), p), "");
        size_t est = 0;
        for (const ProblemParameter &x : p.parameters) est += x.estimate;
        EXPECT_EQ(p.parameters.size(), c.parameters) << c.problem;
        EXPECT_EQ(est, c.estimated) << c.problem;
        EXPECT_EQ(p.measurements.size(), c.measurements) << c.problem;
        EXPECT_EQ(p.observables.size(), c.observables) << c.problem;
        EXPECT_EQ(p.conditions.size(), c.conditions) << c.problem;
        EXPECT_EQ(p.experiments.size(), c.experiments) << c.problem;
    }
    Problem b;
    ASSERT_EQ(read_problem((kPetabDir / "benchmark/Boehm_JProteomeRes2014/Boehm_JProteomeRes2014.yaml").string(), b), "");
    const ProblemParameter &k = b.parameters[0];
    EXPECT_EQ(k.id, "Epo_degradation_BaF3");
    EXPECT_EQ(k.scale, Scale::Log10);
    EXPECT_DOUBLE_EQ(k.lower, 1e-5);
    EXPECT_EQ(k.initialization.type, PriorType::ParameterScaleUniform);
    ASSERT_EQ(k.initialization.parameters.size(), 2u);
    EXPECT_DOUBLE_EQ(k.initialization.parameters[1], 5.0);  // log10 of the upper bound 1e5
    EXPECT_EQ(b.observables[0].noise_placeholders, std::vector<std::string>{"noiseParameter1_pSTAT5A_rel"});
    EXPECT_EQ(b.measurements[0].noise_parameters, std::vector<std::string>{"sd_pSTAT5A_rel"});
    EXPECT_EQ(b.measurements[0].dataset, "model1_data1_pSTAT5A_rel");
    Problem s;
    ASSERT_EQ(read_problem((kPetabDir / "benchmark/Schwen_PONE2014/Schwen_PONE2014.yaml").string(), s), "");
    const ProblemParameter &r1 = s.parameters.at(static_cast<size_t>(s.find_parameter("ini_R1")));
    EXPECT_EQ(r1.objective.type, PriorType::ParameterScaleNormal);
    EXPECT_EQ(r1.objective.parameters, (std::vector<double>{1.809765366817905, 3}));
    EXPECT_EQ(s.parameters[0].objective.type, PriorType::None);
}

// Version 2 cases: experiments of several periods, an empty condition cell, priors, placeholders.
TEST(PetabSuites, VersionTwoStructures) {
    const fs::path dir = kPetabDir / "test-suite/v2.0.0/sbml";
    if (!fs::is_directory(dir)) GTEST_SKIP();
    Problem p;
    ASSERT_EQ(read_problem((dir / "0016/_0016.yaml").string(), p), "");
    ASSERT_EQ(p.experiments.size(), 1u);
    ASSERT_EQ(p.experiments[0].periods.size(), 2u);
    EXPECT_EQ(p.experiments[0].periods[1].start, 10.0);
    const Condition &c2 = p.conditions[static_cast<size_t>(p.experiments[0].periods[1].conditions.at(0))];
    EXPECT_EQ(c2.id, "condition2");
    ASSERT_EQ(c2.changes.size(), 2u);
    EXPECT_EQ(c2.changes[0].target, "S");
    EXPECT_EQ(c2.changes[0].value, "C + S");

    ASSERT_EQ(read_problem((dir / "0023/_0023.yaml").string(), p), "");
    ASSERT_EQ(p.experiments[0].periods.size(), 1u);
    EXPECT_EQ(p.experiments[0].periods[0].start, -INFINITY);
    EXPECT_TRUE(p.experiments[0].periods[0].conditions.empty());
    EXPECT_EQ(p.measurements[1].time, INFINITY);

    ASSERT_EQ(read_problem((dir / "0010/_0010.yaml").string(), p), "");
    EXPECT_EQ(p.experiments[0].periods[0].start, -INFINITY);
    EXPECT_EQ(p.conditions[static_cast<size_t>(p.experiments[0].periods[0].conditions.at(0))].id, "preeq_c0");
}

// Files of a small problem of each version; each malformed case replaces one of them.
const std::vector<std::pair<std::string, std::string>> kBaseV1 = {
    {"problem.yaml",
     "format_version: 1\nparameter_file: parameters.tsv\nproblems:\n  - sbml_files: [model.xml]\n"
     "    condition_files: [conditions.tsv]\n    measurement_files: [measurements.tsv]\n"
     "    observable_files: [observables.tsv]\n"},
    {"parameters.tsv",
     "parameterId\tparameterScale\tlowerBound\tupperBound\tnominalValue\testimate\n"
     "k1\tlog10\t0.01\t100\t1\t1\nsd\tlin\t0\t10\t1\t0\n"},
    {"observables.tsv",
     "observableId\tobservableFormula\tnoiseFormula\n"
     "obs_a\tobservableParameter1_obs_a * A + observableParameter2_obs_a\tnoiseParameter1_obs_a\n"},
    {"conditions.tsv", "conditionId\tk2\nc0\t2\nc1\tNaN\n"},
    {"measurements.tsv",
     "observableId\tpreequilibrationConditionId\tsimulationConditionId\ttime\tmeasurement\tobservableParameters\t"
     "noiseParameters\nobs_a\t\tc0\t1\t0.5\t2;0\tsd\nobs_a\tc0\tc1\tinf\t0.4\tk1;0\t0.1\n"},
};
const std::vector<std::pair<std::string, std::string>> kBaseV2 = {
    {"problem.yaml",
     "format_version: 2.0.0\nparameter_files: [parameters.tsv]\nmodel_files:\n  m:\n    location: model.xml\n"
     "    language: sbml\nobservable_files: [observables.tsv]\nmeasurement_files: [measurements.tsv]\n"
     "condition_files: [conditions.tsv]\nexperiment_files: [experiments.tsv]\n"},
    {"parameters.tsv",
     "parameterId\tlowerBound\tupperBound\tnominalValue\testimate\tpriorDistribution\tpriorParameters\n"
     "k1\t0\t10\t1\ttrue\tnormal\t1;2\nk2\t0\t10\t1\ttrue\t\t\nk3\t\t\t4\tfalse\t\t\n"},
    {"observables.tsv",
     "observableId\tobservableFormula\tnoiseFormula\tnoiseDistribution\tobservablePlaceholders\tnoisePlaceholders\n"
     "obs_a\tscale_a * A\tsigma_a\tlog-normal\tscale_a\tsigma_a\nobs_b\tB\t0.1\t\t\t\n"},
    {"conditions.tsv", "conditionId\ttargetId\ttargetValue\nc0\tA\t1\nc1\tB\tk1 + 2\nc1\tA\t0.5\nc2\tC\t3\n"},
    {"experiments.tsv", "experimentId\ttime\tconditionId\ne1\t-inf\tc0\ne1\t0\tc1\ne1\t0\tc2\ne2\t5\tc0\ne2\t10\t\n"},
    {"measurements.tsv",
     "observableId\texperimentId\ttime\tmeasurement\tobservableParameters\tnoiseParameters\n"
     "obs_a\te1\t1\t0.5\t2\tk2\nobs_b\t\t3\t0.2\t\t\nobs_b\te2\tinf\t0.3\t\t\n"},
};

// Writes the base files of the version into a fresh directory, with `file` replaced by `text`.
fs::path write_problem(const std::string &name, int version, const std::string &file, const std::string &text) {
    const fs::path dir = fs::temp_directory_path() / ("qv_petab_tables_" + std::to_string(::getpid())) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const auto &[f, t] : version == 1 ? kBaseV1 : kBaseV2) qv::test::write_file(dir / f, f == file ? text : t);
    return dir;
}

TEST(PetabTables, SmallProblemsRead) {
    Problem p;
    fs::path dir = write_problem("v1", 1, "", "");
    ASSERT_EQ(read_problem((dir / "problem.yaml").string(), p), "");
    EXPECT_EQ(p.models, std::vector<std::string>{(dir / "model.xml").string()});
    EXPECT_EQ(p.parameters[0].initialization.parameters, (std::vector<double>{-2, 2}));
    EXPECT_EQ(p.parameters[1].initialization.type, PriorType::None);
    EXPECT_EQ(p.observables[0].observable_placeholders,
              (std::vector<std::string>{"observableParameter1_obs_a", "observableParameter2_obs_a"}));
    ASSERT_EQ(p.experiments.size(), 2u);
    EXPECT_EQ(p.experiments[1].id, "c0:c1");
    ASSERT_EQ(p.experiments[1].periods.size(), 2u);
    EXPECT_EQ(p.experiments[1].periods[0].start, -INFINITY);
    EXPECT_EQ(p.experiments[1].periods[0].conditions, std::vector<int>{0});
    EXPECT_EQ(p.experiments[1].periods[1].conditions, std::vector<int>{1});
    EXPECT_EQ(p.measurements[1].experiment, 1);
    EXPECT_EQ(p.measurements[1].observable_parameters, (std::vector<std::string>{"k1", "0"}));
    EXPECT_EQ(p.conditions[1].changes[0].value, "NaN");

    dir = write_problem("v2", 2, "", "");
    ASSERT_EQ(read_problem((dir / "problem.yaml").string(), p), "");
    EXPECT_EQ(p.model_ids, std::vector<std::string>{"m"});
    EXPECT_EQ(p.parameters[0].objective.type, PriorType::Normal);
    EXPECT_TRUE(p.parameters[0].objective.truncated);
    // Once one parameter has a prior, the other estimated ones are uniform within their bounds.
    EXPECT_EQ(p.parameters[1].objective.type, PriorType::Uniform);
    EXPECT_EQ(p.parameters[1].objective.parameters, (std::vector<double>{0, 10}));
    EXPECT_EQ(p.parameters[2].objective.type, PriorType::None);
    EXPECT_TRUE(std::isnan(p.parameters[2].lower));
    EXPECT_EQ(p.observables[0].transform, Transform::Log);
    EXPECT_EQ(p.observables[0].noise, Noise::Normal);
    const Experiment &e1 = p.experiments[static_cast<size_t>(p.find_experiment("e1"))];
    ASSERT_EQ(e1.periods.size(), 2u);
    EXPECT_EQ(e1.periods[1].conditions, (std::vector<int>{1, 2}));
    const Experiment &e2 = p.experiments[static_cast<size_t>(p.find_experiment("e2"))];
    ASSERT_EQ(e2.periods.size(), 2u);
    EXPECT_EQ(e2.periods[0].start, 5.0);
    EXPECT_TRUE(e2.periods[1].conditions.empty());
    EXPECT_EQ(p.measurements[1].experiment, -1);
    EXPECT_EQ(p.measurements[0].noise_parameters, std::vector<std::string>{"k2"});
}

struct Malformed {
    const char *name;
    int version;
    const char *file;
    std::string text;
    const char *message;  // DIR/ stands for the problem's directory
};

TEST(PetabTables, MalformedInputsAreRefused) {
    const std::string p1 = "parameterId\tparameterScale\tlowerBound\tupperBound\tnominalValue\testimate\n";
    const std::string sd = "sd\tlin\t0\t10\t1\t0\n";
    const std::string m1 = "observableId\tpreequilibrationConditionId\tsimulationConditionId\ttime\tmeasurement\t"
                           "observableParameters\tnoiseParameters\n";
    const std::string p2 = "parameterId\tlowerBound\tupperBound\tnominalValue\testimate\tpriorDistribution\tpriorParameters\n";
    const std::string o2 = "observableId\tobservableFormula\tnoiseFormula\tnoiseDistribution\tobservablePlaceholders\t"
                           "noisePlaceholders\n";
    const std::string x2 = "experimentId\ttime\tconditionId\ne1\t-inf\tc0\ne1\t0\tc1\ne1\t0\tc2\n";
    const std::string me2 = "observableId\texperimentId\ttime\tmeasurement\tobservableParameters\tnoiseParameters\n";
    const std::string y2 = kBaseV2[0].second;
    const Malformed cases[] = {
        {"missing_column", 1, "parameters.tsv", "parameterId\tparameterScale\tlowerBound\tupperBound\tnominalValue\nk1\tlin\t0\t1\t1\n",
         "DIR/parameters.tsv:1: table lacks the required column 'estimate'"},
        {"bad_id", 1, "parameters.tsv", p1 + "1k\tlog10\t0.01\t100\t1\t1\n" + sd,
         "DIR/parameters.tsv:2:1: parameterId '1k' is not a valid identifier"},
        {"duplicate_parameter", 1, "parameters.tsv", p1 + "k1\tlog10\t0.01\t100\t1\t1\nk1\tlin\t0\t1\t0.5\t1\n",
         "DIR/parameters.tsv:3:1: parameter 'k1' is listed twice (also DIR/parameters.tsv:2)"},
        {"bad_scale", 1, "parameters.tsv", p1 + "k1\tln\t0.01\t100\t1\t1\n" + sd,
         "DIR/parameters.tsv:2:2: parameterScale 'ln' is not one of lin, log, log10"},
        {"bounds_crossed", 1, "parameters.tsv", p1 + "k1\tlin\t5\t1\t2\t1\n" + sd,
         "DIR/parameters.tsv:2:3: lowerBound 5 is above upperBound 1"},
        {"log_bound_zero", 1, "parameters.tsv", p1 + "k1\tlog10\t0\t100\t1\t1\n" + sd,
         "DIR/parameters.tsv:2:3: lowerBound 0 of 'k1' on log10 scale must be positive"},
        {"estimate_word", 1, "parameters.tsv", p1 + "k1\tlog10\t0.01\t100\t1\tyes\n" + sd,
         "DIR/parameters.tsv:2:6: estimate 'yes' is not 0 or 1"},
        {"decimal_comma", 1, "parameters.tsv", p1 + "k1\tlog10\t0.01\t1,5\t1\t1\n" + sd,
         "DIR/parameters.tsv:2:4: upperBound: '1,5' is not a number"},
        {"fixed_without_nominal", 1, "parameters.tsv", p1 + "k1\tlog10\t0.01\t100\t1\t1\nsd\tlin\t0\t10\t\t0\n",
         "DIR/parameters.tsv:3:5: nominalValue of fixed 'sd' is missing"},
        {"estimated_without_bound", 1, "parameters.tsv", p1 + "k1\tlog10\t0.01\t\t1\t1\n" + sd,
         "DIR/parameters.tsv:2:4: upperBound of estimated 'k1' is missing"},
        {"unknown_prior", 1, "parameters.tsv",
         "parameterId\tparameterScale\tlowerBound\tupperBound\tnominalValue\testimate\tobjectivePriorType\t"
         "objectivePriorParameters\nk1\tlog10\t0.01\t100\t1\t1\tgauss\t1;2\n",
         "DIR/parameters.tsv:2:7: unknown prior 'gauss' (known: uniform, normal, laplace, logNormal, logLaplace, "
         "parameterScaleUniform, parameterScaleNormal, parameterScaleLaplace)"},
        {"prior_parameter_count", 1, "parameters.tsv",
         "parameterId\tparameterScale\tlowerBound\tupperBound\tnominalValue\testimate\tinitializationPriorType\t"
         "initializationPriorParameters\nk1\tlog10\t0.01\t100\t1\t1\tnormal\t1;2;3\n",
         "DIR/parameters.tsv:2:8: prior 'normal' takes 2 parameters, the cell has 3"},
        {"placeholder_in_parameters", 1, "parameters.tsv",
         p1 + "k1\tlog10\t0.01\t100\t1\t1\n" + sd + "observableParameter2_obs_a\tlin\t0\t1\t0.5\t1\n",
         "DIR/parameters.tsv:4: 'observableParameter2_obs_a' is a placeholder of observable 'obs_a' "
         "(DIR/observables.tsv:2) and must not be in the parameter table"},
        {"bad_transformation", 1, "observables.tsv",
         "observableId\tobservableFormula\tnoiseFormula\tobservableTransformation\nobs_a\tA\t1\tln\n",
         "DIR/observables.tsv:2:4: observableTransformation 'ln' is not one of lin, log, log10"},
        {"placeholder_gap", 1, "observables.tsv",
         "observableId\tobservableFormula\tnoiseFormula\nobs_a\tobservableParameter2_obs_a * A\t1\n",
         "DIR/observables.tsv:2:2: placeholder 'observableParameter2_obs_a' without observableParameter1_obs_a "
         "(numbers must run from 1 without gaps)"},
        {"empty_noise_formula", 1, "observables.tsv", "observableId\tobservableFormula\tnoiseFormula\nobs_a\tA\t\n",
         "DIR/observables.tsv:2:3: noiseFormula of 'obs_a' is empty"},
        {"bad_condition_value", 1, "conditions.tsv", "conditionId\tk2\nc0\t2x\nc1\t1\n",
         "DIR/conditions.tsv:2:2: value '2x' of 'k2' is neither a number nor a parameter id"},
        {"condition_sets_parameter", 1, "conditions.tsv", "conditionId\tk1\nc0\t2\nc1\t3\n",
         "DIR/parameters.tsv:2: 'k1' is set by condition 'c0' (DIR/conditions.tsv:2) and must not be in the parameter table"},
        {"unknown_observable", 1, "measurements.tsv", m1 + "obs_b\t\tc0\t1\t0.5\t2;0\tsd\n",
         "DIR/measurements.tsv:2:1: unknown observable 'obs_b'"},
        {"unknown_condition", 1, "measurements.tsv", m1 + "obs_a\tc9\tc0\t1\t0.5\t2;0\tsd\n",
         "DIR/measurements.tsv:2:2: unknown condition 'c9'"},
        {"time_nan", 1, "measurements.tsv", m1 + "obs_a\t\tc0\tnan\t0.5\t2;0\tsd\n",
         "DIR/measurements.tsv:2:4: time 'nan' must be a number or inf"},
        {"time_negative", 1, "measurements.tsv", m1 + "obs_a\t\tc0\t-1\t0.5\t2;0\tsd\n",
         "DIR/measurements.tsv:2:4: time -1 is negative"},
        {"value_infinite", 1, "measurements.tsv", m1 + "obs_a\t\tc0\t1\tinf\t2;0\tsd\n",
         "DIR/measurements.tsv:2:5: measurement 'inf' is not finite"},
        {"one_value_two_placeholders", 1, "measurements.tsv", m1 + "obs_a\t\tc0\t1\t0.5\t2\tsd\n",
         "DIR/measurements.tsv:2:6: observableParameters: observable 'obs_a' has 2 placeholders, the cell gives 1 values"},
        {"override_unknown", 1, "measurements.tsv", m1 + "obs_a\t\tc0\t1\t0.5\t2;kx\tsd\n",
         "DIR/measurements.tsv:2:6: observableParameters: 'kx' is not in the parameter table"},
        {"override_column_absent", 1, "measurements.tsv",
         "observableId\tsimulationConditionId\ttime\tmeasurement\nobs_a\tc0\t1\t0.5\n",
         "DIR/measurements.tsv:2: the table lacks the column 'observableParameters', and observable 'obs_a' has 2 placeholders"},
        {"several_problems", 1, "problem.yaml",
         kBaseV1[0].second + "  - sbml_files: [model.xml]\n    condition_files: [conditions.tsv]\n"
                             "    measurement_files: [measurements.tsv]\n    observable_files: [observables.tsv]\n",
         "DIR/problem.yaml:8:5: the file lists 2 problems; only a file with one problem is read"},
        {"unknown_version", 1, "problem.yaml", "format_version: 3\n",
         "DIR/problem.yaml:1:17: format_version '3' is not one this reader knows (1 or 2.0.0)"},
        {"missing_key", 1, "problem.yaml", "format_version: 1\nproblems: []\n",
         "DIR/problem.yaml:1:1: missing 'parameter_file'"},
        {"url", 1, "problem.yaml", "format_version: 1\nparameter_file: https://x.org/p.tsv\nproblems: []\n",
         "DIR/problem.yaml:2:17: 'https://x.org/p.tsv': only local files are read, not URLs"},
        {"yaml_syntax", 1, "problem.yaml", "format_version: [1\n", "DIR/problem.yaml:2:1: end of sequence flow not found"},
        {"missing_table", 1, "problem.yaml",
         "format_version: 1\nparameter_file: nothere.tsv\nproblems:\n  - sbml_files: [model.xml]\n"
         "    condition_files: [conditions.tsv]\n    measurement_files: [measurements.tsv]\n"
         "    observable_files: [observables.tsv]\n",
         "DIR/nothere.tsv: cannot open the table"},

        {"other_language", 2, "problem.yaml",
         "format_version: 2.0.0\nparameter_files: [parameters.tsv]\nmodel_files:\n  m:\n    location: model.xml\n"
         "    language: cellml\nobservable_files: [observables.tsv]\nmeasurement_files: [measurements.tsv]\n",
         "DIR/problem.yaml:6:15: model 'm' is in language 'cellml'; only sbml models are read"},
        {"required_extension", 2, "problem.yaml",
         y2 + "extensions:\n  sciml:\n    version: 0.1.0\n    required: true\n",
         "DIR/problem.yaml:12:3: extension 'sciml' is required and not supported"},
        {"several_models_no_model_column", 2, "problem.yaml",
         "format_version: 2.0.0\nparameter_files: [parameters.tsv]\nmodel_files:\n  m:\n    location: model.xml\n"
         "    language: sbml\n  n:\n    location: other.xml\n    language: sbml\nobservable_files: [observables.tsv]\n"
         "measurement_files: [measurements.tsv]\ncondition_files: [conditions.tsv]\nexperiment_files: [experiments.tsv]\n",
         "DIR/measurements.tsv:1: table lacks the column 'modelId', which a problem of several models needs"},
        {"estimate_digit", 2, "parameters.tsv", p2 + "k1\t0\t10\t1\ttrue\t\t\nk2\t0\t10\t1\t1\t\t\n",
         "DIR/parameters.tsv:3:5: estimate '1' is not true or false"},
        {"prior_count", 2, "parameters.tsv", p2 + "k1\t0\t10\t1\ttrue\tgamma\t2\n",
         "DIR/parameters.tsv:2:7: prior 'gamma' takes 2 parameters, the cell has 1"},
        {"prior_without_parameters", 2, "parameters.tsv", p2 + "k1\t0\t10\t1\ttrue\tnormal\t\n",
         "DIR/parameters.tsv:2:7: prior 'normal' needs its parameters"},
        {"first_version_prior_name", 2, "parameters.tsv", p2 + "k1\t0\t10\t1\ttrue\tlogNormal\t1;2\n",
         "DIR/parameters.tsv:2:6: unknown prior 'logNormal' (known: uniform, normal, laplace, log-normal, log-laplace, "
         "cauchy, chisquare, exponential, gamma, log-uniform, rayleigh)"},
        {"reserved_id", 2, "parameters.tsv", p2 + "k1\t0\t10\t1\ttrue\t\t\nTime\t0\t10\t1\ttrue\t\t\n",
         "DIR/parameters.tsv:3:1: parameterId 'Time' is a reserved word"},
        {"bad_noise_distribution", 2, "observables.tsv", o2 + "obs_a\tA\t1\tlognormal\t\t\n",
         "DIR/observables.tsv:2:4: noiseDistribution 'lognormal' is not one of normal, laplace, log-normal, log-laplace"},
        {"placeholder_twice", 2, "observables.tsv", o2 + "obs_a\ts * A\t1\t\ts;s\t\n",
         "DIR/observables.tsv:2:5: placeholder 's' is declared twice"},
        {"target_twice", 2, "conditions.tsv", "conditionId\ttargetId\ttargetValue\nc0\tA\t1\nc1\tB\t2\nc2\tC\t3\nc0\tA\t2\n",
         "DIR/conditions.tsv:5:2: condition 'c0' changes 'A' twice (also line 2)"},
        {"empty_target_value", 2, "conditions.tsv", "conditionId\ttargetId\ttargetValue\nc0\tA\t\n",
         "DIR/conditions.tsv:2:3: targetValue of 'A' in condition 'c0' is empty"},
        {"id_of_two_kinds", 2, "conditions.tsv",
         "conditionId\ttargetId\ttargetValue\nc0\tA\t1\nc1\tB\t2\nc2\tC\t3\nk3\tD\t1\n",
         "DIR/conditions.tsv:5: condition id 'k3' is already the id of a parameter (DIR/parameters.tsv:4)"},
        {"experiment_unknown_condition", 2, "experiments.tsv", "experimentId\ttime\tconditionId\ne1\t0\tc9\n",
         "DIR/experiments.tsv:2:3: unknown condition 'c9'"},
        {"experiment_time_inf", 2, "experiments.tsv", x2 + "e2\tinf\tc0\n",
         "DIR/experiments.tsv:5:2: time 'inf' must be a finite number or -inf"},
        {"simultaneous_same_target", 2, "experiments.tsv", x2 + "e2\t5\tc0\ne2\t10\t\ne2\t5\tc1\n",
         "DIR/experiments.tsv:7:3: conditions 'c0' and 'c1' both change 'A' at the same time in experiment 'e2'"},
        {"before_experiment_start", 2, "measurements.tsv",
         "observableId\texperimentId\ttime\tmeasurement\nobs_b\te1\t-1\t0.2\n",
         "DIR/measurements.tsv:2:3: time -1 is before the start of experiment 'e1'"},
        {"unknown_experiment", 2, "measurements.tsv", me2 + "obs_b\te9\t1\t0.5\t\t\n",
         "DIR/measurements.tsv:2:2: unknown experiment 'e9'"},
        {"noise_override_missing", 2, "measurements.tsv", me2 + "obs_a\te1\t1\t0.5\t2\t\n",
         "DIR/measurements.tsv:2:6: noiseParameters: observable 'obs_a' has 1 placeholders, the cell gives 0 values"},
    };
    for (const Malformed &c : cases) {
        const fs::path dir = write_problem(c.name, c.version, c.file, c.text);
        Problem p;
        std::string expected = c.message;
        for (size_t at = expected.find("DIR"); at != std::string::npos; at = expected.find("DIR", at))
            expected.replace(at, 3, dir.string());
        EXPECT_EQ(read_problem((dir / "problem.yaml").string(), p), expected) << c.name;
    }
    fs::remove_all(fs::temp_directory_path() / ("qv_petab_tables_" + std::to_string(::getpid())));
}

// Every prefix of every file of the small problems: read or refused, never a crash (the sanitizer
// build checks the memory accesses of the refusal paths).
TEST(PetabTables, TruncatedFilesAreReadOrRefused) {
    for (int version : {1, 2}) {
        for (const auto &[file, text] : version == 1 ? kBaseV1 : kBaseV2) {
            for (size_t cut = 0; cut < text.size(); cut += 3) {
                const fs::path dir = write_problem("cut", version, file, text.substr(0, cut));
                Problem p;
                const std::string err = read_problem((dir / "problem.yaml").string(), p);
                if (err.empty()) continue;
                EXPECT_EQ(err.rfind(dir.string(), 0), 0u) << file << " cut at " << cut << ": " << err;
            }
        }
    }
    fs::remove_all(fs::temp_directory_path() / ("qv_petab_tables_" + std::to_string(::getpid())));
}

struct TsvCase {
    const char *name;
    std::string text;
    const char *columns;  // joined with '|'
    const char *rows;     // cells joined with '|', rows with ';'
    const char *lines;    // file lines of the rows, joined with ','
    const char *message;  // "" when the table reads; T stands for the path
};

std::string joined(const std::vector<std::string> &v, char sep) {
    std::string s;
    for (size_t i = 0; i < v.size(); ++i) {
        if (i) s.push_back(sep);
        s.append(v[i]);
    }
    return s;
}

TEST(PetabTables, TsvEdgeCases) {
    using namespace std::string_literals;
    const TsvCase cases[] = {
        {"bom_crlf", "\xEF\xBB\xBF" "a\tb\r\n1\t2\r\n", "a|b", "1|2", "2", ""},
        {"blank_lines", "\na\tb\n\n1\t2\n  \t \n3\t4\n", "a|b", "1|2;3|4", "4,6", ""},
        {"trailing_tabs_short_rows", "a\tb\tc\t\n1\t\t\n2\n", "a|b|c", "1||;2||", "2,3", ""},
        {"trimmed", " a \t b\n 1 \t x y \n", "a|b", "1|x y", "2", ""},
        {"index_column", "\ta\tb\n0\t1\t2\n1\t3\t4\n", "a|b", "1|2;3|4", "2,3", ""},
        {"no_final_newline", "a\n1", "a", "1", "2", ""},
        {"header_only", "a\tb\n", "a|b", "", "", ""},
        {"duplicate_column", "a\tb\ta\n", "", "", "", "T:1:3: duplicate column 'a'"},
        {"empty_column_name", "a\t\tb\n", "", "", "", "T:1:2: empty column name"},
        {"too_many_cells", "a\tb\n1\t2\t3\n", "", "", "", "T:2:3: row has 3 cells, the header 2"},
        {"nul_byte", "a\tb\n1\tx\0y\n"s, "", "", "", "T:2:2: NUL byte in the table"},
        {"empty", "", "", "", "", "T: empty table (no header)"},
        {"only_blank", "\n \r\n\t\n", "", "", "", "T: empty table (no header)"},
    };
    for (const TsvCase &c : cases) {
        TsvTable t;
        std::string expected = c.message;
        if (!expected.empty()) expected.replace(0, 1, "T");
        ASSERT_EQ(parse_tsv(c.text, "T", t), expected) << c.name;
        if (!expected.empty()) continue;
        EXPECT_EQ(joined(t.columns, '|'), c.columns) << c.name;
        std::vector<std::string> rows, lines;
        for (const auto &r : t.rows) rows.push_back(joined(r, '|'));
        for (int l : t.lines) lines.push_back(std::to_string(l));
        EXPECT_EQ(joined(rows, ';'), c.rows) << c.name;
        EXPECT_EQ(joined(lines, ','), c.lines) << c.name;
    }
    // Messages name the file's field, counting a dropped index column.
    TsvTable t;
    ASSERT_EQ(parse_tsv("\ta\tb\n0\t1\t2\n", "T", t), "");
    EXPECT_EQ(t.where(0, 1), "T:2:3: ");
    EXPECT_EQ(t.column("b"), 1);
    EXPECT_EQ(t.column("c"), -1);
}

TEST(PetabTables, NumbersAndFormulaIdentifiers) {
    struct Num {
        const char *cell;
        double value;
        const char *message;
    };
    const Num nums[] = {
        {"1", 1, ""}, {"-2.5e-3", -2.5e-3, ""}, {"+4", 4, ""}, {".5", 0.5, ""}, {"5.", 5, ""}, {"1E+2", 100, ""},
        {"inf", INFINITY, ""}, {"-Inf", -INFINITY, ""}, {"INFINITY", INFINITY, ""},
        {"", 0, "empty, a number is needed"}, {"0x10", 0, "'0x10' is not a number"}, {"1e", 0, "'1e' is not a number"},
        {"1.5x", 0, "'1.5x' is not a number"}, {" 1", 0, "' 1' is not a number"}, {"nan(1)", 0, "'nan(1)' is not a number"},
        {"--1", 0, "'--1' is not a number"}, {"e5", 0, "'e5' is not a number"}, {".", 0, "'.' is not a number"},
        {"1e999", 0, "'1e999' is out of the range of numbers"},
    };
    for (const Num &n : nums) {
        double v = 0;
        ASSERT_EQ(parse_number(n.cell, v), n.message) << n.cell;
        if (*n.message == 0) {
            EXPECT_EQ(v, n.value) << n.cell;
        }
    }
    for (const char *cell : {"NaN", "nan", "-nan"}) {
        double v = 0;
        ASSERT_EQ(parse_number(cell, v), "");
        EXPECT_TRUE(std::isnan(v));
    }

    struct Ids {
        const char *formula;
        std::vector<std::string> ids;
    };
    const Ids ids[] = {
        {"observableParameter1_obs * (A + 2.5e-3*B)", {"observableParameter1_obs", "A", "B"}},
        {"exp(k1) + log (x, 10)", {"k1", "x"}},
        {"piecewise(1, time > 0, 0) + true + inf + NaN + A", {"time", "A"}},
        {"A*A + a", {"A", "a"}},
        {"1e5 + 2E-3 + e + pi", {"e", "pi"}},
        {"k_1^2.0E+2", {"k_1"}},
        {"", {}},
    };
    for (const Ids &c : ids) EXPECT_EQ(formula_identifiers(c.formula), c.ids) << c.formula;
}

}  // namespace
