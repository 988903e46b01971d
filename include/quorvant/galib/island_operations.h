// The operations of one normal generation on a range of an island's residents.
#ifndef QUORVANT_GALIB_ISLAND_OPERATIONS_H
#define QUORVANT_GALIB_ISLAND_OPERATIONS_H

#include "quorvant/galib/ga_types.h"

int IslandFitness(const gaparam *param, gaisland *island, int start, int end);
// The sorted positions start .. end-1 of islands[0 .. numIsland-1], evaluated as one batch.
int IslandsFitness(const gaparam *param, gaisland *islands, int numIsland, int start, int end);
int IslandCrossoverNormal(const gaparam *param, gaisland *island, int start, int end);
int IslandMutation(const gaparam *param, gaisland *island, int start, int end);

#endif
