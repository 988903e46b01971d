// Integration of islands: merging them into fewer, larger ones.
#ifndef QUORVANT_GALIB_INTEGRATE_H
#define QUORVANT_GALIB_INTEGRATE_H

#include "quorvant/galib/ga_types.h"

int IntegrateIslands(const gaparam *param, gaisland *islands);
int AjustParamsAfterIntegrate(gaparam *param);

#endif
