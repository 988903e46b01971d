// The start of every time-course path: initial state and the parameters moved to their targets.
#ifndef QUORVANT_QUORVANT_BASELIB_INIT_TIME_SOLVER_H
#define QUORVANT_QUORVANT_BASELIB_INIT_TIME_SOLVER_H

#include "quorvant/model.h"

int initTimeSolver(const parameter &snap, double *y_init, double *y, double *y_pre);

#endif
