// The NDF time-course path (SOLVER 3) for stiff ODE and index-1 DAE models.
#ifndef QUORVANT_QUORVANT_BASELIB_DOSOLVER3_H
#define QUORVANT_QUORVANT_BASELIB_DOSOLVER3_H

#include "quorvant/model.h"

int doSolver3(const parameter &snap, double dt, double t_start, double t_end, double dm,
              double *y_init, double *y, double *y_pre);

#endif
