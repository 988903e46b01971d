// The frame shared by the serial GA runs: the resources of one run, released on every path, and
// the steps that the normal and the MGG generation loops have in common.
#ifndef QUORVANT_GALIB_GA_RUN_H
#define QUORVANT_GALIB_GA_RUN_H

#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/utl_alloc.h"

// The islands of a run with their migration buffers. On destruction: the migration buffers, the
// islands, and the report stream (closed if open), on success and failure alike.
class GaRunIslands {
public:
    explicit GaRunIslands(gaparam *param) : param_(param) {}
    ~GaRunIslands();
    GaRunIslands(const GaRunIslands &) = delete;
    GaRunIslands &operator=(const GaRunIslands &) = delete;

    // Allocates numIsland islands and the migration buffers; -1 on failure.
    int allocate();
    gaisland *islands() { return islands_.get(); }

private:
    gaparam *param_;
    GaIslandVectorPtr islands_;
    bool buffers_ = false;
};

// Generation 0: seeds the stream, makes every island's random population, reads the file of
// initial individuals if one was named, evaluates and sorts every island, records and reports the
// best. 0 or -1.
int StartPopulation(gaparam *param, gaisland *islands);

// The individuals of generation 0 without their evaluation: every island's random population
// (population = islandPopulation), then the file of initial individuals if one was named. The
// stream must be seeded already. 0 or -1.
int MakeStartPopulation(gaparam *param, gaisland *islands);

// The start of generation g: migration (DGA, switch on, g a multiple of the interval) or the merge
// of all islands (DIGA, g == integrateGeneration; *numIsland becomes 1). 0 or -1.
int MigrateOrIntegrate(gaparam *param, gaisland *islands, int generation, int *numIsland);

// The end of generation g: record the best, the progress line (and after it the refinement line
// when the REFINE line refined in g), the report-file block.
void ReportGeneration(int generation, gaparam *param, const gaisland *islands, int numIsland);

// The run stops once the best fitness is strictly greater than finValue (NaN never stops it).
bool TargetReached(const gaparam *param);

// One generation of one island, after migration or integration: the island is left sorted.
using IslandGeneration = int (*)(const gaparam *param, gaisland *island);

// One generation of islands[0 .. numIsland-1] at once, each left sorted.
using IslandsGeneration = int (*)(const gaparam *param, gaisland *islands, int numIsland);

// A whole serial run: generation 0 (or the state of the -R checkpoint), then the generations up to
// maxGeneration-1 (each: migration or integration, then every island's generation, the
// refinements the REFINE line asks for, the report, the checkpoint the CHECKPOINT line asks for)
// until the target fitness is beaten, then the final result. The islands are released and
// the report file closed on every path.
int RunSerialGa(gaparam *param, IslandGeneration generation);

// The same run with every generation made by `islands` when it is given (the batched form of
// `generation`, with the same result).
int RunGa(gaparam *param, IslandGeneration generation, IslandsGeneration islands);

#endif
