// The variation operators of the GA: crossover (BLX-alpha, UNDX, UNDX-m, SPX for real-coded genes,
// n-point for bit strings), the small vector and matrix routines UNDX-m and SPX use, and mutation.
// None of them allocates: work storage is bounded by the 20 search variables.
#ifndef QUORVANT_GA_OPERATORS_H
#define QUORVANT_GA_OPERATORS_H

#include "quorvant/ga_types.h"

namespace qv {
// Bounds on the redraw loops, which rely on every individual lying inside the search region.
// A real-coded crossover is repeated with the same parents until its child lies inside the
// region; after this many calls the last child is clipped onto the region's bounds.
constexpr int kMaxCrossoverTries = 1000;
// A mutation candidate outside the region is redrawn (from the rate draw on); after this many
// attempts for one variable the variable keeps its value.
constexpr int kMaxMutationTries = 1000;
}  // namespace qv

// Crossover. children has room for one child (real coding) or two (bit strings).
int Crossover(const gaparam *param, const gagene *residents, const int *parents, gagene *children);
int blx(const crossoverparam *cp, const gagene *residents, int n, const int *parents, gagene *children);
int undxm(const crossoverparam *cp, const gagene *residents, int n, const int *parents, gagene *children);
int spx(const crossoverparam *cp, const gagene *residents, int n, const int *parents, gagene *children);
int npoints_crossover(const crossoverparam *cp, const gagene *residents, int geneLength,
                      const int *parents, gagene *children);
// 0 inside the region (bounds included), 1 outside, 2 when a value is not a number.
int check_child_region(const variableregion *region, int n, const gagene *child);
int func_comp(const void *a, const void *b);

// Vector and matrix routines (row-pointer matrices).
double VectorInnerProduct(const double *a, const double *b, int n);
double VectorNorm(const double *a, int n);
int CalculateCenterOfGravity(double **rows, int count, int n, double *g);
int CopyMatrix(double **a, int rows, int cols, double **out);
int TransposedMatrix(double **a, int rows, int cols, double **out);
int ProductMatrix(double **a, int ar, int ac, double **b, int br, int bc, double **c);
int ReductMatrix(double **a, int rows, int cols, double **out);   // rank
int GrammSchmidtOrthogonalize(double **a, int rows, int n, double **q);

// Mutation. source, reference and out are distinct individuals.
int Mutation(const gaparam *param, const gagene *source, const gagene *reference, gagene *out);
int region_uni(const gagene *source, double rate, const variableregion *region, gagene *out);
int fixed_uni(const gagene *source, double rate, double width, const variableregion *region, gagene *out);
int fixed_normal(const gagene *source, double rate, double sd, const variableregion *region, gagene *out);
int variable_uni(const gagene *source, const gagene *reference, double rate,
                 const variableregion *region, gagene *out);
int variable_normal(const gagene *source, const gagene *reference, double rate,
                    const variableregion *region, gagene *out);
int bit_reverse(gagene *gene, double rate, int geneLength);

#endif
