// Parameter surveys on one and several processes: the joined result file holds every case once,
// in case order, with the values and results of that case.
#include "test_simulator_support.h"

using namespace simtest;

namespace {

struct SurveyCase {
    int number = 0;                            // 1-based case number
    std::map<std::string, double> values;      // name[index] -> survey value
    std::string text;                          // the case's part of the result file
};

// Splits a result file at its "$$ PARAMETER SURVEY No." lines.
std::vector<SurveyCase> surveyCases(const std::string &out) {
    const std::string marker = "$$ PARAMETER SURVEY No. ";
    std::vector<SurveyCase> cases;
    size_t pos = out.find(marker);
    while (pos != std::string::npos) {
        const size_t next = out.find(marker, pos + 1);
        SurveyCase c;
        c.text = out.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        std::istringstream in(c.text.substr(marker.size()));
        std::string colon;
        in >> c.number >> colon;
        std::string name, eq;
        double value;
        while (in >> name >> eq >> value && eq == "=") c.values[name] = value;
        cases.push_back(c);
        pos = next;
    }
    return cases;
}

// The linear survey file: k1 = 0.5, 0.75, ..., 1.5 (fastest), k2 = 0.3, 0.6.
void checkLinearSurvey(const std::string &out, int nprocs) {
    const auto cases = surveyCases(out);
    ASSERT_EQ(cases.size(), 10u) << out;
    for (int c = 0; c < 10; ++c) {
        SCOPED_TRACE("case " + std::to_string(c + 1));
        const double k1 = 0.5 + 0.25 * (c % 5);
        const double k2 = 0.3 * (c < 5 ? 1.0 : 2.0);
        EXPECT_EQ(cases[c].number, c + 1);
        expectPrinted(cases[c].values.at("k1[1]"), k1, "k1");
        expectPrinted(cases[c].values.at("k2[1]"), k2, "k2");
        const auto courses = timeCourses(cases[c].text);
        ASSERT_EQ(courses.size(), 1u);
        ASSERT_EQ(courses[0].size(), 6u);   // t = 0, 1, ..., 5
        const auto &last = courses[0].back();
        expectPrinted(last[1], linearX1(5.0, 1.0, k1), "X1(5)");
        expectPrinted(last[2], linearX2(5.0, 1.0, 0.5, k1, k2), "X2(5)");
        EXPECT_NE(cases[c].text.find("\n$$ Finish Successfully!!\n"), std::string::npos);
    }
    EXPECT_EQ(count(out, "##### CPU 1/" + std::to_string(nprocs) + " ("), 1u);
    EXPECT_EQ(count(out, "##### CPU"), 1u);   // the other ranks' CPU lines are not joined
    EXPECT_EQ(count(out, "$$ END"), 1u);
    EXPECT_EQ(out.substr(out.size() - 14), "\n$$ END ALL!!\n");
}

const char *const kThreeCases = R"(SOLVER ; 1
P_SURVEY ; 1
PARALLEL ; 1
N_VAR ; 2
G_VALUE ; 1
T_START ; 0
T_END ; 2
DELTA_T ; 0.01
DELTA_M ; 1
PARAM_NAME ; k1
PARAM_NAME ; k2
PARAM ; k1 ; 1 ; 1.0 ; ; 3 ; D ; 0.5
PARAM ; k2 ; 1 ; 0.5
Y_START ; 1 ; 1.0
Y_START ; 2 ; 0.0
)";

// Steady states of the pathway over Vmax (arithmetic, 3 values) and Km (geometric, 2 values).
const char *const kSteadySurvey = R"(SOLVER ; 11
P_SURVEY ; 1
PARALLEL ; 1
N_VAR ; 4
N_ALGEBR ; 1
G_VALUE ; 1
NR_TRIAL ; 50
PARAM_NAME ; Etot
PARAM_NAME ; v_in
PARAM_NAME ; k_on
PARAM_NAME ; k_off
PARAM_NAME ; k_cat
PARAM_NAME ; Vmax
PARAM_NAME ; Km
PARAM ; Etot ; 1 ; 1.0
PARAM ; v_in ; 1 ; 0.5
PARAM ; k_on ; 1 ; 10.0
PARAM ; k_off ; 1 ; 1.0
PARAM ; k_cat ; 1 ; 2.0
PARAM ; Vmax ; 1 ; 1.0 ; ; 3 ; D ; 0.5
PARAM ; Km ; 1 ; 0.5 ; ; 2 ; R ; 2.0
Y_START ; 1 ; 0.75
Y_START ; 2 ; 0.1
Y_START ; 3 ; 0.25
Y_START ; 4 ; 0.5
)";

}  // namespace

class LinearSurvey : public SimulatorRun, public testing::WithParamInterface<int> {};

TEST_P(LinearSurvey, JoinedFileHoldsEveryCaseOnceInOrder) {
    const int nprocs = GetParam();
    const RunResult r = run("simulator_linear", nprocs, {"-I" + modelFile("linear/linear_survey.in"), "-Osurvey"});
    ASSERT_EQ(r.status, 0) << r.log;
    checkLinearSurvey(file("survey"), nprocs);
    for (int k = 0; k < nprocs; ++k) EXPECT_TRUE(exists("survey_" + std::to_string(k)));
    EXPECT_FALSE(exists("initVal.txt"));   // no restart file for a survey
    EXPECT_EQ(count(r.log, "##### Parameter Survey : 10 data sets."), static_cast<size_t>(nprocs));
}

INSTANTIATE_TEST_SUITE_P(Ranks, LinearSurvey, testing::Values(1, 2, 4));

TEST_F(SimulatorRun, FewerCasesThanProcessesMovesRankZerosFile) {
    writeFile("three.in", kThreeCases);
    const RunResult r = run("simulator_linear", 4, {"-Ithree.in", "-Othree"});
    ASSERT_EQ(r.status, 0) << r.log;
    EXPECT_FALSE(exists("three_0"));
    EXPECT_TRUE(exists("three_3"));
    const std::string out = file("three");
    const auto cases = surveyCases(out);
    ASSERT_EQ(cases.size(), 3u) << out;
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(cases[c].number, c + 1);
        expectPrinted(cases[c].values.at("k1[1]"), 1.0 + 0.5 * c, "k1");
    }
    EXPECT_EQ(count(out, "##### CPU"), 1u);
}

TEST_F(SimulatorRun, WithoutParallelSeveralProcessesStillGiveEachCaseOnce) {
    writeFile("serial.in", replaced(kThreeCases, "PARALLEL ; 1", "PARALLEL ; 0"));
    const RunResult r = run("simulator_linear", 2, {"-Iserial.in", "-Oserial"});
    ASSERT_EQ(r.status, 0) << r.log;
    const auto cases = surveyCases(file("serial"));
    ASSERT_EQ(cases.size(), 3u);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(cases[c].number, c + 1);
}

class SteadySurvey : public SimulatorRun, public testing::WithParamInterface<int> {};

TEST_P(SteadySurvey, CasesRunBackAndForthWithTheSameValuesOnAnyNumberOfProcesses) {
    const int nprocs = GetParam();
    writeFile("steady.in", kSteadySurvey);
    const RunResult r = run("simulator_pathway", nprocs, {"-Isteady.in", "-Osteady"});
    ASSERT_EQ(r.status, 0) << r.log;
    const std::string out = file("steady");
    const auto cases = surveyCases(out);
    ASSERT_EQ(cases.size(), 6u) << out;
    const int vmaxDigit[] = {0, 1, 2, 2, 1, 0};
    const int kmDigit[] = {0, 0, 0, 1, 1, 1};
    for (int c = 0; c < 6; ++c) {
        SCOPED_TRACE("case " + std::to_string(c + 1));
        const double vmax = 1.0 + 0.5 * vmaxDigit[c];
        const double km = 0.5 * (kmDigit[c] ? 2.0 : 1.0);
        EXPECT_EQ(cases[c].number, c + 1);
        expectPrinted(cases[c].values.at("Vmax[1]"), vmax, "Vmax");
        expectPrinted(cases[c].values.at("Km[1]"), km, "Km");
        const auto state = block(cases[c].text, "index,     y value");
        ASSERT_EQ(state.size(), 4u) << cases[c].text;
        const double p = km * 0.5 / (vmax - 0.5);
        EXPECT_NEAR(numbers(state[3])[1], p, 1e-4 * p);
        EXPECT_EQ(cases[c].text.find("Sensitivity"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Ranks, SteadySurvey, testing::Values(1, 3));

TEST_F(SimulatorRun, FailedCasesAreMarkedAndOnlyARunWithoutAnySuccessAborts) {
    // Below v_in = 0.5 the product has no non-negative steady state, so those cases fail.
    const std::string text = replaced(kSteadySurvey, "PARAM ; Km ; 1 ; 0.5 ; ; 2 ; R ; 2.0", "PARAM ; Km ; 1 ; 0.5");
    const std::string vmax = "PARAM ; Vmax ; 1 ; 1.0 ; ; 3 ; D ; 0.5";
    const std::string mixed = replaced(text, vmax, "PARAM ; Vmax ; 1 ; 1.0 ; ; 3 ; D ; -0.35");
    const std::string none = replaced(text, vmax, "PARAM ; Vmax ; 1 ; 0.1 ; ; 2 ; D ; 0.1");
    writeFile("mixed.in", mixed);
    writeFile("none.in", none);

    const RunResult r = run("simulator_pathway", 1, {"-Imixed.in", "-Omixed"});
    EXPECT_EQ(r.status, 0) << r.log;
    const auto cases = surveyCases(file("mixed"));
    ASSERT_EQ(cases.size(), 3u);
    EXPECT_NE(cases[0].text.find("\n$$ Finish Successfully!!\n"), std::string::npos);
    EXPECT_NE(cases[1].text.find("\n$$ Finish Successfully!!\n"), std::string::npos);
    EXPECT_NE(cases[2].text.find("\n$$ Failed!!\n"), std::string::npos);   // Vmax = 0.3
    EXPECT_NE(r.log.find("Failed!!\n"), std::string::npos);

    const RunResult f = run("simulator_pathway", 1, {"-Inone.in", "-Onone"});
    EXPECT_EQ(f.status, 255);
    EXPECT_NE(f.log.find("\n ## END ALL, BUT THERE IS NO SUCCESS CASE!!\n"), std::string::npos) << f.log;
    const std::string out = file("none_0");
    EXPECT_EQ(count(out, "\n$$ Failed!!\n"), 2u);
    EXPECT_NE(out.find("\n$$ END ALL, BUT THERE IS NO SUCCESS CASE!!\n\n$$ ABORT!!\n"), std::string::npos) << out;
    EXPECT_FALSE(exists("none"));
}
