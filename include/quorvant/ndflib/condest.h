// A cheap estimate of the 1-norm condition number of a square matrix from its LU factors.
#ifndef QUORVANT_NDFLIB_CONDEST_H
#define QUORVANT_NDFLIB_CONDEST_H

#include "quorvant/ndflib/matrix_basic.h"

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

#endif
