// The refinement of the best individuals of every island by the model's own local search.
#include "quorvant/galib/refine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "quorvant/galib/evaluation_farm.h"
#include "quorvant/galib/fitness.h"
#include "quorvant/galib/ga_types.h"

int SpreadRank(long round, int k, int spread, int count, int population) {
    // Weyl sequence of the golden ratio: consecutive rounds land far apart and cover the ranks
    // evenly, so the refinements start from every part of the island's ranking in turn.
    constexpr double kGolden = 0.6180339887498949;
    const double u = static_cast<double>(round * spread + k) * kGolden;
    const int rank = count + static_cast<int>((u - std::floor(u)) * (population - count));
    return std::min(rank, population - 1);
}

bool RefineDue(const gaparam *param, int generation) {
    const int interval = param->refineParam.interval;
    return interval > 0 && generation > 0 && generation % interval == 0;
}

int RefineIslands(gaparam *param, gaisland *islands, int numIsland, int generation) {
    if (!RefineDue(param, generation)) return 0;
    // The chosen individuals, island by island, best first; made once, then reused.
    static std::vector<gagene *> chosen;
    chosen.clear();
    const long round = generation / param->refineParam.interval;
    for (int i = 0; i < numIsland; ++i) {
        const int population = islands[i].population;
        const int count = std::min(param->refineParam.count, population);
        const size_t first = chosen.size();
        for (int k = 0; k < count; ++k) chosen.push_back(&islands[i].residents[islands[i].sortedIndex[k]]);
        for (int k = 0; k < param->refineParam.spread && count < population; ++k) {
            gagene *g = &islands[i].residents[islands[i].sortedIndex[SpreadRank(round, k, param->refineParam.spread, count, population)]];
            if (std::find(chosen.begin() + static_cast<std::ptrdiff_t>(first), chosen.end(), g) == chosen.end()) chosen.push_back(g);
        }
    }
    if (RefineGenes(param, chosen.data(), static_cast<int>(chosen.size())) == -1) return -1;
    for (int i = 0; i < numIsland; ++i) SortByFitness(&islands[i]);
    return 0;
}
