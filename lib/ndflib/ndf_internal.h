// Pieces shared by the NDF integrator, the numerical Jacobian and the consistent DAE start:
// the tolerant comparisons and views of plain arrays as matrix records.
#ifndef QUORVANT_NDF_INTERNAL_H
#define QUORVANT_NDF_INTERNAL_H

#include <cmath>
#include <cstddef>

#include "quorvant/ndflib/condest.h"
#include "quorvant/ndflib/matrix_basic.h"

namespace qv::ndf {

constexpr double kEps = 2.220446049250313e-16;   // 2^-52, the spacing of doubles at 1

// Tolerant comparisons: a and b count as equal when |a - b| <= 1e-6·|a| (a the left-hand
// quantity). They keep decisions on step sizes, orders and output times from flipping on
// rounding noise.
constexpr double kTolerantRel = 1.0e-6;
inline bool tolEq(double a, double b) { return std::fabs(a - b) <= kTolerantRel * std::fabs(a); }
inline bool tolLe(double a, double b) { return a < b || tolEq(a, b); }
inline bool tolGe(double a, double b) { return a > b || tolEq(a, b); }
inline bool tolLt(double a, double b) { return a < b && !tolEq(a, b); }
inline bool tolGt(double a, double b) { return a > b && !tolEq(a, b); }

// A view of n contiguous doubles as a column vector.
inline _matrix vecView(double *p, int n) { return _matrix{n, 1, p}; }
inline _matrix matView(double *p, int row, int col) { return _matrix{row, col, p}; }

// An accepted step's corrections into a table of backward differences: row i (cols doubles) of
// table takes corr[i] at order k, and the lower differences are summed up from it.
inline void acceptDifferences(double *table, const double *corr, std::size_t rows, std::size_t cols, std::size_t k) {
    for (std::size_t i = 0; i < rows; ++i) {
        double *d = table + i * cols;
        d[k + 1] = corr[i] - d[k];
        d[k] = corr[i];
        for (std::size_t j = k; j-- > 0;) d[j] += d[j + 1];
    }
}

// Condition estimate of a square matrix for the singularity tests. A matrix with a row of
// zeros (the algebraic rows of a DAE mass matrix) is singular outright: the estimate would be
// the largest double anyway, and asking the estimator would only fill the system log with its
// LU's singular-matrix lines on every solve.
inline double conditionEstimate(const _matrix *m) {
    for (int i = 0; i < m->row; ++i) {
        const double *r = m->elem + static_cast<long>(i) * m->col;
        bool zero = true;
        for (int j = 0; j < m->col && zero; ++j) zero = r[j] == 0.0;
        if (zero) return MTX_COND_SINGULAR;
    }
    return mtx_est_condition_number(m);
}

}  // namespace qv::ndf

#endif
