// Singular value decomposition of a 1-origin matrix, and the solve through it.
#ifndef QUORVANT_NRLIB_NR_SVD_H
#define QUORVANT_NRLIB_NR_SVD_H

int nr_svdcmp(double **a, int m, int n, double *w, double **v);
double pythag(double a, double b);
int nr_svbksb(double **u, const double *w, double **v, int m, int n, const double *b, double *x);

#endif
