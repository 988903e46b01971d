// Norms of matrix records.
#ifndef QUORVANT_NDFLIB_MATRIX_NORM_H
#define QUORVANT_NDFLIB_MATRIX_NORM_H

#include <utility>

#include "quorvant/ndflib/matrix_basic.h"

// Column vector: p = 0 largest |x|, p = -1 smallest |x|, p >= 1 the p-norm.
// Square matrix: p = 0 infinity norm, p = 1 one-norm, p = 2 largest singular value.
int mtx_norm(const _matrix *mtx, double p, double *norm);

#endif
