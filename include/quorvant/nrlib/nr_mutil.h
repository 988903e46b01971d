// Copies between 0-origin and 1-origin storage, and the arithmetic and dump of 1-origin matrices.
#ifndef QUORVANT_NRLIB_NR_MUTIL_H
#define QUORVANT_NRLIB_NR_MUTIL_H

void nr_copy_origin0to1(const double *src, double **dst, int row, int col);
void nr_copy_origin1to0(double **src, double *dst, int row, int col);
void nr_add_matrix(double **a, double **b, double **c, int n, int m);
void nr_sub_matrix(double **a, double **b, double **c, int n, int m);
void nr_mult_matrix(double **a, double **b, double **c, int n, int m, int p);
void nr_dump_matrix(const char *name, double **a, long row, long col);

#endif
