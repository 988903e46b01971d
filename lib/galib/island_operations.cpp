// The operations of one generation on one island: evaluation (of one island, or of the same range
// of several as one batch), crossover of selected parents into the non-elite places, and
// mutation. Children and mutants are built in scratch arrays and copied
// back in one pass, so the whole island stays the parent pool during a generation. The scratch
// arrays are made once per process and reused.
#include <vector>

#include "quorvant/galib/crossover.h"
#include "quorvant/galib/evaluation_farm.h"
#include "quorvant/galib/fitness.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/island_operations.h"
#include "quorvant/galib/mutation.h"
#include "quorvant/galib/selection.h"

namespace {

// Crossover of bit strings makes two children per call; with an odd number of places the last
// call's second child lands one past the island capacity and is dropped.
std::vector<gagene> &childScratch() {
    static std::vector<gagene> children(qv::kGaMaxPopulation + 1);
    return children;
}

std::vector<gagene> &mutantScratch() {
    static std::vector<gagene> mutants(qv::kGaMaxPopulation);
    return mutants;
}

bool bitString(const gaparam *param) { return param->gaEncodeParam.encodeType != EncodeType::Real; }

}  // namespace

int IslandFitness(const gaparam *param, gaisland *island, int start, int end) {
    return IslandsFitness(param, island, 1, start, end);
}

int IslandsFitness(const gaparam *param, gaisland *islands, int numIsland, int start, int end) {
    // The individuals of one batch, island by island in sorted order; made once, then reused.
    static std::vector<gagene *> batch;
    batch.clear();
    for (int i = 0; i < numIsland; ++i)
        for (int k = start; k < end; ++k) batch.push_back(&islands[i].residents[islands[i].sortedIndex[k]]);
    return EvaluateGenes(param, batch.data(), static_cast<int>(batch.size()));
}

int IslandCrossoverNormal(const gaparam *param, gaisland *island, int start, int end) {
    std::vector<gagene> &children = childScratch();
    int parents[qv::kGaVariableRoom + 2];
    const int step = bitString(param) ? 2 : 1;
    for (int k = start; k < end; k += step) {
        if (SelectParent(param, island, parents) == -1) return -1;
        if (Crossover(param, island->residents, parents, &children[k]) == -1) return -1;
    }
    for (int k = start; k < end; ++k) island->residents[island->sortedIndex[k]] = children[k];
    return 0;
}

int IslandMutation(const gaparam *param, gaisland *island, int start, int end) {
    std::vector<gagene> &mutants = mutantScratch();
    // The reference of the variable-width mutations: the individual now at sorted position 0.
    const gagene reference = island->residents[island->sortedIndex[0]];
    for (int k = start; k < end; ++k) {
        if (Mutation(param, &island->residents[island->sortedIndex[k]], &reference, &mutants[k]) == -1)
            return -1;
    }
    for (int k = start; k < end; ++k) island->residents[island->sortedIndex[k]] = mutants[k];
    return 0;
}
