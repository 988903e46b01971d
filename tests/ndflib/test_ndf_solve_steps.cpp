// Building blocks of an NDF step, checked on polynomials, for which the backward-difference
// formulas of degree k are exact: prediction, interpolation and rescaling to a new step.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "quorvant/common/c_que.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/ndf.h"
#include "quorvant/ndflib/ndf_steps.h"

namespace {

constexpr int kMaxK = 5;
constexpr int kCols = kMaxK + 2;
constexpr double kFiller = 99.0;   // columns the operation must not touch

// Two test polynomials of degree k (one per component).
double poly(int comp, int k, double t) {
    double v = comp == 0 ? 0.3 : -1.2;
    for (int d = 1; d <= k; ++d) v += (comp == 0 ? 0.5 : -0.25 * d) * std::pow(t, d);
    return v;
}

double binom(int j, int m) {
    double b = 1.0;
    for (int i = 1; i <= m; ++i) b = b * (j - m + i) / i;
    return b;
}

// Differences n×(max_k+2): column j-1 holds the j-th backward difference at tn with step h.
std::vector<double> differences(int k, double tn, double h) {
    std::vector<double> d(2 * kCols, kFiller);
    for (int c = 0; c < 2; ++c)
        for (int j = 1; j <= k; ++j) {
            double s = 0.0;
            for (int m = 0; m <= j; ++m) s += (m % 2 ? -1.0 : 1.0) * binom(j, m) * poly(c, k, tn - m * h);
            d[static_cast<std::size_t>(c * kCols + j - 1)] = s;
        }
    return d;
}

struct StepMatrices {
    std::vector<double> kJ, kI, difU;
    explicit StepMatrices(int maxk) {
        static const double u[5][5] = {{-1, -2, -3, -4, -5}, {0, 1, 3, 6, 10}, {0, 0, -1, -4, -10},
                                       {0, 0, 0, 1, 5}, {0, 0, 0, 0, -1}};
        for (int i = 0; i < maxk; ++i)
            for (int j = 0; j < maxk; ++j) {
                kJ.push_back(j + 1);
                kI.push_back(i + 1);
                difU.push_back(u[i][j]);
            }
    }
};

}  // namespace

TEST(NdfSteps, PredictAndInterpolateArePolynomialExact) {
    const double tn = 0.7, h = 0.1;
    for (int k = 1; k <= kMaxK; ++k) {
        SCOPED_TRACE("k " + std::to_string(k));
        std::vector<double> d = differences(k, tn, h);
        std::vector<double> y{poly(0, k, tn), poly(1, k, tn)}, out(2);
        _matrix md{2, kCols, d.data()}, vy{2, 1, y.data()}, vout{2, 1, out.data()};
        std::vector<double> t0{0.0, 1.0};
        _ndf_input in{2, t0.data(), 2, y.data()};
        ASSERT_EQ(_predict_y(&in, k, &md, &vy, &vout), 0);
        for (int c = 0; c < 2; ++c) EXPECT_NEAR(out[static_cast<std::size_t>(c)], poly(c, k, tn + h), 1e-12);
        for (double ti : {tn, tn - 0.25 * h, tn - h, tn - 2.6 * h}) {
            ASSERT_EQ(_interpolate(h, k, tn, &vy, &md, ti, &vout), 0);
            for (int c = 0; c < 2; ++c) EXPECT_NEAR(out[static_cast<std::size_t>(c)], poly(c, k, ti), 1e-12) << ti;
        }
    }
}

// Rescaling the differences from step h to step r·h gives the differences taken with r·h,
// for every order up to the largest, and leaves the columns beyond the order alone.
TEST(NdfSteps, ChangeStepsizeGivesDifferencesOfNewStep) {
    const double tn = 0.7, h = 0.1;
    for (int maxk : {3, 5}) {
        StepMatrices s(maxk);
        _matrix mJ{maxk, maxk, s.kJ.data()}, mI{maxk, maxk, s.kI.data()}, mU{maxk, maxk, s.difU.data()};
        for (int k = 1; k <= maxk; ++k)
            for (double r : {0.3, 1.0, 2.5}) {
                SCOPED_TRACE("maxk " + std::to_string(maxk) + " k " + std::to_string(k) + " r " + std::to_string(r));
                std::vector<double> d = differences(k, tn, h);
                const std::vector<double> want = differences(k, tn, r * h);
                _matrix md{2, kCols, d.data()};
                ASSERT_EQ(_change_stepsize(k, maxk, r, &mJ, &mI, &mU, &md), 0);
                for (std::size_t e = 0; e < d.size(); ++e) EXPECT_NEAR(d[e], want[e], 1e-12) << e;
            }
    }
}

TEST(NdfSteps, PsiCombinesDifferencesWithOrderCoefficients) {
    std::vector<double> d = differences(3, 0.7, 0.1), psi(2);
    std::vector<double> gamma{1.0, 1.5, 1.8333333333333333, 2.0833333333333335, 2.283333333333333};
    std::vector<double> invg{0.5, 0.25, 0.125, 1.0, 1.0};
    _matrix md{2, kCols, d.data()}, vg{5, 1, gamma.data()}, vi{5, 1, invg.data()}, vp{2, 1, psi.data()};
    ASSERT_EQ(_get_psi(3, &vi, &vg, &md, &vp), 0);
    for (int c = 0; c < 2; ++c) {
        const double *row = d.data() + c * kCols;
        EXPECT_DOUBLE_EQ(psi[static_cast<std::size_t>(c)],
                         (row[0] * 1.0 + row[1] * 1.5 + row[2] * 1.8333333333333333) * 0.125);
    }
}

TEST(NdfSteps, RowScaleNormalisesEveryRow) {
    std::vector<double> a{2.0, -8.0, 1.0, 0.5, 0.25, -0.125, -3.0, 3.0, 1.0}, r(3);
    _matrix ma{3, 3, a.data()}, vr{3, 1, r.data()};
    ASSERT_EQ(_matrix_rowscale(&vr, &ma), 0);
    EXPECT_EQ(r, (std::vector<double>{0.125, 2.0, 1.0 / 3.0}));
    EXPECT_EQ(a, (std::vector<double>{0.25, -1.0, 0.125, 1.0, 0.5, -0.25, -1.0, 1.0, 1.0 / 3.0}));
}

TEST(NdfSteps, InvalidStepArgumentsAreReported) {
    std::vector<double> d(2 * kCols, 0.0), y(2, 0.0), out(2);
    _matrix md{2, kCols, d.data()}, vy{2, 1, y.data()}, vout{2, 1, out.data()};
    testing::internal::CaptureStdout();
    EXPECT_EQ(_interpolate(0.1, 6, 1.0, &vy, &md, 0.95, &vout), -1);
    EXPECT_EQ(_interpolate(0.1, 2, 1.0, &vy, &md, 0.95, nullptr), -1);
    EXPECT_EQ(_change_stepsize(2, 1, 0.5, &md, &md, &md, &md), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR: _interpolate()\nERROR: _interpolate()\nERROR: _change_stepsize()\n");
}

TEST(NdfSteps, ResultQueueNodesOwnTheirCopy) {
    std::vector<double> y{1.0, 2.0, 3.0};
    _matrix vy{3, 1, y.data()};
    c_que head;
    c_initque(&head);
    for (double t : {0.5, 1.5}) {
        _que_result *q = _alloc_que(t, &vy);
        ASSERT_NE(q, nullptr);
        c_enque(&head, &q->que);
        y[0] += 10.0;
    }
    auto *first = reinterpret_cast<_que_result *>(c_deque(&head));
    EXPECT_EQ(first->t, 0.5);
    EXPECT_EQ(first->y[0], 1.0);
    auto *second = reinterpret_cast<_que_result *>(c_deque(&head));
    EXPECT_EQ(second->y[0], 11.0);
    _free_que(first);
    _free_que(second);
}
