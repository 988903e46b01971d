// Waiting for a message of unknown timing without spinning a core (some MPI libraries busy-poll
// inside a blocking receive).
#ifndef QUORVANT_SEARCHLIB_MPI_WAIT_H
#define QUORVANT_SEARCHLIB_MPI_WAIT_H

#include <mpi.h>

// MPI_Recv with the same arguments and result (MPI_SUCCESS or the MPI error code). status may be
// MPI_STATUS_IGNORE.
int PoliteRecv(void *buf, int count, MPI_Datatype type, int source, int tag, MPI_Comm comm,
               MPI_Status *status);

// MPI_Probe with the same arguments and result. status may be MPI_STATUS_IGNORE.
int PoliteProbe(int source, int tag, MPI_Comm comm, MPI_Status *status);

#endif
