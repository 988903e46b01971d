// Rank 0 of a run on several processes: it seeds every slave's random stream, then deals out the
// searches in messages of at most -j, each to whichever slave reports completion first, and finally
// tells every slave to stop. It performs no search itself.
#include <mpi.h>

#include <cstdint>
#include <vector>

#include "quorvant/common/logUtil.h"
#include "quorvant/searchlib/mpi_wait.h"
#include "quorvant/searchlib/utl_rand.h"
#include "rsearch.h"

namespace {

constexpr int kTag = 0;
constexpr int kStop = -1;   // job count that ends a slave

constexpr char kMsgSeed[] = "Random seed: %lu\n";
constexpr char kMsgSendSeed[] = " ## Error: MPI_Send(In distribute_slave_seed).\n";
constexpr char kMsgSend1[] = " ## Error: MPI_Send(In master_job1).\n";
constexpr char kMsgRecv[] = " ## Error: MPI_Recv(In master_job).\n";
constexpr char kMsgSend2[] = " ## Error: MPI_Send(In master_job2).\n";
constexpr char kMsgSend3[] = " ## Error: MPI_Send(In master_job3).\n";

int sendCount(int count, int dest) { return MPI_Send(&count, 1, MPI_INT, dest, kTag, MPI_COMM_WORLD); }

}  // namespace

int distribute_slave_seed(int rank, int size, const RsOptions &opts) {
    if (rank != 0) return ReceiveSlaveSeed(rank);
    if (opts.seedGiven) {
        SetRandSeed(opts.seed);
        log_sys(kMsgSeed, opts.seed);
    } else {
        SetSeedByTime();   // logs the seed it used
    }
    // All seeds are drawn before any is sent, the k-th for rank k: with -S every slave's stream is
    // the same from run to run. A seed is one 32-bit word.
    std::vector<unsigned long> seeds(static_cast<size_t>(size > 1 ? size - 1 : 0));
    for (unsigned long &s : seeds) s = static_cast<uint32_t>(GenIntRandMax());
    for (int dest = 1; dest < size; ++dest) {
        if (MPI_Send(&seeds[static_cast<size_t>(dest - 1)], 1, MPI_UNSIGNED_LONG, dest, kTag, MPI_COMM_WORLD) !=
            MPI_SUCCESS) {
            log_sys(kMsgSendSeed);
            return -1;
        }
    }
    return 0;
}

int master_job(int searches, int perMessage, int size) {
    // The message sizes follow from their number (RsMessageSize): no table of them is kept, so a
    // huge -n costs no memory.
    const int messages = RsMessageCount(searches, perMessage);
    int sent = 0;
    // First distribution: one message for every slave while messages remain.
    for (int s = 1; s < size && sent < messages; ++s) {
        if (sendCount(RsMessageSize(searches, perMessage, sent), s) != MPI_SUCCESS) {
            log_sys(kMsgSend1);
            return -1;
        }
        ++sent;
    }
    // Every completion earns its sender the next message.
    for (int done = 0; done < messages;) {
        int report = 0;
        MPI_Status status;
        if (PoliteRecv(&report, 1, MPI_INT, MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &status) !=
            MPI_SUCCESS) {
            log_sys(kMsgRecv);
            return -1;
        }
        ++done;
        if (sent < messages) {
            if (sendCount(RsMessageSize(searches, perMessage, sent), status.MPI_SOURCE) != MPI_SUCCESS) {
                log_sys(kMsgSend2);
                return -1;
            }
            ++sent;
        }
    }
    for (int s = 1; s < size; ++s) {
        if (sendCount(kStop, s) != MPI_SUCCESS) {
            log_sys(kMsgSend3);
            return -1;
        }
    }
    return 0;
}

int do_search_mpi(int searches, int perMessage, int rank, int size) {
    const int r = rank == 0 ? master_job(searches, perMessage, size) : slave_job(rank);
    return r < 0 ? -1 : 0;
}
