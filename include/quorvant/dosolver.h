// One simulation of the loaded model: time course with events, or steady state.
#ifndef QUORVANT_DOSOLVER_H
#define QUORVANT_DOSOLVER_H

#include <cstdint>
#include <cstdio>

#include "quorvant/model.h"

extern double **SolutionMatrix;   // search mode: row = {t, y[1..n]/G_VALUE}; sized by the caller
extern int32_t StepNum;           // rows written to SolutionMatrix
extern FILE *Fp_out;              // text mode: the result stream

// Rows allocated in SolutionMatrix. 0 means the caller guarantees room for every row of a run;
// a positive value makes the driver drop (and report once per run) rows beyond it instead of
// writing past the matrix.
extern int32_t SolutionRows;

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

// Applies the events due before the step from t (event time < t + h/2): y_force sets y[index],
// y_add sets rate[index], a parameter event sets Param.val[number][index]. restart != 0 starts
// again from the first event. Returns 1 when a state, rate or parameter value was set, else 0.
int timeEvent(double *y, double *rate, double t, double h, int restart);
// Adds dt * rate[i] to every differential variable y[n_varNR+1 .. n_var].
void applyAdditionRates(double *y, const double *rate, double dt);

// One row of the time course: text to Fp_out or a row of SolutionMatrix (by F_GA).
void emitRow(double t, const double *y);
// Logs "Negative Value!!" for every negative y[1..n]; the run goes on.
void reportNegative(double t, const double *y);

// Copies a parameter record: sizes, counts and the value rows of every named parameter (the
// only rows that anything writes). Same effect as dst = src at a fraction of the 512 KiB.
void copyParameter(parameter &dst, const parameter &src);

#endif
