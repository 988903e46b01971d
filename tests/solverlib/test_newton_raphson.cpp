#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/solverlib/NewtonRaphson.h"
#include "quorvant/model.h"
#include "test_model.h"

namespace {

// Values of Param.val[1][1] seen by the model, one entry per change (one per continuation step).
std::vector<double> seenK;

bool endsWith(const std::string &s, const std::string &tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

void recordK(const parameter *p) {
    if (seenK.empty() || seenK.back() != p->val[1][1]) seenK.push_back(p->val[1][1]);
}

// y1 = k: one algebraic variable that follows the parameter k = val[1][1].
void followK(double *f, double *y, double, parameter *p) {
    recordK(p);
    f[1] = y[1] - p->val[1][1];
}
void followKJac(double **j, double *, double, parameter *) { j[1][1] = 1.0; }

// Two-variable steady state: dy1 = k1 - (k2 + k3) y1, dy2 = k3 y1 - k4 y2, with k1, k2 values 1, 2
// of parameter "kin" and k3, k4 values 1, 2 of "kout".
void chain(double *f, double *y, double, parameter *p) {
    const double k1 = p->val[1][1], k2 = p->val[1][2], k3 = p->val[2][1], k4 = p->val[2][2];
    f[1] = k1 - (k2 + k3) * y[1];
    f[2] = k3 * y[1] - k4 * y[2];
}
void chainJac(double **j, double *, double, parameter *p) {
    j[1][1] = -(p->val[1][2] + p->val[2][1]);
    j[2][1] = p->val[2][1];
    j[2][2] = -p->val[2][2];
}

class NewtonRaphson : public testing::Test {
protected:
    void SetUp() override {
        resetParamTab();
        Nr_trial = 20;
        Nr_tol_f = 1e-12;
        Nr_tol_x = 1e-12;
        Nr_ratio = 1.1;
        Nr_sens_cw = 0.001;
        GeneConc = 1.0;
        seenK.clear();
    }
    void TearDown() override { setTestModel(nullptr, nullptr); }

    // Names the user parameters, then the four event names, as the input reader does.
    static void names(std::initializer_list<const char *> user) {
        for (const char *n : user) ASSERT_EQ(addParam2Tab(n), 0);
        for (const char *n : {"y_force", "y_add", "time_start", "time_end"}) ASSERT_EQ(addParam2Tab(n), 0);
    }
    static void sizes(int nr, int n) {
        Param.n_varNR = ParamT.n_varNR = ParamP.n_varNR = nr;
        Param.n_var = ParamT.n_var = ParamP.n_var = n;
    }
    // Sets value i of parameter p in all three records.
    static void setAll(int p, int i, double v) {
        Param.val[p][i] = ParamT.val[p][i] = ParamP.val[p][i] = v;
        if (Param.n_val[p] < i) Param.n_val[p] = ParamT.n_val[p] = ParamP.n_val[p] = i;
    }
    double y[qv::kStateSize] = {};
    double y_pre[qv::kStateSize] = {};
};

}  // namespace

TEST_F(NewtonRaphson, ContinuationStepCounts) {
    struct Case {
        double from, to;
        int steps;
        bool geometric;
    };
    const Case cases[] = {
        {1.0, 2.0, 8, true},     // floor(ln 2 / ln 1.1) + 1
        {2.0, 1.0, 8, true},     // the same downwards
        {1.0, 1.05, 1, true},    // within one ratio
        {0.0, 5.0, 16, false},   // trunc(ln 5 * 10)
        {0.0, 1.0, 1, false},    // ln 1 = 0: at least one step
        {-1.0, 3.0, 13, false},  // trunc(ln 4 * 10)
        {5.0, 0.0, 16, false},   // towards zero
        {1e-40, 1.0, 1, false},  // at or below 1e-30 moves arithmetically
    };
    sizes(1, 1);
    setTestModel(followK, followKJac);
    for (const Case &c : cases) {
        Param.val[1][1] = c.from;
        y[1] = c.from;
        seenK.clear();
        const double target = c.to;
        ASSERT_EQ(changeNRparam(&target, &Param.val[1][1], y), 0) << c.from << "->" << c.to;
        // The first entry is the start value only if the model saw it; drop it.
        if (!seenK.empty() && seenK.front() == c.from) seenK.erase(seenK.begin());
        ASSERT_EQ(static_cast<int>(seenK.size()), c.steps) << c.from << "->" << c.to;
        EXPECT_EQ(seenK.back(), c.to);
        EXPECT_EQ(Param.val[1][1], c.to);
        EXPECT_NEAR(y[1], c.to, 1e-12);
        double prev = c.from;
        for (double v : seenK) {
            if (c.geometric) {
                EXPECT_NEAR(v / prev, std::pow(c.to / c.from, 1.0 / c.steps), 1e-12);
                EXPECT_LE(std::fabs(std::log(v / prev)), std::log(Nr_ratio) + 1e-12);
            } else {
                EXPECT_NEAR(v - prev, (c.to - c.from) / c.steps, 1e-12);
            }
            prev = v;
        }
    }
}

TEST_F(NewtonRaphson, IterationTimesAndFactor) {
    double f = 0.0;
    EXPECT_EQ(getIterationTimes(2.0, 1.0, &f), 8);
    EXPECT_NEAR(f, std::pow(2.0, 1.0 / 8), 1e-15);
    EXPECT_EQ(getIterationTimes(1.0, 2.0, &f), 8);
    EXPECT_NEAR(f, std::pow(0.5, 1.0 / 8), 1e-15);
    EXPECT_EQ(getIterationTimes(3.0, 3.0, &f), 1);
    EXPECT_EQ(f, 1.0);
    Nr_ratio = 10.0;
    EXPECT_EQ(getIterationTimes(5e300, 1e-15, &f), 316);   // a / b overflows: still finite steps
    EXPECT_NEAR(std::log(f), (std::log(5e300) - std::log(1e-15)) / 316, 1e-12);
}

TEST_F(NewtonRaphson, IterationTimesRejectsNonPositiveValues) {
    double f;
    EXPECT_EXIT(getIterationTimes(0.0, 1.0, &f), testing::ExitedWithCode(255), "");
    EXPECT_EXIT(getIterationTimes(1.0, -2.0, &f), testing::ExitedWithCode(255), "");
}

TEST_F(NewtonRaphson, ConvergenceTests) {
    sizes(1, 2);
    setTestModel(followK, followKJac);
    Param.val[1][1] = 0.75;

    // A residual exactly at the tolerance converges without a step.
    y[1] = 1.0;
    y[2] = 42.0;
    EXPECT_EQ(solveNewtonRaphson(20, y, 1, 1e-12, 0.25), 0);
    EXPECT_EQ(y[1], 1.0);
    EXPECT_EQ(testFjacCalls(), 1);

    // Just above it takes the (exact) step and converges on the second residual.
    setTestModel(followK, followKJac);
    EXPECT_EQ(solveNewtonRaphson(20, y, 1, 1e-12, std::nextafter(0.25, 0.0)), 0);
    EXPECT_EQ(y[1], 0.75);
    EXPECT_EQ(testFjacCalls(), 2);
    EXPECT_EQ(y[2], 42.0);   // the differential variable is not touched

    // One trial: converged only through the step test.
    Param.val[1][1] = 3.0;
    y[1] = 1.0;
    EXPECT_EQ(solveNewtonRaphson(1, y, 1, 2.0, 1e-12), 0);
    EXPECT_EQ(y[1], 3.0);
    y[1] = 1.0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(solveNewtonRaphson(1, y, 1, 1.5, 1e-12), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "## Not converged in solveNewtonRaphson. in   1 times.\n"
              "\tErrf = 2.000E+00 Errx = 2.000E+00\n");

    // No trial at all.
    testing::internal::CaptureStdout();
    EXPECT_EQ(solveNewtonRaphson(0, y, 1, 1.0, 1.0), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "## Not converged in solveNewtonRaphson. in   0 times.\n"
              "\tErrf = 0.000E+00 Errx = 0.000E+00\n");
}

TEST_F(NewtonRaphson, NonlinearSystemConvergesQuadratically) {
    // y1^2 + y2^2 = 4, y1 = y2: root (sqrt 2, sqrt 2).
    sizes(2, 2);
    setTestModel(
        [](double *f, double *y, double, parameter *) {
            f[1] = y[1] * y[1] + y[2] * y[2] - 4.0;
            f[2] = y[1] - y[2];
        },
        [](double **j, double *y, double, parameter *) {
            j[1][1] = 2 * y[1];
            j[1][2] = 2 * y[2];
            j[2][1] = 1.0;
            j[2][2] = -1.0;
        });
    y[1] = 3.0;
    y[2] = 0.5;
    ASSERT_EQ(solveNewtonRaphson(20, y, 2, 1e-14, 1e-14), 0);
    EXPECT_NEAR(y[1], std::sqrt(2.0), 1e-14);
    EXPECT_NEAR(y[2], std::sqrt(2.0), 1e-14);
    EXPECT_LE(testFjacCalls(), 8);
}

TEST_F(NewtonRaphson, NonNumbersAndSingularJacobiansNeverConverge) {
    sizes(1, 1);
    setTestModel([](double *f, double *, double, parameter *) { f[1] = std::nan(""); },
                 [](double **j, double *, double, parameter *) { j[1][1] = 1.0; });
    y[1] = 1.0;
    testing::internal::CaptureStdout();
    // A huge iteration limit does not keep a residual that is not a number iterating.
    EXPECT_EQ(solveNewtonRaphson(2147483647, y, 1, 1.0, 1.0), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("## Not converged"), std::string::npos);
    EXPECT_EQ(testFvecCalls(), 1);

    // An equation that does not depend on the variable: no Newton step exists.
    y[1] = 1.0;
    setTestModel([](double *f, double *, double, parameter *) { f[1] = 1.0; }, nullptr);
    testing::internal::CaptureStdout();
    EXPECT_EQ(solveNewtonRaphson(5, y, 1, 1e-12, 1e-12), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "## Singular matrix in nr_ludcmp\n"
              "## Not converged in solveNewtonRaphson. in   5 times.\n"
              "\tErrf = 1.000E+00 Errx = 0.000E+00\n");
    EXPECT_EQ(testFjacCalls(), 1);
    EXPECT_EQ(y[1], 1.0);
}

TEST_F(NewtonRaphson, NegativeSolutionFailsOnlyTheFinalCheck) {
    sizes(1, 1);
    setTestModel(followK, followKJac);
    Nr_tol_x = 1e-12;
    // Continuation through negative values is allowed ...
    Param.val[1][1] = -2.0;
    y[1] = -2.0;
    const double target = -1.0;
    EXPECT_EQ(changeNRparam(&target, &Param.val[1][1], y), 0);
    EXPECT_NEAR(y[1], -1.0, 1e-12);
    // ... the sign test rejects it.
    testing::internal::CaptureStdout();
    EXPECT_EQ(checkNRresult(y), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "## Get negative solution in checkNRresult. y[1]=-1.000E+00\n");
    Param.val[1][1] = 0.0;
    EXPECT_EQ(checkNRresult(y), 0);
    EXPECT_EQ(y[1], 0.0);
}

TEST_F(NewtonRaphson, AlgebraicConservationLaw) {
    // y1 = T - y2 - y3 (algebraic), y2 and y3 differential; T = val[1][1].
    names({"T"});
    sizes(1, 3);
    setAll(1, 1, 10.0);
    setTestModel([](double *f, double *y, double, parameter *p) { f[1] = p->val[1][1] - y[1] - y[2] - y[3]; },
                 [](double **j, double *, double, parameter *) {
                     j[1][1] = -1.0;
                     j[1][2] = -1.0;
                     j[1][3] = -1.0;
                 });
    y[1] = 0.0;
    y[2] = 3.0;
    y[3] = 4.5;
    ASSERT_EQ(SolveAlgebraicEq(y, y_pre), 0);
    EXPECT_NEAR(y[1], 2.5, 1e-14);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(y_pre[i], y[i]);
}

TEST_F(NewtonRaphson, AlgebraicEquationFallsBackToContinuationFromTheLastState) {
    // 0 = atan(y1 - y2): Newton diverges when |y1 - y2| is large, but small moves of y2 from a
    // consistent state keep every start close enough.
    names({});
    sizes(1, 2);
    setTestModel([](double *f, double *y, double, parameter *) { f[1] = std::atan(y[1] - y[2]); },
                 [](double **j, double *y, double, parameter *) {
                     const double x = y[1] - y[2];
                     j[1][1] = 1.0 / (1.0 + x * x);
                     j[1][2] = -j[1][1];
                 });
    y_pre[1] = 1.0;
    y_pre[2] = 1.0;
    y[1] = 0.0;
    y[2] = 10.0;
    testing::internal::CaptureStdout();
    ASSERT_EQ(SolveAlgebraicEq(y, y_pre), 0);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("## Not converged in solveNewtonRaphson."), std::string::npos);   // the direct try
    EXPECT_NEAR(y[1], 10.0, 1e-12);
    EXPECT_EQ(y[2], 10.0);
    EXPECT_EQ(y_pre[1], y[1]);
    EXPECT_EQ(y_pre[2], 10.0);

    // Nothing to move from: the start point itself has no solution.
    y[1] = 0.0;
    y[2] = 1e6;
    y_pre[1] = 0.0;
    y_pre[2] = 1e6;
    testing::internal::CaptureStdout();
    EXPECT_EQ(SolveAlgebraicEq(y, y_pre), -1);
    const std::string log2 = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(endsWith(log2, "## Cannot solve Algebraic Eq. at start point.\n")) << log2;
}

TEST_F(NewtonRaphson, AlgebraicContinuationFailureNamesTheVariable) {
    // 0 = y1 - y2, but only while y2 < 2: beyond, the equation has no root (constant residual).
    names({});
    sizes(1, 2);
    setTestModel([](double *f, double *y, double, parameter *) { f[1] = y[2] < 2.0 ? y[1] - y[2] : 1.0; },
                 [](double **j, double *y, double, parameter *) { j[1][1] = y[2] < 2.0 ? 1.0 : 0.0; });
    y_pre[1] = y_pre[2] = 1.0;
    y[1] = 100.0;
    y[2] = 3.0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(SolveAlgebraicEq(y, y_pre), -1);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(endsWith(log, "## Cannot set y[2] to 3.000000e+00\n")) << log;
}

TEST_F(NewtonRaphson, SteadyStateByContinuation) {
    names({"kin", "kout"});
    sizes(2, 2);
    setAll(1, 1, 1.0);
    setAll(1, 2, 1.0);
    setAll(2, 1, 1.0);
    setAll(2, 2, 1.0);
    setTestModel(chain, chainJac);
    // Consistent start: y1 = k1/(k2+k3), y2 = k3 y1 / k4.
    y[1] = y_pre[1] = 0.5;
    y[2] = y_pre[2] = 0.5;
    ParamT.val[1][1] = 8.0;
    ParamT.val[1][2] = 0.5;
    ParamT.val[2][1] = 3.5;
    ParamT.val[2][2] = 0.25;
    ASSERT_EQ(SolveSTDbyNR(y, y_pre), 0);
    EXPECT_NEAR(y[1], 2.0, 1e-12);
    EXPECT_NEAR(y[2], 28.0, 1e-11);
    EXPECT_EQ(y_pre[1], y[1]);
    EXPECT_EQ(y_pre[2], y[2]);
    EXPECT_EQ(std::memcmp(&ParamP, &ParamT, sizeof(parameter)), 0);
    EXPECT_EQ(std::memcmp(&Param, &ParamT, sizeof(parameter)), 0);
}

TEST_F(NewtonRaphson, SteadyStateFailureRestoresTheLastConsistentPair) {
    names({"kin", "kout"});
    sizes(2, 2);
    setAll(1, 1, 1.0);
    setAll(1, 2, 1.0);
    setAll(2, 1, 1.0);
    setAll(2, 2, 1.0);
    setTestModel(chain, chainJac);
    y[1] = y_pre[1] = 0.5;
    y[2] = y_pre[2] = 0.5;
    // k4 -> 0: the second equation loses its dependence on y2.
    ParamT.val[2][2] = 0.0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(SolveSTDbyNR(y, y_pre), -1);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("## Cannot set No.2 :0.000000e+00 to 0.000000e+00\n## Cannot set kout.\n"), std::string::npos)
        << log;
    EXPECT_EQ(Param.val[2][2], 1.0);
    EXPECT_EQ(std::memcmp(&Param, &ParamP, sizeof(parameter)), 0);
    EXPECT_EQ(y[1], 0.5);
    EXPECT_EQ(y[2], 0.5);
}

TEST_F(NewtonRaphson, CheckAfterAnEventMovesTheConsistentState) {
    names({"kin", "kout"});
    sizes(2, 2);
    setAll(1, 1, 1.0);
    setAll(1, 2, 1.0);
    setAll(2, 1, 1.0);
    setAll(2, 2, 1.0);
    setTestModel(chain, chainJac);
    y_pre[1] = y_pre[2] = 0.5;
    Param.val[1][1] = 3.0;   // an event tripled the inflow
    ASSERT_EQ(CheckNRparam(y_pre), 0);
    EXPECT_NEAR(y_pre[1], 1.5, 1e-12);
    EXPECT_NEAR(y_pre[2], 1.5, 1e-12);
    EXPECT_EQ(Param.val[1][1], 3.0);
    EXPECT_EQ(ParamP.val[1][1], 3.0);
    EXPECT_EQ(ParamT.val[1][1], 3.0);
}

TEST_F(NewtonRaphson, SensitivityReportMatchesLogarithmicGains) {
    names({"kin", "kout", "unused", "empty"});
    sizes(2, 2);
    const double k1 = 2.0, k2 = 3.0, k3 = 1.0, k4 = 4.0;
    setAll(1, 1, k1);
    setAll(1, 2, k2);
    setAll(2, 1, k3);
    setAll(2, 2, k4);
    setAll(3, 1, 0.0);   // a zero value gives no line; "empty" has no values at all
    setTestModel(chain, chainJac);
    y_pre[1] = k1 / (k2 + k3);
    y_pre[2] = k3 * y_pre[1] / k4;
    const double ss1 = y_pre[1], ss2 = y_pre[2];

    std::FILE *out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    Fp_out = out;
    ASSERT_EQ(Sensitivity(y, y_pre), 0);
    Fp_out = nullptr;
    std::rewind(out);
    std::string text;
    char buf[512];
    while (std::fgets(buf, sizeof buf, out)) text += buf;
    std::fclose(out);

    const std::string head = "\n\n$$ Sensitivity\n";
    ASSERT_EQ(text.substr(0, head.size()), head);
    struct Row {
        const char *label;
        double g1, g2;
    };
    const double s = k2 + k3;
    const Row rows[] = {{"kin[  1]", 1.0, 1.0},
                        {"kin[  2]", -k2 / s, -k2 / s},
                        {"kout[  1]", -k3 / s, k2 / s},
                        {"kout[  2]", 0.0, -1.0}};
    std::size_t pos = head.size();
    int first = 0;
    for (int r = 0; r < 4; ++r) {
        const std::size_t eol = text.find('\n', pos);
        ASSERT_NE(eol, std::string::npos);
        const std::string line = text.substr(pos, eol - pos);
        pos = eol + 1;
        // Fixed layout: "%4d: %-12s" then ", %12.3E" per variable.
        ASSERT_GE(line.size(), 18u) << line;
        const int counter = std::atoi(line.substr(0, 4).c_str());
        double g1 = 0, g2 = 0;
        ASSERT_EQ(std::sscanf(line.c_str() + 18, ", %lf, %lf", &g1, &g2), 2) << line;
        if (r == 0) first = counter;
        EXPECT_EQ(counter, first + r);
        char expect[128];
        std::snprintf(expect, sizeof expect, "%4d: %-12s, %12.3E, %12.3E", counter, rows[r].label, g1, g2);
        EXPECT_EQ(line, expect);
        EXPECT_NEAR(g1, rows[r].g1, 2e-3) << rows[r].label;
        EXPECT_NEAR(g2, rows[r].g2, 2e-3) << rows[r].label;
    }
    EXPECT_EQ(pos, text.size());   // no line for the zero value or the parameter without values

    // y keeps the last perturbed state (k4 raised by 0.1 %), y_pre and the parameters the steady state.
    EXPECT_NEAR(y[2], k3 * ss1 / (k4 * 1.001), 1e-12);
    EXPECT_EQ(y_pre[1], ss1);
    EXPECT_EQ(y_pre[2], ss2);
    EXPECT_EQ(Param.val[2][2], k4);
    EXPECT_EQ(std::memcmp(&Param, &ParamP, sizeof(parameter)), 0);
}
