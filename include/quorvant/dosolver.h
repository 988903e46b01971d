// One simulation of the loaded model: time course with events, or steady state.
#ifndef QUORVANT_DOSOLVER_H
#define QUORVANT_DOSOLVER_H

#include <cstdint>
#include <cstdio>

#include "quorvant/model.h"

extern double **SolutionMatrix;   // search mode: row = {t, y[1..n]/G_VALUE}; sized by the caller
extern int32_t StepNum;           // rows written to SolutionMatrix
extern FILE *Fp_out;              // text mode: the result stream

// Solver 12 (S-system) is an optional unit: programs that include it set this hook before
// running; without it, SOLVER 12 is an unknown solver number.
extern int (*Qv_doSolver12)(double *y);

// The parameter record is the caller's snapshot; it is taken by reference (it is 512 KiB).
int DoSolver(const parameter &snap, double dt, double t_start, double t_end, double dm,
             double *y_init, double *y, double *y_pre);
int initTimeSolver(const parameter &snap, double *y_init, double *y, double *y_pre);
int doSolver1_2(const parameter &snap, double dt, double t_start, double t_end, double dm,
                double *y_init, double *y, double *y_pre);
int doSolver3(const parameter &snap, double dt, double t_start, double t_end, double dm,
              double *y_init, double *y, double *y_pre);
int doSolver11(double *y, double *y_pre);
void write_start(double *y, double t_start);
int timeEvent(double *y, double *rate, double t, double h, int restart);

// One row of the time course: text to Fp_out or a row of SolutionMatrix (by F_GA).
void emitRow(double t, const double *y);
// Logs "Negative Value!!" for every negative y[1..n]; the run goes on.
void reportNegative(double t, const double *y);

#endif
