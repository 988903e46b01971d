// Minimal generation gap (MGG): one island's generation and the serial run.
#ifndef QUORVANT_GALIB_DIGENESIS_MGG_H
#define QUORVANT_GALIB_DIGENESIS_MGG_H

#include "quorvant/galib/ga_types.h"

int IslandMggDigenesis(const gaparam *param, gaisland *island);
int MggIslandGeneration(const gaparam *param, gaisland *island);
int MGGExecute(gaparam *param);

#endif
