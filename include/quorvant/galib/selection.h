// Parent selection: roulette, tournament and random.
#ifndef QUORVANT_GALIB_SELECTION_H
#define QUORVANT_GALIB_SELECTION_H

#include "quorvant/galib/ga_types.h"

int SelectParent(const gaparam *param, const gaisland *island, int *parents);
int SelectRoulette(const gaisland *island, int numParent, int *parents);
int SelectTournament(const gaisland *island, int numParent, int tournamentSize, int *parents);
int SelectRandom(const gaisland *island, int numParent, int *parents);
int check_select_no(const int *list, int count, int index);
int search_roulette_index(const double *cumulative, int n, double r);

#endif
