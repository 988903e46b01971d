// The parallel GA runs with work dealt out per individual (PARALLEL;INDIVIDUAL;): rank 0 runs the
// serial algorithm and the workers evaluate and refine its individuals.
#ifndef QUORVANT_GALIB_DIGENESIS_FARM_H
#define QUORVANT_GALIB_DIGENESIS_FARM_H

#include "quorvant/galib/ga_types.h"

// The drivers, run on every rank (master and workers). 0, or -1 after the message.
int NormalExecuteFarm(gaparam *param);

int MGGExecuteFarm(gaparam *param);

#endif
