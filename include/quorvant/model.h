/*
 * Quorvant model interface.
 *
 * A model is one C or C++ source file that includes this header and defines the three functions
 * below. The programs are built for it with
 *     cmake -S . -B build -DQUORVANT_MODEL=/path/to/model.cpp
 *
 * State arrays are addressed 1..n (element 0 is never used); the Jacobian is given as row
 * pointers, jac[i][j] with i, j in 1..n. Every caller passes the G_VALUE scale as g and the
 * address of the working parameter record as p, and clears Jacobian rows and columns 1..n
 * before calling usr_fjac.
 */
#ifndef QUORVANT_MODEL_H
#define QUORVANT_MODEL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct parameter {
    int32_t n_varNR;          /* number of algebraic variables: y[1..n_varNR] */
    int32_t n_var;            /* number of variables n */
    int32_t n_val[128];       /* n_val[p]: number of values of parameter number p (1-based) */
    double val[128][512];     /* val[p][i]: value i (1..511) of parameter number p (1..127) */
} parameter;

/* dydt[i] = residual of algebraic equation i (i <= n_varNR) or time derivative of y[i]. */
void usr_fvec(double *dydt, double *y, double g, parameter *p);

/* jac[i][j] = d dydt[i] / d y[j] for the entries that can be non-zero. */
void usr_fjac(double **jac, double *y, double g, parameter *p);

/* Scores a time course: solution[row][0] = time, solution[row][1..numVar] = values.
 * Returns 0 on success; larger fitness is better. */
int QvUsrFitness(double **solution, int numSteps, int numVar, int status, double *fitness);

#ifdef __cplusplus
}
#endif

#endif /* QUORVANT_MODEL_H */
