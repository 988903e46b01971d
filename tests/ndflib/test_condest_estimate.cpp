// The 1-norm condition estimate against the true condition number (inverse formed in the
// test by Gauss-Jordan elimination), and the estimator's helpers.
#include <gtest/gtest.h>

#include "matrix_test_util.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "quorvant/ndflib/condest.h"
#include "quorvant/ndflib/condest_util.h"
#include "quorvant/ndflib/lu.h"
#include "quorvant/ndflib/matrix_basic.h"

namespace {

double norm1(const std::vector<double> &a, int n) {
    double best = 0;
    for (int j = 0; j < n; ++j) {
        double s = 0;
        for (int i = 0; i < n; ++i) s += std::fabs(a[i * n + j]);
        best = std::max(best, s);
    }
    return best;
}

// ||A||_1 ||A^-1||_1 with the inverse by Gauss-Jordan elimination with partial pivoting.
double trueCondition(const _matrix *m) {
    const int n = m->row;
    std::vector<double> a(m->elem, m->elem + n * n), inv(n * n, 0.0);
    for (int i = 0; i < n; ++i) inv[i * n + i] = 1.0;
    for (int c = 0; c < n; ++c) {
        int p = c;
        for (int r = c + 1; r < n; ++r)
            if (std::fabs(a[r * n + c]) > std::fabs(a[p * n + c])) p = r;
        for (int j = 0; j < n; ++j) {
            std::swap(a[c * n + j], a[p * n + j]);
            std::swap(inv[c * n + j], inv[p * n + j]);
        }
        const double piv = a[c * n + c];
        for (int j = 0; j < n; ++j) {
            a[c * n + j] /= piv;
            inv[c * n + j] /= piv;
        }
        for (int r = 0; r < n; ++r) {
            if (r == c) continue;
            const double f = a[r * n + c];
            for (int j = 0; j < n; ++j) {
                a[r * n + j] -= f * a[c * n + j];
                inv[r * n + j] -= f * inv[c * n + j];
            }
        }
    }
    return norm1(std::vector<double>(m->elem, m->elem + n * n), n) * norm1(inv, n);
}

ScopedMatrix randomMatrix(int n, std::mt19937 &gen) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    ScopedMatrix m(n, n);
    for (int k = 0; k < n * n; ++k) m[k] = u(gen);
    return m;
}

}  // namespace

TEST(ConditionEstimate, ExactUpToDimensionFour) {
    std::mt19937 gen(7);
    for (int n = 1; n <= 4; ++n) {
        for (int rep = 0; rep < 5; ++rep) {
            auto a = randomMatrix(n, gen);
            const double expect = trueCondition(a.get());
            EXPECT_NEAR(mtx_est_condition_number(a.get()), expect, 1e-10 * expect) << n;
        }
    }
    auto one = make(1, 1, {-4});
    EXPECT_DOUBLE_EQ(mtx_est_condition_number(one.get()), 1.0);
    auto hilbert = make(3, 3, {1, 1.0 / 2, 1.0 / 3, 1.0 / 2, 1.0 / 3, 1.0 / 4, 1.0 / 3, 1.0 / 4, 1.0 / 5});
    EXPECT_NEAR(mtx_est_condition_number(hilbert.get()), 748.0, 1e-8);
}

TEST(ConditionEstimate, LowerBoundCloseToTrueValueForLargerMatrices) {
    std::srand(12345);
    std::mt19937 gen(2024);
    int exact = 0, total = 0;
    for (int n : {5, 6, 8, 12, 20, 40}) {
        for (int rep = 0; rep < 5; ++rep) {
            auto a = randomMatrix(n, gen);
            // Make some matrices strongly non-normal and badly scaled.
            if (rep % 2 == 1) {
                for (int j = 0; j < n; ++j) a(0, j) *= 1e3;
                a(n - 1, 0) *= 1e-4;
            }
            const double truth = trueCondition(a.get());
            const double est = mtx_est_condition_number(a.get());
            SCOPED_TRACE(testing::Message() << "n " << n << " rep " << rep);
            EXPECT_LE(est, truth * (1 + 1e-10));
            EXPECT_GE(est, truth / 3);
            ++total;
            if (est >= truth * (1 - 1e-10)) ++exact;
        }
    }
    EXPECT_GE(exact, 3 * total / 4) << exact << " of " << total;
}

TEST(ConditionEstimate, SingularAndInvalidMatrices) {
    auto zeroRow = make(2, 2, {1, 2, 0, 0});
    double est = 0;
    captured([&] { est = mtx_est_condition_number(zeroRow.get()); });
    EXPECT_EQ(est, 1.7976931348623157e308);

    // A pivot that vanishes is replaced by a tiny one: finite but enormous.
    auto rankOne = make(2, 2, {1, 2, 2, 4});
    EXPECT_GT(mtx_est_condition_number(rankOne.get()), 1e16);

    auto rect = make(2, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_est_condition_number(rect.get()), -1.0); }),
              "ERROR: mtx_est_condition_number()\n");
}

TEST(ConditionEstimate, OperatorAndBlockWidth) {
    auto a = make(5, 5, {4, 1, 0, 0, 0, 1, 4, 1, 0, 0, 0, 1, 4, 1, 0, 0, 0, 1, 4, 1, 0, 0, 0, 1, 4});
    ScopedMatrix lu(5, 5);
    int piv[5];
    ASSERT_EQ(mtx_ludecomp(a.get(), lu.get(), piv), 0);
    EXPECT_EQ(_condest_f(CONDEST_DIM, nullptr, lu.get(), piv, nullptr), 5);
    EXPECT_EQ(_condest_f(CONDEST_ISREAL, nullptr, lu.get(), piv, nullptr), 1);
    EXPECT_EQ(captured([&] { EXPECT_EQ(_condest_f(4, nullptr, lu.get(), piv, nullptr), -1); }),
              "ERROR: _condest_f()\n");

    // Every block width gives the exact value on this diagonally dominant matrix; t = n takes
    // the exact path. Widths above max(n, 2) are refused.
    double exact = 0;
    ASSERT_EQ(mtx_est_1norm(_condest_f, 5, lu.get(), piv, &exact), 0);
    EXPECT_NEAR(exact * 6.0, trueCondition(a.get()), 1e-12 * exact);
    for (int t : {0, 1, -2, 3}) {
        double est = 0;
        ASSERT_EQ(mtx_est_1norm(_condest_f, t, lu.get(), piv, &est), 0) << t;
        EXPECT_NEAR(est, exact, 1e-12 * exact) << t;
    }
    double est = 0;
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_est_1norm(_condest_f, 6, lu.get(), piv, &est), -1); }),
              "ERROR: mtx_est_1norm()\n");
}

TEST(EstimatorHelpers, SortReverseAndConcatenate) {
    auto v = make(3, 1, {3, 1, 2});
    ScopedMatrix sorted(3, 1);
    int idx[3];
    ASSERT_EQ(mtx_sort_vector(v.get(), sorted.get(), idx), 0);
    EXPECT_EQ(sorted[0], 1.0);
    EXPECT_EQ(sorted[1], 2.0);
    EXPECT_EQ(sorted[2], 3.0);
    EXPECT_EQ(idx[0], 1);
    EXPECT_EQ(idx[1], 2);
    EXPECT_EQ(idx[2], 0);
    _reverse(3, idx);
    EXPECT_EQ(idx[0], 0);
    EXPECT_EQ(idx[1], 2);
    EXPECT_EQ(idx[2], 1);

    const double nan = std::nan("");
    auto withNan = make(4, 1, {2, nan, -1, 2});
    ScopedMatrix s4(4, 1);
    int i4[4];
    ASSERT_EQ(mtx_sort_vector(withNan.get(), s4.get(), i4), 0);
    EXPECT_EQ(s4[0], -1.0);
    EXPECT_EQ(s4[2], 2.0);
    EXPECT_TRUE(std::isnan(s4[3]));

    ScopedMatrix hist;   // cleared record: becomes a column
    auto a = make(2, 1, {5, 6});
    ASSERT_EQ(_vector_cat(hist.get(), a.get(), 2), 0);
    ASSERT_EQ(_vector_cat(hist.get(), v.get(), 1), 0);
    EXPECT_EQ(hist->row, 3);
    EXPECT_EQ(hist->col, 1);
    EXPECT_EQ(hist[0], 5.0);
    EXPECT_EQ(hist[1], 6.0);
    EXPECT_EQ(hist[2], 3.0);
    auto row = make(1, 2, {1, 2});
    ASSERT_EQ(_vector_cat(row.get(), a.get(), 2), 0);
    EXPECT_EQ(row->row, 1);
    EXPECT_EQ(row->col, 4);
    EXPECT_EQ(row[3], 6.0);
    ScopedMatrix square(2, 2);
    EXPECT_EQ(captured([&] { EXPECT_EQ(_vector_cat(square.get(), a.get(), 1), -1); }),
              "ERROR: _vector_cat()\n");
}

TEST(EstimatorHelpers, SignsRandomColumnsAndDuplicates) {
    auto m = make(2, 2, {-1, 0, 3, -0.0});
    ScopedMatrix s(2, 2);
    ASSERT_EQ(_mysign(m.get(), s.get()), 0);
    EXPECT_EQ(s[0], -1.0);
    EXPECT_EQ(s[1], 1.0);
    EXPECT_EQ(s[2], 1.0);
    EXPECT_EQ(s[3], 1.0);
    ScopedMatrix wrong(4, 1);
    EXPECT_EQ(captured([&] { EXPECT_EQ(_mysign(m.get(), wrong.get()), -1); }), "ERROR: _mysign()\n");

    ScopedMatrix r(50, 4);
    mtx_rand(r.get());
    for (int k = 0; k < 200; ++k) {
        EXPECT_GE(r[k], 0.0);
        EXPECT_LT(r[k], 1.0);
    }

    // Column 1 is the negative of column 0 and column 2 equals column 0: both are parallel to
    // an earlier one and get replaced.
    std::srand(99);
    const int n = 16;
    ScopedMatrix dup(n, 3);
    for (int i = 0; i < n; ++i) {
        dup(i, 0) = (i % 3 == 0) ? -1.0 : 1.0;
        dup(i, 1) = -dup(i, 0);
        dup(i, 2) = dup(i, 0);
    }
    EXPECT_EQ(_undupli(dup.get(), nullptr), 2);
    for (int a = 0; a < 3; ++a) {
        for (int b = a + 1; b < 3; ++b) {
            double dot = 0;
            for (int i = 0; i < n; ++i) dot += dup(i, a) * dup(i, b);
            EXPECT_LT(std::fabs(dot), n) << a << "," << b;
        }
        for (int i = 0; i < n; ++i) EXPECT_EQ(std::fabs(dup(i, a)), 1.0);
    }
    EXPECT_EQ(_undupli(dup.get(), nullptr), 0);   // nothing parallel any more

    // The first column is compared with the old matrix as well.
    ScopedMatrix old(n, 3);
    for (int i = 0; i < n; ++i) old(i, 2) = -dup(i, 0);
    EXPECT_EQ(_undupli(dup.get(), old.get()), 1);

    ScopedMatrix single(n, 1);
    mtx_unique(1.0, single.get());
    EXPECT_EQ(_undupli(single.get(), old.get()), 0);
}
