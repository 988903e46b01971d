// The random initial population of an island.
#ifndef QUORVANT_GALIB_INITIAL_POPULATION_H
#define QUORVANT_GALIB_INITIAL_POPULATION_H

#include "quorvant/galib/ga_types.h"

int GenerateInitialPopulation(gaisland *island, const gaencodeparam *encode,
                              const variableregion *region);

int generate_gene_r_random(const variableregion *region, gagene *gene);
int generate_gene_b_random(int geneLength, gagene *gene);

#endif
