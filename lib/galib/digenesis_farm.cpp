// The parallel GA runs with work dealt out per individual. Rank 0 runs exactly the serial run, on
// the same random stream: only the evaluations and refinements go to the workers, in batches (all
// non-elite children of every island in a normal generation, the family of one island in an MGG
// step), and come back in place, so the result is that of one process on any number of ranks. The
// workers draw no random numbers.
#include "quorvant/galib/digenesis_farm.h"

#include "ga_run.h"
#include "quorvant/galib/digenesis_mgg.h"
#include "quorvant/galib/digenesis_normal.h"
#include "quorvant/galib/evaluation_farm.h"
#include "quorvant/galib/ga_types.h"

namespace {

int executeFarm(gaparam *param, IslandGeneration generation, IslandsGeneration batched) {
    if (param->mpiInfo.myProcRank != 0) return EvaluationWorker(param);
    EvaluationFarm farm(param);
    const int run = RunGa(param, generation, batched);
    const int stopped = farm.close();
    return run == -1 || stopped == -1 ? -1 : 0;
}

}  // namespace

int NormalExecuteFarm(gaparam *param) {
    return executeFarm(param, NormalIslandGeneration, NormalIslandsGeneration);
}

// An MGG step chooses its survivors by a roulette on the family's fitness, and the next island's
// parents come from the stream after that roulette: one family is the largest batch.
int MGGExecuteFarm(gaparam *param) { return executeFarm(param, MggIslandGeneration, nullptr); }
