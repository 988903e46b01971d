// Vector and matrix algebra of the real-coded crossovers.
#ifndef QUORVANT_GALIB_UTL_ALGE_H
#define QUORVANT_GALIB_UTL_ALGE_H

// Vector and matrix routines (row-pointer matrices).
double VectorInnerProduct(const double *a, const double *b, int n);

double VectorNorm(const double *a, int n);
int CalculateCenterOfGravity(double **rows, int count, int n, double *g);
int CopyMatrix(double **a, int rows, int cols, double **out);
int TransposedMatrix(double **a, int rows, int cols, double **out);
int ProductMatrix(double **a, int ar, int ac, double **b, int br, int bc, double **c);
int ReductMatrix(double **a, int rows, int cols, double **out);   // rank
int GrammSchmidtOrthogonalize(double **a, int rows, int n, double **q);

#endif
