// Crossover operators: BLX-alpha, UNDX, UNDX-m and SPX for real-coded genes, N-point for bit strings.
#ifndef QUORVANT_GALIB_CROSSOVER_H
#define QUORVANT_GALIB_CROSSOVER_H

#include "quorvant/galib/ga_types.h"

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

#endif
