// Pieces shared by the NDF integrator, the numerical Jacobian and the consistent DAE start:
// the tolerant comparisons and an LU factorisation that works in place on row-major storage.
#ifndef QUORVANT_NDF_INTERNAL_H
#define QUORVANT_NDF_INTERNAL_H

#include <cmath>
#include <vector>

#include "quorvant/ndf_matrix.h"

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

// Dense n×n LU factorisation with implicit scaling and partial pivoting, done in place on
// row-major storage (no copies to 1-origin temporaries): build the matrix in data(), call
// factor(), then solve() as often as needed. Storage grows only; resize() may throw
// std::bad_alloc.
class DenseLU {
public:
    void resize(int n);
    int size() const { return n_; }
    double *data() { return a_.data() + 1; }              // element (i,j) at i·n + j
    const double *data() const { return a_.data() + 1; }
    const int *pivots() const { return piv_.data() + 1; } // 1-origin row swapped with row i+1

    // 0; -2 for a singular matrix ("## Singular matrix in mtx_ludecomp()\n" after the
    // decomposition's own line); -1 on an allocation failure ("ERROR: mtx_ludecomp()\n").
    int factor();
    // Solves A·x = b in place; x1 is the 1-origin base (x1[1] is the first value).
    void solve1(double *x1) const;

private:
    int n_ = 0;
    std::vector<double> a_;       // one spare element in front, then n·n values
    std::vector<double *> rows_;  // rows_[i] (i = 1..n) addresses row i from column 1
    std::vector<int> piv_;        // pivot rows, 1..n
};

// A vector of n doubles with a spare slot in front, so that it can be handed to the 1-origin
// substitutions without pointer arithmetic before the block.
class Vec1 {
public:
    void resize(int n) { v_.assign(static_cast<std::size_t>(n) + 1, 0.0); n_ = n; }
    double *p() { return v_.data() + 1; }
    const double *p() const { return v_.data() + 1; }
    double *one() { return v_.data(); }
    double &operator[](int i) { return v_[static_cast<std::size_t>(i) + 1]; }
    double operator[](int i) const { return v_[static_cast<std::size_t>(i) + 1]; }
    int size() const { return n_; }
    _matrix view() { return vecView(p(), n_); }

private:
    std::vector<double> v_;
    int n_ = 0;
};

}  // namespace qv::ndf

#endif
