// Every rank but 0 of a run on several processes: it takes its random seed from rank 0, then
// performs the searches of every message it receives and reports each message done, until rank 0
// sends the stop count.
#include <mpi.h>

#include "quorvant/common/logUtil.h"
#include "quorvant/searchlib/mpi_wait.h"
#include "quorvant/searchlib/utl_rand.h"
#include "rsearch.h"

namespace {

constexpr int kTag = 0;
constexpr int kStop = -1;
constexpr int kDone = 0;   // the value of a completion report (not used by the master)

constexpr char kMsgSeed[] = "Random seed of rank %d: %lu\n";
constexpr char kMsgRecvSeed[] = " ## Error: MPI_Recv(In distribute_slave_seed).\n";
constexpr char kMsgRecv[] = " ## Error: MPI_Recv(In slave_job).\n";
constexpr char kMsgSend[] = " ## Error: MPI_Send(In slave_job).\n";

// Searches done by this slave so far: the second number of each search.
int searchesDone = 0;

}  // namespace

int ReceiveSlaveSeed(int rank) {
    unsigned long seed = 0;
    if (PoliteRecv(&seed, 1, MPI_UNSIGNED_LONG, MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD,
                   MPI_STATUS_IGNORE) != MPI_SUCCESS) {
        log_sys(kMsgRecvSeed);
        return -1;
    }
    SetRandSeed(seed);
    log_sys(kMsgSeed, rank, seed);
    return 0;
}

int slave_job(int rank) {
    for (;;) {
        int count = 0;
        if (PoliteRecv(&count, 1, MPI_INT, 0, MPI_ANY_TAG, MPI_COMM_WORLD, MPI_STATUS_IGNORE) != MPI_SUCCESS) {
            log_sys(kMsgRecv);
            return -1;
        }
        if (count == kStop) return 0;
        for (int k = 0; k < count; ++k) {
            if (RunOneSearch(rank, searchesDone, true) != 0) return -1;
            ++searchesDone;
        }
        int done = kDone;
        if (MPI_Send(&done, 1, MPI_INT, 0, kTag, MPI_COMM_WORLD) != MPI_SUCCESS) {
            log_sys(kMsgSend);
            return -1;
        }
    }
}
