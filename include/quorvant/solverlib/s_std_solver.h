// S-system steady-state analysis (solver 12): the closed-form steady state of a power-law model,
// logarithmic gains and sensitivities.
#ifndef QUORVANT_SOLVERLIB_S_STD_SOLVER_H
#define QUORVANT_SOLVERLIB_S_STD_SOLVER_H

#include <cstdio>

// The driver path of solver 12: the analysis on y, then the "index,     y value" header to the
// result stream and, in search mode, one row {0, y[i]/G_VALUE} of the time course. 0 or -1.
int doSolver12(double *y);

// The whole analysis: validates the S-system description, builds the order matrices, solves for
// the steady state (into y[1..n]) and writes the report to the result stream (text mode). 0 or -1.
int SsysSTD(double *y);

// Checks everything the analysis relies on before any matrix is built; logs each problem found.
// 0 when the model can be analysed, else -1.
int ssys_check_model(int n, int m);

// Gd, Hd: n x n; Gi, Hi: n x m (at least one column, so an S-system without independent variables
// still has valid matrices). On failure nothing stays allocated and the four pointers are null.
int allocate_base_matrixes(double ***Gd, double ***Gi, double ***Hd, double ***Hi, int n, int m);

void free_base_matrixes(double **Gd, double **Gi, double **Hd, double **Hi, int n, int m);

// Places every value of "g" into Gd or Gi and every value of "h" into Hd or Hi by its tag. The
// tags must have been checked (ssys_check_model); values whose tags do not fit are skipped.
void set_params(double **Gd, double **Gi, double **Hd, double **Hi, int n, int m);

// Reads the tag of value `index` of parameter number `no`: 1 for the order of a dependent
// variable, 0 for an independent one, with i and j from the tag; -1 if the tag is missing or not
// of the form kind_i_j (i and j are not range-checked here).
int get_param(int no, int index, int *i, int *j);

// Steady state into y[1..n] and the report to fp (no report when fp is null). 0 or -1.
int std_analysis(FILE *fp, double **Gd, double **Gi, double **Hd, double **Hi, double *y, int n,
                 int m);

// Rows of the sensitivities of the metabolites (sens_kinetic) and of the fluxes
// (sens_kinetic_flux) to the non-zero kinetic orders. flag 1: production orders (Md = Gd,
// Mi = Gi, rows "g"); flag 0: degradation orders (Md = Hd, Mi = Hi, rows "h"). M = (Gd - Hd)^-1.
void sens_kinetic(FILE *fp, double **Md, double **Mi, double **M, double *y, int n, int m, int flag);

void sens_kinetic_flux(FILE *fp, double **Md, double **Mi, double **M, double *y, int n, int m,
                       int flag);

#endif
