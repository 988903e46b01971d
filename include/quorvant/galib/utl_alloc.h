// Logging allocators of the GA for vectors and matrices, and owners for their results.
#ifndef QUORVANT_GALIB_UTL_ALLOC_H
#define QUORVANT_GALIB_UTL_ALLOC_H

#include <memory>

#include "quorvant/galib/ga_types.h"

// Allocators: null after their one log line. Memory is not cleared.
int *IntVectorAlloc(int n);

int **IntMatrixAlloc(int rows, int cols);
double *DoubleVectorAlloc(int n);
double **DoubleMatrixAlloc(int rows, int cols);
gagene *GaGeneVectorAlloc(int n);
gagene **GaGeneMatrixAlloc(int rows, int cols);
gaisland *GaIslandVectorAlloc(int n);
void FreeIntVector(int *v);
void FreeIntMatrix(int **m);
void FreeDoubleVector(double *v);
void FreeDoubleMatrix(double **m);
void FreeGaGeneVector(gagene *v);
void FreeGaGeneMatrix(gagene **m);
void FreeGaIslandVector(gaisland *v);

// Owners for the allocators' results: released on every path.
struct IntVectorFree { void operator()(int *v) const { FreeIntVector(v); } };

struct DoubleMatrixFree { void operator()(double **m) const { FreeDoubleMatrix(m); } };
struct GaIslandVectorFree { void operator()(gaisland *v) const { FreeGaIslandVector(v); } };
using IntVectorPtr = std::unique_ptr<int[], IntVectorFree>;
using DoubleMatrixPtr = std::unique_ptr<double *[], DoubleMatrixFree>;
using GaIslandVectorPtr = std::unique_ptr<gaisland[], GaIslandVectorFree>;

#endif
