// Allocators of the GA's vectors and matrices. A failure logs one fixed line naming the allocator
// and returns null; the caller reports its own failure. Memory is not cleared.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/utl_alloc.h"

namespace {

constexpr char kMsgIntVector[] = " ## Error: Cannot allocate memory(In IntVectorAlloc).\n";
constexpr char kMsgIntMatrix1[] = " ## Error: Cannot allocate memory(In IntMatrixAlloc 1).\n";
constexpr char kMsgIntMatrix2[] = " ## Error: Cannot allocate memory(In IntMatrixAlloc 2).\n";
constexpr char kMsgDoubleVector[] = " ## Error: Cannot allocate memory(In DoubleVectorAlloc).\n";
constexpr char kMsgDoubleMatrix1[] = " ## Error: Cannot allocate memory(In DoubleMatrixAlloc 1).\n";
constexpr char kMsgDoubleMatrix2[] = " ## Error: Cannot allocate memory(In DoubleMatrixAlloc 2).\n";
constexpr char kMsgGeneVector[] = " ## Error: Cannot allocate memory(In GaGeneVectorAlloc).\n";
constexpr char kMsgGeneMatrix1[] = " ## Error: Cannot allocate memory(In GaGeneMatrixAlloc 1).\n";
constexpr char kMsgGeneMatrix2[] = " ## Error: Cannot allocate memory(In GaGeneMatrixAlloc 2).\n";
constexpr char kMsgIslandVector[] = " ## Error: Cannnot allocate memory(In GaIslandVectorAlloc).\n";

// One element array: malloc of n elements, null with the message when n is negative, the size
// overflows or memory runs out. A zero-length request still yields a pointer that can be freed.
template <typename T>
T *allocVector(long long n, const char *msg) {
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
T **allocMatrix(int rows, int cols, const char *msg1, const char *msg2) {
    if (rows < 0 || cols < 0) {
        log_sys("%s", msg1);
        return nullptr;
    }
    // The pointer array has at least one slot, so that row 0 always leads to the block.
    T **m = allocVector<T *>(rows > 0 ? rows : 1, msg1);
    if (m == nullptr) return nullptr;
    T *block = allocVector<T>(static_cast<long long>(rows) * cols, msg2);
    if (block == nullptr) {
        std::free(m);
        return nullptr;
    }
    m[0] = block;
    for (int i = 1; i < rows; ++i) m[i] = block + static_cast<std::size_t>(i) * cols;
    return m;
}

template <typename T>
void freeMatrix(T **m) {
    if (m == nullptr) return;
    std::free(m[0]);
    std::free(m);
}

}  // namespace

int *IntVectorAlloc(int n) { return allocVector<int>(n, kMsgIntVector); }
int **IntMatrixAlloc(int rows, int cols) {
    return allocMatrix<int>(rows, cols, kMsgIntMatrix1, kMsgIntMatrix2);
}
double *DoubleVectorAlloc(int n) { return allocVector<double>(n, kMsgDoubleVector); }
double **DoubleMatrixAlloc(int rows, int cols) {
    return allocMatrix<double>(rows, cols, kMsgDoubleMatrix1, kMsgDoubleMatrix2);
}
gagene *GaGeneVectorAlloc(int n) { return allocVector<gagene>(n, kMsgGeneVector); }
gagene **GaGeneMatrixAlloc(int rows, int cols) {
    return allocMatrix<gagene>(rows, cols, kMsgGeneMatrix1, kMsgGeneMatrix2);
}
gaisland *GaIslandVectorAlloc(int n) { return allocVector<gaisland>(n, kMsgIslandVector); }

void FreeIntVector(int *v) { std::free(v); }
void FreeIntMatrix(int **m) { freeMatrix(m); }
void FreeDoubleVector(double *v) { std::free(v); }
void FreeDoubleMatrix(double **m) { freeMatrix(m); }
void FreeGaGeneVector(gagene *v) { std::free(v); }
void FreeGaGeneMatrix(gagene **m) { freeMatrix(m); }
void FreeGaIslandVector(gaisland *v) { std::free(v); }
