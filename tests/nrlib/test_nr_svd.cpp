#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "nr_test_matrix.h"
#include "quorvant/nrlib/nr_svd.h"

namespace {

// Checks A = U diag(w) V^T, U^T U = I, V^T V = I and w >= 0 after nr_svdcmp.
void expectValidSvd(const NrMatrix &a) {
    const int m = a.rows, n = a.cols;
    NrMatrix u(a), v(n, n);
    std::vector<double> w(n + 1);
    ASSERT_EQ(nr_svdcmp(u.m, m, n, w.data(), v.m), 0);
    for (int j = 1; j <= n; ++j) EXPECT_GE(w[j], 0.0);
    for (int i = 1; i <= m; ++i) {
        for (int j = 1; j <= n; ++j) {
            double r = 0.0;
            for (int k = 1; k <= n; ++k) r += u[i][k] * w[k] * v[j][k];
            EXPECT_NEAR(r, a[i][j], 1e-12) << m << "x" << n << " at " << i << "," << j;
        }
    }
    for (int j = 1; j <= n; ++j) {
        for (int k = 1; k <= n; ++k) {
            double uu = 0.0, vv = 0.0;
            for (int i = 1; i <= m; ++i) uu += u[i][j] * u[i][k];
            for (int i = 1; i <= n; ++i) vv += v[i][j] * v[i][k];
            if (w[j] != 0.0 && w[k] != 0.0) {
                EXPECT_NEAR(uu, j == k ? 1.0 : 0.0, 1e-12);
            }
            EXPECT_NEAR(vv, j == k ? 1.0 : 0.0, 1e-12);
        }
    }
}

}  // namespace

TEST(NrSvd, ReconstructsSquareTallAndRankDeficientMatrices) {
    expectValidSvd(NrMatrix{{2, 0, 1}, {-1, 3, 0.5}, {0.25, 1, -4}});
    expectValidSvd(NrMatrix{{1, 2, 3}, {4, 5, 6}, {7, 8, 10}, {-1, 0.5, 2}});
    expectValidSvd(NrMatrix{{1, 2}, {2, 4}, {3, 6}});   // rank 1
    expectValidSvd(NrMatrix{{0, 0}, {0, 0}});
    expectValidSvd(NrMatrix{{5}});
}

TEST(NrSvd, SingularValuesOfAKnownMatrix) {
    // [[3, 0], [4, 5]] has singular values sqrt(45) and sqrt(5).
    NrMatrix a{{3, 0}, {4, 5}}, v(2, 2);
    std::vector<double> w(3);
    ASSERT_EQ(nr_svdcmp(a.m, 2, 2, w.data(), v.m), 0);
    const double hi = std::fmax(w[1], w[2]), lo = std::fmin(w[1], w[2]);
    EXPECT_NEAR(hi, std::sqrt(45.0), 1e-13);
    EXPECT_NEAR(lo, std::sqrt(5.0), 1e-13);
}

TEST(NrSvd, BackSubstitutionGivesLeastSquaresSolution) {
    // Straight-line fit through four points: compare with the normal equations.
    const double t[] = {0, 1, 2, 4}, yv[] = {1.0, 2.9, 5.2, 8.8};
    NrMatrix a(4, 2), v(2, 2);
    std::vector<double> b(5), w(3), x(3);
    for (int i = 1; i <= 4; ++i) {
        a[i][1] = 1.0;
        a[i][2] = t[i - 1];
        b[i] = yv[i - 1];
    }
    double st = 0, stt = 0, sy = 0, sty = 0;
    for (int i = 0; i < 4; ++i) {
        st += t[i];
        stt += t[i] * t[i];
        sy += yv[i];
        sty += t[i] * yv[i];
    }
    const double slope = (4 * sty - st * sy) / (4 * stt - st * st);
    const double icpt = (sy - slope * st) / 4;
    ASSERT_EQ(nr_svdcmp(a.m, 4, 2, w.data(), v.m), 0);
    ASSERT_EQ(nr_svbksb(a.m, w.data(), v.m, 4, 2, b.data(), x.data()), 0);
    EXPECT_NEAR(x[1], icpt, 1e-12);
    EXPECT_NEAR(x[2], slope, 1e-12);
}

TEST(NrSvd, ZeroSingularValueIsLeftOut) {
    // Direct factors: U = first two unit columns of R^3, w = (2, 0), V = I.
    NrMatrix u{{1, 0}, {0, 1}, {0, 0}}, v{{1, 0}, {0, 1}};
    const std::vector<double> w = vec1({2.0, 0.0});
    const std::vector<double> b = vec1({4.0, 7.0, 1.0});
    std::vector<double> x(3, -1.0);
    ASSERT_EQ(nr_svbksb(u.m, w.data(), v.m, 3, 2, b.data(), x.data()), 0);
    EXPECT_EQ(x[1], 2.0);
    EXPECT_EQ(x[2], 0.0);

    // Rank-deficient system: after zeroing the negligible singular value the result is the
    // minimum-norm least-squares solution x1 = x2 = 0.5 of x1 + x2 = 1.
    NrMatrix a{{1, 1}, {2, 2}, {3, 3}}, va(2, 2);
    std::vector<double> wa(3), xa(3);
    const std::vector<double> ba = vec1({1.0, 2.0, 3.0});
    ASSERT_EQ(nr_svdcmp(a.m, 3, 2, wa.data(), va.m), 0);
    const double wmax = std::fmax(wa[1], wa[2]);
    for (int j = 1; j <= 2; ++j)
        if (wa[j] < 1e-12 * wmax) wa[j] = 0.0;
    ASSERT_TRUE(wa[1] == 0.0 || wa[2] == 0.0);
    ASSERT_EQ(nr_svbksb(a.m, wa.data(), va.m, 3, 2, ba.data(), xa.data()), 0);
    EXPECT_NEAR(xa[1], 0.5, 1e-12);
    EXPECT_NEAR(xa[2], 0.5, 1e-12);
}

TEST(NrSvd, PythagAvoidsOverflowAndUnderflow) {
    struct Case {
        double a, b, expect;
    };
    const Case cases[] = {
        {0, 0, 0}, {3, 4, 5}, {-3, 4, 5}, {4, -3, 5}, {0, -2, 2}, {-7, 0, 7},
        {1e200, 1e200, std::sqrt(2.0) * 1e200}, {3e-200, 4e-200, 5e-200},
    };
    for (const auto &c : cases) EXPECT_NEAR(pythag(c.a, c.b), c.expect, 1e-15 * c.expect) << c.a << "," << c.b;
}
