// Allocators of the GA's individuals and islands. A failure logs one fixed line naming the allocator
// and returns null; the caller reports its own failure. Memory is not cleared.
#include "quorvant/galib/utl_alloc.h"

#include <cstdlib>

#include "quorvant/galib/ga_types.h"
#include "quorvant/searchlib/block_alloc.h"

namespace {

constexpr char kMsgGeneVector[] = " ## Error: Cannot allocate memory(In GaGeneVectorAlloc).\n";
constexpr char kMsgGeneMatrix1[] = " ## Error: Cannot allocate memory(In GaGeneMatrixAlloc 1).\n";
constexpr char kMsgGeneMatrix2[] = " ## Error: Cannot allocate memory(In GaGeneMatrixAlloc 2).\n";
constexpr char kMsgIslandVector[] = " ## Error: Cannnot allocate memory(In GaIslandVectorAlloc).\n";

}  // namespace

using qv::search::alloc_matrix;
using qv::search::alloc_vector;
using qv::search::free_matrix;

gagene *GaGeneVectorAlloc(int n) { return alloc_vector<gagene>(n, kMsgGeneVector); }
gagene **GaGeneMatrixAlloc(int rows, int cols) {
    return alloc_matrix<gagene>(rows, cols, kMsgGeneMatrix1, kMsgGeneMatrix2);
}
gaisland *GaIslandVectorAlloc(int n) { return alloc_vector<gaisland>(n, kMsgIslandVector); }

void FreeGaGeneVector(gagene *v) { std::free(v); }
void FreeGaGeneMatrix(gagene **m) { free_matrix(m); }
void FreeGaIslandVector(gaisland *v) { std::free(v); }
