// LU decomposition with partial pivoting of a 1-origin matrix, and the solves with its factors.
#ifndef QUORVANT_NRLIB_NR_LU_H
#define QUORVANT_NRLIB_NR_LU_H

int nr_ludcmp(double **a, int n, int *indx, double *d);           // 0, -2 singular, -1 allocation
void nr_lubksb(double **a, int n, const int *indx, double *b);
int nr_tlubksb(double **a, int n, const int *indx, double *b);

#endif
