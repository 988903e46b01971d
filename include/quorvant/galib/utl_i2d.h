// Between grid positions and values of bit-string genes, and the values of any gene.
#ifndef QUORVANT_GALIB_UTL_I2D_H
#define QUORVANT_GALIB_UTL_I2D_H

#include "quorvant/galib/ga_types.h"

int Int2Double(const variableregion *region, const int *ints, double *x, int n);

int Double2Int(const gaencodeparam *encode, const variableregion *region, const double *x,
               int *ints, int n);

int binary_search(double x, double min, double delta, int q);

// The variable values of an individual: gene_r for REAL, the decoded grid values for BINARY and
// GRAY. x has room for numVariable values. 0, or -1 after the decoder's message (or an unknown
// encoding: -1 without touching x).
int GeneToValues(const gaparam *param, const gagene *gene, double *x);

#endif
