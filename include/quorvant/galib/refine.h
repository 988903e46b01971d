// The refinement of chosen individuals by the model (the REFINE line).
#ifndef QUORVANT_GALIB_REFINE_H
#define QUORVANT_GALIB_REFINE_H

#include "quorvant/galib/ga_types.h"

// Whether the REFINE line refines after generation g: every interval-th generation from 1 on.
bool RefineDue(const gaparam *param, int generation);

// The rank (count .. population-1) of the k-th of the spread individuals refined in the given
// round (generation / interval) beyond the best count.
int SpreadRank(long round, int k, int spread, int count, int population);

// After generation g, when due: the best count individuals of each of islands[0 .. numIsland-1],
// and spread more at the ranks SpreadRank gives, refined in place (see RefineGenes), then every
// island sorted again. 0, or -1 after the message.
int RefineIslands(gaparam *param, gaisland *islands, int numIsland, int generation);

#endif
