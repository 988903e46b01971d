// Migration between the islands of a DGA run: random pairwise swaps between any two islands
// (RandomSwap), or every island sending a group of emigrants to the next island of a ring whose
// order is reshuffled at every migration (RandomRing). Elites never move.
#include <vector>

#include "quorvant/common/logUtil.h"
#include "quorvant/galib/fitness.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/immigration.h"
#include "quorvant/galib/utl_alloc.h"
#include "quorvant/searchlib/numeric_alloc.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

constexpr char kMsgImmigrate[] = " ## System Error: In Immigrate.\n";
constexpr char kMsgRateTooLarge[] = " ## Error: Immigration rate too large.\n";

// RandomRing: entries 0 .. n-1 are the destination of each island's emigrants, entries n .. 2n-1
// the current visiting order of the ring. It lives from MakeImmigrationBuffer to
// FreeImmigrationBuffer; the order carries over from one migration to the next.
std::vector<int> randomRing;

bool ringScheme(const gaparam *param) {
    return param->gaTypeParam.immigrationSwitch == ImmigrationSwitch::RandomRing;
}

void swapGenes(gagene &a, gagene &b) {
    const gagene t = a;
    a = b;
    b = t;
}

}  // namespace

int MakeImmigrationBuffer(const gaparam *param, gaisland *islands) {
    if (!ringScheme(param)) return 0;
    const int numIsland = param->gaTypeParam.numIsland;
    // At least one entry each, so that a group of 0 emigrants still has valid buffers.
    const int size = param->gaTypeParam.numImmigrants > 0 ? param->gaTypeParam.numImmigrants : 1;
    for (int i = 0; i < numIsland; ++i) {
        islands[i].emigrants = IntVectorAlloc(size);
        if (islands[i].emigrants == nullptr) return -1;
        islands[i].immigrants = GaGeneVectorAlloc(size);
        if (islands[i].immigrants == nullptr) return -1;
    }
    randomRing.assign(2 * static_cast<size_t>(numIsland), 0);
    for (int k = 0; k < 2 * numIsland; ++k) randomRing[k] = (k + 1) % numIsland;
    return 0;
}

void FreeImmigrationBuffer(const gaparam *param, gaisland *islands) {
    if (ringScheme(param) && islands != nullptr) {
        for (int i = 0; i < param->gaTypeParam.numIsland; ++i) {
            if (islands[i].emigrants) FreeIntVector(islands[i].emigrants);
            if (islands[i].immigrants) FreeGaGeneVector(islands[i].immigrants);
            islands[i].emigrants = nullptr;
            islands[i].immigrants = nullptr;
        }
    }
    randomRing.clear();
    randomRing.shrink_to_fit();
}

const int *RandomRingTable() { return randomRing.data(); }

int Immigrate(const gaparam *param, gaisland *islands) {
    switch (param->gaTypeParam.immigrationSwitch) {
        case ImmigrationSwitch::RandomSwap:
            return random_swap_immigration(param, islands) == -1 ? -1 : 0;
        case ImmigrationSwitch::RandomRing:
            return random_ring_immigration(param, islands) == -1 ? -1 : 0;
        default:
            log_sys(kMsgImmigrate);
            return -1;
    }
}

int random_swap_immigration(const gaparam *param, gaisland *islands) {
    const gatypeparam &type = param->gaTypeParam;
    const int numElite = param->digenesisParam.numElite;
    for (int t = 0; t < type.totalPopulation; ++t) {
        if (!(GenUniformRand(0.0, 1.0) < type.immigrationRate)) continue;
        // Drawn in this order; the sorted order is that of the start of the migration.
        const int a = GenIntRand(0, type.numIsland);
        const int b = GenIntRand(0, type.numIsland);
        const int p = GenIntRand(numElite, type.islandPopulation);
        const int q = GenIntRand(numElite, type.islandPopulation);
        swapGenes(islands[a].residents[islands[a].sortedIndex[p]],
                  islands[b].residents[islands[b].sortedIndex[q]]);
    }
    for (int i = 0; i < type.numIsland; ++i) SortByFitness(&islands[i]);
    return 0;
}

int select_emigrants(const gaparam *param, gaisland *island) {
    const gatypeparam &type = param->gaTypeParam;
    const int numElite = param->digenesisParam.numElite;
    if (type.numImmigrants > type.islandPopulation - numElite) {
        log_sys(kMsgRateTooLarge);
        return -1;
    }
    for (int j = 0; j < type.numImmigrants; ++j)
        island->emigrants[j] = island->sortedIndex[GenIntRand(numElite, type.islandPopulation)];
    return 0;
}

int shuffle_randomring(int n) {
    int *order = randomRing.data() + n;
    // Swap phase: exchanges that keep every entry of the order away from its own position.
    for (int counter = n; counter > 0;) {
        const int a = GenIntRand(0, n);
        const int b = GenIntRand(0, n);
        if (order[a] != b && order[b] != a) {
            const int t = order[a];
            order[a] = order[b];
            order[b] = t;
            --counter;
        }
    }
    // Ring phase: one cycle order[0] -> order[1] -> ... -> order[n-1] -> order[0].
    for (int k = 0; k < n; ++k) randomRing[order[k]] = order[(k + 1) % n];
    return 0;
}

int random_ring_immigration(const gaparam *param, gaisland *islands) {
    const int numIsland = param->gaTypeParam.numIsland;
    const int numImmigrants = param->gaTypeParam.numImmigrants;
    shuffle_randomring(numIsland);
    // Every group is copied out before any resident is overwritten.
    for (int i = 0; i < numIsland; ++i) {
        if (select_emigrants(param, &islands[i]) == -1) return -1;
        gaisland &to = islands[randomRing[i]];
        for (int j = 0; j < numImmigrants; ++j)
            to.immigrants[j] = islands[i].residents[islands[i].emigrants[j]];
    }
    for (int i = 0; i < numIsland; ++i)
        for (int j = 0; j < numImmigrants; ++j)
            islands[i].residents[islands[i].emigrants[j]] = islands[i].immigrants[j];
    for (int i = 0; i < numIsland; ++i) SortByFitness(&islands[i]);
    return 0;
}
