// Migration between islands: random swap and random ring.
#ifndef QUORVANT_GALIB_IMMIGRATION_H
#define QUORVANT_GALIB_IMMIGRATION_H

#include "quorvant/galib/ga_types.h"

int MakeImmigrationBuffer(const gaparam *param, gaisland *islands);
void FreeImmigrationBuffer(const gaparam *param, gaisland *islands);
int Immigrate(const gaparam *param, gaisland *islands);
int random_swap_immigration(const gaparam *param, gaisland *islands);
int random_ring_immigration(const gaparam *param, gaisland *islands);
int select_emigrants(const gaparam *param, gaisland *island);
int shuffle_randomring(int numIsland);
const int *RandomRingTable();   // the 2 * numIsland entries (destinations, then visiting order)

#endif
