// The petab program end to end: the public PEtab test suite (version 1: every case passes;
// version 2: every case passes but those with events), the likelihood of the benchmark problems at
// their nominal values against an established tool's and their gradients against differences, a fit whose table evaluates to the value it
// reports, a problem with more search variables than a plain model may have, and malformed
// problems refused with their message and nothing written.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "text_files.h"

namespace fs = std::filesystem;

namespace {

const std::string kPetab = std::string(QV_BINARY_DIR) + "/bin/petab";
// The version 1 cases of the PEtab test suite are delivered with the tests; the rest of the material
// (version 2, the benchmark problems) is read beside the repository when it is there.
const fs::path kCases = fs::path(QV_SOURCE_DIR) / "tests/petab_import/cases/v1";
const fs::path kShared = fs::path(QV_SOURCE_DIR) / "../shared/petab";

#define REQUIRE_SHARED() \
    if (!fs::exists(kShared)) GTEST_SKIP() << "no PEtab material at " << kShared

struct Result {
    int status = -1;
    std::string out, err;
};

class PetabCommands : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              (std::string("qv_petab_") + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
               std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    Result petab(const std::string &args) {
        Result r;
        std::string cmd = "cd '";
        cmd += dir.string();
        cmd += "' && QUORVANT_MPIEXEC='";
        cmd += QV_MPIEXEC;
        cmd += "' '";
        cmd += kPetab;
        cmd += "' ";
        cmd += args;
        cmd += " >stdout.txt 2>stderr.txt";
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = qv::test::read_file(dir / "stdout.txt");
        r.err = qv::test::read_file(dir / "stderr.txt");
        return r;
    }
};

// The number after "<key>: " on its own line of text, NaN if there is none.
double value_of(const std::string &text, const std::string &key) {
    for (const std::string &line : qv::test::split_lines(text)) {
        const std::string head = key + ": ";
        if (line.rfind(head, 0) == 0) return std::strtod(line.c_str() + head.size(), nullptr);
    }
    return std::nan("");
}

std::string last_line(const std::string &text) {
    const auto lines = qv::test::split_lines(text);
    return lines.empty() ? "" : lines.back();
}

// A copy of a test-suite case in dir/name, its files' texts changed by the edits (file, from, to).
struct Edit {
    const char *file, *from, *to;
};

fs::path copy_case(const fs::path &dir, const std::string &name, const fs::path &from, const std::vector<Edit> &edits) {
    const fs::path to = dir / name;
    fs::create_directories(to);
    for (const auto &e : fs::directory_iterator(from)) fs::copy_file(e.path(), to / e.path().filename());
    for (const Edit &e : edits) {
        std::string text = qv::test::read_file(to / e.file);
        const size_t at = text.find(e.from);
        EXPECT_NE(at, std::string::npos) << e.file << ": " << e.from;
        if (at != std::string::npos) text.replace(at, std::string(e.from).size(), e.to);
        qv::test::write_file(to / e.file, text);
    }
    return to;
}

}  // namespace

TEST_F(PetabCommands, EveryVersionOneSuiteCasePasses) {
    const Result r = petab(std::string("suite '") + kCases.string() + "' -j 2 --min-passed 20");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(last_line(r.out), "passed 20, refused 0, failed 0") << r.out;
}

TEST_F(PetabCommands, EveryVersionTwoSuiteCasePassesWithItsEvents) {
    REQUIRE_SHARED();
    const Result r = petab(std::string("suite '") + (kShared / "test-suite/v2.0.0/sbml").string() + "' -j 2");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(last_line(r.out), "passed 31, refused 0, failed 0") << r.out;
}

// reference.tsv: problem, llh at the nominal values (or '-'), ... Every problem is evaluated (one
// declares a package it does not use); those with a reference value must match it.
// The gradient from the sensitivities against central differences on every test-suite case: the
// cases exercise each stage the sensitivities pass through (pre-equilibration, states a condition
// resets or keeps, condition values that are formulas of the state, placeholders, priors, log
// scales and transformations).
TEST_F(PetabCommands, GradientsMatchDifferencesOnEveryTestSuiteCase) {
    std::vector<fs::path> cases;
    for (const fs::path &root : {kCases, kShared / "test-suite/v2.0.0/sbml"}) {
        if (!fs::exists(root)) continue;
        for (const auto &e : fs::directory_iterator(root)) cases.push_back(e.path());
    }
    std::sort(cases.begin(), cases.end());
    int compared = 0;
    for (const fs::path &c : cases) {
        const std::string id = c.filename().string();
        const fs::path yaml = c / ("_" + id + ".yaml");
        if (!fs::exists(yaml)) continue;
        const Result r = petab(std::string("evaluate '") + yaml.string() + "' --gradient --work '" + (dir / id).string() + "'");
        if (r.err.find("events are not supported") != std::string::npos) continue;
        double worst = -1.0, largest = 0.0;
        for (const std::string &g : qv::test::split_lines(r.out))
            std::sscanf(g.c_str(), "largest difference: %lf of the largest derivative %lf", &worst, &largest);
        EXPECT_TRUE(worst >= 0.0 && worst <= 1e-6) << c << ": " << r.out << r.err;
        ++compared;
    }
    EXPECT_GE(compared, 20);
}

TEST_F(PetabCommands, BenchmarkLikelihoodsAtTheNominalValuesMatchTheReference) {
    REQUIRE_SHARED();
    int checked = 0, evaluated = 0;
    for (const std::string &line : qv::test::split_lines(qv::test::read_file(kShared / "benchmark/reference.tsv"))) {
        std::istringstream in(line);
        std::string problem, llh;
        std::getline(in, problem, '\t');
        std::getline(in, llh, '\t');
        if (problem == "problem" || problem.empty()) continue;
        const fs::path yaml = kShared / "benchmark" / problem / (problem + ".yaml");
        const Result r = petab(std::string("evaluate '") + yaml.string() + "' --gradient --work '" + (dir / problem).string() + "'");
        ASSERT_EQ(r.status, 0) << problem << "\n" << r.err;
        const double got = value_of(r.out, "llh");
        EXPECT_TRUE(std::isfinite(got)) << problem << ": " << r.out;
        // The gradient from the sensitivities agrees with central differences (both at tight
        // tolerances). Crauste's nominal point lies where a step of 1e-5 changes the simulation's outcome: the
        // differences there do not converge to a derivative.
        double worst = 0.0, largest = 0.0;
        size_t parameters = 0;
        for (const std::string &g : qv::test::split_lines(r.out)) {
            std::sscanf(g.c_str(), "largest difference: %lf of the largest derivative %lf", &worst, &largest);
            std::sscanf(g.c_str(), "time: %*f ms per evaluation, %*f ms per gradient, ratio %*f for %zu parameters",
                        &parameters);
        }
        EXPECT_GT(parameters, 0u) << problem << ": " << r.out;
        if (problem.rfind("Crauste", 0) != 0) {
            EXPECT_LE(worst, 5e-3) << problem << ": " << r.out;
        }
        ++evaluated;
        if (llh == "-") continue;
        const double expected = std::strtod(llh.c_str(), nullptr);
        EXPECT_TRUE(std::fabs(got - expected) <= 1e-3 || std::fabs(got - expected) <= 1e-3 * std::fabs(expected))
            << problem << ": " << got << " against " << expected;
        ++checked;
    }
    EXPECT_EQ(checked, 7);
    EXPECT_EQ(evaluated, 12);
}

// Values at which the model cannot be simulated: the objective is -inf, the failure is named, the
// exit status is 1.
TEST_F(PetabCommands, AFailedSimulationIsReportedAndScoresMinusInfinity) {
    const fs::path base = kCases / "0001";
    qv::test::write_file(dir / "bad.tsv", "parameterId\tparameterScale\tlowerBound\tupperBound\tnominalValue\testimate\n"
                                          "a0\tlin\t0\t10\t1\t1\nb0\tlin\t0\t10\t0\t1\nk1\tlin\t0\t10\tnan\t1\n"
                                          "k2\tlin\t0\t10\t0.6\t1\n");
    const Result r = petab(std::string("evaluate '") + (base / "_0001.yaml").string() + "' --parameters bad.tsv --work w");
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(qv::test::split_lines(r.out)[0], "llh: -inf");
    EXPECT_NE(r.err.find("petab: 1 experiment(s) failed: experiment 'c0': "), std::string::npos) << r.err;
}

// A fit with a short GA file of the user's (kept over the import's), on one process and on two: the
// refinement reaches the optimum, the table evaluates to exactly the value reported, its simulation
// table has a row per measurement.
TEST_F(PetabCommands, AFitsTableEvaluatesToTheReportedValue) {
    const fs::path yaml = kCases / "0001/_0001.yaml";
    fs::create_directories(dir / "fit");
    qv::test::write_file(dir / "fit/problem.ga",
                         "ENCODE;REAL;\nGATYPE;DGA;60;1e300;2;20;RandomRing;10;0.1;\nDIGENESIS;MGG;10;\n"
                         "CROSSOVER;UNDX;1.0;0.35;\nMUTATION;NONE;\n");
    for (const char *n : {"1", "2"}) {
        const Result fit = petab(std::string("fit '") + yaml.string() + "' fit -n " + n + " -S 7");
        ASSERT_EQ(fit.status, 0) << fit.out << fit.err;
        EXPECT_NE(fit.out.find("problem.ga was edited: kept"), std::string::npos) << fit.out;
        // Two measurements with sigma 0.5 that four parameters can meet exactly: the refined
        // optimum is 2 (-ln 0.5 - ln(2 pi) / 2).
        const double best = value_of(fit.out, "best llh");
        EXPECT_NEAR(best, 2.0 * (-std::log(0.5) - 0.5 * std::log(2.0 * M_PI)), 1e-6) << fit.out;
        EXPECT_NE(fit.out.find("refinement: "), std::string::npos) << fit.out;
        const Result ev = petab(std::string("evaluate '") + yaml.string() + "' --parameters fit/parameters.tsv --simulations sim.tsv");
        ASSERT_EQ(ev.status, 0) << ev.err;
        EXPECT_EQ(value_of(ev.out, "llh"), best) << ev.out;
        const auto rows = qv::test::split_lines(qv::test::read_file(dir / "sim.tsv"));
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[0], "observableId\tsimulationConditionId\ttime\tsimulation");
    }
    // The refinement's time is up before its first iteration: the start is evaluated (with its
    // Jacobian) and kept, and nothing more runs.
    const std::string program = (dir / "fit/evaluation/evaluate").string();
    qv::test::write_file(dir / "start.txt", "1\n1\n1\n1\n");
    ASSERT_EQ(std::system(("'" + program + "' '" + (dir / "start.txt").string() + "' '" + (dir / "late.txt").string() +
                           "' --refine 20000 0 1 1e-9").c_str()), 0);
    const std::string late = qv::test::read_file(dir / "late.txt");
    EXPECT_NE(late.find("\nrefined: 1 0 1 0\n"), std::string::npos) << late;
}

// The refinement's starts shared out among two processes choose what one process chooses: with a
// search of one generation (its start population, the same on any number of processes) the two fits
// write the same table to the last bit.
// The GA file petab writes is the hybrid: the best of each island and one more refined every 10 generations
// by the model's own refinement (gradients from the sensitivities), workers evaluating individuals.
// With a target just below the optimum the search stops as soon as a refinement gets there, and
// three processes (two workers) give the one-process table.
TEST_F(PetabCommands, TheHybridSearchStopsAtItsTargetAndRepeatsOnThreeProcesses) {
    const fs::path yaml = kCases / "0001/_0001.yaml";
    const double optimum = 2.0 * (-std::log(0.5) - 0.5 * std::log(2.0 * M_PI));
    std::string tables[2];
    for (int k = 0; k < 2; ++k) {
        const std::string out = k == 0 ? "one" : "three";
        const Result fit = petab(std::string("fit '") + yaml.string() + "' " + out + " -n " + (k == 0 ? "1" : "3") +
                                 " -S 3 --target " + std::to_string(optimum - 1e-3));
        ASSERT_EQ(fit.status, 0) << fit.out << fit.err;
        EXPECT_NE(fit.out.find(": reached in "), std::string::npos) << fit.out;
        EXPECT_EQ(fit.out.find("refinement: "), std::string::npos) << "the search reached the target\n" << fit.out;
        const std::string log = qv::test::read_file(dir / out / "fit.log");
        EXPECT_NE(log.find("refinement[10], refined: 4, evaluations: "), std::string::npos) << log;
        EXPECT_EQ(log.find("generation[499]"), std::string::npos) << "the search ran to its end\n" << log;
        EXPECT_GT(value_of(fit.out, "best llh"), optimum - 1e-3) << fit.out;
        tables[k] = qv::test::read_file(dir / out / "parameters.tsv");
    }
    EXPECT_EQ(tables[0], tables[1]);
}

// A search stopped after 20 of 40 generations (0 to 19, its last state written after generation
// 10) goes on from that state with --resume and ends where the uninterrupted 40 generations end,
// table for table.
TEST_F(PetabCommands, AResumedFitEndsWhereTheUninterruptedOneEnds) {
    const fs::path yaml = kCases / "0002/_0002.yaml";
    auto ga_file = [](int generations) {
        return "ENCODE;REAL;\nGATYPE;DGA;" + std::to_string(generations) +
               ";1e300;2;40;RandomRing;10;0.1;\nPARALLEL;INDIVIDUAL;\nREFINE;10;1;30;\nCHECKPOINT;fit.state;10;\n"
               "DIGENESIS;MGG;10;\nCROSSOVER;UNDX;1.0;0.35;\nMUTATION;NONE;\n";
    };
    for (const char *d : {"whole", "parts"}) fs::create_directories(dir / d);
    qv::test::write_file(dir / "whole/problem.ga", ga_file(40));
    qv::test::write_file(dir / "parts/problem.ga", ga_file(20));
    const std::string common = " -n 1 -S 5 --starts 2 --refine 200";
    const Result whole = petab(std::string("fit '") + yaml.string() + "' whole" + common);
    ASSERT_EQ(whole.status, 0) << whole.out << whole.err;
    const Result first = petab(std::string("fit '") + yaml.string() + "' parts" + common);
    ASSERT_EQ(first.status, 0) << first.out << first.err;
    qv::test::write_file(dir / "parts/problem.ga", ga_file(40));
    const Result rest = petab(std::string("fit '") + yaml.string() + "' parts" + common + " --resume");
    ASSERT_EQ(rest.status, 0) << rest.out << rest.err;
    EXPECT_NE(rest.out.find("note: the search went on from its state after generation 10"), std::string::npos) << rest.out;
    EXPECT_TRUE(fs::exists(dir / "parts/fit.log.before-resume"));
    EXPECT_EQ(qv::test::read_file(dir / "parts/parameters.tsv"), qv::test::read_file(dir / "whole/parameters.tsv"));
    EXPECT_EQ(value_of(rest.out, "best llh"), value_of(whole.out, "best llh"));
}

TEST_F(PetabCommands, RefinementOnTwoProcessesChoosesWhatOneChooses) {
    const fs::path yaml = kCases / "0001/_0001.yaml";
    std::string tables[2];
    for (int n = 1; n <= 2; ++n) {
        const std::string out = "fit" + std::to_string(n);
        fs::create_directories(dir / out);
        qv::test::write_file(dir / out / "problem.ga",
                             "ENCODE;REAL;\nGATYPE;DGA;1;1e300;2;10;RandomRing;10;0.1;\nDIGENESIS;MGG;10;\n"
                             "CROSSOVER;UNDX;1.0;0.35;\nMUTATION;NONE;\n");
        const Result fit = petab(std::string("fit '") + yaml.string() + "' " + out + " -n " + std::to_string(n) +
                                 " -S 11 --starts 5 --refine 300");
        ASSERT_EQ(fit.status, 0) << fit.out << fit.err;
        tables[n - 1] = qv::test::read_file(dir / out / "parameters.tsv");
    }
    EXPECT_FALSE(tables[0].empty());
    EXPECT_EQ(tables[0], tables[1]);
}

// 25 estimated parameters: more than a plain model file may search, accepted for a problem.
TEST_F(PetabCommands, AProblemWithMoreSearchVariablesThanAPlainModelIsFitted) {
    const int n = 25;
    std::string law, params, xml_params;
    for (int k = 1; k <= n; ++k) {
        const std::string id = std::string("k") + std::to_string(k);
        law += k > 1 ? " + " : "";
        law += id;
        xml_params += "<parameter id=\"";
        xml_params += id;
        xml_params += "\" value=\"0.01\" constant=\"true\"/>";
        params += id;
        params += "\tlog10\t0.001\t1\t0.01\t1\n";
    }
    qv::test::write_file(dir / "model.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<sbml xmlns=\"http://www.sbml.org/sbml/level3/version1/core\" level=\"3\" version=\"1\"><model id=\"decay\">"
        "<listOfCompartments><compartment id=\"c\" size=\"1\" constant=\"true\"/></listOfCompartments>"
        "<listOfSpecies><species id=\"A\" compartment=\"c\" initialConcentration=\"1\" hasOnlySubstanceUnits=\"false\" "
        "boundaryCondition=\"false\" constant=\"false\"/></listOfSpecies>"
        "<listOfParameters>" + xml_params + "</listOfParameters>"
        "<listOfReactions><reaction id=\"r\" reversible=\"false\" fast=\"false\"><listOfReactants><speciesReference species=\"A\" "
        "stoichiometry=\"1\" constant=\"true\"/></listOfReactants><kineticLaw><math xmlns=\"http://www.w3.org/1998/Math/MathML\">"
        "<apply><times/><apply><plus/>" + [&] { std::string s; for (int k = 1; k <= n; ++k) { s += "<ci>k"; s += std::to_string(k); s += "</ci>"; } return s; }() +
        "</apply><ci>A</ci></apply></math></kineticLaw></reaction></listOfReactions></model></sbml>\n");
    qv::test::write_file(dir / "parameters.tsv", std::string("parameterId\tparameterScale\tlowerBound\tupperBound\tnominalValue\testimate\n") + params);
    qv::test::write_file(dir / "observables.tsv", "observableId\tobservableFormula\tnoiseFormula\nobs\tA\t0.1\n");
    qv::test::write_file(dir / "conditions.tsv", "conditionId\nc0\n");
    qv::test::write_file(dir / "measurements.tsv",
                         "observableId\tsimulationConditionId\ttime\tmeasurement\nobs\tc0\t1\t0.5\nobs\tc0\t2\t0.25\n");
    qv::test::write_file(dir / "problem.yaml",
                         "format_version: 1\nparameter_file: parameters.tsv\nproblems:\n- sbml_files: [model.xml]\n"
                         "  condition_files: [conditions.tsv]\n  measurement_files: [measurements.tsv]\n"
                         "  observable_files: [observables.tsv]\n");
    fs::create_directories(dir / "fit");
    qv::test::write_file(dir / "fit/problem.ga",
                         "ENCODE;REAL;\nGATYPE;DGA;20;1e300;2;30;RandomRing;10;0.1;\nDIGENESIS;MGG;10;\n"
                         "CROSSOVER;UNDX;1.0;0.35;\nMUTATION;NONE;\n");
    const Result fit = petab("fit problem.yaml fit -n 1 -S 3");
    ASSERT_EQ(fit.status, 0) << fit.out << fit.err << qv::test::read_file(dir / "fit/fit.log");
    EXPECT_TRUE(std::isfinite(value_of(fit.out, "best llh"))) << fit.out;
    EXPECT_NE(qv::test::read_file(dir / "fit/model.in").find("PARAM ; theta ; 25 ;"), std::string::npos);
}

// Faults in the problem: each import ends with the message (file, line, column where there is one),
// exit status 1, and writes nothing over the files of an earlier import.
TEST_F(PetabCommands, MalformedProblemsAreRefusedWithTheirMessage) {
    const fs::path base = kCases / "0001";
    struct Case {
        const char *name;
        std::vector<Edit> edits;
        const char *message;   // what the message ends with
    };
    const std::vector<Case> cases = {
        {"formula", {{"_observables.tsv", "obs_a\tA", "obs_a\tA * B_x"}},
         "observable 'obs_a': observableFormula: unknown identifier 'B_x' at column 5"},
        {"noise", {{"_observables.tsv", "\t0.5", "\t0.5 +"}}, "observable 'obs_a': noiseFormula: unexpected end of formula"},
        {"target", {{"_conditions.tsv", "conditionId\nc0", "conditionId\tnot_there\nc0\t1"}},
         "condition 'c0': target 'not_there' is not a parameter, compartment or species of the model whose value a "
         "condition can set"},
        {"event", {{"_model.xml", "</model>", "<listOfEvents><event id=\"e\"><trigger><math xmlns=\"http://www.w3.org/1998/"
                                                "Math/MathML\"><true/></math></trigger><listOfEventAssignments><eventAssignment "
                                                "variable=\"nothere\"><math xmlns=\"http://www.w3.org/1998/Math/MathML\"><cn>0</cn>"
                                                "</math></eventAssignment></listOfEventAssignments></event></listOfEvents></model>"}},
         "the <eventAssignment> with variable 'nothere' does not refer to an existing <compartment>, <species> or <parameter>."},
        {"missing", {{"_0001.yaml", "_conditions.tsv", "_nothere.tsv"}}, "missing/_nothere.tsv: cannot open the table"},
        {"column", {{"_observables.tsv", "observableFormula", "observableFormla"}},
         "column/_observables.tsv:1: table lacks the required column 'observableFormula'"},
        {"observable", {{"_measurements.tsv", "\nobs_a\tc0\t0", "\nobs_x\tc0\t0"}},
         "observable/_measurements.tsv:2:1: unknown observable 'obs_x'"},
        {"condition", {{"_measurements.tsv", "\nobs_a\tc0\t0", "\nobs_a\tc9\t0"}},
         "condition/_measurements.tsv:2:2: unknown condition 'c9'"},
        {"logneg", {{"_observables.tsv", "noiseFormula\nobs_a\tA\t0.5", "noiseFormula\tobservableTransformation\nobs_a\tA\t0.5\tlog"},
                    {"_measurements.tsv", "10\t0.1", "10\t-0.1"}},
         "logneg/_measurements.tsv:3:4: measurement -0.1 is not positive, but observable 'obs_a' is log-transformed"},
        {"bounds", {{"_parameters.tsv", "k1\tlin\t0\t", "k1\tlin\t1\t"}},
         "bounds/_parameters.tsv:4:5: nominalValue 0.8 of 'k1' is outside its bounds"},
        {"estimate", {{"_parameters.tsv", "1.0\t1\n", "1.0\t0\n"}, {"_parameters.tsv", "0.0\t1\n", "0.0\t0\n"},
                      {"_parameters.tsv", "0.8\t1\n", "0.8\t0\n"}, {"_parameters.tsv", "0.6\t1\n", "0.6\t0\n"}},
         "estimate/_parameters.tsv: no parameter is estimated (estimate 1 or true in no row)"},
    };
    // An earlier import's files, which no failed import may touch.
    ASSERT_EQ(petab(std::string("import '") + (base / "_0001.yaml").string() + "' out").status, 0);
    const std::string model = qv::test::read_file(dir / "out/model.cpp"), input = qv::test::read_file(dir / "out/model.in");
    for (const Case &c : cases) {
        const fs::path problem = copy_case(dir, c.name, base, c.edits);
        const Result r = petab(std::string("import '") + (problem / "_0001.yaml").string() + "' out_" + std::string(c.name));
        const Result again = petab(std::string("import '") + (problem / "_0001.yaml").string() + "' out --force");
        EXPECT_EQ(again.status, 1) << c.name;
        EXPECT_EQ(qv::test::read_file(dir / "out/model.cpp"), model) << c.name;
        EXPECT_EQ(qv::test::read_file(dir / "out/model.in"), input) << c.name;
        EXPECT_EQ(r.status, 1) << c.name;
        const std::string msg = r.err.substr(0, r.err.find('\n'));
        EXPECT_EQ(msg.substr(msg.size() - std::min(msg.size(), std::string(c.message).size())), c.message) << c.name << ": " << r.err;
        EXPECT_FALSE(fs::exists(dir / (std::string("out_") + c.name) / "model.cpp")) << c.name;
    }
}
