// gasearch: fits the parameters of a model with an island genetic algorithm. Every individual is a
// vector of values of the model file's search variables; its fitness is the model's QvUsrFitness of
// the simulated time course (larger is better).
//
//   gasearch -I <model file> -p <GA parameter file> [-f <report file>] [-s <initial individuals>]
//            [-S <seed>]
//
// This version runs the islands in one process; started on several MPI processes it stops at once.
#include <mpi.h>

#include "gasearch.h"
#include "quorvant/ga_engine.h"
#include "quorvant/log.h"

namespace {

constexpr char kMsgMain[] = " ## System Error: In main.\n";
constexpr char kMsgOneProcess[] =
    " ## Error: gasearch runs on one process in this version: start it without mpiexec or with "
    "mpiexec -n 1.\n";

gaparam Param_ga;   // the configuration of the run (large: kept out of the stack)

int runGa(gaparam *param) {
    switch (param->digenesisParam.digenesisType) {
        case DigenesisType::Normal:
            return NormalExecute(param);
        case DigenesisType::MGG:
            return MGGExecute(param);
        default:
            log_sys(kMsgMain);
            return -1;
    }
}

}  // namespace

int main(int argc, char **argv) {
    MPI_Init(&argc, &argv);
    int size = 1;
    int rank = 0;
    MPI_Comm_size(MPI_COMM_WORLD, &size);
    MPI_Comm_rank(MPI_COMM_WORLD, &rank);

    // Several processes: every rank stops by itself (no rank waits for another).
    if (size > 1) {
        if (rank == 0) log_sys(kMsgOneProcess);
        MPI_Finalize();
        return -1;
    }

    int result = my_init(&Param_ga, argc, argv);
    if (result == 0) result = runGa(&Param_ga) == -1 ? -1 : 0;
    my_final(&Param_ga);
    MPI_Finalize();
    return result;
}
