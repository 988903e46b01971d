// Small utilities of the GA: in-place line editing and splitting for its text files, logging
// allocators for vectors and matrices, and a deep copy of an argument vector.
#ifndef QUORVANT_GA_UTILS_H
#define QUORVANT_GA_UTILS_H

#include <memory>

#include "quorvant/ga_types.h"

namespace qv {
constexpr int kGaLineMax = 511;        // characters of a text line once blanks are removed
constexpr int kGaReadBuffer = 8192;    // buffer of one physical line of the GA's text files
}  // namespace qv

// Text (all in place on a NUL-terminated line).
char *DelSpaceTab(char *line);               // removes blanks and tabs; keeps at most kGaLineMax
void DelComment(char *line);                 // '#' becomes '\n', the rest is cut
int FindDelim(const char *s, char c);        // index of c, -1 if none or s empty
int MyStrtok(char *s, char delim, char **token);   // length of the token, -1 for the last one
// DelSpaceTab then DelComment: 1 if nothing but the newline is left, 2 if the line has content,
// 0 if the line holds more than kGaLineMax characters once blanks are removed, its newline
// included (then the line is left untouched: callers refuse it with a message).
int IsCommentLine(char *line);

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

// Argument vectors: copy has argc slots; every slot is set (null first), then duplicated.
int CopyArgv(int argc, char **argv, char **copy);
void FreeCargv(int argc, char **copy);

#endif
