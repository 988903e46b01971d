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
    const int numElite = param->digenesisParam.numElite;
    const int population = param->gaTypeParam.islandPopulation;
    if (param->crossoverParam.crossoverType != CrossoverType::None &&
        IslandCrossoverNormal(param, island, numElite, population) == -1)
        return -1;
    if (param->mutationParam.mutationType != MutationType::None &&
        IslandMutation(param, island, numElite, population) == -1)
        return -1;
    if (IslandFitness(param, island, numElite, population) == -1) return -1;
    return SortByFitness(island);
}

int NormalExecute(gaparam *param) { return RunSerialGa(param, NormalIslandGeneration); }
