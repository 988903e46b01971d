// Searching elements by a relation with a value: mtx_any, mtx_index (list of matching
// positions) and setting the elements named by such a list.
#include <cstddef>
#include <cstdlib>
#include <new>

#include "quorvant/common/c_que.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/matrix_search.h"

namespace {

constexpr const char *kMsgAny = "ERROR: mtx_any()\n";
constexpr const char *kMsgIndex = "ERROR: mtx_index()\n";

bool validRelation(int relation) { return relation >= MTX_EQ && relation <= MTX_GE; }

bool satisfies(double e, int relation, double val) {
    switch (relation) {
    case MTX_EQ: return e == val;
    case MTX_NE: return e != val;
    case MTX_LT: return e < val;
    case MTX_LE: return e <= val;
    case MTX_GT: return e > val;
    case MTX_GE: return e >= val;
    default: return false;
    }
}

// The matches waiting in a queue; every node still queued is freed on destruction.
struct MatchQueue {
    c_que head;
    MatchQueue() { c_initque(&head); }
    ~MatchQueue() {
        while (c_que *q = c_deque(&head)) delete reinterpret_cast<_que_index *>(q);
    }
    MatchQueue(const MatchQueue &) = delete;
    MatchQueue &operator=(const MatchQueue &) = delete;
};

}  // namespace

int mtx_any(const _matrix *mtx, int relation, double val) {
    if (!validRelation(relation)) {
        log_sys("%s", kMsgAny);
        return -1;
    }
    if (mtx->elem == nullptr || mtx->row <= 0 || mtx->col <= 0) return 0;
    const long n = static_cast<long>(mtx->row) * mtx->col;
    for (long k = 0; k < n; ++k) {
        if (satisfies(mtx->elem[k], relation, val)) return 1;
    }
    return 0;
}

int mtx_index(const _matrix *mtx, int relation, double val, _index **indexpp) {
    *indexpp = nullptr;
    if (!validRelation(relation)) {
        log_sys("%s", kMsgIndex);
        return -1;
    }
    if (mtx->elem == nullptr || mtx->row <= 0 || mtx->col <= 0) return 0;

    MatchQueue matches;
    int found = 0;
    for (int i = 0; i < mtx->row; ++i) {
        const double *r = mtx->elem + static_cast<long>(i) * mtx->col;
        for (int j = 0; j < mtx->col; ++j) {
            if (!satisfies(r[j], relation, val)) continue;
            auto *node = new (std::nothrow) _que_index;
            if (node == nullptr) {
                log_sys("%s", kMsgIndex);
                return -1;
            }
            node->index = {i, j};
            c_enque(&matches.head, &node->que);
            ++found;
        }
    }
    if (found == 0) return 0;

    auto *list = static_cast<_index *>(std::malloc(sizeof(_index) * static_cast<size_t>(found)));
    if (list == nullptr) {
        log_sys("%s", kMsgIndex);
        return -1;
    }
    int k = 0;
    while (c_que *q = c_deque(&matches.head)) {
        auto *node = reinterpret_cast<_que_index *>(q);
        list[k++] = node->index;
        delete node;
    }
    *indexpp = list;
    return found;
}

void mtx_index_free(_index *index) { std::free(index); }

int mtx_set_elem(double val, int len, const _index *index, _matrix *mtx) {
    if (index == nullptr || mtx->elem == nullptr) return 0;
    for (int k = 0; k < len; ++k) {
        const int i = index[k].i;
        const int j = index[k].j;
        // Positions outside the matrix are ignored rather than written past the storage.
        if (i < 0 || i >= mtx->row || j < 0 || j >= mtx->col) continue;
        mtx->elem[static_cast<long>(i) * mtx->col + j] = val;
    }
    return 0;
}
