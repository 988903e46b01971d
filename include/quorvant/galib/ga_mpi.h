// The GA over MPI: process information, the datatypes of the configuration and of an island, and
// their transfer.
#ifndef QUORVANT_GALIB_GA_MPI_H
#define QUORVANT_GALIB_GA_MPI_H

#include <mpi.h>

#include "quorvant/galib/ga_types.h"

int GetMpiProcInfo(infompiproc *info);
int TypeParamStruct(const gaparam *param, MPI_Datatype *type);
int DistributeParams(const gaparam *param, MPI_Datatype type);
int AcceptParams(gaparam *param, MPI_Datatype type);
// The optional lines' records (PARALLEL, REFINE) from rank 0 to every rank; called by all. 0 or -1.
int ShareOptionalParams(gaparam *param);
int TypeIslandStruct(const gaparam *param, const gaisland *island, MPI_Datatype *type);
int SendIsland(const gaisland *island, MPI_Datatype type, int destination, int tag, MPI_Comm comm);
int RecvIsland(gaisland *island, MPI_Datatype type, int source, int tag, MPI_Comm comm, MPI_Status *status);
void copy_island(gaisland *destination, const gaisland *source);

#endif
