// The refinement of the best individuals of every island by the model's own local search.
#include "quorvant/galib/refine.h"

#include <algorithm>
#include <vector>

#include "quorvant/galib/evaluation_farm.h"
#include "quorvant/galib/fitness.h"
#include "quorvant/galib/ga_types.h"

bool RefineDue(const gaparam *param, int generation) {
    const int interval = param->refineParam.interval;
    return interval > 0 && generation > 0 && generation % interval == 0;
}

int RefineIslands(gaparam *param, gaisland *islands, int numIsland, int generation) {
    if (!RefineDue(param, generation)) return 0;
    // The chosen individuals, island by island, best first; made once, then reused.
    static std::vector<gagene *> chosen;
    chosen.clear();
    for (int i = 0; i < numIsland; ++i) {
        const int count = std::min(param->refineParam.count, islands[i].population);
        for (int k = 0; k < count; ++k) chosen.push_back(&islands[i].residents[islands[i].sortedIndex[k]]);
    }
    if (RefineGenes(param, chosen.data(), static_cast<int>(chosen.size())) == -1) return -1;
    for (int i = 0; i < numIsland; ++i) SortByFitness(&islands[i]);
    return 0;
}
