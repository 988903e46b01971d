// Column and row reductions (sums, minima, maxima), the element-wise maximum of two
// matrices and cumulative products.
#include "quorvant/ndflib/matrix_reduce.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/matrix_basic.h"

namespace {

bool valid(const _matrix *m) {
    return m != nullptr && m->row >= 1 && m->col >= 1 && m->elem != nullptr;
}

// True when the result has storage for at least n values.
bool holds(const _matrix *m, long n) {
    return m != nullptr && m->elem != nullptr && m->row >= 0 && m->col >= 0 &&
           static_cast<long>(m->row) * m->col >= n;
}

double at(const _matrix *m, int i, int j) { return m->elem[static_cast<long>(i) * m->col + j]; }

// Extreme of each column; a later value replaces the current one only when better() holds,
// so equal values leave the first in place. rowOf (may be null) receives its row.
template <class Better>
void columnExtreme(const _matrix *src, double *out, int *rowOf, Better better) {
    for (int j = 0; j < src->col; ++j) {
        double best = at(src, 0, j);
        int where = 0;
        for (int i = 1; i < src->row; ++i) {
            const double e = at(src, i, j);
            if (better(e, best)) {
                best = e;
                where = i;
            }
        }
        out[j] = best;
        if (rowOf != nullptr) rowOf[j] = where;
    }
}

}  // namespace

int mtx_sum(int sumdir, const _matrix *mtx, _matrix *sum) {
    const bool downColumns = sumdir == MTX_DOWN_COLUMNS;
    if (!valid(mtx) || !holds(sum, downColumns ? mtx->col : mtx->row)) {
        log_sys("ERROR: mtx_sum()\n");
        return -1;
    }
    if (downColumns) {
        for (int j = 0; j < mtx->col; ++j) {
            double s = 0.0;
            for (int i = 0; i < mtx->row; ++i) s += at(mtx, i, j);
            sum->elem[j] = s;
        }
    } else {
        for (int i = 0; i < mtx->row; ++i) {
            double s = 0.0;
            for (int j = 0; j < mtx->col; ++j) s += at(mtx, i, j);
            sum->elem[i] = s;
        }
    }
    return 0;
}

int mtx_min(const _matrix *src, _matrix *min) {
    if (!valid(src) || !holds(min, src->col)) {
        log_sys("ERROR: mtx_min()\n");
        return -1;
    }
    columnExtreme(src, min->elem, nullptr, [](double e, double best) { return e < best; });
    return 0;
}

int mtx_max(const _matrix *src, _matrix *max) {
    if (!valid(src) || !holds(max, src->col)) {
        log_sys("ERROR: mtx_max()\n");
        return -1;
    }
    columnExtreme(src, max->elem, nullptr, [](double e, double best) { return e > best; });
    return 0;
}

int mtx_max_index(const _matrix *src, _matrix *max, int *index) {
    if (!valid(src) || !holds(max, src->col) || index == nullptr) {
        log_sys("ERROR: mtx_max()\n");
        return -1;
    }
    columnExtreme(src, max->elem, index, [](double e, double best) { return e > best; });
    return 0;
}

int mtx_max_row(const _matrix *src, _matrix *max) {
    if (!valid(src) || !holds(max, src->row)) {
        log_sys("ERROR: mtx_max_row()\n");
        return -1;
    }
    for (int i = 0; i < src->row; ++i) {
        double best = at(src, i, 0);
        for (int j = 1; j < src->col; ++j) {
            if (at(src, i, j) > best) best = at(src, i, j);
        }
        max->elem[i] = best;
    }
    return 0;
}

int mtx_max2(const _matrix *src0, const _matrix *src1, _matrix *max) {
    if (!valid(src0)) {
        log_sys("ERROR: mtx_max2() src0[%d, %d]\n", src0->row, src0->col);
        return -1;
    }
    const long n = static_cast<long>(src0->row) * src0->col;
    // Both other operands are read and written as flat arrays of the same element count.
    if (!valid(src1) || static_cast<long>(src1->row) * src1->col != n) {
        log_sys("ERROR: mtx_max2() src1[%d, %d]\n", src1->row, src1->col);
        return -1;
    }
    if (!holds(max, n)) {
        log_sys("ERROR: mtx_max2() max[%d, %d]\n", max->row, max->col);
        return -1;
    }
    for (long k = 0; k < n; ++k) {
        const double a = src0->elem[k];
        const double b = src1->elem[k];
        max->elem[k] = a > b ? a : b;
    }
    return 0;
}

int mtx_cumprod(const _matrix *mtx, int dim, _matrix *cum) {
    const long n = valid(mtx) ? static_cast<long>(mtx->row) * mtx->col : 0;
    if (!valid(mtx) || !holds(cum, n)) {
        log_sys("ERROR: mtx_cumprod()\n");
        return -1;
    }
    const int rows = mtx->row, cols = mtx->col;
    if (rows == 1 || cols == 1) {
        // A vector: one running product along it.
        double p = 1.0;
        for (long k = 0; k < n; ++k) {
            p *= mtx->elem[k];
            cum->elem[k] = p;
        }
        return 0;
    }
    if (dim == MTX_DOWN_COLUMNS) {
        for (int j = 0; j < cols; ++j) cum->elem[j] = mtx->elem[j];
        for (int i = 1; i < rows; ++i) {
            for (int j = 0; j < cols; ++j) {
                const long k = static_cast<long>(i) * cols + j;
                cum->elem[k] = cum->elem[k - cols] * mtx->elem[k];
            }
        }
    } else {
        for (int i = 0; i < rows; ++i) {
            const long r = static_cast<long>(i) * cols;
            cum->elem[r] = mtx->elem[r];
            for (int j = 1; j < cols; ++j) cum->elem[r + j] = cum->elem[r + j - 1] * mtx->elem[r + j];
        }
    }
    return 0;
}
