// Process-level helpers of the simulator: the time string of its reports and the fatal exit.
#include <mpi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "quorvant/common/logUtil.h"
#include "simulator.h"

namespace {
char timeStr[32];
}

const char *getCurrentTimeStr() {
    std::strncpy(timeStr, log_getCurrentTimeStr(), sizeof timeStr - 1);
    timeStr[sizeof timeStr - 1] = '\0';
    return timeStr;
}

void fatalExit() {
    std::fflush(nullptr);
    int initialized = 0;
    int finalized = 0;
    MPI_Initialized(&initialized);
    MPI_Finalized(&finalized);
    if (initialized && !finalized) {
        int size = 1;
        MPI_Comm_size(MPI_COMM_WORLD, &size);
        // The other processes may be waiting for this one: end the whole job.
        if (size > 1) MPI_Abort(MPI_COMM_WORLD, -1);
        MPI_Finalize();
    }
    std::exit(-1);
}
