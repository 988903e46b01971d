// The Runge-Kutta time-course paths: SOLVER 1 (fixed step) and SOLVER 2 (adaptive Cash-Karp).
#ifndef QUORVANT_QUORVANT_BASELIB_DOSOLVER1_2_H
#define QUORVANT_QUORVANT_BASELIB_DOSOLVER1_2_H

#include "quorvant/model.h"

int doSolver1_2(const parameter &snap, double dt, double t_start, double t_end, double dm,
                double *y_init, double *y, double *y_pre);

#endif
