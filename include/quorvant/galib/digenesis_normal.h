// The normal generation alternation: one island's generation and the serial run.
#ifndef QUORVANT_GALIB_DIGENESIS_NORMAL_H
#define QUORVANT_GALIB_DIGENESIS_NORMAL_H

#include "quorvant/galib/ga_types.h"

// One whole generation of one island (after migration or integration), left sorted: the normal
// alternation on the non-elite places, or one MGG step and the optional mutation of the island.
int NormalIslandGeneration(const gaparam *param, gaisland *island);
// The normal generation of islands[0 .. numIsland-1], their evaluations as one batch: the same
// result as NormalIslandGeneration on each island in turn.
int NormalIslandsGeneration(const gaparam *param, gaisland *islands, int numIsland);

int NormalExecute(gaparam *param);

#endif
