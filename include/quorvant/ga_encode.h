// The search region, the gene encodings (real values; binary or Gray-coded bit strings on a grid of
// 2^q points per variable), the random initial population and the file of initial individuals.
#ifndef QUORVANT_GA_ENCODE_H
#define QUORVANT_GA_ENCODE_H

#include "quorvant/ga_types.h"

namespace qv {
// Bits per variable that the grid conversions handle: a grid index (0 .. 2^q - 1) is an int.
constexpr int kGaMaxQuantum = 30;
}  // namespace qv

int ReadRegionFromQV(gaparam *param);   // the model file's GA ranges -> variableRegion
int SetDelta(gaparam *param);           // grid step of every variable

int GenerateInitialPopulation(gaisland *island, const gaencodeparam *encode,
                              const variableregion *region);
int generate_gene_r_random(const variableregion *region, gagene *gene);
int generate_gene_b_random(int geneLength, gagene *gene);

// Reads ioParam.individualFileName into the first residents of each island (option -s).
int SetIndividualFromFile(const gaparam *param, gaisland *islands);

int b_encode(int value, char *bits, int q);
int b_decode(const char *bits, int q);
int g_encode(int value, char *bits, int q);
int g_decode(const char *bits, int q);
int BinaryEncode(const int *ints, int numVariable, char *bits, int geneLength, int q);
int BinaryDecode(const char *bits, int geneLength, int q, int numVariable, int *ints);
int GrayEncode(const int *ints, int numVariable, char *bits, int geneLength, int q);
int GrayDecode(const char *bits, int geneLength, int q, int numVariable, int *ints);
int Int2Double(const variableregion *region, const int *ints, double *x, int n);
int Double2Int(const gaencodeparam *encode, const variableregion *region, const double *x,
               int *ints, int n);
int binary_search(double x, double min, double delta, int q);

// The variable values of an individual: gene_r for REAL, the decoded grid values for BINARY and
// GRAY. x has room for numVariable values. 0, or -1 after the decoder's message (or an unknown
// encoding: -1 without touching x).
int GeneToValues(const gaparam *param, const gagene *gene, double *x);

#endif
