// The rows of a run, shared by every solver path: text to Fp_out (text mode) or rows of
// SolutionMatrix (search mode).
#ifndef QUORVANT_QUORVANT_BASELIB_ROW_OUTPUT_H
#define QUORVANT_QUORVANT_BASELIB_ROW_OUTPUT_H

#include <cstdint>
#include <cstdio>

extern double **SolutionMatrix;   // search mode: row = {t, y[1..n]/G_VALUE}; sized by the caller
extern int32_t StepNum;           // rows written to SolutionMatrix
extern FILE *Fp_out;              // text mode: the result stream

// Rows allocated in SolutionMatrix. 0 means the caller guarantees room for every row of a run;
// a positive value makes the driver drop (and report once per run) rows beyond it instead of
// writing past the matrix.
extern int32_t SolutionRows;

// True in text mode (F_GA == 0): rows go to Fp_out.
bool textMode();
// Starts the rows of a run: the notice of rows beyond SolutionRows is given once per run.
void beginRows();
// Writes s to Fp_out in text mode (the failure lines of the paths).
void writeText(const char *s);
// The header line of a text time course: "Time" and one column per variable.
void writeRowHeader(int n);
// The header line and the row of the initial state, in text mode.
void write_start(double *y, double t_start);

// One row of the time course: text to Fp_out or a row of SolutionMatrix (by F_GA).
void emitRow(double t, const double *y);

// Logs "Negative Value!!" for every negative y[1..n]; the run goes on.
void reportNegative(double t, const double *y);

#endif
