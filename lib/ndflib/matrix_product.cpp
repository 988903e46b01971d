// Matrix product, transpose and conversions between a vector and a (shifted) diagonal.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/matrix_product.h"

namespace {

constexpr const char *kMsgMultiply = "ERROR: mtx_multiply()\n";
constexpr const char *kMsgTranspose = "ERROR: mtx_transpose()\n";
constexpr const char *kMsgDiagonal = "ERROR: mtx_diagonal()\n";
constexpr const char *kMsgDiag2Vec = "ERROR: mtx_diagonal2vector()\n";

bool validShape(const _matrix *m) { return m->row >= 1 && m->col >= 1; }

bool isVector(const _matrix *m) { return validShape(m) && (m->row == 1 || m->col == 1); }

// X = A B with A m x n, B n x p, written row by row; the sum over k runs in increasing k.
void product(const double *a, const double *b, double *x, int m, int n, int p) {
    for (int i = 0; i < m; ++i) {
        double *xr = x + static_cast<long>(i) * p;
        const double *ar = a + static_cast<long>(i) * n;
        if (p == 1) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += ar[k] * b[k];
            xr[0] = s;
            continue;
        }
        for (int j = 0; j < p; ++j) xr[j] = 0.0;
        for (int k = 0; k < n; ++k) {
            const double aik = ar[k];
            const double *br = b + static_cast<long>(k) * p;
            for (int j = 0; j < p; ++j) xr[j] += aik * br[j];
        }
    }
}

}  // namespace

int mtx_multiply(const _matrix *MA, const _matrix *MB, _matrix *MX) {
    if (MA->elem == nullptr || MB->elem == nullptr || MX->elem == nullptr) {
        log_sys("mtx_multiply(%p, %p, %p)\n", static_cast<void *>(MA->elem),
                static_cast<void *>(MB->elem), static_cast<void *>(MX->elem));
        log_sys("%s", kMsgMultiply);
        return -1;
    }
    if (!validShape(MA)) {
        log_sys("A[%d, %d]\n", MA->row, MA->col);
        log_sys("%s", kMsgMultiply);
        return -1;
    }
    if (!validShape(MB)) {
        log_sys("B[%d, %d]\n", MB->row, MB->col);
        log_sys("%s", kMsgMultiply);
        return -1;
    }
    if (!validShape(MX)) {
        log_sys("X[%d, %d]\n", MX->row, MX->col);
        log_sys("%s", kMsgMultiply);
        return -1;
    }
    if (MA->col != MB->row) {
        log_sys("A-col[%d] != brow[%d]\n", MA->col, MB->row);
        log_sys("%s", kMsgMultiply);
        return -1;
    }
    if (MX->row != MA->row || MX->col != MB->col) {
        log_sys("X-row[%d] != A-row[%d], X-col[%d] != bcol[%d]\n", MX->row, MA->row, MX->col,
                MB->col);
        log_sys("%s", kMsgMultiply);
        return -1;
    }
    const int m = MA->row, n = MA->col, p = MB->col;
    if (MX->elem != MA->elem && MX->elem != MB->elem) {
        product(MA->elem, MB->elem, MX->elem, m, n, p);
        return 0;
    }
    // The result shares storage with an operand: form the product aside, then copy it in.
    std::vector<double> tmp;
    try {
        tmp.resize(static_cast<size_t>(m) * p);
    } catch (const std::bad_alloc &) {
        log_sys("%s", kMsgMultiply);
        return -1;
    }
    product(MA->elem, MB->elem, tmp.data(), m, n, p);
    std::memcpy(MX->elem, tmp.data(), tmp.size() * sizeof(double));
    return 0;
}

int mtx_transpose(const _matrix *src, _matrix *trg) {
    if (trg->row <= 0 || trg->col <= 0) return 0;
    // Every element read must lie inside the source.
    if (src->elem == nullptr || trg->elem == nullptr || src->row < trg->col ||
        src->col < trg->row) {
        log_sys("%s", kMsgTranspose);
        return -1;
    }
    const int rows = trg->row, cols = trg->col;
    if (src->elem != trg->elem) {
        for (int i = 0; i < rows; ++i) {
            for (int j = 0; j < cols; ++j) {
                trg->elem[static_cast<long>(i) * cols + j] =
                    src->elem[static_cast<long>(j) * src->col + i];
            }
        }
        return 0;
    }
    std::vector<double> tmp;
    try {
        tmp.assign(src->elem, src->elem + static_cast<long>(src->row) * src->col);
    } catch (const std::bad_alloc &) {
        log_sys("%s", kMsgTranspose);
        return -1;
    }
    const int scol = src->col;
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            trg->elem[static_cast<long>(i) * cols + j] = tmp[static_cast<long>(j) * scol + i];
        }
    }
    return 0;
}

int mtx_diagonal(const _matrix *vec, _matrix *diag) {
    if (!isVector(vec) || vec->elem == nullptr || diag->elem == nullptr) {
        log_sys("%s", kMsgDiagonal);
        return -1;
    }
    const int n = mtx_veclen(vec);
    if (diag->row < n || diag->col < n) {
        log_sys("%s", kMsgDiagonal);
        return -1;
    }
    const double first = vec->elem[0];   // vec and diag may share storage when n = 1
    const int cols = diag->col;
    if (diag->elem == vec->elem && n > 1) {
        log_sys("%s", kMsgDiagonal);
        return -1;
    }
    std::memset(diag->elem, 0, sizeof(double) * static_cast<size_t>(diag->row) * cols);
    diag->elem[0] = first;
    for (int i = 1; i < n; ++i) diag->elem[static_cast<long>(i) * cols + i] = vec->elem[i];
    return 0;
}

int mtx_diagonal2vector(int k, const _matrix *diag, _matrix *vec) {
    if (!validShape(diag) || diag->elem == nullptr || !isVector(vec) || vec->elem == nullptr) {
        log_sys("%s", kMsgDiag2Vec);
        return -1;
    }
    const int shift = k < 0 ? -k : k;
    const int len = diag->col - shift;
    // The last entry read lies in row len-1 (k >= 0) or row col-1 (k < 0).
    const int lastRow = k >= 0 ? len - 1 : diag->col - 1;
    if (len < 1 || lastRow >= diag->row || mtx_veclen(vec) < len) {
        log_sys("%s", kMsgDiag2Vec);
        return -1;
    }
    const int cols = diag->col;
    for (int i = 0; i < len; ++i) {
        const long pos = k >= 0 ? static_cast<long>(i) * cols + (i + k)
                                : static_cast<long>(i - k) * cols + i;
        vec->elem[i] = diag->elem[pos];
    }
    if (vec->row > 1 || (vec->row == 1 && vec->col == 1)) {
        vec->row = len;
    } else {
        vec->col = len;
    }
    return 0;
}
