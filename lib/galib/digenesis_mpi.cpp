// The parallel GA drivers. Rank 0 (the master) keeps every island: it makes the start population,
// migrates or merges islands between generations, records the best individual and writes every
// report. The other ranks (workers) take one island at a time, evaluate it whole (generation 0) or
// make one generation of it, sort it and send it back. Both sides wait for islands with a receive
// that sleeps between tests instead of spinning a core. The islands of a generation go to whichever
// worker is free first, so all islands are on the master again at the end of every generation and
// migration, integration and the reports need no messages of their own.
#include <mpi.h>

#include <cstdio>
#include <vector>

#include "ga_run.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/digenesis_mgg.h"
#include "quorvant/galib/digenesis_mpi.h"
#include "quorvant/galib/digenesis_normal.h"
#include "quorvant/galib/fitness.h"
#include "quorvant/galib/ga_mpi.h"
#include "quorvant/galib/ga_report.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/island_operations.h"
#include "quorvant/galib/refine.h"
#include "quorvant/galib/utl_alloc.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

// Message tags of a run (all on MPI_COMM_WORLD).
constexpr int kTagGeneration = 1;   // master -> worker: make one generation; worker -> master: island back
constexpr int kTagEvaluate = 2;     // master -> worker: evaluate the whole island (generation 0)
constexpr int kTagStop = 3;         // master -> worker: no more work (the island sent is not used)
constexpr int kMaster = 0;
constexpr int kNoIsland = -1;       // rank-to-island entry of a worker that holds no island

constexpr char kMsgNormal[] = " ## System Error: In NormalExecuteMpi.\n";
constexpr char kMsgMgg[] = " ## System Error: In MGGExecuteMpi.\n";

// One generation of one island on a worker, before its sort.
using WorkerGeneration = int (*)(const gaparam *param, gaisland *island);

struct Driver {
    const char *systemError;   // the driver's line for an impossible message or set-up
    WorkerGeneration generation;
};

// The island datatype of the run, freed on every path (before MPI is finalised).
class IslandType {
public:
    IslandType() = default;
    ~IslandType() {
        if (type_ != MPI_DATATYPE_NULL) MPI_Type_free(&type_);
    }
    IslandType(const IslandType &) = delete;
    IslandType &operator=(const IslandType &) = delete;

    MPI_Datatype *out() { return &type_; }
    MPI_Datatype get() const { return type_; }

private:
    MPI_Datatype type_ = MPI_DATATYPE_NULL;
};

// Closes the report stream when the run ends, whichever rank and path.
struct ReportFileCloser {
    gaparam *param;
    ~ReportFileCloser() {
        if (param->ioParam.outputFile) {
            std::fclose(param->ioParam.outputFile);
            param->ioParam.outputFile = nullptr;
        }
    }
};

// The master's side of one generation: every island out to a free worker with the tag, and back.
// held[rank] is the island that worker holds. 0 or -1.
int farmGeneration(const Driver &driver, gaisland *islands, int numIsland, int tag, MPI_Datatype type,
                   gaisland *received, std::vector<int> &held) {
    const int numProcs = static_cast<int>(held.size());
    int next = 0;
    // 1. Deal: island k to rank k + 1 while there are islands and workers.
    for (int rank = 1; rank < numProcs && next < numIsland; ++rank, ++next) {
        if (SendIsland(&islands[next], type, rank, tag, MPI_COMM_WORLD) == -1) return -1;
        held[rank] = next;
    }
    // 2. Collect: each island back over its place; the worker that returned it gets the next one.
    for (int back = 0; back < numIsland; ++back) {
        MPI_Status status;
        if (RecvIsland(received, type, MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &status) == -1) return -1;
        const int from = status.MPI_SOURCE;
        if (status.MPI_TAG != kTagGeneration || from <= kMaster || from >= numProcs || held[from] == kNoIsland) {
            log_sys("%s", driver.systemError);
            return -1;
        }
        copy_island(&islands[held[from]], received);
        held[from] = kNoIsland;
        if (next < numIsland) {
            if (SendIsland(&islands[next], type, from, tag, MPI_COMM_WORLD) == -1) return -1;
            held[from] = next++;
        }
    }
    return 0;
}

int runMaster(gaparam *param, const Driver &driver, MPI_Datatype type, gaisland *received) {
    const int numProcs = param->mpiInfo.numProcs;
    if (numProcs < 2) {   // no worker would ever answer
        log_sys("%s", driver.systemError);
        return -1;
    }
    GaRunIslands run(param);
    if (run.allocate() == -1) return -1;
    gaisland *islands = run.islands();
    std::vector<int> held(static_cast<size_t>(numProcs), kNoIsland);
    int numIsland = param->gaTypeParam.numIsland;

    if (MakeStartPopulation(param, islands) == -1) return -1;

    // Generation 0 evaluates the start population; every later one is a generation of each island.
    int tag = kTagEvaluate;
    for (int g = 0; g < param->gaTypeParam.maxGeneration; ++g) {
        if (g > 0 && MigrateOrIntegrate(param, islands, g, &numIsland) == -1) return -1;
        if (farmGeneration(driver, islands, numIsland, tag, type, received, held) == -1) return -1;
        // The refinements, if the REFINE line asks for them, are the master's own work.
        if (RefineIslands(param, islands, numIsland, g) == -1) return -1;
        ReportGeneration(g, param, islands, numIsland);
        if (TargetReached(param)) break;
        tag = kTagGeneration;
    }

    // Every worker stops, in rank order (the island sent is only the message's body).
    for (int rank = 1; rank < numProcs; ++rank)
        if (SendIsland(&islands[0], type, rank, kTagStop, MPI_COMM_WORLD) == -1) return -1;
    PrintResult(param);
    return 0;
}

int runWorker(const gaparam *param, const Driver &driver, MPI_Datatype type, gaisland *island) {
    const int population = param->gaTypeParam.islandPopulation;
    for (;;) {
        MPI_Status status;
        if (RecvIsland(island, type, MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &status) == -1) return -1;
        switch (status.MPI_TAG) {
            case kTagEvaluate:
                if (IslandFitness(param, island, 0, population) == -1) return -1;
                break;
            case kTagGeneration:
                if (driver.generation(param, island) == -1) return -1;
                break;
            case kTagStop:
                return 0;
            default:
                log_sys("%s", driver.systemError);
                return -1;
        }
        SortByFitness(island);
        if (SendIsland(island, type, kMaster, kTagGeneration, MPI_COMM_WORLD) == -1) return -1;
    }
}

// Every rank: the island datatype, the own random stream, then the master's or a worker's loop.
int executeMpi(gaparam *param, const Driver &driver) {
    ReportFileCloser closer{param};
    // The worker's island, or the master's receive island; also the template of the datatype.
    GaIslandVectorPtr scratch(GaIslandVectorAlloc(1));
    if (!scratch) return -1;
    scratch[0].population = 0;
    scratch[0].emigrants = nullptr;
    scratch[0].immigrants = nullptr;
    IslandType type;
    if (TypeIslandStruct(param, &scratch[0], type.out()) == -1) return -1;
    const int rank = param->mpiInfo.myProcRank;
    SeedGaStreamOfRank(rank);
    if (rank == kMaster) return runMaster(param, driver, type.get(), &scratch[0]);
    return runWorker(param, driver, type.get(), &scratch[0]);
}

}  // namespace

int NormalExecuteMpi(gaparam *param) { return executeMpi(param, {kMsgNormal, NormalIslandGeneration}); }

int MGGExecuteMpi(gaparam *param) { return executeMpi(param, {kMsgMgg, MggIslandGeneration}); }
