// The parallel GA over MPI: rank 0 (master) holds the islands, migrates, merges and reports; the
// other ranks (workers) make one generation of one island at a time. The configuration record and
// the islands travel as committed MPI struct datatypes.
#ifndef QUORVANT_GA_MPI_H
#define QUORVANT_GA_MPI_H

#include <mpi.h>

#include "quorvant/ga_types.h"

int GetMpiProcInfo(infompiproc *info);
int TypeParamStruct(const gaparam *param, MPI_Datatype *type);
int DistributeParams(const gaparam *param, MPI_Datatype type);
int AcceptParams(gaparam *param, MPI_Datatype type);
int TypeIslandStruct(const gaparam *param, const gaisland *island, MPI_Datatype *type);
int SendIsland(const gaisland *island, MPI_Datatype type, int destination, int tag, MPI_Comm comm);
int RecvIsland(gaisland *island, MPI_Datatype type, int source, int tag, MPI_Comm comm, MPI_Status *status);
void copy_island(gaisland *destination, const gaisland *source);

// The parallel drivers, run on every rank (master and workers).
int NormalExecuteMpi(gaparam *param);
int MGGExecuteMpi(gaparam *param);

#endif
