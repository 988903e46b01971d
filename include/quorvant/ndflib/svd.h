// SVD solves on matrix records (0-origin, row-major) through the 1-origin dense routines.
#ifndef QUORVANT_NDFLIB_SVD_H
#define QUORVANT_NDFLIB_SVD_H

#include "quorvant/ndflib/matrix_basic.h"

// A (m x n) = U diag(w) V^T: m_u (m x n, may be mtx), v_w (n values), m_v (n x n).
int mtx_svdecomp(const _matrix *mtx, _matrix *m_u, _matrix *v_w, _matrix *m_v);

// x = V diag(1/w) U^T b, zero singular values skipped; v_b has m values, v_x n values.
int mtx_svsolve(const _matrix *m_u, const _matrix *v_w, const _matrix *m_v, const _matrix *v_b,
                _matrix *v_x);

#endif
