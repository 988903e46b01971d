// Mutation operators: uniform and normal, fixed or variable width, and bit reversal.
#ifndef QUORVANT_GALIB_MUTATION_H
#define QUORVANT_GALIB_MUTATION_H

#include "quorvant/galib/ga_types.h"

// Mutation. source, reference and out are distinct individuals.
int Mutation(const gaparam *param, const gagene *source, const gagene *reference, gagene *out);

int region_uni(const gagene *source, double rate, const variableregion *region, gagene *out);
int fixed_uni(const gagene *source, double rate, double width, const variableregion *region, gagene *out);
int fixed_normal(const gagene *source, double rate, double sd, const variableregion *region, gagene *out);

int variable_uni(const gagene *source, const gagene *reference, double rate,
                 const variableregion *region, gagene *out);

int variable_normal(const gagene *source, const gagene *reference, double rate,
                    const variableregion *region, gagene *out);

int bit_reverse(gagene *gene, double rate, int geneLength);

#endif
