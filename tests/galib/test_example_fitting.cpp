// The data-fitting example (models/fitting): the measured table in the model code is what its own
// model files produce at the true values, and the fitness tells a fit off by 2 % from the true
// one and penalises failed runs and missing or broken rows.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "example_model_run.h"

namespace {

const std::vector<double> kTruth = {2.0, 1.5, 0.5};   // Vmax, Km, k2
constexpr int kSamples = 12;

TEST(ExampleFitting, BothModelFilesReproduceTheMeasuredTable) {
    for (const char *file : {"fitting/fitting.in", "fitting/fitting_true.in"}) {
        SCOPED_TRACE(file);
        ExampleRun run;
        ASSERT_TRUE(run.load(file));
        // fitting_true.in has no search variables: it runs at its own (true) values.
        ASSERT_EQ(run.simulate(kTruth), 0);
        ASSERT_EQ(StepNum, kSamples);
        EXPECT_GT(run.fitness(0), -1e-24);
        EXPECT_LE(run.fitness(0), 0.0);
    }
}

TEST(ExampleFitting, TwoPercentOffTheTruthCostsFitness) {
    ExampleRun run;
    ASSERT_TRUE(run.load("fitting/fitting.in"));
    for (size_t k = 0; k < kTruth.size(); ++k) {
        for (double factor : {0.98, 1.02}) {
            SCOPED_TRACE(testing::Message() << "variable " << k << " x " << factor);
            std::vector<double> x = kTruth;
            x[k] *= factor;
            ASSERT_EQ(run.simulate(x), 0);
            EXPECT_LT(run.fitness(0), -1e-4);
        }
    }
}

// Faults in the stored rows, applied to the true run: the fitness each must give.
TEST(ExampleFitting, PenalisesFailuresAndMissingRows) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char *what;
        int status;
        int rows;               // rows handed to the fitness (-1: all)
        int row;                // row to change (-1: none)
        int column;
        double value;           // new value; a time shifts the row instead
        double expected;
        double tolerance;
    };
    const Case cases[] = {
        {"failed simulation", -1, -1, -1, 0, 0.0, -1e10, 0.0},
        {"last row missing", 0, kSamples - 1, -1, 0, 0.0, -1e6, 1e-12},
        {"no rows", 0, 0, -1, 0, 0.0, -kSamples * 1e6, 1e-6},
        {"row 4 off the sample time", 0, -1, 4, 0, 2.51, -1e6, 1e-12},
        {"S of row 2 not a number", 0, -1, 2, 1, kNaN, -1e6, 1e-12},
        {"P of row 0 one percent high", 0, -1, 0, 3, 1.01, -1e-4, 1e-12},
    };
    ExampleRun run;
    ASSERT_TRUE(run.load("fitting/fitting.in"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(run.simulate(kTruth), 0);
        if (c.row >= 0) {
            double &v = run.row(c.row)[c.column];
            v = c.column == 0 || std::isnan(c.value) ? c.value : v * c.value;
        }
        EXPECT_NEAR(run.fitness(c.status, c.rows), c.expected, c.tolerance);
    }
}

TEST(ExampleFitting, JacobianMatchesTheRightHandSide) {
    ExampleRun run;
    ASSERT_TRUE(run.load("fitting/fitting.in"));
    for (const std::vector<double> &y : {std::vector<double>{0, 5.0, 0.0, 0.0}, {0, 0.3, 1.2, 2.0}, {0, 1e-3, 2.0, 4.0}}) {
        SCOPED_TRACE(testing::Message() << "S = " << y[1]);
        EXPECT_LT(jacobianError(y), 1e-6);
    }
}

}  // namespace
