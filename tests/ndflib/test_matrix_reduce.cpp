// Column/row reductions, cumulative products and norms.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <initializer_list>
#include <string>

#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/matrix_norm.h"
#include "quorvant/ndflib/matrix_reduce.h"
#include "matrix_test_util.h"

TEST(MatrixReduce, SumsMinimaAndMaxima) {
    auto m = make(3, 2, {1, -4, 7, 2, 7, 9});
    ScopedMatrix cols(2, 1), rows(3, 1);
    ASSERT_EQ(mtx_sum(MTX_DOWN_COLUMNS, m.get(), cols.get()), 0);
    EXPECT_EQ(cols[0], 15.0);
    EXPECT_EQ(cols[1], 7.0);
    ASSERT_EQ(mtx_sum(MTX_ALONG_ROWS, m.get(), rows.get()), 0);
    EXPECT_EQ(rows[0], -3.0);
    EXPECT_EQ(rows[1], 9.0);
    EXPECT_EQ(rows[2], 16.0);

    ASSERT_EQ(mtx_min(m.get(), cols.get()), 0);
    EXPECT_EQ(cols[0], 1.0);
    EXPECT_EQ(cols[1], -4.0);
    ASSERT_EQ(mtx_max(m.get(), cols.get()), 0);
    EXPECT_EQ(cols[0], 7.0);
    EXPECT_EQ(cols[1], 9.0);

    // Column 0 has its maximum 7 twice: the first (lowest) row is reported.
    int where[2] = {-1, -1};
    ASSERT_EQ(mtx_max_index(m.get(), cols.get(), where), 0);
    EXPECT_EQ(where[0], 1);
    EXPECT_EQ(where[1], 2);

    ASSERT_EQ(mtx_max_row(m.get(), rows.get()), 0);
    EXPECT_EQ(rows[0], 1.0);
    EXPECT_EQ(rows[1], 7.0);
    EXPECT_EQ(rows[2], 9.0);

    // A column vector reduces to one value.
    auto v = make(4, 1, {3, -1, 8, 2});
    ScopedMatrix one(1, 1);
    ASSERT_EQ(mtx_max(v.get(), one.get()), 0);
    EXPECT_EQ(one[0], 8.0);
    ASSERT_EQ(mtx_min(v.get(), one.get()), 0);
    EXPECT_EQ(one[0], -1.0);
}

TEST(MatrixReduce, InvalidSourcesFailWithTheirMessage) {
    ScopedMatrix none, out(3, 1);
    int where[3];
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_sum(1, none.get(), out.get()), -1); }), "ERROR: mtx_sum()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_min(none.get(), out.get()), -1); }), "ERROR: mtx_min()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_max(none.get(), out.get()), -1); }), "ERROR: mtx_max()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_max_index(none.get(), out.get(), where), -1); }),
              "ERROR: mtx_max()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_max_row(none.get(), out.get()), -1); }),
              "ERROR: mtx_max_row()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_cumprod(none.get(), 1, out.get()), -1); }),
              "ERROR: mtx_cumprod()\n");
    // A result too short for the reduction is refused.
    auto wide = make(1, 4, {1, 2, 3, 4});
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_max(wide.get(), out.get()), -1); }), "ERROR: mtx_max()\n");
}

TEST(MatrixReduce, ElementwiseMaximumPrefersSecondOnTies) {
    // -0.0 == 0.0: the first operand wins only when strictly greater, so the sign shows
    // which operand was taken.
    auto a = make(3, 1, {-0.0, 0.0, 5});
    auto b = make(3, 1, {0.0, -0.0, 2});
    ScopedMatrix x(3, 1);
    ASSERT_EQ(mtx_max2(a.get(), b.get(), x.get()), 0);
    EXPECT_FALSE(std::signbit(x[0]));
    EXPECT_TRUE(std::signbit(x[1]));
    EXPECT_EQ(x[2], 5.0);

    ScopedMatrix bad(2, 1);
    bad->row = 0;
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_max2(bad.get(), b.get(), x.get()), -1); }),
              "ERROR: mtx_max2() src0[0, 1]\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_max2(a.get(), bad.get(), x.get()), -1); }),
              "ERROR: mtx_max2() src1[0, 1]\n");
    bad->row = 2;
}

TEST(MatrixReduce, CumulativeProducts) {
    auto v = make(4, 1, {2, 3, -1, 0.5});
    ScopedMatrix cv(4, 1);
    ASSERT_EQ(mtx_cumprod(v.get(), MTX_ALONG_ROWS, cv.get()), 0);   // a vector ignores dim
    const double ev[] = {2, 6, -6, -3};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(cv[k], ev[k]);

    auto m = make(3, 2, {1, 2, 3, 4, 5, 6});
    ScopedMatrix c(3, 2);
    ASSERT_EQ(mtx_cumprod(m.get(), MTX_DOWN_COLUMNS, c.get()), 0);
    const double down[] = {1, 2, 3, 8, 15, 48};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(c[k], down[k]) << k;
    ASSERT_EQ(mtx_cumprod(m.get(), MTX_ALONG_ROWS, c.get()), 0);
    const double along[] = {1, 2, 3, 12, 5, 30};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(c[k], along[k]) << k;
}

TEST(MatrixNorm, VectorNorms) {
    auto v = make(3, 1, {3, -4, 0.5});
    struct Case {
        double p;
        double expect;
    };
    const Case cases[] = {
        {0, 4.0},
        {-1, 0.5},
        {1, 7.5},
        {2, std::sqrt(25.25)},
        {3, std::cbrt(27.0 + 64.0 + 0.125)},
    };
    for (const Case &c : cases) {
        double norm = -1;
        ASSERT_EQ(mtx_norm(v.get(), c.p, &norm), 0) << c.p;
        EXPECT_NEAR(norm, c.expect, 1e-14 * c.expect) << c.p;
    }
    double norm = 0;
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_norm(v.get(), 0.5, &norm), -1); }),
              "ERROR: _mtx_norm_vector()\nERROR: mtx_norm()\n");
    ScopedMatrix none;
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_norm(none.get(), 2, &norm), -1); }), "ERROR: mtx_norm()\n");
}

TEST(MatrixNorm, MatrixNorms) {
    // Singular values of [[3, 0], [4, 5]] are sqrt(45) and sqrt(5).
    auto m = make(2, 2, {3, 0, 4, -5});
    double norm = 0;
    ASSERT_EQ(mtx_norm(m.get(), 0, &norm), 0);
    EXPECT_EQ(norm, 9.0);
    ASSERT_EQ(mtx_norm(m.get(), 1, &norm), 0);
    EXPECT_EQ(norm, 7.0);
    ASSERT_EQ(mtx_norm(m.get(), 2, &norm), 0);
    EXPECT_NEAR(norm, std::sqrt(45.0), 1e-13);

    // A symmetric matrix: the 2-norm is its largest absolute eigenvalue (3 + sqrt(2) here).
    auto s = make(3, 3, {3, 1, 0, 1, 3, 1, 0, 1, 3});
    ASSERT_EQ(mtx_norm(s.get(), 2, &norm), 0);
    EXPECT_NEAR(norm, 3.0 + std::sqrt(2.0), 1e-13);

    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_norm(m.get(), 3, &norm), -1); }),
              "ERROR: _mtx_norm_matrix()\nERROR: mtx_norm()\n");
}
