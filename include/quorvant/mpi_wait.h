// Waiting for a message of unknown timing without spinning a core. Some MPI libraries busy-poll
// inside a blocking receive, so an idle master or worker would burn a whole CPU; these helpers
// post the receive (or probe) without blocking, poll it for a few tens of microseconds (yielding the
// core between tests), then sleep between tests from a short pause that doubles up to a ceiling of
// 200 microseconds, so a message is still picked up within about a fifth of a millisecond.
#ifndef QUORVANT_MPI_WAIT_H
#define QUORVANT_MPI_WAIT_H

#include <mpi.h>

// MPI_Recv with the same arguments and result (MPI_SUCCESS or the MPI error code). status may be
// MPI_STATUS_IGNORE.
int PoliteRecv(void *buf, int count, MPI_Datatype type, int source, int tag, MPI_Comm comm,
               MPI_Status *status);

// MPI_Probe with the same arguments and result. status may be MPI_STATUS_IGNORE.
int PoliteProbe(int source, int tag, MPI_Comm comm, MPI_Status *status);

#endif
