// Receive and probe that sleep while they wait (see mpi_wait.h).
#include "quorvant/mpi_wait.h"

#include <ctime>

namespace {

// Back-off of the wait: the first pause, and the ceiling the pause doubles up to.
constexpr long kFirstPauseNs = 50'000;      // 50 microseconds
constexpr long kLongestPauseNs = 2'000'000; // 2 milliseconds

// Sleeps for the current pause and doubles it for the next round, up to the ceiling.
void sleepAndGrow(long *ns) {
    const timespec t{0, *ns};
    nanosleep(&t, nullptr);
    *ns = *ns * 2 > kLongestPauseNs ? kLongestPauseNs : *ns * 2;
}

}  // namespace

int PoliteRecv(void *buf, int count, MPI_Datatype type, int source, int tag, MPI_Comm comm,
               MPI_Status *status) {
    MPI_Request request = MPI_REQUEST_NULL;
    int rc = MPI_Irecv(buf, count, type, source, tag, comm, &request);
    if (rc != MPI_SUCCESS) return rc;
    long ns = kFirstPauseNs;
    for (int done = 0;;) {
        rc = MPI_Test(&request, &done, status);
        if (rc != MPI_SUCCESS || done) return rc;
        sleepAndGrow(&ns);
    }
}

int PoliteProbe(int source, int tag, MPI_Comm comm, MPI_Status *status) {
    long ns = kFirstPauseNs;
    for (int found = 0;;) {
        const int rc = MPI_Iprobe(source, tag, comm, &found, status);
        if (rc != MPI_SUCCESS || found) return rc;
        sleepAndGrow(&ns);
    }
}
