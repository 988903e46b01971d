// Element-wise matrix arithmetic, copies between 0-origin row-major arrays and 1-origin matrices,
// and a text dump of a matrix.
#include <cstdio>

#include "quorvant/nrlib/nr_mutil.h"

void nr_copy_origin0to1(const double *src, double **dst, int row, int col) {
    for (int i = 0; i < row; ++i)
        for (int j = 0; j < col; ++j) dst[i + 1][j + 1] = src[i * col + j];
}

void nr_copy_origin1to0(double **src, double *dst, int row, int col) {
    for (int i = 0; i < row; ++i)
        for (int j = 0; j < col; ++j) dst[i * col + j] = src[i + 1][j + 1];
}

void nr_add_matrix(double **a, double **b, double **c, int n, int m) {
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= m; ++j) c[i][j] = a[i][j] + b[i][j];
}

void nr_sub_matrix(double **a, double **b, double **c, int n, int m) {
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= m; ++j) c[i][j] = a[i][j] - b[i][j];
}

void nr_mult_matrix(double **a, double **b, double **c, int n, int m, int p) {
    for (int i = 1; i <= n; ++i) {
        for (int k = 1; k <= p; ++k) {
            double sum = 0.0;
            for (int j = 1; j <= m; ++j) sum += a[i][j] * b[j][k];
            c[i][k] = sum;
        }
    }
}

void nr_dump_matrix(const char *name, double **a, long row, long col) {
    std::printf("\n#  %s(%ld, %ld)\n", name, row, col);
    for (long i = 1; i <= row; ++i) {
        std::printf("#  ");
        for (long j = 1; j <= col; ++j) std::printf("%12.3e", a[i][j]);
        std::printf("\n");
    }
}
