// Logging allocators of the GA's individuals and islands, and an owner for an island vector.
#ifndef QUORVANT_GALIB_UTL_ALLOC_H
#define QUORVANT_GALIB_UTL_ALLOC_H

#include <memory>

#include "quorvant/galib/ga_types.h"

// Allocators: null after their one log line. Memory is not cleared.
gagene *GaGeneVectorAlloc(int n);
gagene **GaGeneMatrixAlloc(int rows, int cols);
gaisland *GaIslandVectorAlloc(int n);
void FreeGaGeneVector(gagene *v);
void FreeGaGeneMatrix(gagene **m);
void FreeGaIslandVector(gaisland *v);

// Owner for an island vector: released on every path.
struct GaIslandVectorFree { void operator()(gaisland *v) const { FreeGaIslandVector(v); } };
using GaIslandVectorPtr = std::unique_ptr<gaisland[], GaIslandVectorFree>;

#endif
