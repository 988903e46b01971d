// Vectors and matrices in malloc'ed blocks, for the searches' work storage: the allocators log the
// caller's fixed line and return null on failure. A matrix is its row pointers plus one contiguous
// block, so that row 0 leads to the whole block.
#ifndef QUORVANT_SEARCHLIB_BLOCK_ALLOC_H
#define QUORVANT_SEARCHLIB_BLOCK_ALLOC_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "quorvant/common/logUtil.h"

namespace qv::search {

// One element array: malloc of n elements, null with the message when n is negative, the size
// overflows or memory runs out. A zero-length request still yields a pointer that can be freed.
template <typename T>
T *alloc_vector(long long n, const char *msg) {
    void *p = nullptr;
    if (n >= 0 && static_cast<unsigned long long>(n) <= SIZE_MAX / sizeof(T)) {
        const std::size_t bytes = static_cast<std::size_t>(n) * sizeof(T);
        p = std::malloc(bytes > 0 ? bytes : 1);
    }
    if (p == nullptr) log_sys("%s", msg);
    return static_cast<T *>(p);
}

// Row pointers plus one contiguous block; row i points to element i * cols of the block.
template <typename T>
T **alloc_matrix(int rows, int cols, const char *msg1, const char *msg2) {
    if (rows < 0 || cols < 0) {
        log_sys("%s", msg1);
        return nullptr;
    }
    // The pointer array has at least one slot, so that row 0 always leads to the block.
    T **m = alloc_vector<T *>(rows > 0 ? rows : 1, msg1);
    if (m == nullptr) return nullptr;
    T *block = alloc_vector<T>(static_cast<long long>(rows) * cols, msg2);
    if (block == nullptr) {
        std::free(m);
        return nullptr;
    }
    m[0] = block;
    for (int i = 1; i < rows; ++i) m[i] = block + static_cast<std::size_t>(i) * cols;
    return m;
}

template <typename T>
void free_matrix(T **m) {
    if (m == nullptr) return;
    std::free(m[0]);
    std::free(m);
}

}  // namespace qv::search

#endif
