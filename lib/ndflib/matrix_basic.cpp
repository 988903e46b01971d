// Life cycle of the matrix record, predicates, fills, counts and the debug dump.
#include <cstddef>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/matrix_basic.h"

namespace {

constexpr const char *kMsgUnit = "ERROR: mtx_unit()\n";
constexpr const char *kMsgSign = "ERROR: mtx_sign()\n";

long count(const _matrix *m) {
    if (m == nullptr || m->elem == nullptr || m->row <= 0 || m->col <= 0) return 0;
    return static_cast<long>(m->row) * m->col;
}

}  // namespace

void mtx_clear(_matrix *m) {
    m->row = 0;
    m->col = 0;
    m->elem = nullptr;
}

int mtx_alloc(_matrix *m, int row, int col) {
    mtx_free(m);
    if (row < 0 || col < 0) return -1;
    const size_t n = static_cast<size_t>(row) * static_cast<size_t>(col);
    // A zero-sized matrix still gets a block so that a non-null elem means "allocated".
    double *p = static_cast<double *>(std::calloc(n > 0 ? n : 1, sizeof(double)));
    if (p == nullptr) return -1;
    m->row = row;
    m->col = col;
    m->elem = p;
    return 0;
}

void mtx_free(_matrix *m) {
    if (m == nullptr) return;
    std::free(m->elem);
    mtx_clear(m);
}

int mtx_isdiagonal(const _matrix *mtx) {
    if (mtx->row <= 0 || mtx->elem == nullptr) return 1;
    for (int i = 0; i < mtx->row; ++i) {
        const double *r = mtx->elem + static_cast<long>(i) * mtx->col;
        for (int j = 0; j < mtx->col; ++j) {
            if (i != j && r[j] != 0.0) return 0;
        }
    }
    return 1;
}

int mtx_issparse(const _matrix * /*mtx*/) { return 0; }

int mtx_unit(_matrix *mtx) {
    if (mtx->row < 1 || mtx->row != mtx->col || mtx->elem == nullptr) {
        log_sys("%s", kMsgUnit);
        return -1;
    }
    const int n = mtx->row;
    std::memset(mtx->elem, 0, sizeof(double) * static_cast<size_t>(n) * n);
    for (int i = 0; i < n; ++i) mtx->elem[static_cast<long>(i) * n + i] = 1.0;
    return 0;
}

int mtx_unique(double s, _matrix *mtx) {
    const long n = count(mtx);
    for (long k = 0; k < n; ++k) mtx->elem[k] = s;
    return 0;
}

int mtx_nonzero(const _matrix *mtx) {
    const long n = count(mtx);
    int c = 0;
    for (long k = 0; k < n; ++k) {
        if (mtx->elem[k] != 0.0) ++c;
    }
    return c;
}

int mtx_elem_count(double val, const _matrix *mtx) {
    const long n = count(mtx);
    int c = 0;
    for (long k = 0; k < n; ++k) {
        if (mtx->elem[k] == val) ++c;
    }
    return c;
}

int mtx_sign(const _matrix *mtx, _matrix *sgn) {
    if (mtx->row < 1 || mtx->col < 1 || mtx->row != sgn->row || mtx->col != sgn->col ||
        mtx->elem == nullptr || sgn->elem == nullptr) {
        log_sys("%s", kMsgSign);
        return -1;
    }
    const long n = count(mtx);
    for (long k = 0; k < n; ++k) {
        const double e = mtx->elem[k];
        // A zero or NaN element has no sign.
        sgn->elem[k] = e > 0.0 ? 1.0 : (e < 0.0 ? -1.0 : 0.0);
    }
    return 0;
}

void mtx_dump(int level, const char *com, const _matrix *mtx) {
    mtx_dump_withname(level, com, nullptr, mtx);
}

void mtx_dump_withname(int level, const char *com, const char *name, const _matrix *mtx) {
    if (Dbg_Level < level || mtx == nullptr) return;
    log_dbg("%s %d x %d matrix\n", com ? com : "", mtx->row, mtx->col);
    if (mtx->elem == nullptr) return;
    for (int i = 0; i < mtx->row; ++i) {
        if (name != nullptr) {
            log_dbg("%s[%2d] ", name, i);
        } else {
            log_dbg("[%2d] ", i);
        }
        const double *r = mtx->elem + static_cast<long>(i) * mtx->col;
        for (int j = 0; j < mtx->col; ++j) log_dbg("%.15e ", r[j]);
        log_dbg("\n");
    }
}
