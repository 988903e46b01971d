// Building blocks of one NDF step in the backward-difference representation: prediction,
// the ψ term of the corrector, rescaling the differences to a new step size, interpolation
// inside the last step, row scaling of the iteration matrix, and the result-queue nodes.
//
// The differences D are n×(max_k+2), row-major; column j (0-origin) holds the (j+1)-th
// backward difference scaled to the current step.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "quorvant/common/c_que.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/ndf.h"
#include "quorvant/ndflib/ndf_steps.h"

namespace {

constexpr int kMaxOrder = 5;

bool isVector(const _matrix *v, int n) {
    return v != nullptr && v->elem != nullptr && v->col == 1 && v->row == n;
}

bool isDif(const _matrix *d, int n, int k) {
    return d != nullptr && d->elem != nullptr && d->row == n && d->col >= k;
}

}  // namespace

int _predict_y(const _ndf_input *in, int order_k, const _matrix *m_dif, const _matrix *v_y,
               _matrix *v_pred) {
    const int n = in != nullptr ? in->y0num : 0;
    if (n < 1 || order_k < 1 || !isDif(m_dif, n, order_k) || !isVector(v_y, n) ||
        !isVector(v_pred, n)) {
        log_sys("ERROR: _predict_y()\n");
        return -1;
    }
    const int cols = m_dif->col;
    for (int i = 0; i < n; ++i) {
        const double *d = m_dif->elem + static_cast<long>(i) * cols;
        double sum = 0.0;
        for (int j = 0; j < order_k; ++j) sum += d[j];
        v_pred->elem[i] = v_y->elem[i] + sum;
    }
    return 0;
}

int _get_psi(int order_k, const _matrix *inv_g, const _matrix *v_gamma, const _matrix *m_dif,
             _matrix *v_psi) {
    const int n = v_psi != nullptr ? v_psi->row : 0;
    if (order_k < 1 || order_k > kMaxOrder || n < 1 || !isVector(v_psi, n) ||
        !isDif(m_dif, n, order_k) || inv_g == nullptr || inv_g->elem == nullptr ||
        mtx_veclen(inv_g) < order_k || v_gamma == nullptr || v_gamma->elem == nullptr ||
        mtx_veclen(v_gamma) < order_k) {
        log_sys("ERROR: _get_psi()\n");
        return -1;
    }
    // ψ = D(:,1..k)·c with c_j = G_j·inv_g[k].
    double c[kMaxOrder];
    const double ig = inv_g->elem[order_k - 1];
    for (int j = 0; j < order_k; ++j) c[j] = v_gamma->elem[j] * ig;
    const int cols = m_dif->col;
    for (int i = 0; i < n; ++i) {
        const double *d = m_dif->elem + static_cast<long>(i) * cols;
        double sum = 0.0;
        for (int j = 0; j < order_k; ++j) sum += d[j] * c[j];
        v_psi->elem[i] = sum;
    }
    return 0;
}

int _change_stepsize(int order_k, int max_k, double h_rate, const _matrix *m_kJ,
                     const _matrix *m_kI, const _matrix *m_difU, _matrix *m_dif) {
    auto square = [max_k](const _matrix *m) {
        return m != nullptr && m->elem != nullptr && m->row == max_k && m->col == max_k;
    };
    if (max_k < 1 || max_k > kMaxOrder || order_k < 1 || order_k > max_k || !square(m_kJ) ||
        !square(m_kI) || !square(m_difU) || m_dif == nullptr || m_dif->elem == nullptr ||
        m_dif->row < 1 || m_dif->col < order_k) {
        log_sys("ERROR: _change_stepsize()\n");
        return -1;
    }
    // R = cumulative product down the columns of (kI - 1 - kJ·h_rate) ./ kI.
    double r[kMaxOrder][kMaxOrder];
    for (int i = 0; i < max_k; ++i) {
        for (int j = 0; j < max_k; ++j) {
            const double ki = m_kI->elem[i * max_k + j];
            const double v = (ki - 1.0 - m_kJ->elem[i * max_k + j] * h_rate) / ki;
            r[i][j] = i == 0 ? v : r[i - 1][j] * v;
        }
    }
    // RU = R·U, of which only the leading order_k×order_k block is used.
    double ru[kMaxOrder][kMaxOrder];
    for (int i = 0; i < order_k; ++i) {
        for (int j = 0; j < order_k; ++j) {
            double sum = 0.0;
            for (int m = 0; m < max_k; ++m) sum += r[i][m] * m_difU->elem[m * max_k + j];
            ru[i][j] = sum;
        }
    }
    // D(:,1..k) = D(:,1..k)·RU(1..k,1..k), row by row.
    const int cols = m_dif->col;
    for (int i = 0; i < m_dif->row; ++i) {
        double *d = m_dif->elem + static_cast<long>(i) * cols;
        double out[kMaxOrder];
        for (int j = 0; j < order_k; ++j) {
            double sum = 0.0;
            for (int m = 0; m < order_k; ++m) sum += d[m] * ru[m][j];
            out[j] = sum;
        }
        for (int j = 0; j < order_k; ++j) d[j] = out[j];
    }
    return 0;
}

int _interpolate(double h, int k, double tnew, const _matrix *v_ynew, const _matrix *m_dif,
                 double tinterp, _matrix *v_yinterp) {
    const int n = v_ynew != nullptr ? v_ynew->row : 0;
    if (k < 1 || k > kMaxOrder || n < 1 || !isVector(v_ynew, n) || !isVector(v_yinterp, n) ||
        !isDif(m_dif, n, k) || h == 0.0) {
        log_sys("ERROR: _interpolate()\n");
        return -1;
    }
    const double s = (tinterp - tnew) / h;
    const int cols = m_dif->col;
    if (k == 1) {
        for (int i = 0; i < n; ++i)
            v_yinterp->elem[i] = v_ynew->elem[i] + m_dif->elem[static_cast<long>(i) * cols] * s;
        return 0;
    }
    // c_j = Π_{m=1..j} (s + m - 1)/m
    double c[kMaxOrder];
    double prod = 1.0;
    for (int j = 0; j < k; ++j) {
        prod *= (s + j) / (j + 1);
        c[j] = prod;
    }
    for (int i = 0; i < n; ++i) {
        const double *d = m_dif->elem + static_cast<long>(i) * cols;
        double sum = 0.0;
        for (int j = 0; j < k; ++j) sum += d[j] * c[j];
        v_yinterp->elem[i] = v_ynew->elem[i] + sum;
    }
    return 0;
}

int _matrix_rowscale(_matrix *v_rowscale, _matrix *m_iter) {
    if (m_iter == nullptr || m_iter->elem == nullptr || m_iter->row < 1 || m_iter->col < 1 ||
        !isVector(v_rowscale, m_iter->row)) {
        log_sys("ERROR: _matrix_rowscale()\n");
        return -1;
    }
    const int cols = m_iter->col;
    for (int i = 0; i < m_iter->row; ++i) {
        double *a = m_iter->elem + static_cast<long>(i) * cols;
        double big = std::fabs(a[0]);
        for (int j = 1; j < cols; ++j) {
            const double v = std::fabs(a[j]);
            if (v > big) big = v;
        }
        const double r = 1.0 / big;
        v_rowscale->elem[i] = r;
        for (int j = 0; j < cols; ++j) a[j] = r * a[j];
    }
    return 0;
}

_que_result *_alloc_que(double t, const _matrix *v_y) {
    const int n = v_y != nullptr && v_y->elem != nullptr ? mtx_veclen(v_y) : 0;
    auto *node = n > 0 ? static_cast<_que_result *>(std::malloc(sizeof(_que_result))) : nullptr;
    double *copy = node != nullptr
                       ? static_cast<double *>(std::malloc(sizeof(double) * static_cast<std::size_t>(n)))
                       : nullptr;
    if (copy == nullptr) {
        std::free(node);
        log_sys("ERROR: _alloc_que()\n");
        return nullptr;
    }
    std::memcpy(copy, v_y->elem, sizeof(double) * static_cast<std::size_t>(n));
    c_initque(&node->que);
    node->t = t;
    node->y = copy;
    return node;
}

void _free_que(_que_result *que) {
    if (que == nullptr) return;
    std::free(que->y);
    std::free(que);
}
