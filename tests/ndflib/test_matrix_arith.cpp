// Element-wise arithmetic and the matrix product: values, results written over an operand,
// and the exact failure messages of shape errors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>

#include "quorvant/galib/ga_types.h"
#include "quorvant/ndflib/matrix_arith.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/matrix_product.h"
#include "matrix_test_util.h"

namespace {

using Binary = int (*)(const _matrix *, const _matrix *, _matrix *);
using Scalar = std::function<int(double, const _matrix *, _matrix *)>;

}  // namespace

TEST(MatrixArith, BinaryOperationsAndShapeErrors) {
    struct Case {
        const char *name;
        Binary op;
        double expect[4];
    };
    const Case cases[] = {
        {"mtx_addup", mtx_addup, {3, 1, 5, 12}},
        {"mtx_subtract", mtx_subtract, {1, 3, -1, 4}},
        {"mtx_elem_multiply", mtx_elem_multiply, {2, -2, 6, 32}},
        {"mtx_elem_divide", mtx_elem_divide, {2, -2, 2.0 / 3.0, 2}},
        {"mtx_elem_power", mtx_elem_power, {2, 0.5, 8, 4096}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto a = make(2, 2, {2, 2, 2, 8});
        auto b = make(2, 2, {1, -1, 3, 4});
        ScopedMatrix x(2, 2);
        ASSERT_EQ(c.op(a.get(), b.get(), x.get()), 0);
        for (int k = 0; k < 4; ++k) EXPECT_DOUBLE_EQ(x[k], c.expect[k]) << k;
        // The result may be the first operand.
        ASSERT_EQ(c.op(a.get(), b.get(), a.get()), 0);
        for (int k = 0; k < 4; ++k) EXPECT_DOUBLE_EQ(a[k], c.expect[k]) << k;

        ScopedMatrix wrong(4, 1);
        ScopedMatrix unallocated;
        const std::string msg = std::string("ERROR: ") + c.name + "()\n";
        EXPECT_EQ(captured([&] { EXPECT_EQ(c.op(a.get(), b.get(), wrong.get()), -1); }), msg);
        EXPECT_EQ(captured([&] { EXPECT_EQ(c.op(wrong.get(), b.get(), x.get()), -1); }), msg);
        EXPECT_EQ(captured([&] { EXPECT_EQ(c.op(a.get(), unallocated.get(), x.get()), -1); }), msg);
    }
}

TEST(MatrixArith, ScalarOperationsAndShapeErrors) {
    struct Case {
        const char *name;
        Scalar op;
        double expect[3];
    };
    const Case cases[] = {
        {"mtx_elem_addup_to_scalar", mtx_elem_addup_to_scalar, {1, 6, 0}},
        {"mtx_elem_multiply_by_scalar", mtx_elem_multiply_by_scalar, {-2, 8, -4}},
        {"mtx_elem_divide_into_scalar", mtx_elem_divide_into_scalar, {-2, 0.5, -1}},
        {"mtx_scalar_addup", [](double p, const _matrix *a, _matrix *x) { return mtx_scalar_addup(a, p, x); },
         {1, 6, 0}},
        {"mtx_scalar_multiply",
         [](double p, const _matrix *a, _matrix *x) { return mtx_scalar_multiply(a, p, x); },
         {-2, 8, -4}},
        {"mtx_scalar_power", [](double p, const _matrix *a, _matrix *x) { return mtx_scalar_power(a, p, x); },
         {1, 16, 4}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto a = make(3, 1, {-1, 4, -2});
        ScopedMatrix x(3, 1);
        ASSERT_EQ(c.op(2.0, a.get(), x.get()), 0);
        for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(x[k], c.expect[k]) << k;
        ASSERT_EQ(c.op(2.0, a.get(), a.get()), 0);
        for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(a[k], c.expect[k]) << k;

        ScopedMatrix wrong(1, 3);
        EXPECT_EQ(captured([&] { EXPECT_EQ(c.op(2.0, a.get(), wrong.get()), -1); }),
                  std::string("ERROR: ") + c.name + "()\n");
    }
}

TEST(MatrixArith, SubtractFromScalarNamesTheReason) {
    auto a = make(2, 1, {1, 5});
    ScopedMatrix x(2, 1);
    ASSERT_EQ(mtx_elem_subtract_from_scalar(3.0, a.get(), x.get()), 0);
    EXPECT_EQ(x[0], 2.0);
    EXPECT_EQ(x[1], -2.0);

    ScopedMatrix none, row(1, 2), bad(1, 1);
    bad->row = 0;   // storage present, shape not valid
    _matrix badA = *bad.get();
    struct Case {
        const _matrix *a;
        _matrix *x;
        const char *reason;
    };
    const Case cases[] = {
        {a.get(), none.get(), "mtx_elem_subtract_from_scalar(NULL)\n"},
        {&badA, x.get(), "mtx_elem_subtract_from_scalar(a.r/c<=0)\n"},
        {a.get(), bad.get(), "mtx_elem_subtract_from_scalar(x.r/c<=0)\n"},
        {a.get(), row.get(), "mtx_elem_subtract_from_scalar(x.r/c!=a.r/c)\n"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_elem_subtract_from_scalar(1.0, c.a, c.x), -1); }),
                  std::string(c.reason) + "ERROR: mtx_elem_subtract_from_scalar()\n");
    }
    bad->row = 1;
}

TEST(MatrixArith, AbsClearsTheSignBit) {
    auto a = make(1, 3, {-0.0, -2.5, 3});
    ScopedMatrix x(3, 1);   // same element count, other orientation
    ASSERT_EQ(mtx_abs(a.get(), x.get()), 0);
    EXPECT_FALSE(std::signbit(x[0]));
    EXPECT_EQ(x[1], 2.5);
    EXPECT_EQ(x[2], 3.0);
    ScopedMatrix small(2, 1);
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_abs(a.get(), small.get()), -1); }), "ERROR: mtx_abs()\n");
}

TEST(MatrixProduct, ProductOfRectangularMatrices) {
    auto a = make(2, 3, {1, 2, 3, 4, 5, 6});
    auto b = make(3, 2, {7, 8, 9, 10, 11, 12});
    ScopedMatrix x(2, 2);
    ASSERT_EQ(mtx_multiply(a.get(), b.get(), x.get()), 0);
    EXPECT_EQ(x(0, 0), 58.0);
    EXPECT_EQ(x(0, 1), 64.0);
    EXPECT_EQ(x(1, 0), 139.0);
    EXPECT_EQ(x(1, 1), 154.0);

    auto v = make(3, 1, {1, 0, -1});
    ScopedMatrix av(2, 1);
    ASSERT_EQ(mtx_multiply(a.get(), v.get(), av.get()), 0);
    EXPECT_EQ(av[0], -2.0);
    EXPECT_EQ(av[1], -2.0);

    // A result sharing storage with an operand still gets the true product.
    auto sq = make(2, 2, {1, 2, 3, 4});
    ASSERT_EQ(mtx_multiply(sq.get(), sq.get(), sq.get()), 0);
    EXPECT_EQ(sq(0, 0), 7.0);
    EXPECT_EQ(sq(0, 1), 10.0);
    EXPECT_EQ(sq(1, 0), 15.0);
    EXPECT_EQ(sq(1, 1), 22.0);
}

TEST(MatrixProduct, ShapeFailuresNameTheReason) {
    auto a = make(2, 3, {1, 2, 3, 4, 5, 6});
    auto b = make(3, 2, {7, 8, 9, 10, 11, 12});
    ScopedMatrix x(2, 2), wrongX(2, 3), none;
    ScopedMatrix badShape(1, 1);
    badShape->col = 0;

    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_multiply(a.get(), b.get(), wrongX.get()), -1); }),
              "X-row[2] != A-row[2], X-col[3] != bcol[2]\nERROR: mtx_multiply()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_multiply(a.get(), a.get(), x.get()), -1); }),
              "A-col[3] != brow[2]\nERROR: mtx_multiply()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_multiply(badShape.get(), b.get(), x.get()), -1); }),
              "A[1, 0]\nERROR: mtx_multiply()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_multiply(a.get(), badShape.get(), x.get()), -1); }),
              "B[1, 0]\nERROR: mtx_multiply()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_multiply(a.get(), b.get(), badShape.get()), -1); }),
              "X[1, 0]\nERROR: mtx_multiply()\n");

    char expect[160];
    std::snprintf(expect, sizeof expect, "mtx_multiply(%p, %p, %p)\nERROR: mtx_multiply()\n",
                  static_cast<void *>(a->elem), static_cast<void *>(b->elem), static_cast<void *>(nullptr));
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_multiply(a.get(), b.get(), none.get()), -1); }), expect);
    badShape->col = 1;
}
