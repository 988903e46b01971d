#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <string>
#include <vector>

#include "nr_test_matrix.h"
#include "quorvant/nrlib/nr_eigen.h"
#include "quorvant/nrlib/nr_lu.h"

namespace {

using cplx = std::complex<double>;

bool byRealThenImag(const cplx &x, const cplx &y) {
    return x.real() != y.real() ? x.real() < y.real() : x.imag() < y.imag();
}

// Eigenvalues of a (copied), sorted; ok receives GetEigenvalues' result.
std::vector<cplx> eigen(const NrMatrix &a, int *ok = nullptr) {
    NrMatrix work(a);
    const int n = a.rows;
    std::vector<double> wr(n + 1), wi(n + 1);
    const int rc = GetEigenvalues(work.m, wr.data(), wi.data(), n);
    if (ok) *ok = rc;
    std::vector<cplx> ev;
    for (int i = 1; i <= n; ++i) ev.emplace_back(wr[i], wi[i]);
    std::sort(ev.begin(), ev.end(), byRealThenImag);
    return ev;
}

void expectEigen(const NrMatrix &a, std::vector<cplx> expect, double tol, const char *what) {
    std::sort(expect.begin(), expect.end(), byRealThenImag);
    int rc = 1;
    const std::vector<cplx> got = eigen(a, &rc);
    EXPECT_EQ(rc, 0) << what;
    ASSERT_EQ(got.size(), expect.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].real(), expect[i].real(), tol) << what << " #" << i;
        EXPECT_NEAR(got[i].imag(), expect[i].imag(), tol) << what << " #" << i;
    }
}

// Companion matrix of x^n + c[n-1] x^(n-1) + ... + c[0].
NrMatrix companion(const std::vector<double> &c) {
    const int n = static_cast<int>(c.size());
    NrMatrix a(n, n);
    for (int j = 1; j <= n; ++j) a[1][j] = -c[n - j];
    for (int i = 2; i <= n; ++i) a[i][i - 1] = 1.0;
    return a;
}

}  // namespace

TEST(NrEigen, KnownSpectra) {
    const double r2 = std::sqrt(2.0);
    expectEigen(NrMatrix{{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}}, {2 - r2, 2, 2 + r2}, 1e-13, "symmetric");
    expectEigen(NrMatrix{{1, 5, -2, 3}, {0, -3, 4, 1}, {0, 0, 7, 8}, {0, 0, 0, 0.5}}, {1, -3, 7, 0.5}, 1e-13,
                "upper triangular");
    expectEigen(NrMatrix{{4, 0, 0}, {2, -1, 0}, {1, 3, 6}}, {4, -1, 6}, 1e-13, "lower triangular");
    expectEigen(NrMatrix{{5}}, {5}, 0, "1x1");
    expectEigen(NrMatrix{{0, 0}, {0, 0}}, {0, 0}, 0, "zero");
    // (x-1)(x-2)(x-3)(x-4) = x^4 - 10x^3 + 35x^2 - 50x + 24
    expectEigen(companion({24, -50, 35, -10}), {1, 2, 3, 4}, 1e-10, "companion, real roots");
    // (x-2)(x^2+1) = x^3 - 2x^2 + x - 2
    expectEigen(companion({-2, 1, -2}), {2, cplx(0, 1), cplx(0, -1)}, 1e-12, "companion, complex pair");
    // Badly scaled: balancing makes this well conditioned; eigenvalues 0 and 2.
    expectEigen(NrMatrix{{1, 1e6}, {1e-6, 1}}, {0, 2}, 1e-9, "badly scaled");
    // Cyclic permutation: the cube roots of unity, a case that needs the exceptional shifts.
    const double h = std::sqrt(3.0) / 2;
    expectEigen(NrMatrix{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}, {1, cplx(-0.5, h), cplx(-0.5, -h)}, 1e-12, "cyclic");
}

TEST(NrEigen, RotationGivesAConjugatePair) {
    const double r = 2.0, th = 0.7;
    NrMatrix a{{r * std::cos(th), -r * std::sin(th)}, {r * std::sin(th), r * std::cos(th)}};
    std::vector<double> wr(3), wi(3);
    ASSERT_EQ(GetEigenvalues(a.m, wr.data(), wi.data(), 2), 0);
    EXPECT_EQ(wr[1], wr[2]);
    EXPECT_EQ(wi[1], -wi[2]);
    EXPECT_NEAR(wr[1], r * std::cos(th), 1e-14);
    EXPECT_NEAR(std::fabs(wi[1]), r * std::sin(th), 1e-14);
}

TEST(NrEigen, TraceAndDeterminantInvariantsOfAGeneralMatrix) {
    const int n = 8;
    NrMatrix a(n, n);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) a[i][j] = std::sin(1.7 * i + 0.3 * j * j) * std::pow(10.0, (i - j) % 3);
    double trace = 0.0;
    for (int i = 1; i <= n; ++i) trace += a[i][i];
    NrMatrix lu(a);
    std::vector<int> indx(n + 1);
    double det = 0.0;
    ASSERT_EQ(nr_ludcmp(lu.m, n, indx.data(), &det), 0);
    for (int i = 1; i <= n; ++i) det *= lu[i][i];

    int rc = 1;
    const std::vector<cplx> ev = eigen(a, &rc);
    ASSERT_EQ(rc, 0);
    cplx sum = 0.0, prod = 1.0;
    for (const cplx &z : ev) {
        sum += z;
        prod *= z;
    }
    EXPECT_NEAR(sum.real(), trace, 1e-10 * (1 + std::fabs(trace)));
    EXPECT_NEAR(sum.imag(), 0.0, 1e-10);
    EXPECT_NEAR(prod.real(), det, 1e-9 * std::fabs(det));
    EXPECT_NEAR(prod.imag(), 0.0, 1e-9 * std::fabs(det));
}

TEST(NrEigen, NonNumbersGiveUpInBoundedTimeWithOneMessage) {
    // A Jacobian that blew up: the QR iteration cannot converge, gives up after its iteration
    // limit, and marks the eigenvalues it did not find.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    NrMatrix a{{1, 2, 0}, {nan, 3, 1}, {0, 1, 4}};
    std::vector<double> wr(4, 0.0), wi(4, 0.0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(GetEigenvalues(a.m, wr.data(), wi.data(), 3), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Too many iterations in hqr");
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(std::isnan(wr[i])) << i;
        EXPECT_TRUE(std::isnan(wi[i])) << i;
    }
}

TEST(NrEigen, HqrReadsOnlyTheHessenbergPart) {
    // Garbage below the subdiagonal (where conv_Hessenberg keeps its multipliers) is ignored.
    NrMatrix h{{1, 2, 3}, {4, 5, 6}, {0, 7, 8}};
    NrMatrix g(h);
    g[3][1] = 1e3;
    std::vector<double> wr1(4), wi1(4), wr2(4), wi2(4);
    ASSERT_EQ(hqr(h.m, 3, wr1.data(), wi1.data()), 0);
    ASSERT_EQ(hqr(g.m, 3, wr2.data(), wi2.data()), 0);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(wr1[i], wr2[i]);
        EXPECT_EQ(wi1[i], wi2[i]);
    }
}
