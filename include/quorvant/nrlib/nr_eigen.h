// Eigenvalues of a general real matrix: balancing, reduction to Hessenberg form and the QR iteration.
#ifndef QUORVANT_NRLIB_NR_EIGEN_H
#define QUORVANT_NRLIB_NR_EIGEN_H

// Eigenvalues of a general real matrix (destroyed): wr/wi[1..n]. Returns 0, or -1 when the QR
// iteration gave up on some eigenvalue (those entries are NaN).
int GetEigenvalues(double **a, double *wr, double *wi, int n);

void balance(double **a, int n);
void conv_Hessenberg(double **a, int n);
int hqr(double **a, int n, double *wr, double *wi);

#endif
