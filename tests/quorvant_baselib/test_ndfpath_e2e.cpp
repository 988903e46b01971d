// The delivered Robertson examples run by the simulator under mpiexec, as a user runs them: the
// time course in the result file against the published values at t = 40, and the effect of the
// time events against what the conservation law A + B + C says.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "text_files.h"

namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<double>>;

// Robertson's system at t = 40 (A, B, C).
constexpr double kRefA = 0.7158270687;
constexpr double kRefB = 9.185534764e-6;
constexpr double kRefC = 0.2841637457;
// Results are printed with four significant digits ("%10.3E").
constexpr double kPrinted = 6e-4;

using qv::test::read_file;

// The rows {t, A, B, C} of the first time course in a result file.
Rows timeCourse(const std::string &text) {
    Rows rows;
    std::istringstream in(text);
    std::string line;
    bool inRows = false;
    while (std::getline(in, line)) {
        if (line.rfind("Time      ,", 0) == 0) {
            inRows = true;
            continue;
        }
        if (!inRows) continue;
        if (line.empty()) break;
        std::vector<double> row;
        std::istringstream fields(line);
        std::string f;
        while (std::getline(fields, f, ',')) row.push_back(std::stod(f));
        rows.push_back(row);
    }
    return rows;
}

std::vector<double> times(const Rows &rows) {
    std::vector<double> t;
    for (const auto &r : rows) t.push_back(r[0]);
    return t;
}

double sum(const std::vector<double> &row) { return row[1] + row[2] + row[3]; }

void expectPrinted(double printed, double exact, const std::string &what) {
    EXPECT_NEAR(printed, exact, kPrinted * std::fabs(exact) + 1e-12) << what;
}

class RobertsonRun : public ::testing::Test {
protected:
    fs::path dir;
    std::string log;

    void SetUp() override {
        char tmpl[] = "/tmp/qv_ndf_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir);
    }

    // Runs bin/<program> on one process with a copy of the example input; returns the rows.
    Rows run(const std::string &program, const std::string &input) {
        fs::copy_file(fs::path(QV_SOURCE_DIR) / "models/robertson" / input, dir / input);
        const std::string cmd = "cd '" + dir.string() + "' && " + QV_MPIEXEC + " -n 1 '" + QV_BINARY_DIR +
                                "/bin/" + program + "' -I" + input + " -Oresult.txt > run.log 2>&1";
        const int rc = std::system(cmd.c_str());
        log = read_file(dir / "run.log");
        EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << log;
        EXPECT_EQ(log.find("Negative Value!!"), std::string::npos) << log;
        return timeCourse(read_file(dir / "result.txt"));
    }
};

TEST_F(RobertsonRun, OdeFormReachesThePublishedValuesAndFollowsItsEvents) {
    const Rows rows = run("simulator_robertson", "robertson_ode.in");
    // Periods [0,50], [50,60], the addition period [60,80] (rows only at the ends of its
    // sub-intervals) and [80,100]; 50 and 80 appear twice.
    ASSERT_EQ(times(rows), (std::vector<double>{0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 50, 55, 60, 65, 70,
                                                75, 80, 80, 85, 90, 95, 100}));
    expectPrinted(rows[8][1], kRefA, "A(40)");
    expectPrinted(rows[8][2], kRefB, "B(40)");
    expectPrinted(rows[8][3], kRefC, "C(40)");

    // The reactions conserve A + B + C: 1 up to 50; then the product C is removed; from 60 to 80
    // A is fed at 0.01 per time unit.
    const double removed = rows[10][3];
    EXPECT_EQ(rows[11][3], 0.0);
    EXPECT_EQ(rows[11][1], rows[10][1]);
    for (const auto &r : rows) {
        const double t = r[0];
        const bool afterForce = &r - &rows[0] >= 11;
        const double fed = t <= 60 ? 0.0 : 0.01 * (std::min(t, 80.0) - 60.0);
        const double total = (afterForce ? 1.0 - removed : 1.0) + fed;
        EXPECT_NEAR(sum(r), total, 1e-3) << "t=" << t;
    }
}

TEST_F(RobertsonRun, DaeFormKeepsTheConservationLawThroughItsEvents) {
    const Rows rows = run("simulator_robertson_dae", "robertson_dae.in");
    ASSERT_EQ(times(rows), (std::vector<double>{0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 50, 55, 60, 60, 65,
                                                70, 75, 80, 85, 90, 95, 100}));
    expectPrinted(rows[8][1], kRefA, "A(40)");
    expectPrinted(rows[8][2], kRefB, "B(40)");
    expectPrinted(rows[8][3], kRefC, "C(40)");

    // C removed at 50: B is untouched and A takes C's share at once.
    EXPECT_EQ(rows[11][3], 0.0);
    EXPECT_EQ(rows[11][2], rows[10][2]);
    expectPrinted(rows[11][1], 1.0 - rows[10][2], "A just after 50");
    // total raised to 2 at 60: B and C unchanged, A absorbs the difference.
    EXPECT_EQ(rows[14][2], rows[13][2]);
    EXPECT_EQ(rows[14][3], rows[13][3]);
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_NEAR(sum(rows[i]), i < 14 ? 1.0 : 2.0, 1e-3) << "t=" << rows[i][0];
}

TEST_F(RobertsonRun, BothFormsAgreeBeforeTheEvents) {
    const Rows ode = run("simulator_robertson", "robertson_ode.in");
    const Rows dae = run("simulator_robertson_dae", "robertson_dae.in");
    ASSERT_GE(ode.size(), 11u);
    ASSERT_GE(dae.size(), 11u);
    for (size_t i = 0; i <= 10; ++i)
        for (int v = 1; v <= 3; ++v)
            EXPECT_NEAR(ode[i][v], dae[i][v], 1.2e-3 * std::fabs(ode[i][v]) + 1e-12)
                << "t=" << ode[i][0] << " y" << v;
}

}  // namespace
