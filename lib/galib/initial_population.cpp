// The random first generation of an island: real values uniform in the region, or random bits.
#include "quorvant/galib/initial_population.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {
int clampTo(int n, int limit) { return n < 0 ? 0 : (n > limit ? limit : n); }
}  // namespace

int generate_gene_r_random(const variableregion *region, gagene *gene) {
    const int n = clampTo(region->arraySize, qv::kGaVariableRoom);
    for (int k = 0; k < n; ++k) {
        gene->gene_r[k] = GenUniformRand(region->minArray[k], region->maxArray[k]);
    }
    gene->fitness = qv::kGaUnevaluated;
    return 0;
}

int generate_gene_b_random(int geneLength, gagene *gene) {
    const int n = clampTo(geneLength, qv::kGaMaxBits);
    for (int j = 0; j < n; ++j) gene->gene_b[j] = static_cast<char>(GenIntRand(0, 2));
    gene->fitness = qv::kGaUnevaluated;
    return 0;
}

// Fills residents 0 .. population - 1 in order (the draws follow that order) and lists them
// unsorted in sortedIndex.
int GenerateInitialPopulation(gaisland *island, const gaencodeparam *encode,
                              const variableregion *region) {
    const int population = clampTo(island->population, qv::kGaMaxPopulation);
    for (int i = 0; i < population; ++i) {
        if (encode->encodeType == EncodeType::Real) {
            generate_gene_r_random(region, &island->residents[i]);
        } else {
            generate_gene_b_random(encode->geneLength, &island->residents[i]);
        }
    }
    for (int i = 0; i < population; ++i) island->sortedIndex[i] = i;
    return 0;
}
