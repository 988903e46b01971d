// Process-level helper of the simulator: the fatal exit.
#include <mpi.h>

#include <cstdio>
#include <cstdlib>

#include "quorvant/common/logUtil.h"
#include "simulator.h"

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
