// LU and SVD solves on _matrix records (0-origin, row-major) through the 1-origin dense
// routines, and a cheap estimate of the 1-norm condition number from the LU factors.
#ifndef QUORVANT_NDF_CONDEST_H
#define QUORVANT_NDF_CONDEST_H

#include "quorvant/ndf_matrix.h"

// ---- LU ---------------------------------------------------------------------------------
// m_lu (n x n, may be mtx) receives L (unit lower, below the diagonal) and U, rows permuted;
// v_index[i] (n ints) the 1-origin row interchanged with row i+1. Returns 0, -2 for a
// singular matrix, -1 on other failures.
int mtx_ludecomp(const _matrix *mtx, _matrix *m_lu, int *v_index);
// Solve A X = B (A^T X = B) column by column with the factors; v_x (n x m) may be v_b.
int mtx_lusolve(const _matrix *m_lu, const int *v_index, const _matrix *v_b, _matrix *v_x);
int mtx_tlusolve(const _matrix *m_lu, const int *v_index, const _matrix *v_b, _matrix *v_x);

// ---- SVD --------------------------------------------------------------------------------
// A (m x n) = U diag(w) V^T: m_u (m x n, may be mtx), v_w (n values), m_v (n x n).
int mtx_svdecomp(const _matrix *mtx, _matrix *m_u, _matrix *v_w, _matrix *m_v);
// x = V diag(1/w) U^T b, zero singular values skipped; v_b has m values, v_x n values.
int mtx_svsolve(const _matrix *m_u, const _matrix *v_w, const _matrix *m_v, const _matrix *v_b,
                _matrix *v_x);

// ---- Condition estimate -----------------------------------------------------------------
// Largest finite double: the condition estimate of a singular matrix.
inline constexpr double MTX_COND_SINGULAR = 1.7976931348623157e308;

// Operator flags of the estimator's callback.
inline constexpr int CONDEST_DIM = 0;        // return the dimension n
inline constexpr int CONDEST_ISREAL = 1;     // return 1: the matrix is real
inline constexpr int CONDEST_SOLVE = 2;      // v_f = A^-1 v_x
inline constexpr int CONDEST_TSOLVE = 3;     // v_f = A^-T v_x

typedef int (*_condest_func)(int flag, const _matrix *v_x, const _matrix *m_lu, const int *idx,
                             _matrix *v_f);

// Estimated 1-norm condition number of a square matrix; MTX_COND_SINGULAR for a singular
// matrix; -1.0 on failure.
double mtx_est_condition_number(const _matrix *mtx);
// Block 1-norm estimate of ||A^-1||_1 through estfunc, t0 columns (0 means 2).
int mtx_est_1norm(_condest_func estfunc, int t0, const _matrix *m_lu, const int *idx,
                  double *est_norm);
int _condest_f(int flag, const _matrix *v_x, const _matrix *m_lu, const int *idx, _matrix *v_f);
int _normapp(_condest_func estfunc, int flag, const _matrix *v_x, const _matrix *m_lu,
             const int *idx, _matrix *v_f);

// ---- Estimator helpers ------------------------------------------------------------------
struct _sort {
    int index;
    double elem;
};

// trg = src sorted ascending; indx[k] = 0-origin position in src of the k-th value.
int mtx_sort_vector(const _matrix *src, _matrix *trg, int *indx);
void _reverse(int len, int *isort);
// Appends the first n elements of cat to the vector trg, whose length grows (an empty,
// cleared record becomes an n x 1 vector).
int _vector_cat(_matrix *trg, const _matrix *cat, int n);
// sgn = -1 for negative elements, +1 otherwise.
int _mysign(const _matrix *mtx, _matrix *sgn);
// Replaces columns of the +-1 matrix m_s parallel to an earlier column or to a column of
// m_sold (null allowed) by random +-1 columns; returns how many columns were replaced.
int _undupli(_matrix *m_s, const _matrix *m_sold);
// Fills with uniform values in [0, 1) from the C library rand().
int mtx_rand(_matrix *mtx);

#endif
