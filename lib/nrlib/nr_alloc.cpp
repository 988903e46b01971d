// Allocation of 1-origin (in general nl-origin) vectors and matrices.
//
// A vector is one block with a spare element in front, returned offset so that v[nl] is the first
// element after the spare: with nl = 1 the unused v[0] is the spare and stays addressable.
// A matrix is an array of row pointers (again with a spare in front) over one contiguous block of
// all elements, row i+1 starting right after row i. Blocks are zero-filled.
#include <cstdint>
#include <cstdlib>

#include "quorvant/common/logUtil.h"
#include "quorvant/nrlib/nr_alloc.h"

namespace {

constexpr long kSpare = 1;   // one spare element in front of every block

// Number of elements hi - lo + 1 plus the spare, or 0 when the range is empty or too large.
std::size_t blockCount(long lo, long hi, std::size_t elemSize) {
    if (hi < lo) return 0;
    const auto count = static_cast<std::uint64_t>(hi - lo) + 1 + kSpare;
    if (count > SIZE_MAX / elemSize) return 0;
    return static_cast<std::size_t>(count);
}

template <typename T>
T *allocVector(long nl, long nh) {
    const std::size_t count = blockCount(nl, nh, sizeof(T));
    if (count == 0) return nullptr;
    auto *block = static_cast<T *>(std::calloc(count, sizeof(T)));
    if (block == nullptr) return nullptr;
    return block + kSpare - nl;
}

template <typename T>
void freeVector(T *v, long nl) {
    if (v != nullptr) std::free(v + nl - kSpare);
}

}  // namespace

double *nr_alloc_vector(long nl, long nh) {
    double *v = allocVector<double>(nl, nh);
    if (v == nullptr) log_sys("ERROR: nr_alloc_vector()\n");
    return v;
}

void nr_free_vector(double *v, long nl, long /*nh*/) { freeVector(v, nl); }

int *nr_alloc_ivector(long nl, long nh) {
    int *v = allocVector<int>(nl, nh);
    if (v == nullptr) log_sys("ERROR: nr_alloc_ivector()\n");
    return v;
}

void nr_free_ivector(int *v, long nl, long /*nh*/) { freeVector(v, nl); }

double **nr_alloc_matrix(long nrl, long nrh, long ncl, long nch) {
    const std::size_t rows = blockCount(nrl, nrh, sizeof(double *));
    const std::size_t cols = blockCount(ncl, nch, sizeof(double));
    if (rows != 0 && cols != 0) {
        const std::size_t nrow = rows - kSpare;
        const std::size_t ncol = cols - kSpare;
        const bool fits = nrow <= (SIZE_MAX / sizeof(double) - kSpare) / ncol;
        double **m = fits ? allocVector<double *>(nrl, nrh) : nullptr;
        auto *elems = m ? static_cast<double *>(std::calloc(nrow * ncol + kSpare, sizeof(double))) : nullptr;
        if (elems != nullptr) {
            m[nrl] = elems + kSpare - ncl;
            for (long i = nrl + 1; i <= nrh; ++i) m[i] = m[i - 1] + ncol;
            return m;
        }
        freeVector(m, nrl);
    }
    log_sys("ERROR: nr_alloc_matrix()\n");
    return nullptr;
}

void nr_free_matrix(double **m, long nrl, long /*nrh*/, long ncl, long /*nch*/) {
    if (m == nullptr) return;
    std::free(m[nrl] + ncl - kSpare);
    freeVector(m, nrl);
}
