// The normal generation alternation: one island's generation and the serial run.
#ifndef QUORVANT_GALIB_DIGENESIS_NORMAL_H
#define QUORVANT_GALIB_DIGENESIS_NORMAL_H

#include "quorvant/galib/ga_types.h"

// One whole generation of one island (after migration or integration), left sorted: the normal
// alternation on the non-elite places, or one MGG step and the optional mutation of the island.
int NormalIslandGeneration(const gaparam *param, gaisland *island);

int NormalExecute(gaparam *param);

#endif
