// End-to-end runs of the SBML case runner: the case driver linked with a hand-written model, and
// the exit statuses, messages and files of sbml_test_case.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "case_compare.h"
#include "case_runner.h"
#include "sbml_case_config.h"
#include "subprocess.h"

namespace {

namespace fs = std::filesystem;
using namespace qv::sbml_case;

const std::string kFixtures = std::string(QV_SOURCE_DIR) + "/tests/sbml_case/fixtures";
const std::string kSample = std::string(QV_SOURCE_DIR) + "/tests/sbml_case/cases";
const std::string kTestCase = std::string(QV_BINARY_DIR) + "/bin/sbml_test_case";
constexpr double kLimit = 600;

std::vector<std::string> filesIn(const std::string &dir) {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
}

// The fixture model: amount of A = 3 exp(-0.3 (t - 1)) in a compartment of size 2, from t = 1.
TEST(SbmlCaseDriver, WritesTheGridInAmountsAndConcentrations) {
    TempDir work;
    ASSERT_TRUE(work.ok());
    fs::copy(kFixtures + "/decay/model.cpp", work.path());
    fs::copy(kFixtures + "/decay/model.in", work.path());
    fs::copy(kFixtures + "/decay/model_rk4.in", work.path());
    ASSERT_EQ(buildCaseProgram(work.path()), "");
    const std::string prog = work.path() + "/case", in = work.path() + "/model.in";
    const std::string csv = work.path() + "/out.csv", log = work.path() + "/log";

    // The NDF solver writes every grid time; fixed-step Runge-Kutta all but the start.
    for (const std::string input : {"model.in", "model_rk4.in"}) {
        const std::vector<std::string> cmd{prog, work.path() + "/" + input, csv, "1", "5", "8",
                                           "a:A", "c:A", "c:k", "a:C"};
        ASSERT_TRUE(runProcess(cmd, log, kLimit).ok()) << readText(log);
        CsvTable t;
        ASSERT_EQ(readCsv(csv, &t), "");
        EXPECT_EQ(t.header, (std::vector<std::string>{"time", "A", "A", "k", "C"}));
        ASSERT_EQ(t.rows.size(), 9u);
        for (size_t i = 0; i < t.rows.size(); ++i) {
            const double time = 1 + 0.5 * static_cast<double>(i);
            const double amount = 3 * std::exp(-0.3 * (time - 1));
            EXPECT_EQ(t.rows[i][0], time);
            EXPECT_NEAR(t.rows[i][1], amount, 1e-7 * amount) << input << " t=" << time;
            EXPECT_NEAR(t.rows[i][2], amount / 2, 1e-7 * amount) << input << " t=" << time;
            EXPECT_EQ(t.rows[i][3], 0.3);
            EXPECT_EQ(t.rows[i][4], 2.0);
        }
    }

    // Requests the driver cannot meet end with status 1 and a message.
    const struct {
        std::vector<std::string> args;
        std::string message;
    } faults[] = {
        {{"1", "5", "8", "a:A", "c:B"}, "case driver: the model has no id 'B'"},
        {{"1", "5", "8", "x:A"}, "case driver: bad column 'x:A' (a:ID or c:ID)"},
        {{"1", "5", "0", "a:A"}, "case driver: bad time grid (T0 T1 STEPS)"},
        {{"1", "5", "7", "a:A"}, "case driver: the simulation has no output at t=1.5714285714285714"},
    };
    for (const auto &f : faults) {
        std::vector<std::string> cmd{prog, in, csv};
        cmd.insert(cmd.end(), f.args.begin(), f.args.end());
        const ProcessResult r = runProcess(cmd, log, kLimit);
        EXPECT_EQ(r.exitCode, 1) << f.message;
        EXPECT_NE(readText(log).find(f.message), std::string::npos) << readText(log);
    }
}

struct Expectation {
    std::vector<std::string> args;   // after the program name; "OUT" is the output directory
    int status;
    std::string message;             // part of standard error
};

void expectRun(const Expectation &e, const std::string &out) {
    TempDir logDir;
    std::vector<std::string> cmd{kTestCase};
    for (const auto &a : e.args) cmd.push_back(a == "OUT" ? out : a);
    const std::string log = logDir.path() + "/log";
    const ProcessResult r = runProcess(cmd, log, kLimit);
    EXPECT_EQ(r.exitCode, e.status) << readText(log);
    EXPECT_NE(readText(log).find(e.message), std::string::npos) << readText(log);
}

TEST(SbmlTestCaseProgram, BadRequestsWriteNothing) {
    TempDir out, cases;
    // A case with settings but only a level 3 version 2 model, and a case without settings.
    fs::create_directories(cases.path() + "/00001");
    fs::create_directories(cases.path() + "/00002");
    std::ofstream(cases.path() + "/00001/00001-settings.txt") << "start: 0\nduration: 1\nsteps: 2\n"
                                                                  "variables: A\nabsolute: 0\nrelative: 0\n";
    std::ofstream(cases.path() + "/00001/00001-sbml-l3v2.xml") << "<sbml/>\n";
    const std::string c = cases.path();
    const Expectation table[] = {
        {{}, 2, "usage: sbml_test_case CASES_DIR CASE_ID OUT_DIR LEVEL VERSION"},
        {{c, "00001", "OUT", "three", "2"}, 2, "usage:"},
        {{c, "00001", "OUT", "3"}, 2, "usage:"},
        {{c, "00001", "/nonexistent/out", "3", "2"}, 1, "/nonexistent/out: no such output directory"},
        {{c, "../00001", "OUT", "3", "2"}, 1, "sbml_test_case: bad case id '../00001'"},
        {{c, "00009", "OUT", "3", "2"}, 1, "sbml_test_case: 00009: no case directory " + c + "/00009"},
        {{c, "00002", "OUT", "3", "2"}, 1, "00002: cannot read " + c + "/00002/00002-settings.txt"},
        {{c, "00001", "OUT", "2", "4"}, 1, "00001: no model file " + c + "/00001/00001-sbml-l2v4.xml"},
        // Not a model: the importer's own message, not a refusal.
        {{c, "00001", "OUT", "3", "2"}, 1,
         *config::kImporter ? "00001: sbml_import exited with status 1: sbml_import: "
                            : "00001: this build has no SBML importer (libSBML was not found)"},
    };
    for (const auto &e : table) expectRun(e, out.path());
    EXPECT_TRUE(filesIn(out.path()).empty());
}

TEST(SbmlTestCaseProgram, RefusedCaseExits3AndKeepsTheOldResult) {
    if (*config::kImporter == '\0') GTEST_SKIP() << "built without the SBML importer";
    TempDir out;
    std::ofstream(out.path() + "/90001.csv") << "old\n";
    expectRun({{kFixtures + "/refused", "90001", "OUT", "3", "2"}, 3, "sbml_test_case: 90001 refused: "},
              out.path());
    expectRun({{kFixtures + "/refused", "90001", "OUT", "3", "2"}, 3, "algebraic rule"}, out.path());
    EXPECT_EQ(filesIn(out.path()), std::vector<std::string>{"90001.csv"});
    EXPECT_EQ(readText(out.path() + "/90001.csv"), "old\n");
}

TEST(SbmlTestCaseProgram, WrittenCaseMatchesTheSuiteResults) {
    if (*config::kImporter == '\0') GTEST_SKIP() << "built without the SBML importer";
    // The first delivered sample case: the CSV is complete, named after the case, and passes.
    std::vector<std::string> ids = filesIn(kSample);
    ASSERT_FALSE(ids.empty());
    std::sort(ids.begin(), ids.end());
    const std::string id = ids.front();
    TempDir out;
    expectRun({{kSample, id, "OUT", "3", "2"}, 0, ""}, out.path());
    EXPECT_EQ(filesIn(out.path()), std::vector<std::string>{id + ".csv"});
    CaseSettings s;
    ASSERT_EQ(readSettings(kSample + "/" + id + "/" + id + "-settings.txt", &s), "");
    CsvTable computed, expected;
    ASSERT_EQ(readCsv(out.path() + "/" + id + ".csv", &computed), "");
    ASSERT_EQ(readCsv(kSample + "/" + id + "/" + id + "-results.csv", &expected), "");
    EXPECT_EQ(computed.header.size(), s.variables.size() + 1);
    EXPECT_EQ(compareTables(computed, expected, s.absolute, s.relative), "");
}

}  // namespace

namespace {

// sbml_suite over a passing case, the same case with one expected value moved out of tolerance,
// and a refused case: one line each in id order, the totals, and --min-passed.
TEST(SbmlSuiteProgram, ReportsEachCaseAndTheTotals) {
    if (*config::kImporter == '\0') GTEST_SKIP() << "built without the SBML importer";
    TempDir cases, logDir;
    const std::string c = cases.path();
    fs::copy(kSample + "/00011", c + "/00011");
    fs::copy(kFixtures + "/refused/90001", c + "/00012");
    for (const auto &e : fs::directory_iterator(c + "/00012")) {
        std::string name = e.path().filename().string();
        fs::rename(e.path(), c + "/00012/00012" + name.substr(5));
    }
    // Case 00010: 00011 with S2 at the third row (t = 0.8) raised by 1e-3.
    fs::create_directories(c + "/00010");
    for (const char *suffix : {"-settings.txt", "-sbml-l3v2.xml"})
        fs::copy(kSample + "/00011/00011" + suffix, c + "/00010/00010" + suffix);
    CsvTable t;
    ASSERT_EQ(readCsv(kSample + "/00011/00011-results.csv", &t), "");
    {
        std::ofstream out(c + "/00010/00010-results.csv");
        out << "time,S1,S2,S3\n";
        out.precision(17);
        for (size_t r = 0; r < t.rows.size(); ++r)
            out << t.rows[r][0] << ',' << t.rows[r][1] << ',' << t.rows[r][2] + (r == 2 ? 1e-3 : 0) << ','
                << t.rows[r][3] << '\n';
    }
    const std::string suite = std::string(QV_BINARY_DIR) + "/bin/sbml_suite", log = logDir.path() + "/log";
    ProcessResult r = runProcess({suite, c, "-j", "2"}, log, kLimit);
    EXPECT_EQ(r.exitCode, 0);
    // The computed value of the first line is the solver's; the moved expected value is exact.
    char moved[40];
    std::snprintf(moved, sizeof moved, "%.9g", t.rows[2][2] + 1e-3);
    const std::string text = readText(log);
    const std::string first = text.substr(0, text.find('\n'));
    EXPECT_EQ(first.rfind("00010 failed: S2 at t=0.8: 0.00218", 0), 0u) << first;
    EXPECT_EQ(first.substr(first.find(" vs ")), std::string(" vs ") + moved);
    EXPECT_EQ(text.substr(first.size() + 1),
              "00011 passed\n"
              "00012 refused: algebraic rule #1 (algebraic rules are not supported)\n"
              "passed 1, refused 1, failed 1\n");
    r = runProcess({suite, c, "--min-passed", "2"}, log, kLimit);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(readText(log).find("sbml_suite: 1 passed, fewer than the required 2"), std::string::npos);
    const Expectation usage[] = {
        {{"-j", "0"}, 2, "sbml_suite: bad value for -j: '0'"},
        {{"--min-passed"}, 2, "sbml_suite: --min-passed needs a value"},
        {{c, c}, 2, "sbml_suite: more than one cases directory"},
        {{c + "/none"}, 1, "sbml_suite: " + c + "/none: no such cases directory"},
    };
    for (const auto &u : usage) {
        std::vector<std::string> cmd{suite};
        cmd.insert(cmd.end(), u.args.begin(), u.args.end());
        EXPECT_EQ(runProcess(cmd, log, kLimit).exitCode, u.status);
        EXPECT_NE(readText(log).find(u.message), std::string::npos) << readText(log);
    }
}

}  // namespace
