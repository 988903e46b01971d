// Waiting for a message without spinning a core (some MPI libraries busy-poll inside a blocking
// receive): one of unknown timing, or one due at about a known time.
#ifndef QUORVANT_SEARCHLIB_MPI_WAIT_H
#define QUORVANT_SEARCHLIB_MPI_WAIT_H

#include <mpi.h>

// MPI_Recv with the same arguments and result (MPI_SUCCESS or the MPI error code). status may be
// MPI_STATUS_IGNORE.
int PoliteRecv(void *buf, int count, MPI_Datatype type, int source, int tag, MPI_Comm comm,
               MPI_Status *status);

// MPI_Probe with the same arguments and result. status may be MPI_STATUS_IGNORE.
int PoliteProbe(int source, int tag, MPI_Comm comm, MPI_Status *status);

// For a message whose arrival is about known (a worker's answer to a job of known cost): sleeps
// until dueNs (MonotonicNs's clock), polls yielding the core for pollNs after that, then waits as
// PoliteRecv does. Same arguments and result as MPI_Recv otherwise.
int ExpectedRecv(void *buf, int count, MPI_Datatype type, int source, int tag, MPI_Comm comm,
                 MPI_Status *status, long dueNs, long pollNs);

// MPI_Probe that polls, yielding the core, for pollNs (a next job usually follows at once), then
// waits as PoliteProbe does.
int EagerProbe(int source, int tag, MPI_Comm comm, MPI_Status *status, long pollNs);

// Nanoseconds of the monotonic clock.
long MonotonicNs();

// Lowers this process's timer slack (Linux; elsewhere nothing) so that a sleep of a few tens of
// microseconds ends on time rather than up to 50 microseconds late.
void PreciseSleeps();

#endif
