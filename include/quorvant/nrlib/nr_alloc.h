// Allocation of the 1-origin dense vectors and matrices (index ranges [nl, nh], [nrl, nrh] x [ncl, nch]).
#ifndef QUORVANT_NRLIB_NR_ALLOC_H
#define QUORVANT_NRLIB_NR_ALLOC_H

double **nr_alloc_matrix(long nrl, long nrh, long ncl, long nch);
void nr_free_matrix(double **m, long nrl, long nrh, long ncl, long nch);
double *nr_alloc_vector(long nl, long nh);
void nr_free_vector(double *v, long nl, long nh);
int *nr_alloc_ivector(long nl, long nh);
void nr_free_ivector(int *v, long nl, long nh);

#endif
