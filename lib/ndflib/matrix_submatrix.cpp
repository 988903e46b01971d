// Copying blocks between matrices: by row/column offsets, or by an index list that names
// vector positions (gather and scatter of vectors, or of the rows and columns of a square
// block).
#include <cstddef>
#include <new>
#include <vector>

#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/matrix_submatrix.h"

namespace {

constexpr const char *kMsgGetSub = "ERROR: mtx_get_submatrix()\n";
constexpr const char *kMsgSetSub = "ERROR: mtx_set_submatrix()\n";
constexpr const char *kMsgGetByIndex = "ERROR: mtx_get_submatrix_by_index()\n";
constexpr const char *kMsgSetByIndex = "ERROR: mtx_set_submatrix_by_index()\n";

bool isVector(const _matrix *m) { return m->row >= 1 && m->col >= 1 && (m->row == 1 || m->col == 1); }

// True when the block of big starting at (r0, c0) with rows x cols elements lies inside it.
bool blockInside(const _matrix *big, int r0, int c0, int rows, int cols) {
    return r0 >= 0 && c0 >= 0 && static_cast<long>(r0) + rows <= big->row &&
           static_cast<long>(c0) + cols <= big->col;
}

// Reduces an index list to vector positions: through i when every j is 0, else through j,
// which needs every i to be 0. Fails on a mixed list or when memory runs out.
bool positions(int nindex, const _index *index, std::vector<int> &pos) {
    bool allJZero = true;
    bool allIZero = true;
    for (int k = 0; k < nindex; ++k) {
        if (index[k].j != 0) allJZero = false;
        if (index[k].i != 0) allIZero = false;
    }
    if (!allJZero && !allIZero) return false;
    try {
        pos.resize(static_cast<size_t>(nindex));
    } catch (const std::bad_alloc &) {
        return false;
    }
    for (int k = 0; k < nindex; ++k) pos[k] = allJZero ? index[k].i : index[k].j;
    return true;
}

bool allBelow(const std::vector<int> &pos, long limit) {
    for (int p : pos) {
        if (p < 0 || p >= limit) return false;
    }
    return true;
}

}  // namespace

int mtx_get_submatrix(const _matrix *src, _matrix *trg, int from_row, int from_col) {
    if (trg->row <= 0 || trg->col <= 0) return 0;
    if (src->elem == nullptr || trg->elem == nullptr ||
        !blockInside(src, from_row, from_col, trg->row, trg->col)) {
        log_sys("%s", kMsgGetSub);
        return -1;
    }
    for (int i = 0; i < trg->row; ++i) {
        const double *s = src->elem + static_cast<long>(from_row + i) * src->col + from_col;
        double *t = trg->elem + static_cast<long>(i) * trg->col;
        for (int j = 0; j < trg->col; ++j) t[j] = s[j];
    }
    return 0;
}

int mtx_set_submatrix(const _matrix *src, _matrix *trg, int from_row, int from_col) {
    if (src->row <= 0 || src->col <= 0) return 0;
    if (src->elem == nullptr || trg->elem == nullptr ||
        !blockInside(trg, from_row, from_col, src->row, src->col)) {
        log_sys("%s", kMsgSetSub);
        return -1;
    }
    for (int i = 0; i < src->row; ++i) {
        const double *s = src->elem + static_cast<long>(i) * src->col;
        double *t = trg->elem + static_cast<long>(from_row + i) * trg->col + from_col;
        for (int j = 0; j < src->col; ++j) t[j] = s[j];
    }
    return 0;
}

int mtx_get_submatrix_by_index(const _matrix *src, _matrix *trg, int nindex, const _index *index) {
    if (nindex <= 0) return 0;
    std::vector<int> pos;
    if (index == nullptr || src->elem == nullptr || trg->elem == nullptr || src->row < 1 ||
        src->col < 1 || !positions(nindex, index, pos)) {
        log_sys("%s", kMsgGetByIndex);
        return -1;
    }
    if (isVector(src)) {
        if (!allBelow(pos, mtx_veclen(src)) ||
            static_cast<long>(trg->row) * trg->col < nindex) {
            log_sys("%s", kMsgGetByIndex);
            return -1;
        }
        for (int k = 0; k < nindex; ++k) trg->elem[k] = src->elem[pos[k]];
        return 0;
    }
    if (!allBelow(pos, src->row < src->col ? src->row : src->col) || trg->row < nindex ||
        trg->col < nindex) {
        log_sys("%s", kMsgGetByIndex);
        return -1;
    }
    for (int a = 0; a < nindex; ++a) {
        const double *s = src->elem + static_cast<long>(pos[a]) * src->col;
        double *t = trg->elem + static_cast<long>(a) * trg->col;
        for (int b = 0; b < nindex; ++b) t[b] = s[pos[b]];
    }
    return 0;
}

int mtx_set_submatrix_by_index(const _matrix *src, _matrix *trg, int nindex, const _index *index) {
    if (nindex <= 0) return 0;
    std::vector<int> pos;
    if (index == nullptr || src->elem == nullptr || trg->elem == nullptr || src->row < 1 ||
        src->col < 1 || !positions(nindex, index, pos)) {
        log_sys("%s", kMsgSetByIndex);
        return -1;
    }
    if (isVector(src)) {
        if (!allBelow(pos, static_cast<long>(trg->row) * trg->col) ||
            static_cast<long>(src->row) * src->col < nindex) {
            log_sys("%s", kMsgSetByIndex);
            return -1;
        }
        for (int k = 0; k < nindex; ++k) trg->elem[pos[k]] = src->elem[k];
        return 0;
    }
    if (!allBelow(pos, trg->row < trg->col ? trg->row : trg->col) || src->row < nindex ||
        src->col < nindex) {
        log_sys("%s", kMsgSetByIndex);
        return -1;
    }
    for (int a = 0; a < nindex; ++a) {
        const double *s = src->elem + static_cast<long>(a) * src->col;
        double *t = trg->elem + static_cast<long>(pos[a]) * trg->col;
        for (int b = 0; b < nindex; ++b) t[pos[b]] = s[b];
    }
    return 0;
}
