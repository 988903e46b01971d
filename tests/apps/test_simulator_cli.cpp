// The simulator's command line, exit statuses and failure messages, and what it leaves on disk.
#include "test_simulator_support.h"

using namespace simtest;

namespace {

const char *const kTinyModel = R"(SOLVER ; 1
N_VAR ; 2
G_VALUE ; 1
T_START ; 0
T_END ; 1
DELTA_T ; 0.1
DELTA_M ; 0.5
PARAM_NAME ; k1
PARAM_NAME ; k2
PARAM ; k1 ; 1 ; 1.0
PARAM ; k2 ; 1 ; 0.5
Y_START ; 1 ; 1.0
Y_START ; 2 ; 0.0
)";

std::string withSolver(int no) { return replaced(kTinyModel, "SOLVER ; 1", "SOLVER ; " + std::to_string(no)); }

}  // namespace

TEST_F(SimulatorRun, StartUpFailuresAbortWithStatus255AndTheirMessage) {
    writeFile("tiny.in", kTinyModel);
    writeFile("solver4.in", withSolver(4));
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"-I", "tiny.in", "-Oout"}, "initialize: invarid file name!!\n"},
        {{"-Itiny.in"}, "initialize: invarid file name!!\n"},
        {{"-Itiny.in", "-Oout", "-x"}, "initialize: invalid argument !!\n"},
        {{"-Itiny.in", "-Ono/such/dir/out"}, "initialize: outputfile[no/such/dir/out_0] open err!!\n"},
        {{"-Imissing.in", "-Oout"}, "Cannot open missing.in\n"},
        {{"-Isolver4.in", "-Oout"}, "## Wrong Solver!! No =  4\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const RunResult r = run("simulator_linear", 1, c.args);
        EXPECT_EQ(r.status, 255) << r.log;
        EXPECT_NE(r.log.find(c.message), std::string::npos) << r.log;
    }
}

TEST_F(SimulatorRun, OptionErrorsLeaveEarlierResultsUntouched) {
    writeFile("tiny.in", kTinyModel);
    writeFile("out_0", "earlier result\n");
    writeFile("out", "earlier joined result\n");
    const RunResult r = run("simulator_linear", 1, {"-Itiny.in", "-Oout", "-q"});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.log.find("\nABORT!!\n"), std::string::npos);
    EXPECT_EQ(file("out_0"), "earlier result\n");
    EXPECT_EQ(file("out"), "earlier joined result\n");
}

TEST_F(SimulatorRun, AFailedLoadEndsWithTheAbortLineInTheResultFile) {
    writeFile("bad.in", "SOLVER ; 1\nN_VAR ; 2\n");   // no G_VALUE
    const RunResult r = run("simulator_linear", 1, {"-Ibad.in", "-Oout"});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.log.find("## Data error!! in G_Value\n"), std::string::npos) << r.log;
    EXPECT_EQ(file("out_0"), "\n$$ ABORT!!\n");
    EXPECT_FALSE(exists("out"));
}

TEST_F(SimulatorRun, ResultNamesWithBlanksWorkOnSeveralProcesses) {
    writeFile("tiny model.in", kTinyModel);
    const RunResult r = run("simulator_linear", 2, {"-Itiny model.in", "-Omy result"});
    ASSERT_EQ(r.status, 0) << r.log;
    EXPECT_TRUE(exists("my result"));
    EXPECT_TRUE(exists("my result_1"));
    EXPECT_EQ(timeCourses(file("my result")).size(), 1u);
}

TEST_F(SimulatorRun, SearchRangesAreIgnoredAndTheRunStaysInTextMode) {
    writeFile("search.in", replaced(kTinyModel, "PARAM ; k1 ; 1 ; 1.0", "PARAM ; k1 ; 1 ; 1.0 ;;; S ;; 0.1 ; 10 ; rate"));
    const RunResult r = run("simulator_linear", 1, {"-Isearch.in", "-Oout"});
    ASSERT_EQ(r.status, 0) << r.log;
    EXPECT_NE(r.log.find("Notice: the search ranges (PARAM type S) are ignored"), std::string::npos);
    const auto courses = timeCourses(file("out"));
    ASSERT_EQ(courses.size(), 1u);
    ASSERT_EQ(courses[0].size(), 3u);
    expectPrinted(courses[0].back()[1], linearX1(1.0, 1.0, 1.0), "X1(1) at k1 = 1");
}
