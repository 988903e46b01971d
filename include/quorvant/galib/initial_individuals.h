// The file of initial individuals (option -s).
#ifndef QUORVANT_GALIB_INITIAL_INDIVIDUALS_H
#define QUORVANT_GALIB_INITIAL_INDIVIDUALS_H

#include "quorvant/galib/ga_types.h"

// Reads ioParam.individualFileName into the first residents of each island (option -s).
int SetIndividualFromFile(const gaparam *param, gaisland *islands);

#endif
