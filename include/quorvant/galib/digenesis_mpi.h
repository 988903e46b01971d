// The parallel GA runs over MPI: rank 0 holds the islands, the workers evolve them.
#ifndef QUORVANT_GALIB_DIGENESIS_MPI_H
#define QUORVANT_GALIB_DIGENESIS_MPI_H

#include "quorvant/galib/ga_types.h"

// The parallel drivers, run on every rank (master and workers).
int NormalExecuteMpi(gaparam *param);

int MGGExecuteMpi(gaparam *param);

#endif
