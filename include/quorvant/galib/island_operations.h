// The operations of one normal generation on a range of an island's residents.
#ifndef QUORVANT_GALIB_ISLAND_OPERATIONS_H
#define QUORVANT_GALIB_ISLAND_OPERATIONS_H

#include "quorvant/galib/ga_types.h"

int IslandFitness(const gaparam *param, gaisland *island, int start, int end);
int IslandCrossoverNormal(const gaparam *param, gaisland *island, int start, int end);
int IslandMutation(const gaparam *param, gaisland *island, int start, int end);

#endif
