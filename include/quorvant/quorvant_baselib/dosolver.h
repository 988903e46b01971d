// One simulation of the loaded model: time course with events, or steady state.
#ifndef QUORVANT_QUORVANT_BASELIB_DOSOLVER_H
#define QUORVANT_QUORVANT_BASELIB_DOSOLVER_H

#include "quorvant/model.h"

// Solver 12 (S-system) is an optional unit: programs that include it set this hook before
// running; without it, SOLVER 12 is an unknown solver number.
extern int (*Qv_doSolver12)(double *y);

// The parameter record is the caller's snapshot; it is taken by reference (it is 512 KiB).
int DoSolver(const parameter &snap, double dt, double t_start, double t_end, double dm,
             double *y_init, double *y, double *y_pre);

#endif
