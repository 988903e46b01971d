// Rearrangements: transpose, diagonals, sub-matrices by offsets and by index lists.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/matrix_product.h"
#include "quorvant/ndflib/matrix_submatrix.h"
#include "matrix_test_util.h"

namespace {

// 4 x 4 with element (i, j) = 10 i + j.
ScopedMatrix grid() {
    ScopedMatrix m(4, 4);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m(i, j) = 10 * i + j;
    return m;
}

}  // namespace

TEST(MatrixLayout, TransposeIncludingInPlace) {
    auto a = make(2, 3, {1, 2, 3, 4, 5, 6});
    ScopedMatrix t(3, 2);
    ASSERT_EQ(mtx_transpose(a.get(), t.get()), 0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) EXPECT_EQ(t(i, j), a(j, i));

    auto sq = grid();
    ASSERT_EQ(mtx_transpose(sq.get(), sq.get()), 0);
    EXPECT_EQ(sq(0, 3), 30.0);
    EXPECT_EQ(sq(3, 0), 3.0);
    EXPECT_EQ(sq(2, 1), 12.0);
}

TEST(MatrixLayout, DiagonalFromVector) {
    auto v = make(1, 3, {1, 2, 3});
    ScopedMatrix d(3, 3);
    mtx_unique(5.0, d.get());
    ASSERT_EQ(mtx_diagonal(v.get(), d.get()), 0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(d(i, j), i == j ? i + 1.0 : 0.0);

    auto notVector = make(2, 2, {1, 2, 3, 4});
    ScopedMatrix small(2, 2);
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_diagonal(notVector.get(), d.get()), -1); }),
              "ERROR: mtx_diagonal()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_diagonal(v.get(), small.get()), -1); }),
              "ERROR: mtx_diagonal()\n");
}

TEST(MatrixLayout, DiagonalToVectorShiftsAndShrinks) {
    auto g = grid();
    struct Case {
        int k;
        std::initializer_list<double> expect;
    };
    const Case cases[] = {
        {0, {0, 11, 22, 33}},
        {1, {1, 12, 23}},
        {3, {3}},
        {-1, {10, 21, 32}},
        {-2, {20, 31}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.k);
        ScopedMatrix v(6, 1);   // longer than needed: its length is set to the diagonal's
        ASSERT_EQ(mtx_diagonal2vector(c.k, g.get(), v.get()), 0);
        EXPECT_EQ(v->row, static_cast<int>(c.expect.size()));
        EXPECT_EQ(v->col, 1);
        int k = 0;
        for (double e : c.expect) EXPECT_EQ(v[k++], e);
    }
    ScopedMatrix rowVec(1, 5);
    ASSERT_EQ(mtx_diagonal2vector(0, g.get(), rowVec.get()), 0);
    EXPECT_EQ(rowVec->row, 1);
    EXPECT_EQ(rowVec->col, 4);

    ScopedMatrix shortVec(3, 1);
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_diagonal2vector(0, g.get(), shortVec.get()), -1); }),
              "ERROR: mtx_diagonal2vector()\n");
    EXPECT_EQ(shortVec->row, 3);
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_diagonal2vector(4, g.get(), shortVec.get()), -1); }),
              "ERROR: mtx_diagonal2vector()\n");
}

TEST(MatrixLayout, SubmatrixByOffsets) {
    auto g = grid();
    ScopedMatrix block(2, 3);
    ASSERT_EQ(mtx_get_submatrix(g.get(), block.get(), 1, 1), 0);
    EXPECT_EQ(block(0, 0), 11.0);
    EXPECT_EQ(block(1, 2), 23.0);

    ScopedMatrix target(4, 4);
    ASSERT_EQ(mtx_set_submatrix(block.get(), target.get(), 2, 0), 0);
    EXPECT_EQ(target(2, 0), 11.0);
    EXPECT_EQ(target(3, 2), 23.0);
    EXPECT_EQ(target(1, 0), 0.0);
    EXPECT_EQ(target(3, 3), 0.0);

    // A block reaching past the matrix is refused instead of read or written out of bounds.
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_get_submatrix(g.get(), block.get(), 3, 0), -1); }),
              "ERROR: mtx_get_submatrix()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_set_submatrix(block.get(), target.get(), 0, 2), -1); }),
              "ERROR: mtx_set_submatrix()\n");
}

TEST(MatrixLayout, GatherAndScatterVectorsByIndex) {
    auto v = make(5, 1, {10, 11, 12, 13, 14});
    const _index throughI[] = {{3, 0}, {0, 0}, {4, 0}};
    const _index throughJ[] = {{0, 3}, {0, 0}, {0, 4}};
    const _index allZero[] = {{0, 0}, {0, 0}};
    for (const _index *list : {throughI, throughJ}) {
        ScopedMatrix sub(3, 1);
        ASSERT_EQ(mtx_get_submatrix_by_index(v.get(), sub.get(), 3, list), 0);
        EXPECT_EQ(sub[0], 13.0);
        EXPECT_EQ(sub[1], 10.0);
        EXPECT_EQ(sub[2], 14.0);

        ScopedMatrix back(5, 1);
        ASSERT_EQ(mtx_set_submatrix_by_index(sub.get(), back.get(), 3, list), 0);
        const double expect[] = {10, 0, 0, 13, 14};
        for (int k = 0; k < 5; ++k) EXPECT_EQ(back[k], expect[k]) << k;
    }
    ScopedMatrix two(2, 1);
    ASSERT_EQ(mtx_get_submatrix_by_index(v.get(), two.get(), 2, allZero), 0);
    EXPECT_EQ(two[0], 10.0);
    EXPECT_EQ(two[1], 10.0);

    const _index mixed[] = {{1, 0}, {2, 1}};
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_get_submatrix_by_index(v.get(), two.get(), 2, mixed), -1); }),
              "ERROR: mtx_get_submatrix_by_index()\n");
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_set_submatrix_by_index(two.get(), v.get(), 2, mixed), -1); }),
              "ERROR: mtx_set_submatrix_by_index()\n");
    const _index outside[] = {{7, 0}};
    EXPECT_EQ(captured([&] { EXPECT_EQ(mtx_get_submatrix_by_index(v.get(), two.get(), 1, outside), -1); }),
              "ERROR: mtx_get_submatrix_by_index()\n");
}

TEST(MatrixLayout, SquareBlockByIndex) {
    auto g = grid();
    const _index rows[] = {{1, 0}, {3, 0}};
    ScopedMatrix block(2, 2);
    ASSERT_EQ(mtx_get_submatrix_by_index(g.get(), block.get(), 2, rows), 0);
    EXPECT_EQ(block(0, 0), 11.0);
    EXPECT_EQ(block(0, 1), 13.0);
    EXPECT_EQ(block(1, 0), 31.0);
    EXPECT_EQ(block(1, 1), 33.0);

    ScopedMatrix target(4, 4);
    ASSERT_EQ(mtx_set_submatrix_by_index(block.get(), target.get(), 2, rows), 0);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            const bool inBlock = (i == 1 || i == 3) && (j == 1 || j == 3);
            EXPECT_EQ(target(i, j), inBlock ? g(i, j) : 0.0) << i << "," << j;
        }
}
