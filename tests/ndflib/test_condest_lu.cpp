// LU and SVD solves on matrix records against known solutions, and their failure messages.
#include <gtest/gtest.h>

#include "matrix_test_util.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

#include "quorvant/ndflib/lu.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/matrix_product.h"
#include "quorvant/ndflib/svd.h"

namespace {

// A x = (7, -8, 18) for x = (1, 2, 3); A^T y = (-6, 21, 5) for y = (1, -1, 2).
ScopedMatrix system3() { return make(3, 3, {2, 1, 1, 4, -6, 0, -2, 7, 2}); }

}  // namespace

TEST(LuWrapper, FactorsReproduceThePermutedMatrix) {
    auto a = system3();
    ScopedMatrix lu(3, 3);
    int piv[3] = {0, 0, 0};
    ASSERT_EQ(mtx_ludecomp(a.get(), lu.get(), piv), 0);

    // Apply the recorded interchanges to A, in order, and compare with L U.
    ScopedMatrix pa(3, 3);
    for (int k = 0; k < 9; ++k) pa[k] = a[k];
    for (int i = 0; i < 3; ++i) {
        ASSERT_GE(piv[i], i + 1);
        ASSERT_LE(piv[i], 3);
        for (int j = 0; j < 3; ++j) std::swap(pa(i, j), pa(piv[i] - 1, j));
    }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double s = 0;
            for (int k = 0; k <= std::min(i, j); ++k) s += (k == i ? 1.0 : lu(i, k)) * lu(k, j);
            EXPECT_NEAR(s, pa(i, j), 1e-13) << i << "," << j;
        }
}

TEST(LuWrapper, PlainAndTransposedSolves) {
    auto a = system3();
    ScopedMatrix lu(3, 3);
    int piv[3];
    ASSERT_EQ(mtx_ludecomp(a.get(), lu.get(), piv), 0);

    auto b = make(3, 1, {7, -8, 18});
    ScopedMatrix x(3, 1);
    ASSERT_EQ(mtx_lusolve(lu.get(), piv, b.get(), x.get()), 0);
    const double ex[] = {1, 2, 3};
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(x[i], ex[i], 1e-14);

    auto c = make(3, 1, {-6, 21, 5});
    ASSERT_EQ(mtx_tlusolve(lu.get(), piv, c.get(), c.get()), 0);   // in place
    const double ey[] = {1, -1, 2};
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(c[i], ey[i], 1e-14);

    // Two right-hand sides at once, solved in place, plain and transposed.
    auto both = make(3, 2, {7, -6, -8, 21, 18, 5});
    auto tboth = make(3, 2, {7, -6, -8, 21, 18, 5});
    ASSERT_EQ(mtx_lusolve(lu.get(), piv, both.get(), both.get()), 0);
    ASSERT_EQ(mtx_tlusolve(lu.get(), piv, tboth.get(), tboth.get()), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(both(i, 0), ex[i], 1e-14);
        EXPECT_NEAR(tboth(i, 1), ey[i], 1e-14);
    }
    // Cross-check the other columns by multiplying back.
    ScopedMatrix at(3, 3), r(3, 1), col(3, 1);
    mtx_transpose(a.get(), at.get());
    for (int i = 0; i < 3; ++i) col[i] = both(i, 1);
    mtx_multiply(a.get(), col.get(), r.get());
    EXPECT_NEAR(r[0], -6, 1e-13);
    EXPECT_NEAR(r[1], 21, 1e-13);
    EXPECT_NEAR(r[2], 5, 1e-13);
    for (int i = 0; i < 3; ++i) col[i] = tboth(i, 0);
    mtx_multiply(at.get(), col.get(), r.get());
    EXPECT_NEAR(r[0], 7, 1e-13);
    EXPECT_NEAR(r[1], -8, 1e-13);
    EXPECT_NEAR(r[2], 18, 1e-13);
}

TEST(LuWrapper, DecompositionInPlace) {
    auto a = system3();
    int piv[3];
    ASSERT_EQ(mtx_ludecomp(a.get(), a.get(), piv), 0);
    auto b = make(3, 1, {7, -8, 18});
    ASSERT_EQ(mtx_lusolve(a.get(), piv, b.get(), b.get()), 0);
    EXPECT_NEAR(b[0], 1, 1e-14);
    EXPECT_NEAR(b[1], 2, 1e-14);
    EXPECT_NEAR(b[2], 3, 1e-14);
}

TEST(LuWrapper, SingularAndShapeFailures) {
    auto zeroRow = make(2, 2, {1, 2, 0, 0});
    ScopedMatrix lu(2, 2);
    int piv[2];
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_ludecomp(zeroRow.get(), lu.get(), piv), -2); }),
              "## Singular matrix in nr_ludcmp\n## Singular matrix in mtx_ludecomp()\n");

    auto rect = make(2, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_ludecomp(rect.get(), lu.get(), piv), -1); }),
              "ERROR: mtx_ludecomp()\n");

    auto good = make(2, 2, {4, 1, 2, 3});
    ASSERT_EQ(mtx_ludecomp(good.get(), lu.get(), piv), 0);
    ScopedMatrix b3(3, 1), x3(3, 1), b2(2, 1), x21(1, 2);
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_lusolve(lu.get(), piv, b3.get(), x3.get()), -1); }),
              "ERROR: mtx_lusolve()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_tlusolve(lu.get(), piv, b2.get(), x21.get()), -1); }),
              "ERROR: mtx_tlusolve()\n");
}

TEST(SvdWrapper, DecompositionReproducesTheMatrix) {
    auto a = make(3, 2, {1, 2, 3, 4, 5, 6});
    ScopedMatrix u(3, 2), w(2, 1), v(2, 2);
    ASSERT_EQ(mtx_svdecomp(a.get(), u.get(), w.get(), v.get()), 0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) {
            double s = 0;
            for (int k = 0; k < 2; ++k) s += u(i, k) * w[k] * v(j, k);
            EXPECT_NEAR(s, a(i, j), 1e-13);
        }
    for (int p = 0; p < 2; ++p)
        for (int q = 0; q < 2; ++q) {
            double uu = 0, vv = 0;
            for (int i = 0; i < 3; ++i) uu += u(i, p) * u(i, q);
            for (int i = 0; i < 2; ++i) vv += v(i, p) * v(i, q);
            EXPECT_NEAR(uu, p == q ? 1.0 : 0.0, 1e-13);
            EXPECT_NEAR(vv, p == q ? 1.0 : 0.0, 1e-13);
        }
    EXPECT_GE(std::min(w[0], w[1]), 0.0);
}

TEST(SvdWrapper, SolveSkipsZeroSingularValues) {
    auto a = system3();
    ScopedMatrix u(3, 3), w(3, 1), v(3, 3);
    ASSERT_EQ(mtx_svdecomp(a.get(), u.get(), w.get(), v.get()), 0);
    auto b = make(3, 1, {7, -8, 18});
    ScopedMatrix x(3, 1);
    ASSERT_EQ(mtx_svsolve(u.get(), w.get(), v.get(), b.get(), x.get()), 0);
    EXPECT_NEAR(x[0], 1, 1e-13);
    EXPECT_NEAR(x[1], 2, 1e-13);
    EXPECT_NEAR(x[2], 3, 1e-13);

    // diag(2, 0): the zero singular value is left out, giving the least-squares solution.
    auto d = make(2, 2, {2, 0, 0, 0});
    ScopedMatrix du(2, 2), dw(2, 1), dv(2, 2);
    ASSERT_EQ(mtx_svdecomp(d.get(), du.get(), dw.get(), dv.get()), 0);
    auto rhs = make(2, 1, {4, 3});
    ASSERT_EQ(mtx_svsolve(du.get(), dw.get(), dv.get(), rhs.get(), rhs.get()), 0);
    EXPECT_NEAR(rhs[0], 2, 1e-15);
    EXPECT_NEAR(rhs[1], 0, 1e-15);

    ScopedMatrix small(1, 1);
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_svdecomp(a.get(), u.get(), small.get(), v.get()), -1); }),
              "ERROR: mtx_svdecomp()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_svsolve(u.get(), w.get(), v.get(), small.get(), x.get()), -1); }),
              "ERROR: mtx_svsolve()\n");
}
