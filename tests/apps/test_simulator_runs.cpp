// Single runs of the delivered example models: the time courses against the analytic solution,
// the steady state and its sensitivities against closed forms, eigenvalues, restart file.
#include <array>
#include <set>

#include "test_simulator_support.h"

using namespace simtest;

namespace {

// Eigenvalue rows "No., Real, Imaginary" of the result file (the block after its header).
std::vector<std::vector<double>> eigenRows(const std::string &text) {
    std::vector<std::vector<double>> rows;
    for (const auto &line : block(text, "  No.,        Real,   Imaginary")) rows.push_back(numbers(line));
    return rows;
}

// Y_START lines of the restart file: index -> value.
std::map<int, double> lastY(const std::string &text) {
    std::map<int, double> v;
    for (const auto &line : split_lines(text)) {
        int index;
        double value;
        if (std::sscanf(line.c_str(), "Y_START\t;\t%d;\t%lf;", &index, &value) == 2) v[index] = value;
    }
    return v;
}

}  // namespace

TEST_F(SimulatorRun, LinearFixedStepFollowsTheAnalyticSolution) {
    const RunResult r = run("simulator_linear", 1, {"-I" + modelFile("linear/linear_rk4.in"), "-Oout"});
    ASSERT_EQ(r.status, 0) << r.log;
    EXPECT_NE(r.log.find("Finish Successfully!!\n"), std::string::npos);
    EXPECT_NE(r.log.find("\nEND ALL!!\n"), std::string::npos);

    const std::string out = file("out");
    // The echo of the input heads the result file (after its time-stamp line).
    EXPECT_NE(out.find(" #####\n\n"
                       "Solver No.          :         1\n"
                       "Param Survey        :         0\n"
                       "Start Time          : 0.000E+00\n"
                       "End Time            : 5.000E+00\n"
                       "(initial)Time Step  : 1.000E-02\n"
                       "Monitoring interval : 5.000E-01\n"
                       "G-Value             : 1.000E+00\n"
                       "\n####### Starting Y Values ######\n"
                       "y[ 1]=  1.0000e+00\t#X1\n"
                       "y[ 2]=  5.0000e-01\t#X2\n"
                       "\n####### Parameters ######\n"
                       "k1[ 1]    =  1.0000e+00\t#rate_X1_to_X2\n"
                       "k2[ 1]    =  5.0000e-01\t#rate_X2_out\n"
                       "\n####### Time Events ######\n"
                       "\n\n$$ Results\n\n"
                       "##### CPU 1/1 ("),
              std::string::npos)
        << out;
    const auto courses = timeCourses(out);
    ASSERT_EQ(courses.size(), 1u) << out;
    const auto &rows = courses[0];
    ASSERT_EQ(rows.size(), 11u);   // 0, 0.5, ..., 5
    for (size_t i = 0; i < rows.size(); ++i) {
        const double t = 0.5 * static_cast<double>(i);
        ASSERT_EQ(rows[i].size(), 3u);
        EXPECT_NEAR(rows[i][0], t, 1e-9);
        expectPrinted(rows[i][1], linearX1(t, 1.0, 1.0), "X1 at " + std::to_string(t));
        expectPrinted(rows[i][2], linearX2(t, 1.0, 0.5, 1.0, 0.5), "X2 at " + std::to_string(t));
    }
    EXPECT_NE(out.find("\n$$ Finish Successfully!!\n"), std::string::npos);
    EXPECT_EQ(out.substr(out.size() - 14), "\n$$ END ALL!!\n");

    // The Jacobian of the chain is lower triangular: eigenvalues -k1 and -k2.
    EXPECT_NE(out.find("\n$$ Eigenvalues (calc. with last y values)\n"), std::string::npos);
    std::multiset<double> eig;
    for (const auto &row : eigenRows(out)) {
        ASSERT_EQ(row.size(), 3u);
        eig.insert(row[1]);
        EXPECT_EQ(row[2], 0.0);
    }
    EXPECT_EQ(eig, (std::multiset<double>{-1.0, -0.5}));

    // The restart file carries the final state, ready to paste as Y_START lines.
    const std::string restart = file("initVal.txt");
    const auto y = lastY(restart);
    ASSERT_EQ(y.size(), 2u) << restart;
    expectPrinted(y.at(1), linearX1(5.0, 1.0, 1.0), "restart X1");
    expectPrinted(y.at(2), linearX2(5.0, 1.0, 0.5, 1.0, 0.5), "restart X2");
    EXPECT_NE(restart.find("\n##### Eigenvalues #####\n\n  No.        Real     Imaginary\n"), std::string::npos);
    EXPECT_NE(restart.find(" #####\n\n"
                           "          Solver No.:         1\n"
                           "          Start Time: 0.000E+00\n"
                           "            End Time: 5.000E+00\n"
                           "  (initial)Time Step: 1.000E-02\n"
                           " Monitoring interval: 5.000E-01\n"
                           "             G-Value: 1.000E+00\n"
                           "\n####### Parameters ######\n"
                           "k1[ 1]    =  1.0000e+00 # rate_X1_to_X2\n"
                           "k2[ 1]    =  5.0000e-01 # rate_X2_out\n"
                           "\n##### Eigenvalues #####\n"),
              std::string::npos)
        << restart;
    EXPECT_NE(restart.find("\n####### Last Y Values ######\nY_START\t;\t 1;\t  6.7379e-03; X1\t#\n"),
              std::string::npos)
        << restart;
}

TEST_F(SimulatorRun, LinearAdaptiveFollowsTheAnalyticSolutionAtItsRowTimes) {
    const RunResult r = run("simulator_linear", 1, {"-I" + modelFile("linear/linear_rk45.in"), "-Oout"});
    ASSERT_EQ(r.status, 0) << r.log;
    const auto courses = timeCourses(file("out"));
    ASSERT_EQ(courses.size(), 1u);
    const auto &rows = courses[0];
    ASSERT_GE(rows.size(), 6u);
    for (const auto &row : rows) {
        // Row times are the step times, printed to four digits: compare at the printed time.
        const double t = row[0];
        EXPECT_NEAR(row[1], linearX1(t, 1.0, 1.0), 2e-3 * linearX1(t, 1.0, 1.0)) << "t=" << t;
        EXPECT_NEAR(row[2], linearX2(t, 1.0, 0.5, 1.0, 0.5), 2e-3 * linearX2(t, 1.0, 0.5, 1.0, 0.5)) << "t=" << t;
    }
    EXPECT_DOUBLE_EQ(rows.back()[0], 5.0);
    EXPECT_NE(file("out").find("RK_EPS              : 1.000E-10\n"), std::string::npos);
}

TEST_F(SimulatorRun, WithoutSurveyEveryRankRunsTheCaseAndRankZerosFileIsTheResult) {
    const RunResult r = run("simulator_linear", 2, {"-I" + modelFile("linear/linear_rk4.in"), "-Oout"});
    ASSERT_EQ(r.status, 0) << r.log;
    EXPECT_FALSE(exists("out_0"));
    EXPECT_TRUE(exists("out_1"));
    const std::string out = file("out");
    EXPECT_EQ(count(out, "##### CPU 1/2 ("), 1u);
    EXPECT_EQ(count(out, "##### CPU"), 1u);
    EXPECT_EQ(timeCourses(out).size(), 1u);
    EXPECT_EQ(timeCourses(file("out_1")), timeCourses(out));
}

namespace {

// Steady state of the pathway model and its one-sided logarithmic sensitivities.
// Parameter values of pathway_steady.in, in model order.
enum { ETOT, V_IN, K_ON, K_OFF, K_CAT, VMAX, KM };
using PathwayParams = std::array<double, 7>;
constexpr PathwayParams kPathwayBase = {1.0, 0.5, 10.0, 1.0, 2.0, 1.0, 0.5};

std::array<double, 4> pathwaySteadyState(const PathwayParams &p) {
    const double es = p[V_IN] / p[K_CAT];
    const double e = p[ETOT] - es;
    const double s = (p[K_OFF] + p[K_CAT]) * es / (p[K_ON] * e);
    const double prod = p[KM] * p[V_IN] / (p[VMAX] - p[V_IN]);
    return {e, s, es, prod};
}

const char *const kPathwayNames[] = {"Etot", "v_in", "k_on", "k_off", "k_cat", "Vmax", "Km"};

}  // namespace

TEST_F(SimulatorRun, PathwaySteadyStateAndSensitivitiesMatchTheClosedForms) {
    const RunResult r = run("simulator_pathway", 1, {"-I" + modelFile("pathway/pathway_steady.in"), "-Oss"});
    ASSERT_EQ(r.status, 0) << r.log;
    const std::string out = file("ss");
    const PathwayParams base = kPathwayBase;
    const auto exact = pathwaySteadyState(base);

    const auto state = block(out, "index,     y value");
    ASSERT_EQ(state.size(), 4u) << out;
    for (int i = 0; i < 4; ++i) {
        const auto v = numbers(state[i]);
        ASSERT_EQ(v.size(), 2u);
        EXPECT_EQ(v[0], i + 1);
        EXPECT_NEAR(v[1], exact[i], 6e-5 * exact[i]) << state[i];
    }
    EXPECT_NE(out.find("    1,  7.5000e-01,  #E_free_enzyme\n"), std::string::npos);

    // d ln y_j / d ln p by the same one-sided difference (relative change NR_SENS_CW = 0.001).
    const double c = 0.001;
    const auto sens = block(out, "$$ Sensitivity");
    ASSERT_EQ(sens.size(), 7u) << out;
    for (int k = 0; k < 7; ++k) {
        SCOPED_TRACE(sens[k]);
        const std::string label = std::string(kPathwayNames[k]) + "[  1]";
        EXPECT_NE(sens[k].find(": " + label), std::string::npos);
        PathwayParams moved = base;
        moved[k] *= 1.0 + c;
        const auto perturbed = pathwaySteadyState(moved);
        const auto v = numbers(sens[k].substr(sens[k].find(',')));
        ASSERT_EQ(v.size(), 4u);
        for (int j = 0; j < 4; ++j) {
            const double g = std::log(perturbed[j] / exact[j]) / std::log(1.0 + c);
            EXPECT_NEAR(v[j], g, 6e-4 * std::fabs(g) + 1e-9) << "variable " << j + 1;
        }
    }

    // Eigenvalues of the Jacobian at the steady state: their sum is its trace.
    EXPECT_NE(out.find("\n$$ Eigenvalues\n"), std::string::npos);
    const auto eig = eigenRows(out);
    ASSERT_EQ(eig.size(), 4u);
    double sum = 0;
    for (const auto &row : eig) sum += row[1];
    const double trace = -1.0 - base[K_ON] * exact[0] - base[K_OFF] - base[K_CAT] -
                         base[VMAX] * base[KM] / ((base[KM] + exact[3]) * (base[KM] + exact[3]));
    EXPECT_NEAR(sum, trace, 1e-2);

    // The restart file holds the steady state, not the last perturbed state of the sensitivities.
    const auto y = lastY(file("initVal.txt"));
    ASSERT_EQ(y.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(y.at(i + 1), exact[i], 6e-5 * exact[i]) << "y[" << i + 1 << "]";
}

TEST_F(SimulatorRun, PathwayTimeCourseKeepsTheEnzymeConservedThroughItsEvents) {
    const RunResult r = run("simulator_pathway", 1, {"-I" + modelFile("pathway/pathway.in"), "-Opw"});
    ASSERT_EQ(r.status, 0) << r.log;
    const std::string out = file("pw");
    const auto courses = timeCourses(out);
    ASSERT_EQ(courses.size(), 1u) << out;
    const auto &rows = courses[0];
    ASSERT_GE(rows.size(), 40u);
    // The pulse at t = 5 lands on the first step boundary past t - h/2; the adaptive steps are
    // short there, so the first row after 5.1 shows it.
    double sBeforePulse = -1, sAfterPulse = -1;
    for (const auto &row : rows) {
        ASSERT_EQ(row.size(), 5u);
        // E + ES = Etot. The algebraic E is solved at the start of each step and held during it,
        // so a row (the state at the end of a step) matches to within one step's change of ES.
        EXPECT_NEAR(row[1] + row[3], 1.0, 5e-3) << "t=" << row[0];
        for (int i = 1; i <= 4; ++i) EXPECT_GE(row[i], 0.0) << "t=" << row[0];
        if (row[0] < 4.9) sBeforePulse = row[2];
        if (sAfterPulse < 0 && row[0] > 5.1) sAfterPulse = row[2];
    }
    EXPECT_LT(sBeforePulse, 0.2);
    EXPECT_GT(sAfterPulse, 0.5);
    EXPECT_DOUBLE_EQ(rows.back()[0], 20.0);
    EXPECT_NE(rows[rows.size() - 2][0], 20.0);   // the end time is written once
    EXPECT_NE(out.find("\n####### Time Events ######\n"
                       "at  5.000E+00:   y_force[  2] =>  2.000E+00\n"
                       "at  8.000E+00:     y_add[  4] =>  2.000E-01\n"
                       "at  1.200E+01:     y_add[  4] =>  0.000E+00\n"
                       "at  1.500E+01:      v_in[  1] =>  2.000E-01\n"),
              std::string::npos)
        << out;
    // A model with algebraic variables and differential ones gets no eigenvalue report.
    EXPECT_EQ(out.find("Eigenvalues"), std::string::npos);
}
