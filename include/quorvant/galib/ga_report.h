// The text reports of gasearch: the parameter summary, the progress line of every generation, the
// population file and the result.
#ifndef QUORVANT_GALIB_GA_REPORT_H
#define QUORVANT_GALIB_GA_REPORT_H

#include <cstdio>

#include "quorvant/galib/ga_types.h"

int PrintExecuteParameters(const gaparam *param, FILE *stream);
int PrintBestGeneAtPresent(int generation, const gaparam *param);              // to stdout
int PrintRefinement(int generation, const gaparam *param);                     // to stdout
int PrintFileAll(int generation, const gaparam *param, const gaisland *islands);  // to outputFile
int PrintResult(const gaparam *param);                                         // to stdout

int print_read_summary(FILE *stream, const char *name, const int *counts, int numIsland,
                       int fileIslands, int population);

int print_fitness(const gagene *gene, FILE *stream);
int print_ga_gene(const gagene *gene, const gaparam *param, FILE *stream);

#endif
