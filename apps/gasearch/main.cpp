// gasearch: fits the parameters of a model with an island genetic algorithm. Every individual is a
// vector of values of the model file's search variables; its fitness is the model's QvUsrFitness of
// the simulated time course (larger is better).
//
//   gasearch -I <model file> -p <GA parameter file> [-f <report file>] [-s <initial individuals>]
//            [-S <seed>] [-R <checkpoint>]
//
// On one process the islands run in turn; under mpiexec with several processes rank 0 holds the
// islands and the other ranks make their generations (or, with PARALLEL;INDIVIDUAL;, evaluate and
// refine its individuals). A failure on any rank aborts the whole job.
#include <mpi.h>

#include <cstdio>

#include "gasearch.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/digenesis_farm.h"
#include "quorvant/galib/digenesis_mgg.h"
#include "quorvant/galib/digenesis_mpi.h"
#include "quorvant/galib/digenesis_normal.h"
#include "quorvant/galib/ga_types.h"

namespace {

constexpr int kAbortCode = -1;
constexpr char kMsgMain[] = " ## System Error: In main.\n";

gaparam Param_ga;   // the configuration of the run (large: kept out of the stack)

int runGa(gaparam *param) {
    const bool parallel = param->mpiInfo.numProcs > 1;
    const bool perIndividual = param->parallelParam.grain == ParallelGrain::Individual;
    switch (param->digenesisParam.digenesisType) {
        case DigenesisType::Normal:
            if (!parallel) return NormalExecute(param);
            return perIndividual ? NormalExecuteFarm(param) : NormalExecuteMpi(param);
        case DigenesisType::MGG:
            if (!parallel) return MGGExecute(param);
            return perIndividual ? MGGExecuteFarm(param) : MGGExecuteMpi(param);
        default:
            log_sys(kMsgMain);
            return -1;
    }
}

}  // namespace

int main(int argc, char **argv) {
    MPI_Init(&argc, &argv);
    int size = 1;
    MPI_Comm_size(MPI_COMM_WORLD, &size);

    int result = my_init(&Param_ga, argc, argv);
    if (result == 0) result = runGa(&Param_ga) == -1 ? -1 : 0;
    my_final(&Param_ga);
    // With several processes the others may be waiting for this one: end them all.
    if (result != 0 && size > 1) {
        std::fflush(stdout);
        std::fflush(stderr);
        MPI_Abort(MPI_COMM_WORLD, result == kNoRefinement ? kNoRefinement : kAbortCode);
    }
    MPI_Finalize();
    return result;
}
