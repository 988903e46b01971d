// The adapters through which the 0-based NDF solver reaches the 1-based model code.
#ifndef QUORVANT_QUORVANT_BASELIB_DOSOLVER3_ADAPTERS_H
#define QUORVANT_QUORVANT_BASELIB_DOSOLVER3_ADAPTERS_H

// Right-hand side for the NDF solver: usr_fvec on the 0-based arrays y and dydt (n = Param.n_var)
// with GeneConc and Param. Always 0.
int odefunc(double t, double *y, double *dydt);

// Jacobian for the NDF solver: usr_fjac into a cleared 1-based work matrix, copied to the n×n
// row-major J (J[i·n + j] = d dydt[i+1] / d y[j+1]). Always 0.
int jacfunc(double t, double *y, double *J);

// Triggers of the model's events for the NDF solver: on[k] and g[k] at the 0-based state y.
int trigfunc(double t, double *y, int *on, double *g);

#endif
