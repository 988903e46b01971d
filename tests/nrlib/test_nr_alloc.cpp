#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "nr_test_matrix.h"
#include "quorvant/nrlib/nr_alloc.h"
#include "quorvant/nrlib/nr_mutil.h"

TEST(NrAlloc, VectorsCoverTheirRangeAndTheSpareBelow) {
    double *v = nr_alloc_vector(1, 5);
    ASSERT_NE(v, nullptr);
    for (int i = 0; i <= 5; ++i) EXPECT_EQ(v[i], 0.0);   // zero-filled, v[0] is the spare
    for (int i = 0; i <= 5; ++i) v[i] = i;               // out-of-range writes trip the sanitizer
    nr_free_vector(v, 1, 5);

    double *w = nr_alloc_vector(0, 3);   // a 0-origin vector works as well
    ASSERT_NE(w, nullptr);
    for (int i = 0; i <= 3; ++i) w[i] = 1.0;
    nr_free_vector(w, 0, 3);

    int *iv = nr_alloc_ivector(1, 4);
    ASSERT_NE(iv, nullptr);
    for (int i = 0; i <= 4; ++i) iv[i] = i;
    nr_free_ivector(iv, 1, 4);
}

TEST(NrAlloc, MatrixRowsAreContiguous) {
    double **m = nr_alloc_matrix(1, 3, 1, 4);
    ASSERT_NE(m, nullptr);
    for (int i = 1; i < 3; ++i) EXPECT_EQ(m[i + 1], m[i] + 4);
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 4; ++j) m[i][j] = 10 * i + j;
    EXPECT_EQ(m[1][1 + 4], 21.0);   // row 2 follows row 1 directly
    nr_free_matrix(m, 1, 3, 1, 4);
}

TEST(NrAlloc, ImpossibleRangesFailWithTheirMessage) {
    struct Case {
        const char *what;
        bool (*alloc)();
        const char *message;
    };
    const Case cases[] = {
        {"empty vector", [] { return nr_alloc_vector(5, 4) == nullptr; }, "ERROR: nr_alloc_vector()\n"},
        {"huge vector", [] { return nr_alloc_vector(1, LONG_MAX) == nullptr; }, "ERROR: nr_alloc_vector()\n"},
        {"huge ivector", [] { return nr_alloc_ivector(0, LONG_MAX - 1) == nullptr; }, "ERROR: nr_alloc_ivector()\n"},
        {"empty matrix", [] { return nr_alloc_matrix(1, 0, 1, 3) == nullptr; }, "ERROR: nr_alloc_matrix()\n"},
        {"huge matrix", [] { return nr_alloc_matrix(1, 1L << 40, 1, 1L << 40) == nullptr; },
         "ERROR: nr_alloc_matrix()\n"},
    };
    for (const auto &c : cases) {
        testing::internal::CaptureStdout();
        const bool failed = c.alloc();
        EXPECT_TRUE(failed) << c.what;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message) << c.what;
    }
}

TEST(NrMatrixUtil, ArithmeticAndCopies) {
    const NrMatrix a{{1, 2, 3}, {4, 5, 6}};
    const NrMatrix b{{6, 5, 4}, {3, 2, 1}};
    const NrMatrix bt{{1, 0}, {0, 1}, {2, -1}};
    NrMatrix sum(2, 3), diff(2, 3), prod(2, 2);
    nr_add_matrix(a.m, b.m, sum.m, 2, 3);
    nr_sub_matrix(a.m, b.m, diff.m, 2, 3);
    nr_mult_matrix(a.m, bt.m, prod.m, 2, 3, 2);
    for (int i = 1; i <= 2; ++i) {
        for (int j = 1; j <= 3; ++j) {
            EXPECT_EQ(sum[i][j], 7.0);
            EXPECT_EQ(diff[i][j], a[i][j] - b[i][j]);
        }
    }
    EXPECT_EQ(prod[1][1], 7.0);
    EXPECT_EQ(prod[1][2], -1.0);
    EXPECT_EQ(prod[2][1], 16.0);
    EXPECT_EQ(prod[2][2], -1.0);

    double flat[6];
    nr_copy_origin1to0(a.m, flat, 2, 3);
    EXPECT_EQ(flat[0], 1.0);
    EXPECT_EQ(flat[2], 3.0);
    EXPECT_EQ(flat[3], 4.0);
    NrMatrix back(2, 3);
    nr_copy_origin0to1(flat, back.m, 2, 3);
    for (int i = 1; i <= 2; ++i)
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(back[i][j], a[i][j]);
}

TEST(NrMatrixUtil, DumpFormat) {
    const NrMatrix a{{1, -2.5}, {1e-3, 12345}};
    testing::internal::CaptureStdout();
    nr_dump_matrix("A", a.m, 2, 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\n#  A(2, 2)\n"
              "#     1.000e+00  -2.500e+00\n"
              "#     1.000e-03   1.234e+04\n");
}
