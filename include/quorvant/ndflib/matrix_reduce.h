// Reductions of matrix records along rows or columns: sums, minima, maxima, cumulative products.
#ifndef QUORVANT_NDFLIB_MATRIX_REDUCE_H
#define QUORVANT_NDFLIB_MATRIX_REDUCE_H

#include <utility>

#include "quorvant/ndflib/matrix_basic.h"

int mtx_sum(int sumdir, const _matrix *mtx, _matrix *sum);
int mtx_min(const _matrix *src, _matrix *min);
int mtx_max(const _matrix *src, _matrix *max);
int mtx_max_index(const _matrix *src, _matrix *max, int *index);
int mtx_max_row(const _matrix *src, _matrix *max);
int mtx_max2(const _matrix *src0, const _matrix *src1, _matrix *max);
int mtx_cumprod(const _matrix *mtx, int dim, _matrix *cum);

#endif
