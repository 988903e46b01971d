// The sbml_import program end to end: the hostile and refused inputs of tests/corpus_sbml with
// their exit status and message, the command line, the protection of edited files, and a
// generated model (awkward ids, measurements) compiled with the C++ compiler and run: its
// equations and its data fitness against values computed by hand.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include <gtest/gtest.h>

#include "quorvant/sbml/sbml_reader.h"
#include "text_files.h"

namespace fs = std::filesystem;

namespace {

const std::string kImporter = std::string(QV_BINARY_DIR) + "/bin/sbml_import";
const fs::path kCorpus = fs::path(QV_SOURCE_DIR) / "tests/corpus_sbml";
const fs::path kModels = fs::path(QV_SOURCE_DIR) / "tests/sbml/models";

struct Result {
    int status = -1;
    std::string out, err;
};

class ImportCli : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("qv_sbml_cli_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
               std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs a shell command in the work directory; standard output and error kept apart.
    Result run(const std::string &cmd) {
        Result r;
        const std::string full = "cd '" + dir.string() + "' && " + cmd + " >stdout.txt 2>stderr.txt";
        const int raw = std::system(full.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = qv::test::read_file(dir / "stdout.txt");
        r.err = qv::test::read_file(dir / "stderr.txt");
        return r;
    }
    Result import(const std::string &args) { return run("'" + kImporter + "' " + args); }
};

std::string first_line(const std::string &s) { return s.substr(0, s.find('\n')); }

}  // namespace

TEST_F(ImportCli, HostileAndRefusedInputsEndWithTheirMessage) {
    struct Expect {
        const char *file;
        int status;
        const char *message;   // first line of standard error
    };
    const Expect table[] = {
        {"event.xml", 1,
         "sbml_import: event.xml: line 7:   The <assignmentRule> variable 'x' conflicts with the previously defined "
         "<eventAssignment> variable 'x' at line 7."},
        {"algebraic_rule.xml", 1, "sbml_import: refused: algebraic rule #1 (algebraic rules are not supported)"},
        {"fast_reaction.xml", 1, "sbml_import: refused: fast reaction 'Rfast' (fast reactions are not supported)"},
        {"delay.xml", 1, "sbml_import: refused: delay in kinetic law of reaction 'R1' (delays are not supported)"},
        {"rate_of.xml", 1, "sbml_import: refused: rateOf in assignment rule for 'x' (rateOf is not supported)"},
        {"fbc_package.xml", 1, "sbml_import: refused: package 'fbc' (SBML packages are not supported)"},
        {"stoichiometry_math_l2.xml", 1,
         "sbml_import: refused: stoichiometryMath of species 'S' in reaction 'R1' (stoichiometryMath is not supported)"},
        {"division_by_zero.xml", 1,
         "sbml_import: refused: kinetic law of reaction 'R1' is not finite at the start state (division by zero?)"},
        {"too_many_parameters.xml", 1,
         "sbml_import: refused: the model has 131 compartments, parameters and local parameters (a model input file "
         "holds at most 124)"},
        {"exploding_rules.xml", 1,
         "sbml_import: refused: rate of change of 'S' (too large to differentiate once its assignment rules are "
         "substituted)"},
        {"initial_value_cycle.xml", 1,
         "sbml_import: refused: initial values depend on each other in a cycle through 'c'"},
        {"deep_math.xml", 1, "sbml_import: refused: math nested too deeply in kinetic law of reaction 'R1'"},
        {"unknown_id.xml", 1,
         "sbml_import: unknown_id.xml: line 7: The formula 'kx' in the math element of the <kineticLaw> uses 'kx' that "
         "is not the id of a species/compartment/parameter/reaction/speciesReference."},
        {"undefined_function.xml", 1,
         "sbml_import: undefined_function.xml: line 7: The formula 'f(S)' in the math element of the <kineticLaw> uses "
         "'f' which is not a function definition id."},
        {"no_model.xml", 1, "sbml_import: no_model.xml: no model in the document"},
        {"not_xml.xml", 1, "sbml_import: not_xml.xml: line 1: Main XML content is empty."},
        {"empty.xml", 1, "sbml_import: empty.xml: line 1: XML content is not well-formed."},
        {"truncated.xml", 1, "sbml_import: truncated.xml: line 5: XML content is not well-formed."},
        {"billion_laughs.xml", 1, "sbml_import: billion_laughs.xml: line 14: Undefined XML entity."},
        {"missing_file.xml", 1, "sbml_import: missing_file.xml: no such file"},
    };
    size_t files = 0;
    for (const auto &f : fs::directory_iterator(kCorpus)) files += f.path().extension() == ".xml";
    EXPECT_EQ(files + 1, std::size(table)) << "every corpus file has a row (and one row has no file)";
    for (const auto &e : table) {
        const fs::path src = kCorpus / e.file;
        if (fs::exists(src)) fs::copy_file(src, dir / e.file, fs::copy_options::overwrite_existing);
        const Result r = import(std::string(e.file) + " out");
        EXPECT_EQ(r.status, e.status) << e.file;
        EXPECT_EQ(first_line(r.err), e.message) << e.file;
        EXPECT_FALSE(fs::exists(dir / "out/model.cpp")) << e.file << ": nothing is written for a refused model";
    }
}

TEST_F(ImportCli, CommandLineAndEditedFiles) {
    const std::string model = (kModels / "names_and_data.xml").string();
    // Bad usage: status 2 and the usage text.
    for (const std::string &args : {std::string(""), model, model + " out --points 0", model + " out --t-end x",
                                   model + " out --rtol -1", model + " out --bogus 1", model + " out --t-end 0"}) {
        const Result r = import(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage: sbml_import MODEL.xml OUTDIR"), std::string::npos) << args;
    }
    // A clean import prints the build line; importing again over unedited files is fine.
    Result r = import(model + " out --t-start 1 --t-end 3 --points 4 --atol 1e-9 --rtol 1e-7");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "cmake -S " + std::string(QV_SOURCE_DIR) + " -B " + (dir / "out/build").string() +
                         " -DQUORVANT_MODEL=" + (dir / "out/model.cpp").string() + " && cmake --build " +
                         (dir / "out/build").string() + " -j\n");
    const std::string in = qv::test::read_file(dir / "out/model.in");
    for (const char *line : {"SOLVER      ; 3", "T_START     ; 1\n", "T_END       ; 3\n", "DELTA_M     ; 0.5 ",
                             "NDF_RTOL    ; 9.9999999999999995e-08", "NDF_ATOL    ; 1.0000000000000001e-09",
                             "PARAM ; y_force_1 ; 1 ; 0.5 ;;;;;;; y_force\n", "Y_START ; 4 ; 1 ; time\n"})
        EXPECT_NE(in.find(line), std::string::npos) << line;
    ASSERT_EQ(import(model + " out").status, 0);
    // An edited model.cpp is kept, with a message, until --force.
    { std::ofstream(dir / "out/model.cpp", std::ios::app) << "// my change\n"; }
    r = import(model + " out");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(first_line(r.err), "sbml_import: out/model.cpp was changed after sbml_import wrote it (or was not "
                                 "written by it); --force overwrites it");
    EXPECT_NE(qv::test::read_file(dir / "out/model.cpp").find("// my change"), std::string::npos);
    EXPECT_EQ(import(model + " out --force").status, 0);
    EXPECT_EQ(qv::test::read_file(dir / "out/model.cpp").find("// my change"), std::string::npos);
    // model.in cannot be replaced (a directory holds its name): the message says model.cpp already
    // was, and no temporary file is left.
    fs::remove(dir / "out/model.in");
    fs::create_directories(dir / "out/model.in/keep");
    r = import(model + " out --force");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(first_line(r.err), "sbml_import: out/model.in: cannot replace the file (out/model.cpp was replaced: "
                                 "import again to write both files)");
    for (const auto &f : fs::directory_iterator(dir / "out"))
        EXPECT_EQ(f.path().filename().string().find(".tmp"), std::string::npos) << f.path();
    fs::remove_all(dir / "out/model.in");
    // Bad measurements: the file and line named.
    { std::ofstream(dir / "bad.csv") << "time,int,nosuch\n1,2,3\n"; }
    r = import(model + " out2 --data bad.csv");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(first_line(r.err),
              "sbml_import: bad.csv:1: unknown id 'nosuch' (not a species, compartment or parameter of the model)");
    { std::ofstream(dir / "bad.csv") << "time,int\n1,2\n0.5,x\n"; }
    EXPECT_EQ(first_line(import(model + " out2 --data bad.csv").err),
              "sbml_import: bad.csv:3: time 0.5 does not follow the previous row's time");
    { std::ofstream(dir / "bad.csv") << "time,int\n1,2\n2,abc\n"; }
    EXPECT_EQ(first_line(import(model + " out2 --data bad.csv").err),
              "sbml_import: bad.csv:3: value 'abc' of int is not a number");
    EXPECT_FALSE(fs::exists(dir / "out2"));
}

// The generated source compiles with awkward ids, runs the equations the SBML file states, and
// scores measurements as computed by hand.
TEST_F(ImportCli, GeneratedModelCompilesAndScoresData) {
    const fs::path xml = kModels / "names_and_data.xml", csv = kModels / "names_and_data.csv";
    Result r = import(xml.string() + " out --data " + csv.string());
    ASSERT_EQ(r.status, 0) << r.err;
    // The data times 1, 1.5 and 3 lie on the output grid of 6 intervals up to the last time.
    EXPECT_NE(qv::test::read_file(dir / "out/model.in").find("DELTA_M     ; 0.5 "), std::string::npos);

    qv::sbml::ImportedModel m;
    ASSERT_EQ(qv::sbml::import_sbml(xml.string(), {}, m), "");
    std::string set_params;
    for (size_t k = 0; k < m.params.size(); ++k)
        set_params += "    P.val[" + std::to_string(k + 1) + "][1] = " + std::to_string(m.params[k].value) + ";\n";
    // States: int (concentration), double (amount), the rate-rule parameter, time.
    std::ofstream(dir / "driver.cpp") << R"(#include <cstdio>
#include "quorvant/model.h"
#include "quorvant/sbml_observe.h"
int main() {
    static parameter P;
)" << set_params << R"(
    double y[5] = {0, 1.5, 4.0, 2.0, 1.0}, dydt[5] = {0};
    usr_fvec(dydt, y, 1.0, &P);
    std::printf("%.10g %.10g %.10g %.10g\n", dydt[1], dydt[2], dydt[3], dydt[4]);
    static double rows[3][5] = {{0, 1, 3, 2, 0}, {1, 1.5, 4, 2, 1}, {2, 0.5, 6, 2, 2}};
    double *sol[3] = {rows[0], rows[1], rows[2]};
    double fit = 0;
    QvUsrFitness(sol, 3, 4, 0, &fit);
    std::printf("%.10g\n", fit);
    QvUsrFitness(sol, 3, 4, -1, &fit);
    std::printf("%.10g\n", fit);
    double amount[16], conc[16];
    qv_sbml_observe(y, &P, amount, conc);
    for (int k = 0; k < qv_sbml_observable_count; ++k)
        std::printf("%s %d %.10g %.10g\n", qv_sbml_observable_ids[k], qv_sbml_observable_is_species[k], amount[k], conc[k]);
    std::printf("time %d\n", qv_sbml_time_index);
}
)";
    r = run(std::string("'") + QV_CXX_COMPILER + "' -std=c++20 -O1 " + QV_MODEL_SANITIZE + " -I'" + QV_SOURCE_DIR +
            "/include' out/model.cpp driver.cpp '" + QV_SBML_RUNTIME_ARCHIVE + "' -o driver && ./driver");
    ASSERT_EQ(r.status, 0) << r.err;
    // Reaction 'for' runs at y_force * int * p * (local a_very_long_parameter_name_1 = 1)
    // = 0.5 * 1.5 * 2 * 1 = 1.5 amount per time: int (concentration in p = 2) falls by 0.75, double
    // (amount) rises by 1.5; the rate rule gives -2 / y = -0.5; time runs at 1.
    // Fitness: at t = 1, int 1.5 vs 2 -> ((1.5-2)/2)^2 = 0.0625, double 4 vs 0 -> 16 (absolute);
    // at t = 1.5 (halfway between the rows) double 5 vs 5 -> 0 and total = int + double = 6 vs 4 ->
    // 0.25; at t = 3, past the stored rows, int costs the penalty 1e6.
    const std::string expected = "-0.75 1.5 -0.5 1\n"
                                 "-1000016.312\n"
                                 "-1e+10\n"
                                 "int 1 3 1.5\n"
                                 "double 1 4 2\n"
                                 "p 0 2 2\n"
                                 "y_force 0 0.5 0.5\n"
                                 "a_very_long_parameter_name_1 0 5 5\n"
                                 "a_very_long_parameter_name_2 0 2 2\n"
                                 "total 0 5.5 5.5\n"
                                 "y 0 4 4\n"
                                 "time 4\n";
    EXPECT_EQ(r.out, expected);
}
