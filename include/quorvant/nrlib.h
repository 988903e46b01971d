// Dense 1-origin linear algebra: allocation, LU, SVD, matrix arithmetic and eigenvalues.
#ifndef QUORVANT_NRLIB_H
#define QUORVANT_NRLIB_H

double **nr_alloc_matrix(long nrl, long nrh, long ncl, long nch);
void nr_free_matrix(double **m, long nrl, long nrh, long ncl, long nch);
double *nr_alloc_vector(long nl, long nh);
void nr_free_vector(double *v, long nl, long nh);
int *nr_alloc_ivector(long nl, long nh);
void nr_free_ivector(int *v, long nl, long nh);

void nr_copy_origin0to1(const double *src, double **dst, int row, int col);
void nr_copy_origin1to0(double **src, double *dst, int row, int col);
void nr_add_matrix(double **a, double **b, double **c, int n, int m);
void nr_sub_matrix(double **a, double **b, double **c, int n, int m);
void nr_mult_matrix(double **a, double **b, double **c, int n, int m, int p);
void nr_dump_matrix(const char *name, double **a, long row, long col);

int nr_ludcmp(double **a, int n, int *indx, double *d);           // 0, -2 singular, -1 allocation
void nr_lubksb(double **a, int n, const int *indx, double *b);
int nr_tlubksb(double **a, int n, const int *indx, double *b);
int nr_svdcmp(double **a, int m, int n, double *w, double **v);
double pythag(double a, double b);
int nr_svbksb(double **u, const double *w, double **v, int m, int n, const double *b, double *x);

// Eigenvalues of a general real matrix (destroyed): wr/wi[1..n]. Returns 0, or -1 when the QR
// iteration gave up on some eigenvalue (those entries are NaN).
int GetEigenvalues(double **a, double *wr, double *wi, int n);
void balance(double **a, int n);
void conv_Hessenberg(double **a, int n);
int hqr(double **a, int n, double *wr, double *wi);

#endif
