// The oscillator example (models/oscillator): its fitness counts the turning points of variable 1
// that lie more than 1.0 from the previous one, and the model oscillates where the search finds
// it and is damped at the model file's own values.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "example_model_run.h"

namespace {

// Rows {t, M, E, R} with the given values of M.
double countOf(const std::vector<double> &m, int status = 0) {
    std::vector<std::vector<double>> rows;
    std::vector<double *> ptrs;
    for (size_t i = 0; i < m.size(); ++i) rows.push_back({0.1 * static_cast<double>(i), m[i], 0.0, 0.0});
    for (auto &r : rows) ptrs.push_back(r.data());
    double f = NAN;
    EXPECT_EQ(QvUsrFitness(ptrs.data(), static_cast<int>(ptrs.size()), 3, status, &f), 0);
    return f;
}

// Straight segments through the given corner values, in steps of `step` (exact in binary).
std::vector<double> zigzag(const std::vector<double> &corners, double step) {
    std::vector<double> out{corners[0]};
    for (size_t c = 1; c < corners.size(); ++c) {
        const double dir = corners[c] > corners[c - 1] ? step : -step;
        while (std::fabs(out.back() - corners[c]) > step / 2) out.push_back(out.back() + dir);
    }
    return out;
}

TEST(ExampleOscillator, FitnessCountsTurningPoints) {
    std::vector<double> ripple;
    for (int i = 0; i < 100; ++i) ripple.push_back(3.0 + 0.3 * std::sin(0.3 * i));
    std::vector<double> falling;
    for (int i = 0; i < 20; ++i) falling.push_back(5.0 - 0.25 * i);
    struct Case {
        const char *what;
        std::vector<double> m;
        double expected;
    };
    const Case cases[] = {
        // Peak 5 (5 from the start value 0 of the last turning point), trough 1 (4 from the peak);
        // the final rise has no turning point after it.
        {"1 up to 5, down to 1, up to 5", zigzag({1, 5, 1, 5}, 0.125), 2},
        {"constant", std::vector<double>(50, 2.0), 0},
        {"ripple of 0.3 around 3: only the first peak", ripple, 1},
        {"swings of exactly 1.0 do not count", zigzag({2, 3, 2, 3, 2}, 0.25), 1},
        {"swings of 1.25 do", zigzag({2, 3.25, 2, 3.25, 2}, 0.25), 3},
        // The window starts from zeros: a course that falls from its first value turns there.
        {"falling from 5", falling, 1},
        {"no rows", {}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(countOf(c.m), c.expected);
    }
    EXPECT_EQ(countOf(zigzag({1, 5, 1, 5}, 0.125), -1), -100.0);
}

TEST(ExampleOscillator, OscillatesOnlyWithSteepFastRepression) {
    struct Case {
        const char *what;
        std::vector<double> x;   // v0, K, n, kd
        double lo, hi;           // expected count
    };
    const Case cases[] = {
        {"the model file's values: damped", {10, 2, 4, 1}, 0, 6},
        {"weak, slow loop", {1, 10, 1, 0.2}, 0, 3},
        {"steep repression, fast turnover", {16.535312, 0.66699, 11.499659, 1.862807}, 95, 110},
        {"corner of the box", {20, 0.5, 12, 2}, 100, 115},
    };
    ExampleRun run;
    ASSERT_TRUE(run.load("oscillator/oscillator.in"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(run.simulate(c.x), 0);
        EXPECT_EQ(StepNum, 400);
        const double f = run.fitness(0);
        EXPECT_GE(f, c.lo);
        EXPECT_LE(f, c.hi);
    }
}

TEST(ExampleOscillator, JacobianMatchesTheRightHandSide) {
    struct Case {
        std::vector<double> x;   // v0, K, n, kd
        std::vector<double> y;
    };
    const Case cases[] = {
        {{10, 2, 4, 1}, {0, 1.0, 2.0, 3.0}},
        {{20, 0.5, 12, 2}, {0, 4.0, 1.0, 0.5}},   // steep part of the Hill term
        {{5, 1, 1, 0.5}, {0, 0.5, 0.5, 0.2}},     // n = 1
        {{5, 1, 12, 0.5}, {0, 0.5, 0.5, 0.0}},    // no repressor yet
    };
    ExampleRun run;
    ASSERT_TRUE(run.load("oscillator/oscillator.in"));
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "n = " << c.x[2] << ", R = " << c.y[3]);
        run.simulate(c.x);   // leaves the values in Param
        EXPECT_LT(jacobianError(c.y), 1e-5);
    }
}

}  // namespace
