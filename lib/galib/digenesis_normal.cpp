// The serial GA with normal generation alternation: every generation replaces the non-elite
// individuals of each island by children of selected parents, mutates them and evaluates them.
#include "ga_run.h"
#include "quorvant/galib/digenesis_normal.h"
#include "quorvant/galib/fitness.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/island_operations.h"

// One generation of one island: children into the non-elite places, their mutation, their
// evaluation (also with both operators switched off), and the new order.
int NormalIslandGeneration(const gaparam *param, gaisland *island) {
    return NormalIslandsGeneration(param, island, 1);
}

// The same for several islands with all their evaluations in one batch: the operators draw from
// the stream in the order of the island-by-island generation (an evaluation draws nothing and a
// sort only reads fitness), so the result is the same.
int NormalIslandsGeneration(const gaparam *param, gaisland *islands, int numIsland) {
    const int numElite = param->digenesisParam.numElite;
    const int population = param->gaTypeParam.islandPopulation;
    for (int i = 0; i < numIsland; ++i) {
        gaisland *island = &islands[i];
        if (param->crossoverParam.crossoverType != CrossoverType::None &&
            IslandCrossoverNormal(param, island, numElite, population) == -1)
            return -1;
        if (param->mutationParam.mutationType != MutationType::None &&
            IslandMutation(param, island, numElite, population) == -1)
            return -1;
    }
    if (IslandsFitness(param, islands, numIsland, numElite, population) == -1) return -1;
    for (int i = 0; i < numIsland; ++i) SortByFitness(&islands[i]);
    return 0;
}

int NormalExecute(gaparam *param) { return RunSerialGa(param, NormalIslandGeneration); }
