// The GA engine: the fitness bridge to the model, parent selection, the island operations of one
// generation, migration and integration of islands, and the serial GA runs (normal generation
// alternation and MGG).
#ifndef QUORVANT_GA_ENGINE_H
#define QUORVANT_GA_ENGINE_H

#include "quorvant/ga_types.h"

// ---- Fitness bridge ---------------------------------------------------------------------------
// Snapshot of the loaded model: times, initial state (y0[1..n_var]) and Param/ParamT/ParamP.
void PreserveDefaultQvParam(double tStart, double tEnd, double deltaT, double dtSave, const double *y0);
int AllocSolutionMatrix();    // SolutionMatrix of numRow rows; -1 after a message
void FreeSolutionMatrix();
int SolutionMatrixRows();     // numRow
void set_param_default();     // restores the snapshot into Param, ParamT, ParamP
int GaGene2QVParam(const double *x);
// One simulation with the values x of the search variables, scored by QvUsrFitness.
int QvFitness(const double *x, int numVariable, int argc, char **argv, double *fitness);
int Fitness(const gaparam *param, const gagene *gene, double *fitness);
int SortByFitness(gaisland *island);
int comp_gene_fitness(const void *a, const void *b);
int RecordBestGene(int generation, const gaisland *islands, int numIsland, bestgene *best);
// 0 if no GA range names the parameter "constantPlayer", else -1 after the message.
int CheckConstantPlayer();

// ---- Selection ----------------------------------------------------------------------------------
int SelectParent(const gaparam *param, const gaisland *island, int *parents);
int SelectRoulette(const gaisland *island, int numParent, int *parents);
int SelectTournament(const gaisland *island, int numParent, int tournamentSize, int *parents);
int SelectRandom(const gaisland *island, int numParent, int *parents);
int check_select_no(const int *list, int count, int index);
int search_roulette_index(const double *cumulative, int n, double r);

// ---- Island operations of one generation -------------------------------------------------------
int IslandFitness(const gaparam *param, gaisland *island, int start, int end);
int IslandCrossoverNormal(const gaparam *param, gaisland *island, int start, int end);
int IslandMutation(const gaparam *param, gaisland *island, int start, int end);
int IslandMggDigenesis(const gaparam *param, gaisland *island);
// One whole generation of one island (after migration or integration), left sorted: the normal
// alternation on the non-elite places, or one MGG step and the optional mutation of the island.
int NormalIslandGeneration(const gaparam *param, gaisland *island);
int MggIslandGeneration(const gaparam *param, gaisland *island);

// ---- Migration and integration ------------------------------------------------------------------
int MakeImmigrationBuffer(const gaparam *param, gaisland *islands);
void FreeImmigrationBuffer(const gaparam *param, gaisland *islands);
int Immigrate(const gaparam *param, gaisland *islands);
int random_swap_immigration(const gaparam *param, gaisland *islands);
int random_ring_immigration(const gaparam *param, gaisland *islands);
int select_emigrants(const gaparam *param, gaisland *island);
int shuffle_randomring(int numIsland);
const int *RandomRingTable();   // the 2 * numIsland entries (destinations, then visiting order)
int IntegrateIslands(const gaparam *param, gaisland *islands);
int AjustParamsAfterIntegrate(gaparam *param);

// ---- Serial runs ---------------------------------------------------------------------------------
int NormalExecute(gaparam *param);
int MGGExecute(gaparam *param);

#endif
