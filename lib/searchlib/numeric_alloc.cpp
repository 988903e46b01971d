// Allocators of integer and double vectors and matrices. A failure logs one fixed line naming the
// allocator and returns null; the caller reports its own failure. Memory is not cleared.
#include "quorvant/searchlib/numeric_alloc.h"

#include <cstdlib>

#include "quorvant/searchlib/block_alloc.h"

namespace {

constexpr char kMsgIntVector[] = " ## Error: Cannot allocate memory(In IntVectorAlloc).\n";
constexpr char kMsgIntMatrix1[] = " ## Error: Cannot allocate memory(In IntMatrixAlloc 1).\n";
constexpr char kMsgIntMatrix2[] = " ## Error: Cannot allocate memory(In IntMatrixAlloc 2).\n";
constexpr char kMsgDoubleVector[] = " ## Error: Cannot allocate memory(In DoubleVectorAlloc).\n";
constexpr char kMsgDoubleMatrix1[] = " ## Error: Cannot allocate memory(In DoubleMatrixAlloc 1).\n";
constexpr char kMsgDoubleMatrix2[] = " ## Error: Cannot allocate memory(In DoubleMatrixAlloc 2).\n";

}  // namespace

using qv::search::alloc_matrix;
using qv::search::alloc_vector;
using qv::search::free_matrix;

int *IntVectorAlloc(int n) { return alloc_vector<int>(n, kMsgIntVector); }
int **IntMatrixAlloc(int rows, int cols) {
    return alloc_matrix<int>(rows, cols, kMsgIntMatrix1, kMsgIntMatrix2);
}
double *DoubleVectorAlloc(int n) { return alloc_vector<double>(n, kMsgDoubleVector); }
double **DoubleMatrixAlloc(int rows, int cols) {
    return alloc_matrix<double>(rows, cols, kMsgDoubleMatrix1, kMsgDoubleMatrix2);
}

void FreeIntVector(int *v) { std::free(v); }
void FreeIntMatrix(int **m) { free_matrix(m); }
void FreeDoubleVector(double *v) { std::free(v); }
void FreeDoubleMatrix(double **m) { free_matrix(m); }
