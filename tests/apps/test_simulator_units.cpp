// Pieces of the simulator that need no MPI run: options, survey cases and values, the final
// result file, the eigenvalue report.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "quorvant/model.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "simulator.h"
#include "test_model.h"
#include "text_files.h"

namespace fs = std::filesystem;

namespace {

struct Argv {
    std::vector<std::string> words;
    std::vector<char *> ptrs;
    explicit Argv(std::vector<std::string> w) : words(std::move(w)) {
        words.insert(words.begin(), "simulator");
        for (auto &s : words) ptrs.push_back(s.data());
        ptrs.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(words.size()); }
    char **argv() { return ptrs.data(); }
};

using qv::test::read_file;
using qv::test::write_file;

std::string streamText(FILE *fp) {
    std::fflush(fp);
    std::rewind(fp);
    std::string s;
    char buf[1024];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) s.append(buf, n);
    return s;
}

}  // namespace

TEST(SimulatorOptions, AcceptsGluedValuesAndRejectsEverythingElse) {
    struct Case {
        std::vector<std::string> args;
        int result;
        const char *message;
        const char *input;
    };
    const std::vector<Case> cases = {
        {{"-Imodel.dat", "-Oout"}, 0, "", "model.dat"},
        {{"-Oout", "stray", "-d3", "-pfoo", "-Ia b.in"}, 0, "", "a b.in"},
        {{"-I", "model.dat", "-Oout"}, -1, "initialize: invarid file name!!\n", ""},
        {{"-Imodel.dat"}, -1, "initialize: invarid file name!!\n", "model.dat"},
        {{"-Ia", "-Ib", "-Oout"}, -1, "initialize: invarid file name!!\n", "b"},
        {{"-Imodel.dat", "-Oout", "-x"}, -1, "initialize: invalid argument !!\n", "model.dat"},
        {{"-Imodel.dat", "-", "-Oout"}, -1, "initialize: invalid argument !!\n", "model.dat"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        Argv a(c.args);
        SimOptions opt;
        testing::internal::CaptureStdout();
        EXPECT_EQ(parseOptions(a.argc(), a.argv(), opt), c.result);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
        EXPECT_EQ(opt.input, c.input);
    }
    EXPECT_EQ(rankFileName("my result", 3), "my result_3");
}

TEST(SimulatorSurvey, CasesAreDividedIntoConsecutiveBlocksHighestRanksTakingTheRest) {
    struct Expect {
        int total, nprocs, rank;
        bool spread;
        int first, last;
        bool split;
    };
    for (const Expect &e : {Expect{10, 4, 0, true, 0, 2, true}, Expect{10, 4, 1, true, 2, 4, true},
                            Expect{10, 4, 2, true, 4, 7, true}, Expect{10, 4, 3, true, 7, 10, true},
                            Expect{3, 4, 2, true, 0, 3, false}, Expect{10, 4, 3, false, 0, 10, false},
                            Expect{10, 1, 0, true, 0, 10, false}, Expect{1, 1, 0, false, 0, 1, false}}) {
        const CaseRange r = divideCases(e.total, e.nprocs, e.rank, e.spread);
        EXPECT_EQ(r.first, e.first) << e.total << "/" << e.nprocs << " rank " << e.rank;
        EXPECT_EQ(r.last, e.last) << e.total << "/" << e.nprocs << " rank " << e.rank;
        EXPECT_EQ(r.split, e.split);
    }
    // Every case exactly once, in rank order, for any split.
    for (int total = 1; total <= 23; ++total)
        for (int nprocs = 1; nprocs <= std::min(total, 7); ++nprocs) {
            int next = 0;
            for (int rank = 0; rank < nprocs; ++rank) {
                const CaseRange r = divideCases(total, nprocs, rank, true);
                EXPECT_EQ(r.first, next);
                EXPECT_GE(r.last - r.first, total / nprocs);
                next = r.last;
            }
            EXPECT_EQ(next, total);
        }
}

TEST(SimulatorSurvey, DigitsCountFirstEntryFastestAndRunBackAndForthForSteadyStates) {
    survey s[2] = {};
    s[0].steps = 3;
    s[1].steps = 2;
    EXPECT_EQ(surveyCaseCount(s, 2), 6);
    EXPECT_EQ(surveyCaseCount(s, 0), 1);
    EXPECT_EQ(surveyDigit(s, 0, 4, false), 1);
    EXPECT_EQ(surveyDigit(s, 1, 4, false), 1);
    EXPECT_EQ(surveyDigit(s, 0, 5, false), 2);
    EXPECT_EQ(surveyDigit(s, 1, 5, false), 1);
    const int first[] = {0, 1, 2, 2, 1, 0};
    const int second[] = {0, 0, 0, 1, 1, 1};
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(surveyDigit(s, 0, c, true), first[c]) << "case " << c;
        EXPECT_EQ(surveyDigit(s, 1, c, true), second[c]) << "case " << c;
    }
}

TEST(SimulatorSurvey, BackAndForthVisitsEveryCombinationOnceStepByStep) {
    survey s[3] = {};
    s[0].steps = 3;
    s[1].steps = 2;
    s[2].steps = 4;
    const int total = surveyCaseCount(s, 3);
    std::set<std::vector<int>> seen;
    std::vector<int> prev;
    for (int c = 0; c < total; ++c) {
        std::vector<int> d = {surveyDigit(s, 0, c, true), surveyDigit(s, 1, c, true), surveyDigit(s, 2, c, true)};
        EXPECT_TRUE(seen.insert(d).second) << "case " << c << " repeats a combination";
        if (!prev.empty()) {
            int distance = 0;
            for (int i = 0; i < 3; ++i) distance += std::abs(d[i] - prev[i]);
            EXPECT_EQ(distance, 1) << "case " << c;
        }
        prev = d;
    }
    EXPECT_EQ(static_cast<int>(seen.size()), total);
    survey big[2] = {};
    big[0].steps = 100000;
    big[1].steps = 100000;
    EXPECT_EQ(surveyCaseCount(big, 2), -1);   // too many cases to count in an int
}

TEST(SimulatorSurvey, ArithmeticAndGeometricValues) {
    survey a{};
    a.f_isArithmetic = 1;
    a.start_value = 1.0;
    a.change_value = 0.5;
    survey g{};
    g.f_isArithmetic = 0;
    g.start_value = 1.0;
    g.change_value = 10.0;
    const double av[] = {1.0, 1.5, 2.0};
    const double gv[] = {1.0, 10.0, 100.0};
    for (int d = 0; d < 3; ++d) {
        EXPECT_DOUBLE_EQ(surveyValue(a, d), av[d]);
        EXPECT_DOUBLE_EQ(surveyValue(g, d), gv[d]);
    }
}

class SimulatorTables : public testing::Test {
protected:
    FILE *out = nullptr;
    void SetUp() override {
        resetParamTab();
        resetInputData();
        for (const char *name : {"constantPlayer", "k2", "y_force", "y_add", "time_start", "time_end"})
            ASSERT_EQ(addParam2Tab(name), 0);
        out = std::tmpfile();
        Fp_out = out;
    }
    void TearDown() override {
        Fp_out = nullptr;
        std::fclose(out);
        resetParamTab();
        resetInputData();
    }
};

TEST_F(SimulatorTables, SurveyValuesGoIntoTheBaseCopyAndTheResultFile) {
    GeneConc = 10.0;
    SolverNo = 1;
    P_SurveyNum = 2;
    P_Survey[0] = survey{1, 1, 3, 1, 10.0, 5.0};   // constantPlayer (scaled): 10, 15, 20
    P_Survey[1] = survey{2, 2, 2, 0, 1.0, 10.0};   // k2[2]: 1, 10
    setSurveyValue(4);                             // digits (1, 1)
    EXPECT_EQ(ParamB.val[1][1], 15.0);
    EXPECT_EQ(ParamB.val[2][2], 10.0);
    EXPECT_EQ(streamText(out),
              "\n$$ PARAMETER SURVEY No. 5 : constantPlayer[1] =  1.500E+00  k2[2] =  1.000E+01  \n\n");
}

TEST_F(SimulatorTables, EigenvalueReportFormsAndUnconvergedEntries) {
    SolverNo = 1;
    const double wr[] = {0, -1.0, -0.5};
    const double wi[] = {0, 0.0, 0.25};
    writeEigenvalues(out, EigenForm::ResultFile, wr, wi, 2, 0);
    writeEigenvalues(out, EigenForm::RestartFile, wr, wi, 2, 0);
    EXPECT_EQ(streamText(out),
              "\n$$ Eigenvalues (calc. with last y values)\n"
              "\n  No.,        Real,   Imaginary\n"
              "    1,  -1.000e+00,   0.000e+00\n"
              "    2,  -5.000e-01,   2.500e-01\n"
              "\n##### Eigenvalues #####\n"
              "\n  No.        Real     Imaginary\n"
              "    1   -1.000e+00    0.000e+00\n"
              "    2   -5.000e-01    2.500e-01\n");

    // The QR iteration gave up on the first eigenvalue: what was found is written, and the log says so.
    std::rewind(out);
    SolverNo = 11;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double wr2[] = {0, nan, -2.0};
    const double wi2[] = {0, nan, 0.0};
    FILE *second = std::tmpfile();
    testing::internal::CaptureStdout();
    writeEigenvalues(second, EigenForm::ResultFile, wr2, wi2, 2, -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "## Eigenvalue iteration did not converge: 1 of 2 eigenvalues found.\n");
    EXPECT_EQ(streamText(second),
              "\n$$ Eigenvalues\n"
              "\n  No.,        Real,   Imaginary\n"
              "    2,  -2.000e+00,   0.000e+00\n");
    std::fclose(second);
}

namespace {
void lowerTriangularJac(double **jac, double *, double, parameter *) {
    jac[1][1] = -1.0;
    jac[2][1] = 1.0;
    jac[2][2] = -2.0;
}
}  // namespace

TEST_F(SimulatorTables, EigenvaluesOfTheModelJacobian) {
    SolverNo = 11;
    Param.n_var = 2;
    setTestModel(nullptr, lowerTriangularJac);
    double y[3] = {0, 1, 1};
    calc_eigenvalues(y, out, EigenForm::ResultFile);
    setTestModel(nullptr, nullptr);
    std::istringstream in(streamText(out));
    std::string line;
    std::multiset<double> found;
    while (std::getline(in, line)) {
        int no;
        double re, im;
        if (std::sscanf(line.c_str(), "%d,%lf,%lf", &no, &re, &im) == 3) {
            found.insert(re);
            EXPECT_EQ(im, 0.0);
        }
    }
    EXPECT_EQ(found, (std::multiset<double>{-2.0, -1.0}));
}

class FinalFileTest : public testing::Test {
protected:
    fs::path dir;
    fs::path saved;
    void SetUp() override {
        char tmpl[] = "/tmp/qv_final_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        saved = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override {
        fs::current_path(saved);
        fs::remove_all(dir);
    }
    static std::string rankFile(int rank, const std::string &cases) {
        return "##### CPU " + std::to_string(rank + 1) + "/3 (host)\n" + cases + "\n$$ END ALL!!\n";
    }
};

TEST_F(FinalFileTest, JoinKeepsRankOrderAndDropsTheOtherRanksCpuLines) {
    // Names with blanks and shell characters are plain names: nothing is run by a shell.
    for (const std::string name : {"out", "my result", "a;b $(touch x)"}) {
        SCOPED_TRACE(name);
        write_file(name + "_0", "echo\n" + rankFile(0, "case 1\n"));
        write_file(name + "_1", rankFile(1, "case 2\ncase 3\n"));
        write_file(name + "_2", rankFile(2, "case 4\n"));
        ASSERT_EQ(makeFinalFile(3, true, name), 0);
        EXPECT_EQ(read_file(name),
                  "echo\n##### CPU 1/3 (host)\ncase 1\n\ncase 2\ncase 3\n\ncase 4\n\n\n$$ END ALL!!\n");
        EXPECT_TRUE(fs::exists(name + "_1"));   // the per-rank files stay
    }
    EXPECT_FALSE(fs::exists("x"));
    // Only the result files and the per-rank files: no temporary file left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 12);
}

TEST_F(FinalFileTest, JoinSplitsNoLongLinesAndStopsOnlyAtALineStartingWithTheEndMarker) {
    const std::string longLine = std::string(511, 'x') + "$$ END inside\n";
    write_file("out_0", "##### CPU 1/1 (host)\n" + longLine + "$$ END ALL!!\nafter\n");
    ASSERT_EQ(makeFinalFile(1, false, "out"), 0);
    EXPECT_EQ(read_file("out"), "##### CPU 1/1 (host)\n" + longLine + "\n$$ END ALL!!\n");
}

TEST_F(FinalFileTest, WhenEveryProcessRanEveryCaseRankZerosFileBecomesTheResult) {
    write_file("res_0", rankFile(0, "case 1\n"));
    write_file("res_1", rankFile(1, "case 1\n"));
    write_file("res", "old result\n");
    ASSERT_EQ(makeFinalFile(2, false, "res"), 0);
    EXPECT_EQ(read_file("res"), rankFile(0, "case 1\n"));
    EXPECT_FALSE(fs::exists("res_0"));
    EXPECT_TRUE(fs::exists("res_1"));
}

TEST_F(FinalFileTest, FailedJoinLeavesTheEarlierResultAlone) {
    write_file("res", "old result\n");
    write_file("res_0", rankFile(0, "case 1\n"));
    // res_1 is missing
    testing::internal::CaptureStdout();
    EXPECT_EQ(makeFinalFile(2, true, "res"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cannot open res_1!!\n");
    EXPECT_EQ(read_file("res"), "old result\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);

    testing::internal::CaptureStdout();
    EXPECT_EQ(makeFinalFile(2, false, "nothing"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cannot move nothing_0 to nothing!!\n");
}

TEST_F(FinalFileTest, JoinedFileGetsTheUsualPermissions) {
    const mode_t mask = umask(022);
    write_file("out_0", rankFile(0, "case\n"));
    ASSERT_EQ(makeFinalFile(1, false, "out"), 0);
    umask(mask);
    struct stat st;
    ASSERT_EQ(stat("out", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}
