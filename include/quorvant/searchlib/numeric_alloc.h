// Logging allocators of integer and double vectors and matrices, and owners for their results.
#ifndef QUORVANT_SEARCHLIB_NUMERIC_ALLOC_H
#define QUORVANT_SEARCHLIB_NUMERIC_ALLOC_H

#include <memory>

// Allocators: null after their one log line. Memory is not cleared.
int *IntVectorAlloc(int n);
int **IntMatrixAlloc(int rows, int cols);
double *DoubleVectorAlloc(int n);
double **DoubleMatrixAlloc(int rows, int cols);
void FreeIntVector(int *v);
void FreeIntMatrix(int **m);
void FreeDoubleVector(double *v);
void FreeDoubleMatrix(double **m);

// Owners for the allocators' results: released on every path.
struct IntVectorFree { void operator()(int *v) const { FreeIntVector(v); } };
struct DoubleMatrixFree { void operator()(double **m) const { FreeDoubleMatrix(m); } };
using IntVectorPtr = std::unique_ptr<int[], IntVectorFree>;
using DoubleMatrixPtr = std::unique_ptr<double *[], DoubleMatrixFree>;

#endif
