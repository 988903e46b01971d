// Estimate of the 1-norm condition number of a square matrix: ||A||_1 times the block 1-norm
// estimate of ||A^-1||_1 (Higham and Tisseur), which only needs solves with the LU factors
// of A and of A^T.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/condest.h"
#include "quorvant/ndflib/condest_util.h"
#include "quorvant/ndflib/lu.h"
#include "quorvant/ndflib/matrix_arith.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/matrix_norm.h"
#include "quorvant/ndflib/matrix_product.h"
#include "quorvant/ndflib/matrix_search.h"

namespace {

// Estimator settings.
constexpr int kDefaultColumns = 2;      // block width t when the caller passes 0
constexpr int kExactMaxDim = 4;         // up to this dimension A^-1 is formed exactly
constexpr int kMaxIterations = 5;       // iterations before the estimate is taken as it is
constexpr int kFirstComparedIteration = 2;   // convergence tests start at this iteration

constexpr const char *kMsgCond = "ERROR: mtx_est_condition_number()\n";
constexpr const char *kMsg1Norm = "ERROR: mtx_est_1norm()\n";
constexpr const char *kMsgCondestF = "ERROR: _condest_f()\n";

double at(const _matrix *m, int i, int j) { return m->elem[static_cast<long>(i) * m->col + j]; }

// Sum of |Y(:,j)| for every column.
void absColumnSums(const _matrix *y, _matrix *sums) {
    for (int j = 0; j < y->col; ++j) {
        double s = 0.0;
        for (int i = 0; i < y->row; ++i) s += std::fabs(at(y, i, j));
        sums->elem[j] = s;
    }
}

// Number of columns of s parallel to some column of sold (|sold(:,c)' s(:,j)| = n).
int parallelColumns(const _matrix *sold, const _matrix *s) {
    const double n = static_cast<double>(s->row);
    int np = 0;
    for (int j = 0; j < s->col; ++j) {
        double best = 0.0;
        for (int c = 0; c < sold->col; ++c) {
            double dot = 0.0;
            for (int i = 0; i < s->row; ++i) dot += at(sold, i, c) * at(s, i, j);
            best = std::max(best, std::fabs(dot));
        }
        if (best == n) ++np;
    }
    return np;
}

bool inHistory(const _matrix *hist, int index) {
    const long len = hist->elem == nullptr ? 0 : static_cast<long>(hist->row) * hist->col;
    for (long k = 0; k < len; ++k) {
        if (hist->elem[k] == index) return true;
    }
    return false;
}

// Exact ||A^-1||_1 from A^-1 = A^-1 I.
int exactInverseNorm(_condest_func estfunc, int n, const _matrix *m_lu, const int *idx,
                     double *est) {
    ScopedMatrix x(n, n), y(n, n), sums(n, 1);
    if (!x.ok() || !y.ok() || !sums.ok()) {
        log_sys("MTX_SET_ALLOC()\n");
        return -1;
    }
    mtx_unit(x.get());
    if (_normapp(estfunc, CONDEST_SOLVE, x.get(), m_lu, idx, y.get()) != 0) return -1;
    absColumnSums(y.get(), sums.get());
    *est = *std::max_element(sums->elem, sums->elem + n);
    return 0;
}

// The iterative block estimate with t columns (t < n, n > kExactMaxDim).
int blockEstimate(_condest_func estfunc, int n, int t, const _matrix *m_lu, const int *idx,
                  double *est_norm) {
    ScopedMatrix x(n, t), y(n, t), s(n, t), sold(n, t), z(n, t);
    ScopedMatrix sums(t, 1), sortedSums(t, 1), h(n, 1), sortedH(n, 1);
    ScopedMatrix hist;   // unit-vector positions used so far, grown by _vector_cat
    ScopedMatrix chosen(t, 1);
    std::vector<int> sumOrder, hOrder, ind;
    if (!x.ok() || !y.ok() || !s.ok() || !sold.ok() || !z.ok() || !sums.ok() ||
        !sortedSums.ok() || !h.ok() || !sortedH.ok() || !chosen.ok()) {
        log_sys("MTX_SET_ALLOC()\n");
        return -1;
    }
    try {
        sumOrder.resize(t);
        hOrder.resize(n);
        ind.assign(t, -1);
    } catch (const std::bad_alloc &) {
        log_sys("malloc()\n");
        return -1;
    }

    // Start: a column of ones and random +-1 columns, none parallel to another, scaled by 1/n.
    mtx_rand(x.get());
    mtx_scalar_multiply(x.get(), 2.0, x.get());
    mtx_scalar_addup(x.get(), -1.0, x.get());
    if (_mysign(x.get(), x.get()) != 0) return -1;
    for (int i = 0; i < n; ++i) x(i, 0) = 1.0;
    if (_undupli(x.get(), nullptr) < 0) return -1;
    mtx_scalar_multiply(x.get(), 1.0 / n, x.get());

    double est = 0.0, est_old = 0.0;
    int est_j = -1;   // unit-vector position that produced the current estimate
    for (int it = 1;; ++it) {
        // 1. Y = A^-1 X; the largest column sum of |Y| is the estimate.
        if (_normapp(estfunc, CONDEST_SOLVE, x.get(), m_lu, idx, y.get()) != 0) return -1;
        absColumnSums(y.get(), sums.get());
        if (mtx_sort_vector(sums.get(), sortedSums.get(), sumOrder.data()) != 0) return -1;
        _reverse(t, sumOrder.data());
        est = sums[sumOrder[0]];
        if (it >= kFirstComparedIteration && est <= est_old) {
            est = est_old;
            break;
        }
        est_j = ind[sumOrder[0]];
        est_old = est;
        if (it > kMaxIterations) break;

        // 2. S = sign(Y); stop when it repeats the previous sign matrix entirely.
        std::copy(s->elem, s->elem + static_cast<long>(n) * t, sold->elem);
        if (_mysign(y.get(), s.get()) != 0) return -1;
        if (parallelColumns(sold.get(), s.get()) == t) break;
        if (_undupli(s.get(), sold.get()) < 0) return -1;

        // 3. Z = A^-T S; h_i = max_j |Z(i,j)|.
        if (_normapp(estfunc, CONDEST_TSOLVE, s.get(), m_lu, idx, z.get()) != 0) return -1;
        double hmax = 0.0;
        for (int i = 0; i < n; ++i) {
            double r = 0.0;
            for (int j = 0; j < t; ++j) r = std::max(r, std::fabs(z(i, j)));
            h[i] = r;
            hmax = std::max(hmax, r);
        }
        if (it >= kFirstComparedIteration && est_j >= 0 && hmax == h[est_j]) break;

        // 4. The next X: unit vectors at the largest h not used before.
        if (mtx_sort_vector(h.get(), sortedH.get(), hOrder.data()) != 0) return -1;
        _reverse(n, hOrder.data());
        int rep = 0;
        for (int i = 0; i < t; ++i) {
            if (inHistory(hist.get(), hOrder[i])) ++rep;
        }
        if (t > 1 && rep == t) break;
        int used = 0;
        for (int pos = 0; used < t && pos < n; ++pos) {
            if (inHistory(hist.get(), hOrder[pos])) continue;
            ind[used] = hOrder[pos];
            chosen[used] = hOrder[pos];
            ++used;
        }
        for (int i = used; i < t; ++i) ind[i] = -1;
        if (_vector_cat(hist.get(), chosen.get(), used) != 0) return -1;
        mtx_unique(0.0, x.get());
        for (int j = 0; j < used; ++j) x(ind[j], j) = 1.0;
    }
    *est_norm = est;
    return 0;
}

}  // namespace

int _condest_f(int flag, const _matrix *v_x, const _matrix *m_lu, const int *idx, _matrix *v_f) {
    switch (flag) {
    case CONDEST_DIM:
        return std::max(m_lu->row, m_lu->col);
    case CONDEST_ISREAL:
        return 1;
    case CONDEST_SOLVE:
        if (mtx_lusolve(m_lu, idx, v_x, v_f) == 0) return 0;
        break;
    case CONDEST_TSOLVE:
        if (mtx_tlusolve(m_lu, idx, v_x, v_f) == 0) return 0;
        break;
    default:
        break;
    }
    log_sys("%s", kMsgCondestF);
    return -1;
}

int _normapp(_condest_func estfunc, int flag, const _matrix *v_x, const _matrix *m_lu,
             const int *idx, _matrix *v_f) {
    return estfunc(flag, v_x, m_lu, idx, v_f);
}

int mtx_est_1norm(_condest_func estfunc, int t0, const _matrix *m_lu, const int *idx,
                  double *est_norm) {
    if (estfunc == nullptr || m_lu == nullptr || est_norm == nullptr) {
        log_sys("%s", kMsg1Norm);
        return -1;
    }
    const int t = t0 == 0 ? kDefaultColumns : std::abs(t0);
    const int n = _normapp(estfunc, CONDEST_DIM, nullptr, m_lu, idx, nullptr);
    if (n < 1 || t > std::max(n, kDefaultColumns)) {
        log_sys("%s", kMsg1Norm);
        return -1;
    }
    const int rc = (t == n || n <= kExactMaxDim) ? exactInverseNorm(estfunc, n, m_lu, idx, est_norm)
                                                 : blockEstimate(estfunc, n, t, m_lu, idx, est_norm);
    if (rc != 0) {
        log_sys("%s", kMsg1Norm);
        return -1;
    }
    return 0;
}

double mtx_est_condition_number(const _matrix *mtx) {
    if (mtx == nullptr || mtx->row < 1 || mtx->row != mtx->col || mtx->elem == nullptr) {
        log_sys("%s", kMsgCond);
        return -1.0;
    }
    const int n = mtx->row;
    ScopedMatrix lu(n, n), diag(n, 1);
    std::vector<int> pivots;
    try {
        pivots.resize(n);
    } catch (const std::bad_alloc &) {
        log_sys("malloc()\n");
        log_sys("%s", kMsgCond);
        return -1.0;
    }
    if (!lu.ok() || !diag.ok()) {
        log_sys("MTX_SET_ALLOC()\n");
        log_sys("%s", kMsgCond);
        return -1.0;
    }
    const int rc = mtx_ludecomp(mtx, lu.get(), pivots.data());
    if (rc == -2) return MTX_COND_SINGULAR;
    if (rc != 0) {
        log_sys("%s", kMsgCond);
        return -1.0;
    }
    // A zero on the diagonal of U makes A singular as well.
    if (mtx_diagonal2vector(0, lu.get(), diag.get()) != 0 || mtx_abs(diag.get(), diag.get()) != 0) {
        log_sys("%s", kMsgCond);
        return -1.0;
    }
    if (mtx_any(diag.get(), MTX_EQ, 0.0) == 1) return MTX_COND_SINGULAR;

    double est = 0.0, norm1 = 0.0;
    if (mtx_est_1norm(_condest_f, kDefaultColumns, lu.get(), pivots.data(), &est) != 0 ||
        mtx_norm(mtx, 1.0, &norm1) != 0) {
        log_sys("%s", kMsgCond);
        return -1.0;
    }
    return norm1 * est;
}
