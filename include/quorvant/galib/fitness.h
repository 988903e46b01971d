// Fitness of one individual, sorting an island by fitness, and the best individual so far.
#ifndef QUORVANT_GALIB_FITNESS_H
#define QUORVANT_GALIB_FITNESS_H

#include "quorvant/galib/ga_types.h"

int Fitness(const gaparam *param, const gagene *gene, double *fitness);
int SortByFitness(gaisland *island);
int RecordBestGene(int generation, const gaisland *islands, int numIsland, bestgene *best);

#endif
