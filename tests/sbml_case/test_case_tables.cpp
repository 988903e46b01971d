// The settings reader and the tolerance comparison of the SBML case runner.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "case_compare.h"
#include "case_settings.h"

namespace {

using namespace qv::sbml_case;

constexpr char kGood[] =
    "start: 0\nduration: 20.0\nsteps: 50\nvariables: S1, S2,S3\nabsolute: 1.000000e-006\n"
    "relative: 0.0001\namount: S1, S3\nconcentration: S2\n";

TEST(SbmlCaseSettings, ReadsTheSuiteFormat) {
    CaseSettings s;
    ASSERT_EQ(parseSettings(kGood, &s), "");
    EXPECT_EQ(s.start, 0.0);
    EXPECT_EQ(s.duration, 20.0);
    EXPECT_EQ(s.steps, 50);
    EXPECT_EQ(s.variables, (std::vector<std::string>{"S1", "S2", "S3"}));
    EXPECT_EQ(s.absolute, 1e-6);
    EXPECT_EQ(s.relative, 1e-4);
    EXPECT_TRUE(s.isAmount("S1"));
    EXPECT_FALSE(s.isAmount("S2"));
    EXPECT_EQ(s.concentration, std::vector<std::string>{"S2"});
    // The grid ends exactly at start + duration, whatever the rounding of the steps.
    EXPECT_EQ(s.timeAt(0), 0.0);
    EXPECT_DOUBLE_EQ(s.timeAt(1), 0.4);
    EXPECT_EQ(s.timeAt(50), 20.0);

    // CR line ends, blank lists, keys of later suite versions and a non-zero start.
    ASSERT_EQ(parseSettings("start: 1.5\r\nduration: 3\r\nsteps: 3\r\nvariables: x\r\nabsolute: 0\r\n"
                            "relative: 0\r\namount:\r\nconcentration: \r\noutput: x\r\n",
                            &s),
              "");
    EXPECT_EQ(s.end(), 4.5);
    EXPECT_EQ(s.timeAt(1), 2.5);
    EXPECT_TRUE(s.amount.empty());
}

TEST(SbmlCaseSettings, RejectsWhatCannotBeRun) {
    const std::string base = "start: 0\nduration: 5\nsteps: 10\nvariables: A\nabsolute: 1e-3\nrelative: 1e-4\n";
    const struct {
        std::string text;
        std::string reason;
    } cases[] = {
        {"start: 0\nduration: 5\nsteps: 10\nvariables: A\nabsolute: 1e-3\n", "missing 'relative'"},
        {"duration: 5\nsteps: 10\nvariables: A\nabsolute: 1e-3\nrelative: 1e-4\n", "missing 'start'"},
        {base + "steps: 0\n", "bad value for 'steps': '0'"},
        {base + "steps: 2.5\n", "bad value for 'steps': '2.5'"},
        {base + "steps: -3\n", "bad value for 'steps': '-3'"},
        {base + "steps: 99999999999999999999\n", "bad value for 'steps': '99999999999999999999'"},
        {base + "duration: 0\n", "bad value for 'duration': '0'"},
        {base + "duration: nan\n", "bad value for 'duration': 'nan'"},
        {base + "start: 1e999\n", "bad value for 'start': '1e999'"},
        {base + "absolute: -1\n", "bad value for 'absolute': '-1'"},
        {base + "relative: 1e-4x\n", "bad value for 'relative': '1e-4x'"},
        {base + "variables: , ,\n", "no variables listed"},
        {base + "just words\n", "line 7 is not 'key: value': just words"},
        {base + "amount: A\nconcentration: B, A\n", "'A' is listed both as amount and as concentration"},
        {"", "missing 'start'"},
    };
    for (const auto &c : cases) {
        CaseSettings s;
        EXPECT_EQ(parseSettings(c.text, &s), c.reason) << c.text;
    }
    CaseSettings s;
    EXPECT_EQ(readSettings("/nonexistent/x-settings.txt", &s), "cannot read /nonexistent/x-settings.txt");
}

TEST(SbmlCaseCompare, ToleranceIsAbsolutePlusRelative) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double computed, expected, absolute, relative;
        bool pass;
    } cases[] = {
        {1.0, 1.0, 0, 0, true},
        {1.0 + 1.0e-4 + 0.9e-6, 1.0, 1e-6, 1e-4, true},   // just inside abs + rel*|e|
        {1.0 + 1.0e-4 + 1.1e-6, 1.0, 1e-6, 1e-4, false},  // just outside
        {-2.0 - 2.0e-4, -2.0, 0, 1.0001e-4, true},        // |e| for a negative expected value
        {-2.0 - 2.0e-4, -2.0, 0, 0.9999e-4, false},
        {5e-7, 0.0, 1e-6, 1e-4, true},                    // near zero only the absolute part counts
        {2e-6, 0.0, 1e-6, 1e-4, false},
        {nan, 1.0, 1e9, 1e9, false},                      // NaN computed never passes a number
        {inf, 1.0, 1e9, 1e9, false},
        {nan, nan, 0, 0, true},                           // non-finite expected: the same value only
        {1.0, nan, 1e9, 1e9, false},
        {inf, inf, 0, 0, true},
        {-inf, inf, 0, 0, false},
        {1e308, inf, 1e9, 1e9, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(withinTolerance(c.computed, c.expected, c.absolute, c.relative), c.pass)
            << c.computed << " vs " << c.expected << " abs " << c.absolute << " rel " << c.relative;
}

TEST(SbmlCaseCompare, FirstFaultOfATable) {
    CsvTable expected, computed;
    ASSERT_EQ(parseCsv("time,S1,S2\n0,1,2\n0.5,0.5,INF\n1,0.25,-1e-3\n", &expected), "");
    ASSERT_EQ(expected.rows.size(), 3u);
    EXPECT_TRUE(std::isinf(expected.rows[1][2]));

    const struct {
        const char *computed;
        const char *fault;
    } cases[] = {
        // Columns are matched by name, in any order; extra computed columns are ignored.
        {"time,S2,X,S1\n0,2,9,1\n0.5,inf,9,0.50001\n1.0000000000001,-0.001,9,0.25\n", ""},
        {"time,S1,S2\n0,1,2\n0.5,0.5,INF\n1,0.2501,-1e-3\n", "S1 at t=1: 0.2501 vs 0.25"},
        {"time,S1,S2\n0,1,2\n0.5,0.5,1e300\n1,0.25,-1e-3\n", "S2 at t=0.5: 1e+300 vs inf"},
        {"time,S1,S2\n0,1,nan\n0.5,0.5,INF\n1,0.25,-1e-3\n", "S2 at t=0: nan vs 2"},
        {"time,S1\n0,1\n0.5,0.5\n1,0.25\n", "no column S2"},
        {"time,S1,S2\n0,1,2\n0.5,0.5,INF\n", "2 rows, expected 3"},
        {"time,S1,S2\n0,1,2\n0.6,0.5,INF\n1,0.25,-1e-3\n", "row 1 is at t=0.6, expected t=0.5"},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(parseCsv(c.computed, &computed), "") << c.computed;
        EXPECT_EQ(compareTables(computed, expected, 1e-6, 1e-4), c.fault) << c.computed;
    }

    const struct {
        const char *text;
        const char *reason;
    } bad[] = {
        {"", "no header line"},
        {"time,,S1\n", "line 1: empty column name"},
        {"time,S1\n0,1,2\n", "line 2: 3 cells, the header has 2"},
        {"time,S1\n0\n", "line 2: 1 cells, the header has 2"},
        {"time,S1\n\n0,x\n", "line 3: not a number: 'x'"},
        {"time,S1\n0,\n", "line 2: not a number: ''"},
    };
    for (const auto &b : bad) EXPECT_EQ(parseCsv(b.text, &computed), b.reason) << b.text;
}

}  // namespace
