// LU decomposition and solves on _matrix records through the 1-origin dense routines.
//
// The integrator calls these for every Newton iteration, so nothing is copied into separate
// 1-origin matrices: the dense routines get row pointers into the record's own storage,
// offset by one so that element [i][j] (1-origin) is elem[(i-1)*n + j-1]. The row-pointer
// array is grow-only scratch that lives as long as the thread.
#include <cstddef>
#include <cstring>
#include <new>
#include <vector>

#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/lu.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/nrlib/nr_lu.h"

namespace {

constexpr const char *kMsgDecomp = "ERROR: mtx_ludecomp()\n";
constexpr const char *kMsgSingular = "## Singular matrix in mtx_ludecomp()\n";
constexpr const char *kMsgAlloc = "nr_alloc_matrix() ERROR\n";
constexpr const char *kMsgSolve = "ERROR: mtx_lusolve()\n";
constexpr const char *kMsgTSolve = "ERROR: mtx_tlusolve()\n";

// Grow-only scratch of one thread: 1-origin row pointers and one 1-origin column.
struct Scratch {
    std::vector<double *> rows;
    std::vector<double> column;
};

Scratch &scratch() {
    thread_local Scratch s;
    return s;
}

template <class T>
bool growTo(std::vector<T> &v, size_t n) {
    if (v.size() >= n) return true;
    try {
        v.resize(n);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

// 1-origin row view of an n x n row-major block; null when the scratch cannot grow.
double **rowView(double *elem, int n) {
    std::vector<double *> &rows = scratch().rows;
    if (!growTo(rows, static_cast<size_t>(n) + 1)) return nullptr;
    rows[0] = nullptr;
    for (int i = 0; i < n; ++i) rows[i + 1] = elem + static_cast<long>(i) * n - 1;
    return rows.data();
}

bool validSquare(const _matrix *m) {
    return m != nullptr && m->row >= 1 && m->row == m->col && m->elem != nullptr;
}

enum class Direction { Plain, Transposed };

// Solves with the factors column by column; v_x may share storage with v_b.
int solve(const _matrix *m_lu, const int *v_index, const _matrix *v_b, _matrix *v_x,
          Direction dir, const char *msg) {
    if (!validSquare(m_lu) || v_index == nullptr || v_b == nullptr || v_x == nullptr ||
        v_b->elem == nullptr || v_x->elem == nullptr || v_b->row != m_lu->row ||
        v_b->col < 1 || v_x->row != v_b->row || v_x->col != v_b->col) {
        log_sys("%s", msg);
        return -1;
    }
    const int n = m_lu->row;
    const int m = v_b->col;
    double **a = rowView(m_lu->elem, n);
    std::vector<double> &column = scratch().column;
    if (a == nullptr || (m > 1 && !growTo(column, static_cast<size_t>(n) + 1))) {
        log_sys("%s", msg);
        return -1;
    }
    const int *indx = v_index - 1;
    if (m == 1) {
        // A single right-hand side is solved in place in v_x.
        if (v_x->elem != v_b->elem) std::memcpy(v_x->elem, v_b->elem, sizeof(double) * n);
        double *b = v_x->elem - 1;
        if (dir == Direction::Plain) {
            nr_lubksb(a, n, indx, b);
        } else if (nr_tlubksb(a, n, indx, b) != 0) {
            log_sys("%s", msg);
            return -1;
        }
        return 0;
    }
    double *b = column.data();
    for (int j = 0; j < m; ++j) {
        for (int i = 0; i < n; ++i) b[i + 1] = v_b->elem[static_cast<long>(i) * m + j];
        if (dir == Direction::Plain) {
            nr_lubksb(a, n, indx, b);
        } else if (nr_tlubksb(a, n, indx, b) != 0) {
            log_sys("%s", msg);
            return -1;
        }
        for (int i = 0; i < n; ++i) v_x->elem[static_cast<long>(i) * m + j] = b[i + 1];
    }
    return 0;
}

}  // namespace

int mtx_ludecomp(const _matrix *mtx, _matrix *m_lu, int *v_index) {
    if (!validSquare(mtx) || m_lu == nullptr || m_lu->elem == nullptr || m_lu->row != mtx->row ||
        m_lu->col != mtx->col || v_index == nullptr) {
        log_sys("%s", kMsgDecomp);
        return -1;
    }
    const int n = mtx->row;
    double **a = rowView(m_lu->elem, n);
    if (a == nullptr) {
        log_sys("%s", kMsgAlloc);
        log_sys("%s", kMsgDecomp);
        return -1;
    }
    if (m_lu->elem != mtx->elem) {
        std::memcpy(m_lu->elem, mtx->elem, sizeof(double) * static_cast<size_t>(n) * n);
    }
    double d = 0.0;
    const int rc = nr_ludcmp(a, n, v_index - 1, &d);
    if (rc == -2) {
        log_sys("%s", kMsgSingular);
        return -2;
    }
    if (rc != 0) {
        log_sys("%s", kMsgDecomp);
        return -1;
    }
    return 0;
}

int mtx_lusolve(const _matrix *m_lu, const int *v_index, const _matrix *v_b, _matrix *v_x) {
    return solve(m_lu, v_index, v_b, v_x, Direction::Plain, kMsgSolve);
}

int mtx_tlusolve(const _matrix *m_lu, const int *v_index, const _matrix *v_b, _matrix *v_x) {
    return solve(m_lu, v_index, v_b, v_x, Direction::Transposed, kMsgTSolve);
}
