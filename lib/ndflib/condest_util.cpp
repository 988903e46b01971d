// Helpers of the 1-norm estimator: sorting with positions, growing a vector, sign matrices,
// replacing parallel +-1 columns and uniform random fills.
#include <cstddef>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/condest_util.h"
#include "quorvant/ndflib/matrix_basic.h"

namespace {

// rand() scaled into [0, 1): the C library generator yields 0 .. 2^31 - 1.
constexpr double kRandScale = 4.656612873077393e-10;   // 2^-31

bool valid(const _matrix *m) {
    return m != nullptr && m->row >= 1 && m->col >= 1 && m->elem != nullptr;
}

long count(const _matrix *m) { return static_cast<long>(m->row) * m->col; }

// Ascending by value; NaN after every number; equal values keep their original order, so
// that the result does not depend on the sort algorithm.
bool sortBefore(const _sort &a, const _sort &b) {
    const bool an = std::isnan(a.elem), bn = std::isnan(b.elem);
    if (an != bn) return bn;
    if (!an && a.elem != b.elem) return a.elem < b.elem;
    return a.index < b.index;
}

// A fresh random +-1 column j of s (n x t).
void randomSignColumn(_matrix *s, int j) {
    for (int i = 0; i < s->row; ++i) {
        const double r = 2.0 * (std::rand() * kRandScale) - 1.0;
        s->elem[static_cast<long>(i) * s->col + j] = r < 0.0 ? -1.0 : 1.0;
    }
}

// |a(:,ja)' * b(:,jb)| for two columns of n x ? matrices with the same row count.
double columnDot(const _matrix *a, int ja, const _matrix *b, int jb) {
    double s = 0.0;
    for (int i = 0; i < a->row; ++i) {
        s += a->elem[static_cast<long>(i) * a->col + ja] * b->elem[static_cast<long>(i) * b->col + jb];
    }
    return std::fabs(s);
}

}  // namespace

int mtx_sort_vector(const _matrix *src, _matrix *trg, int *indx) {
    if (!valid(src) || trg == nullptr || trg->elem == nullptr || indx == nullptr ||
        static_cast<long>(trg->row) * trg->col < count(src)) {
        log_sys("ERROR: mtx_sort_vector()\n");
        return -1;
    }
    const long n = count(src);
    std::vector<_sort> pairs;
    try {
        pairs.resize(static_cast<size_t>(n));
    } catch (const std::bad_alloc &) {
        log_sys("ERROR: mtx_sort_vector()\n");
        return -1;
    }
    for (long k = 0; k < n; ++k) pairs[k] = {static_cast<int>(k), src->elem[k]};
    std::sort(pairs.begin(), pairs.end(), sortBefore);
    for (long k = 0; k < n; ++k) {
        trg->elem[k] = pairs[k].elem;
        indx[k] = pairs[k].index;
    }
    return 0;
}

void _reverse(int len, int *isort) {
    if (isort == nullptr || len <= 1) return;
    std::reverse(isort, isort + len);
}

int _vector_cat(_matrix *trg, const _matrix *cat, int n) {
    const bool empty = trg != nullptr && (trg->elem == nullptr || trg->row == 0 || trg->col == 0);
    const bool vector = trg != nullptr && !empty && (trg->row == 1 || trg->col == 1);
    if (trg == nullptr || n < 0 || (!empty && !vector) ||
        (n > 0 && (cat == nullptr || cat->elem == nullptr || count(cat) < n))) {
        log_sys("ERROR: _vector_cat()\n");
        return -1;
    }
    if (n == 0) return 0;
    const long len = empty ? 0 : count(trg);
    auto *grown = static_cast<double *>(
        std::realloc(empty ? nullptr : trg->elem, sizeof(double) * static_cast<size_t>(len + n)));
    if (grown == nullptr) {
        log_sys("ERROR: _vector_cat()\n");
        return -1;
    }
    if (empty) std::free(trg->elem);   // a zero-sized block, if any
    std::memcpy(grown + len, cat->elem, sizeof(double) * static_cast<size_t>(n));
    trg->elem = grown;
    // A row vector grows along its row, anything else becomes or stays a column.
    if (!empty && trg->row == 1 && trg->col > 1) {
        trg->col = static_cast<int32_t>(len + n);
    } else {
        trg->row = static_cast<int32_t>(len + n);
        trg->col = 1;
    }
    return 0;
}

int _mysign(const _matrix *mtx, _matrix *sgn) {
    if (!valid(mtx) || !valid(sgn) || mtx->row != sgn->row || mtx->col != sgn->col) {
        log_sys("ERROR: _mysign()\n");
        return -1;
    }
    const long n = count(mtx);
    for (long k = 0; k < n; ++k) sgn->elem[k] = mtx->elem[k] < 0.0 ? -1.0 : 1.0;
    return 0;
}

int _undupli(_matrix *m_s, const _matrix *m_sold) {
    if (!valid(m_s) ||
        (m_sold != nullptr && m_sold->elem != nullptr && m_sold->row != m_s->row)) {
        log_sys("ERROR: _undupli()\n");
        return -1;
    }
    const int n = m_s->row;
    const int t = m_s->col;
    if (t == 1) return 0;
    const int oldCols = (m_sold != nullptr && m_sold->elem != nullptr) ? m_sold->col : 0;
    const double attempts = static_cast<double>(n) / t;
    const double parallel = static_cast<double>(n);

    // Without an old matrix the first column has nothing to be compared with.
    int replaced = 0;
    for (int j = (oldCols == 0 ? 1 : 0); j < t; ++j) {
        auto isParallel = [&]() {
            for (int c = 0; c < oldCols; ++c) {
                if (columnDot(m_s, j, m_sold, c) == parallel) return true;
            }
            for (int c = 0; c < j; ++c) {
                if (columnDot(m_s, j, m_s, c) == parallel) return true;
            }
            return false;
        };
        int rpt = 0;
        while (isParallel()) {
            ++rpt;
            randomSignColumn(m_s, j);
            if (rpt > attempts) break;
        }
        if (rpt > 0) ++replaced;
    }
    return replaced;
}

int mtx_rand(_matrix *mtx) {
    if (mtx == nullptr || mtx->elem == nullptr || mtx->row <= 0 || mtx->col <= 0) return 0;
    const long n = count(mtx);
    for (long k = 0; k < n; ++k) mtx->elem[k] = std::rand() * kRandScale;
    return 0;
}
