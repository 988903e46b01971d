// Matrix record life cycle, predicates and counts, searches by relation, the debug dump.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <initializer_list>
#include <limits>
#include <string>

#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/matrix_search.h"
#include "matrix_test_util.h"

TEST(MatrixLifeCycle, AllocZeroFillsAndFreeClears) {
    _matrix m;
    mtx_clear(&m);
    mtx_free(&m);   // never allocated: harmless
    EXPECT_EQ(m.elem, nullptr);

    ASSERT_EQ(mtx_alloc(&m, 3, 2), 0);
    EXPECT_EQ(m.row, 3);
    EXPECT_EQ(m.col, 2);
    ASSERT_NE(m.elem, nullptr);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(m.elem[k], 0.0);

    m.elem[5] = 7.0;
    ASSERT_EQ(mtx_alloc(&m, 2, 2), 0);   // re-allocation releases the old block first
    EXPECT_EQ(m.elem[3], 0.0);

    mtx_free(&m);
    EXPECT_EQ(m.row, 0);
    EXPECT_EQ(m.col, 0);
    EXPECT_EQ(m.elem, nullptr);
    mtx_free(&m);   // twice: harmless

    EXPECT_EQ(mtx_alloc(&m, -1, 2), -1);
    EXPECT_EQ(m.elem, nullptr);
    ASSERT_EQ(mtx_alloc(&m, 0, 4), 0);   // empty but testable as allocated
    EXPECT_NE(m.elem, nullptr);
    mtx_free(&m);
}

TEST(MatrixLifeCycle, ScopedOwnersMove) {
    ScopedMatrix a(2, 2);
    a(1, 0) = 3.0;
    ScopedMatrix b(std::move(a));
    EXPECT_FALSE(a.ok());
    ASSERT_TRUE(b.ok());
    EXPECT_EQ(b(1, 0), 3.0);
    ScopedMatrix c;
    c = std::move(b);
    EXPECT_EQ(c[2], 3.0);
}

TEST(MatrixPredicates, DiagonalNonzeroCountAndUnit) {
    auto diag = make(3, 3, {1, 0, 0, 0, 0, 0, 0, 0, -2});
    auto lower = make(3, 3, {1, 0, 0, 0, 1, 0, 1e-300, 0, 1});
    auto rect = make(2, 3, {4, 0, 0, 0, 5, 0});
    _matrix empty{0, 0, nullptr};
    EXPECT_EQ(mtx_isdiagonal(diag.get()), 1);
    EXPECT_EQ(mtx_isdiagonal(lower.get()), 0);
    EXPECT_EQ(mtx_isdiagonal(rect.get()), 1);
    EXPECT_EQ(mtx_isdiagonal(&empty), 1);
    EXPECT_EQ(mtx_issparse(diag.get()), 0);

    EXPECT_EQ(mtx_nonzero(diag.get()), 2);
    EXPECT_EQ(mtx_elem_count(0.0, diag.get()), 7);
    EXPECT_EQ(mtx_elem_count(-2.0, diag.get()), 1);

    ScopedMatrix u(3, 3);
    mtx_unique(9.0, u.get());
    ASSERT_EQ(mtx_unit(u.get()), 0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(u(i, j), i == j ? 1.0 : 0.0);

    std::string out = captured([&] { EXPECT_EQ(mtx_unit(rect.get()), -1); });
    EXPECT_EQ(out, "ERROR: mtx_unit()\n");
}

TEST(MatrixPredicates, SignOfEachElement) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto m = make(1, 5, {-3, 0, 2, nan, -0.0});
    ScopedMatrix s(1, 5);
    ASSERT_EQ(mtx_sign(m.get(), s.get()), 0);
    const double expect[] = {-1, 0, 1, 0, 0};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(s[k], expect[k]) << k;

    ScopedMatrix wrong(5, 1);
    std::string out = captured([&] { EXPECT_EQ(mtx_sign(m.get(), wrong.get()), -1); });
    EXPECT_EQ(out, "ERROR: mtx_sign()\n");
}

TEST(MatrixSearch, RelationsOfAnyAndIndex) {
    auto m = make(2, 3, {1, 5, 3, 5, 0, -1});
    struct Case {
        int relation;
        double val;
        int count;
        std::initializer_list<_index> where;
    };
    const Case cases[] = {
        {MTX_EQ, 5.0, 2, {{0, 1}, {1, 0}}},
        {MTX_NE, 5.0, 4, {{0, 0}, {0, 2}, {1, 1}, {1, 2}}},
        {MTX_LT, 1.0, 2, {{1, 1}, {1, 2}}},
        {MTX_LE, 1.0, 3, {{0, 0}, {1, 1}, {1, 2}}},
        {MTX_GT, 3.0, 2, {{0, 1}, {1, 0}}},
        {MTX_GE, 3.0, 3, {{0, 1}, {0, 2}, {1, 0}}},
        {MTX_GT, 5.0, 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "relation " << c.relation << " val " << c.val);
        EXPECT_EQ(mtx_any(m.get(), c.relation, c.val), c.count > 0 ? 1 : 0);
        ScopedIndex list;
        ASSERT_EQ(mtx_index(m.get(), c.relation, c.val, list.out()), c.count);
        if (c.count == 0) {
            EXPECT_EQ(list.get(), nullptr);
            continue;
        }
        int k = 0;
        for (const _index &w : c.where) {
            EXPECT_EQ(list[k].i, w.i);
            EXPECT_EQ(list[k].j, w.j);
            ++k;
        }
    }
    mtx_index_free(nullptr);   // releasing an empty list is harmless
}

TEST(MatrixSearch, UnknownRelationFails) {
    auto m = make(1, 2, {1, 2});
    std::string out = captured([&] { EXPECT_EQ(mtx_any(m.get(), 6, 1.0), -1); });
    EXPECT_EQ(out, "ERROR: mtx_any()\n");
    _index *list = reinterpret_cast<_index *>(&m);   // must be overwritten with null
    out = captured([&] { EXPECT_EQ(mtx_index(m.get(), -1, 1.0, &list), -1); });
    EXPECT_EQ(out, "ERROR: mtx_index()\n");
    EXPECT_EQ(list, nullptr);
}

TEST(MatrixSearch, SetElementsNamedByList) {
    ScopedMatrix m(2, 2);
    const _index where[] = {{0, 1}, {1, 0}, {5, 5}};   // the last lies outside and is ignored
    EXPECT_EQ(mtx_set_elem(4.0, 3, where, m.get()), 0);
    EXPECT_EQ(m(0, 0), 0.0);
    EXPECT_EQ(m(0, 1), 4.0);
    EXPECT_EQ(m(1, 0), 4.0);
    EXPECT_EQ(m(1, 1), 0.0);
}

TEST(MatrixDump, WritesOnlyAtEnoughDebugLevel) {
    auto m = make(2, 2, {1, -2.5, 0, 3});
    Dbg_Level = -1;
    EXPECT_EQ(captured([&] { mtx_dump(0, "Mass:", m.get()); }), "");

    std::string prog = "test";
    char *argv[] = {prog.data(), nullptr};
    testing::internal::CaptureStdout();
    log_dbginit(1, argv);
    testing::internal::GetCapturedStdout();
    Dbg_Level = 30;
    const std::string named = captured([&] { mtx_dump_withname(30, "Jacobian:", "J", m.get()); });
    const std::string plain = captured([&] { mtx_dump(30, "v:", m.get()); });
    const std::string silent = captured([&] { mtx_dump(31, "v:", m.get()); });
    log_dbgfinalize();
    Dbg_Level = -1;

    EXPECT_EQ(named,
              "Jacobian: 2 x 2 matrix\n"
              "J[ 0] 1.000000000000000e+00 -2.500000000000000e+00 \n"
              "J[ 1] 0.000000000000000e+00 3.000000000000000e+00 \n");
    EXPECT_EQ(plain,
              "v: 2 x 2 matrix\n"
              "[ 0] 1.000000000000000e+00 -2.500000000000000e+00 \n"
              "[ 1] 0.000000000000000e+00 3.000000000000000e+00 \n");
    EXPECT_EQ(silent, "");
}
