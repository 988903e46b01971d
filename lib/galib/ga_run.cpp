// The frame shared by the serial GA runs (see ga_run.h).
#include "ga_run.h"

#include <cstdio>

#include "quorvant/galib/fitness.h"
#include "quorvant/galib/ga_checkpoint.h"
#include "quorvant/galib/ga_report.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/immigration.h"
#include "quorvant/galib/initial_individuals.h"
#include "quorvant/galib/initial_population.h"
#include "quorvant/galib/integrate.h"
#include "quorvant/galib/island_operations.h"
#include "quorvant/galib/refine.h"
#include "quorvant/galib/utl_alloc.h"
#include "quorvant/searchlib/utl_rand.h"

GaRunIslands::~GaRunIslands() {
    if (buffers_) FreeImmigrationBuffer(param_, islands_.get());
    islands_.reset();
    if (param_->ioParam.outputFile) {
        std::fclose(param_->ioParam.outputFile);
        param_->ioParam.outputFile = nullptr;
    }
}

int GaRunIslands::allocate() {
    islands_.reset(GaIslandVectorAlloc(param_->gaTypeParam.numIsland));
    if (!islands_) return -1;
    for (int i = 0; i < param_->gaTypeParam.numIsland; ++i) {
        islands_[i].population = 0;
        islands_[i].emigrants = nullptr;
        islands_[i].immigrants = nullptr;
    }
    buffers_ = true;
    return MakeImmigrationBuffer(param_, islands_.get());
}

int StartPopulation(gaparam *param, gaisland *islands) {
    const int numIsland = param->gaTypeParam.numIsland;
    const int population = param->gaTypeParam.islandPopulation;
    SeedGaStream();
    if (MakeStartPopulation(param, islands) == -1) return -1;
    if (IslandsFitness(param, islands, numIsland, 0, population) == -1) return -1;
    for (int i = 0; i < numIsland; ++i) SortByFitness(&islands[i]);
    ReportGeneration(0, param, islands, numIsland);
    return 0;
}

int MakeStartPopulation(gaparam *param, gaisland *islands) {
    for (int i = 0; i < param->gaTypeParam.numIsland; ++i) {
        islands[i].population = param->gaTypeParam.islandPopulation;
        GenerateInitialPopulation(&islands[i], &param->gaEncodeParam, &param->variableRegion);
    }
    if (param->ioParam.individualFileName[0] != '\0' && SetIndividualFromFile(param, islands) == -1)
        return -1;
    return 0;
}

int MigrateOrIntegrate(gaparam *param, gaisland *islands, int generation, int *numIsland) {
    const gatypeparam &type = param->gaTypeParam;
    if (type.gaType == GaType::DGA && type.immigrationSwitch != ImmigrationSwitch::Off &&
        generation % type.immigrationInterval == 0)
        return Immigrate(param, islands) == -1 ? -1 : 0;
    if (type.gaType == GaType::DIGA && generation == type.integrateGeneration) {
        IntegrateIslands(param, islands);
        AjustParamsAfterIntegrate(param);
        *numIsland = 1;
    }
    return 0;
}

void ReportGeneration(int generation, gaparam *param, const gaisland *islands, int numIsland) {
    RecordBestGene(generation, islands, numIsland, &param->bestGene);
    PrintBestGeneAtPresent(generation, param);
    if (RefineDue(param, generation)) PrintRefinement(generation, param);
    if (param->ioParam.outputFile) PrintFileAll(generation, param, islands);
}

bool TargetReached(const gaparam *param) {
    return param->bestGene.gaGene.fitness > param->gaTypeParam.finValue;
}

int RunSerialGa(gaparam *param, IslandGeneration generation) { return RunGa(param, generation, nullptr); }

int RunGa(gaparam *param, IslandGeneration generation, IslandsGeneration batched) {
    GaRunIslands run(param);
    if (run.allocate() == -1) return -1;
    gaisland *islands = run.islands();
    int numIsland = param->gaTypeParam.numIsland;

    // Generation 0: random (or read) individuals, evaluated, sorted and reported; or the state of
    // a checkpoint, from whose generation the run goes on.
    int last = 0;
    if (param->checkpointParam.resumeFileName[0] != '\0') {
        if (ReadCheckpoint(param, islands, &numIsland, &last) == -1) return -1;
    } else if (StartPopulation(param, islands) == -1) {
        return -1;
    }

    // Generations last+1 .. maxGeneration-1, until the target fitness is beaten.
    for (int g = last + 1; !TargetReached(param) && g < param->gaTypeParam.maxGeneration; ++g) {
        if (MigrateOrIntegrate(param, islands, g, &numIsland) == -1) return -1;
        if (batched != nullptr) {
            if (batched(param, islands, numIsland) == -1) return -1;
        } else {
            for (int i = 0; i < numIsland; ++i)
                if (generation(param, &islands[i]) == -1) return -1;
        }
        if (RefineIslands(param, islands, numIsland, g) == -1) return -1;
        ReportGeneration(g, param, islands, numIsland);
        if (WriteCheckpointIfDue(param, islands, numIsland, g) == -1) return -1;
    }

    PrintResult(param);
    return 0;
}
