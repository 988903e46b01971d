// Finding elements of a matrix: the index of the elements that meet a comparison, and setting them.
#ifndef QUORVANT_NDFLIB_MATRIX_SEARCH_H
#define QUORVANT_NDFLIB_MATRIX_SEARCH_H

#include <utility>

#include "quorvant/ndflib/matrix_basic.h"

int mtx_any(const _matrix *mtx, int relation, double val);

// Returns the number of matches (or -1); the list is stored through indexpp (null when none)
// and released with mtx_index_free.
int mtx_index(const _matrix *mtx, int relation, double val, _index **indexpp);

void mtx_index_free(_index *index);
int mtx_set_elem(double val, int len, const _index *index, _matrix *mtx);

// Owns an index list produced by mtx_index.
struct ScopedIndex {
    _index *list = nullptr;

    ScopedIndex() = default;
    ~ScopedIndex() { mtx_index_free(list); }
    ScopedIndex(const ScopedIndex &) = delete;
    ScopedIndex &operator=(const ScopedIndex &) = delete;
    ScopedIndex(ScopedIndex &&o) noexcept : list(std::exchange(o.list, nullptr)) {}
    ScopedIndex &operator=(ScopedIndex &&o) noexcept {
        if (this != &o) {
            mtx_index_free(list);
            list = std::exchange(o.list, nullptr);
        }
        return *this;
    }

    // Address to pass as mtx_index's indexpp; any list held is released first.
    _index **out() {
        mtx_index_free(list);
        list = nullptr;
        return &list;
    }
    _index *get() const { return list; }
    const _index &operator[](int k) const { return list[k]; }
};

#endif
