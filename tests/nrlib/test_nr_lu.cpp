#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "nr_test_matrix.h"
#include "quorvant/nrlib/nr_lu.h"

namespace {

// Matrices that exercise no pivoting, a zero leading element, and several interchanges.
std::vector<NrMatrix> systems() {
    std::vector<NrMatrix> s;
    s.push_back(NrMatrix{{4, 1, 0}, {1, 4, 1}, {0, 1, 4}});
    s.push_back(NrMatrix{{0, 2, 1}, {1, 1, 1}, {3, 0, -1}});
    s.push_back(NrMatrix{{1e-3, 2, 3, 4, 5},
                         {7, 1e3, 3, -2, 1},
                         {-4, 2, 1e-6, 9, 0},
                         {2, 2, 8, 1, -30},
                         {6, -1, 2, 1e2, 7}});
    return s;
}

double det(const NrMatrix &a) {   // by cofactor expansion, independent of the LU code
    const int n = a.rows;
    if (n == 1) return a[1][1];
    double sum = 0.0;
    for (int j = 1; j <= n; ++j) {
        NrMatrix minor(n - 1, n - 1);
        for (int i = 2; i <= n; ++i)
            for (int k = 1, c = 1; k <= n; ++k)
                if (k != j) minor[i - 1][c++] = a[i][k];
        sum += ((j % 2) ? 1.0 : -1.0) * a[1][j] * det(minor);
    }
    return sum;
}

}  // namespace

TEST(NrLu, SolvesPlainAndTransposedSystems) {
    for (const NrMatrix &a : systems()) {
        const int n = a.rows;
        NrMatrix lu(a);
        std::vector<int> indx(n + 1);
        double d = 0.0;
        ASSERT_EQ(nr_ludcmp(lu.m, n, indx.data(), &d), 0);

        double prod = d;
        for (int i = 1; i <= n; ++i) prod *= lu[i][i];
        EXPECT_NEAR(prod, det(a), 1e-9 * std::fabs(det(a)));

        // Right-hand sides with and without leading zeros.
        for (int first = 1; first <= n; ++first) {
            std::vector<double> b(n + 1, 0.0);
            for (int i = first; i <= n; ++i) b[i] = 1.0 + i * 0.5;
            std::vector<double> x = b, xt = b;
            nr_lubksb(lu.m, n, indx.data(), x.data());
            ASSERT_EQ(nr_tlubksb(lu.m, n, indx.data(), xt.data()), 0);
            for (int i = 1; i <= n; ++i) {
                double ax = 0.0, atx = 0.0;
                for (int j = 1; j <= n; ++j) {
                    ax += a[i][j] * x[j];
                    atx += a[j][i] * xt[j];
                }
                EXPECT_NEAR(ax, b[i], 1e-10) << "n=" << n << " row " << i;
                EXPECT_NEAR(atx, b[i], 1e-10) << "n=" << n << " transposed row " << i;
            }
        }
    }
}

TEST(NrLu, ZeroRowIsSingularAndLeavesTheMatrix) {
    NrMatrix a{{1, 2, 3}, {0, 0, 0}, {4, 5, 6}};
    const NrMatrix orig(a);
    int indx[4] = {0, 0, 0, 0};
    double d = 0.0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(nr_ludcmp(a.m, 3, indx, &d), -2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "## Singular matrix in nr_ludcmp\n");
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(a[i][j], orig[i][j]);
}

TEST(NrLu, PivotThatBecomesZeroIsReplacedByTiny) {
    // Equal scaled candidates: the last row is the pivot; the second pivot cancels to exactly 0.
    NrMatrix a{{1, 1}, {1, 1}};
    int indx[3] = {0, 0, 0};
    double d = 0.0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(nr_ludcmp(a.m, 2, indx, &d), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(indx[1], 2);
    EXPECT_EQ(d, -1.0);
    EXPECT_EQ(a[2][2], 1e-20);
    EXPECT_EQ(a[2][1], 1.0);
}

TEST(NrLu, TransposedSolveWithManyInterchangesMatchesExplicitTranspose) {
    // A permutation-heavy matrix: every column's pivot lies in a different row.
    const int n = 6;
    const int perm[n + 1] = {0, 3, 6, 1, 5, 2, 4};
    NrMatrix a(n, n);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) a[i][j] = (j == perm[i] ? 10.0 : 0.0) + 1.0 / (i + j);
    NrMatrix at(n, n);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) at[i][j] = a[j][i];
    std::vector<int> ia(n + 1), it(n + 1);
    double d;
    NrMatrix lua(a), lut(at);
    ASSERT_EQ(nr_ludcmp(lua.m, n, ia.data(), &d), 0);
    ASSERT_EQ(nr_ludcmp(lut.m, n, it.data(), &d), 0);
    std::vector<double> b(n + 1), x1(n + 1), x2(n + 1);
    for (int i = 1; i <= n; ++i) b[i] = std::sin(i);
    x1 = b;
    x2 = b;
    nr_tlubksb(lua.m, n, ia.data(), x1.data());
    nr_lubksb(lut.m, n, it.data(), x2.data());
    for (int i = 1; i <= n; ++i) EXPECT_NEAR(x1[i], x2[i], 1e-10);
}
