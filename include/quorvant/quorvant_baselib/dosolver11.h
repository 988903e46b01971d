// The Newton-Raphson steady-state path (SOLVER 11).
#ifndef QUORVANT_QUORVANT_BASELIB_DOSOLVER11_H
#define QUORVANT_QUORVANT_BASELIB_DOSOLVER11_H

int doSolver11(double *y, double *y_pre);

#endif
