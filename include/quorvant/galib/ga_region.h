// The search region of the GA from the model file's search ranges, and the grid of bit-string genes.
#ifndef QUORVANT_GALIB_GA_REGION_H
#define QUORVANT_GALIB_GA_REGION_H

#include "quorvant/galib/ga_types.h"

namespace qv {

// Bits per variable that the grid conversions handle: a grid index (0 .. 2^q - 1) is an int.
constexpr int kGaMaxQuantum = 30;

}  // namespace qv

// The number of search variables this run accepts: the program's P_GaMax (20, or more for a model
// with its own objective) within the arrays' room.
int ga_variable_limit();

int ReadRegionFromQV(gaparam *param);   // the model file's GA ranges -> variableRegion
int SetDelta(gaparam *param);           // grid step of every variable

#endif
