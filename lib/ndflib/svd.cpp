// Singular value decomposition and its back substitution on _matrix records through the
// 1-origin dense routines. The routines work directly on the records' storage through
// 1-origin row pointers (element [i][j] is elem[(i-1)*cols + j-1]).
#include <cstddef>
#include <algorithm>
#include <new>
#include <vector>

#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/svd.h"
#include "quorvant/nrlib/nr_svd.h"

namespace {

constexpr const char *kMsgDecomp = "ERROR: mtx_svdecomp()\n";
constexpr const char *kMsgSolve = "ERROR: mtx_svsolve()\n";

// Fills rows (size rows+1) with the 1-origin row pointers of a rows x cols block.
bool rowView(std::vector<double *> &view, double *elem, int rows, int cols) {
    try {
        view.assign(static_cast<size_t>(rows) + 1, nullptr);
    } catch (const std::bad_alloc &) {
        return false;
    }
    for (int i = 0; i < rows; ++i) view[i + 1] = elem + static_cast<long>(i) * cols - 1;
    return true;
}

bool valid(const _matrix *m) {
    return m != nullptr && m->row >= 1 && m->col >= 1 && m->elem != nullptr;
}

long count(const _matrix *m) { return static_cast<long>(m->row) * m->col; }

}  // namespace

int mtx_svdecomp(const _matrix *mtx, _matrix *m_u, _matrix *v_w, _matrix *m_v) {
    if (!valid(mtx) || !valid(m_u) || !valid(v_w) || !valid(m_v) || m_u->row != mtx->row ||
        m_u->col != mtx->col || count(v_w) < mtx->col || m_v->row != mtx->col ||
        m_v->col != mtx->col) {
        log_sys("%s", kMsgDecomp);
        return -1;
    }
    const int m = mtx->row, n = mtx->col;
    std::vector<double *> u, v;
    if (!rowView(u, m_u->elem, m, n) || !rowView(v, m_v->elem, n, n)) {
        log_sys("%s", kMsgDecomp);
        return -1;
    }
    if (m_u->elem != mtx->elem) std::copy(mtx->elem, mtx->elem + count(mtx), m_u->elem);
    if (nr_svdcmp(u.data(), m, n, v_w->elem - 1, v.data()) != 0) {
        log_sys("%s", kMsgDecomp);
        return -1;
    }
    return 0;
}

int mtx_svsolve(const _matrix *m_u, const _matrix *v_w, const _matrix *m_v, const _matrix *v_b,
                _matrix *v_x) {
    if (!valid(m_u) || !valid(v_w) || !valid(m_v) || !valid(v_b) || !valid(v_x) ||
        count(v_w) < m_u->col || m_v->row != m_u->col || m_v->col != m_u->col ||
        count(v_b) < m_u->row || count(v_x) < m_u->col) {
        log_sys("%s", kMsgSolve);
        return -1;
    }
    const int m = m_u->row, n = m_u->col;
    std::vector<double *> u, v;
    std::vector<double> b;
    if (!rowView(u, m_u->elem, m, n) || !rowView(v, m_v->elem, n, n)) {
        log_sys("%s", kMsgSolve);
        return -1;
    }
    const double *rhs = v_b->elem;
    if (v_b->elem == v_x->elem) {
        // The solution overwrites b while b is still being read: work from a copy.
        try {
            b.assign(v_b->elem, v_b->elem + m);
        } catch (const std::bad_alloc &) {
            log_sys("%s", kMsgSolve);
            return -1;
        }
        rhs = b.data();
    }
    if (nr_svbksb(u.data(), v_w->elem - 1, v.data(), m, n, rhs - 1, v_x->elem - 1) != 0) {
        log_sys("%s", kMsgSolve);
        return -1;
    }
    return 0;
}
