// Vector and matrix norms.
#include <algorithm>
#include <cmath>

#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/matrix_norm.h"
#include "quorvant/ndflib/matrix_product.h"
#include "quorvant/ndflib/svd.h"

namespace {

// Norm selectors.
constexpr double kNormMaxAbs = 0.0;    // vector: largest |x|; matrix: infinity norm
constexpr double kNormMinAbs = -1.0;   // vector: smallest |x|
constexpr double kNormOne = 1.0;
constexpr double kNormTwo = 2.0;

int vectorNorm(const _matrix *v, double p, double *norm) {
    const long n = static_cast<long>(v->row) * v->col;
    const double *x = v->elem;
    if (p == kNormMaxAbs || p == kNormMinAbs) {
        double r = std::fabs(x[0]);
        for (long k = 1; k < n; ++k) {
            const double a = std::fabs(x[k]);
            if (p == kNormMaxAbs ? a > r : a < r) r = a;
        }
        *norm = r;
        return 0;
    }
    if (!(p >= kNormOne)) {
        log_sys("ERROR: _mtx_norm_vector()\n");
        return -1;
    }
    double s = 0.0;
    if (p == kNormOne) {
        for (long k = 0; k < n; ++k) s += std::fabs(x[k]);
        *norm = s;
    } else if (p == kNormTwo) {
        // The common cases without pow: the same quantities at a fraction of the cost.
        for (long k = 0; k < n; ++k) s += x[k] * x[k];
        *norm = std::sqrt(s);
    } else {
        for (long k = 0; k < n; ++k) s += std::pow(std::fabs(x[k]), p);
        *norm = std::pow(s, 1.0 / p);
    }
    return 0;
}

// Largest absolute row sum.
double matrixNormInf(const _matrix *m) {
    double best = 0.0;
    for (int i = 0; i < m->row; ++i) {
        const double *r = m->elem + static_cast<long>(i) * m->col;
        double s = 0.0;
        for (int j = 0; j < m->col; ++j) s += std::fabs(r[j]);
        if (i == 0 || s > best) best = s;
    }
    return best;
}

// Largest absolute column sum.
double matrixNorm1(const _matrix *m) {
    double best = 0.0;
    for (int j = 0; j < m->col; ++j) {
        double s = 0.0;
        for (int i = 0; i < m->row; ++i) s += std::fabs(m->elem[static_cast<long>(i) * m->col + j]);
        if (j == 0 || s > best) best = s;
    }
    return best;
}

// Largest singular value. A wide matrix is decomposed as its transpose (same singular values)
// so that the decomposition always sees at least as many rows as columns.
int matrixNorm2(const _matrix *m, double *norm) {
    const bool wide = m->row < m->col;
    const int rows = wide ? m->col : m->row;
    const int cols = wide ? m->row : m->col;
    ScopedMatrix a(rows, cols), u(rows, cols), w(cols, 1), v(cols, cols);
    if (!a.ok() || !u.ok() || !w.ok() || !v.ok()) {
        log_sys("MTX_SET_ALLOC()\n");
        log_sys("ERROR: _mtx_norm_matrix_2()\n");
        return -1;
    }
    if (wide) {
        mtx_transpose(m, a.get());
    } else {
        std::copy(m->elem, m->elem + static_cast<long>(rows) * cols, a->elem);
    }
    if (mtx_svdecomp(a.get(), u.get(), w.get(), v.get()) != 0) {
        log_sys("ERROR: _mtx_norm_matrix_2()\n");
        return -1;
    }
    double best = w[0];
    for (int k = 1; k < cols; ++k) best = std::max(best, w[k]);
    *norm = best;
    return 0;
}

int matrixNorm(const _matrix *m, double p, double *norm) {
    if (p == kNormMaxAbs) {
        *norm = matrixNormInf(m);
        return 0;
    }
    if (p == kNormOne) {
        *norm = matrixNorm1(m);
        return 0;
    }
    if (p == kNormTwo) {
        if (matrixNorm2(m, norm) == 0) return 0;
    }
    log_sys("ERROR: _mtx_norm_matrix()\n");
    return -1;
}

}  // namespace

int mtx_norm(const _matrix *mtx, double p, double *norm) {
    if (mtx == nullptr || norm == nullptr || mtx->row < 1 || mtx->col < 1 || mtx->elem == nullptr) {
        log_sys("ERROR: mtx_norm()\n");
        return -1;
    }
    const bool vector = mtx->row == 1 || mtx->col == 1;
    const int rc = vector ? vectorNorm(mtx, p, norm) : matrixNorm(mtx, p, norm);
    if (rc != 0) {
        log_sys("ERROR: mtx_norm()\n");
        return -1;
    }
    return 0;
}
