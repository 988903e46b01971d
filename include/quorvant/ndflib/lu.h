// LU solves on matrix records (0-origin, row-major) through the 1-origin dense routines.
#ifndef QUORVANT_NDFLIB_LU_H
#define QUORVANT_NDFLIB_LU_H

#include "quorvant/ndflib/matrix_basic.h"

// m_lu (n x n, may be mtx) receives L (unit lower, below the diagonal) and U, rows permuted;
// v_index[i] (n ints) the 1-origin row interchanged with row i+1. Returns 0, -2 for a
// singular matrix, -1 on other failures.
int mtx_ludecomp(const _matrix *mtx, _matrix *m_lu, int *v_index);

// Solve A X = B (A^T X = B) column by column with the factors; v_x (n x m) may be v_b.
int mtx_lusolve(const _matrix *m_lu, const int *v_index, const _matrix *v_b, _matrix *v_x);

int mtx_tlusolve(const _matrix *m_lu, const int *v_index, const _matrix *v_b, _matrix *v_x);

#endif
