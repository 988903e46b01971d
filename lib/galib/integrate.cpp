// Integration of a DIGA run: all islands are merged once into island 0, which keeps the best of
// every island and is filled up with individuals drawn from all islands; the run then goes on
// with one island.
#include <vector>

#include "quorvant/galib/fitness.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/integrate.h"
#include "quorvant/searchlib/utl_rand.h"

int IntegrateIslands(const gaparam *param, gaisland *islands) {
    const int n = param->gaTypeParam.numIsland;
    const int population = param->gaTypeParam.islandPopulation;
    static std::vector<gagene> merged(qv::kGaMaxPopulation);
    for (int k = 0; k < population; ++k) {
        if (k < n) {
            merged[k] = islands[k].residents[islands[k].sortedIndex[0]];
        } else {
            const int i = GenIntRand(0, n);
            const int p = GenIntRand(0, population);
            merged[k] = islands[i].residents[islands[i].sortedIndex[p]];
        }
    }
    for (int k = 0; k < population; ++k) islands[0].residents[k] = merged[k];
    SortByFitness(&islands[0]);
    return 0;
}

int AjustParamsAfterIntegrate(gaparam *param) {
    param->gaTypeParam.numIsland = 1;
    return 0;
}
