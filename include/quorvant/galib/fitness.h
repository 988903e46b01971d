// Fitness of one individual, its refinement, sorting an island by fitness, and the best individual so far.
#ifndef QUORVANT_GALIB_FITNESS_H
#define QUORVANT_GALIB_FITNESS_H

#include "quorvant/galib/ga_types.h"

int Fitness(const gaparam *param, const gagene *gene, double *fitness);
// The fitness of decoded values (what Fitness does after decoding the gene). 0 or -1.
int FitnessOfValues(const gaparam *param, const double *x, double *fitness);
// The model's refinement of real values x with the REFINE budget: x improved in place, its fitness,
// and what it cost added to *spent. 0 or -1 after a message.
int RefineValues(const gaparam *param, double *x, double *fitness, refinetotals *spent);
int SortByFitness(gaisland *island);
int RecordBestGene(int generation, const gaisland *islands, int numIsland, bestgene *best);

#endif
