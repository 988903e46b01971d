// Forward sensitivities with the NDF solver: for an ODE y' = f(t, y; p) (no mass matrix), the
// derivatives s_j = dy/dp_j of the solution with respect to parameters p_1..p_m, integrated
// alongside the states. After each accepted step of the states the sensitivities take the same
// step: the same order, step and NDF formula, whose linear equations are solved with the state
// iteration's factored matrix (iterated against the exact Jacobian at the new point, or factored
// afresh if that converges too slowly). The step and order are chosen by the states alone, or
// (errcon) the sensitivities' error estimate must pass the same test as the states'.
#ifndef QUORVANT_NDFLIB_NDF_SENSITIVITY_H
#define QUORVANT_NDFLIB_NDF_SENSITIVITY_H

#include "quorvant/ndflib/ndf.h"

// df/dp at (t, y): m blocks of n values (block j holds df/dp_j).
typedef int (*ndf_sensfunc_t)(double t, double *y, double *fp);

struct _ndf_sensitivity {
    int num;                  // parameters m (>= 1)
    const double *s0;         // dy/dp at t0[0]: m blocks of n values (read only)
    ndf_sensfunc_t pfunc;     // df/dp
    int errcon;               // non-zero: the sensitivities are under error control too
    int jnnz;                 // the Jacobian's entries that can be non-zero: jindex[0..jnnz-1]
    const int *jindex;        //   (row-major indices); jindex null: a dense Jacobian
    _ndf_solution sol;        // filled by ndf_solve_sens: at each stored point of the states the m
                              // blocks of n sensitivities (sol.tt repeats the times)
    int nfactor;              // counter: fresh factorisations the sensitivity steps needed
};

struct _ndf_roots;

// ndf_solve with sensitivities. The option's Jacobian function is required and the mass matrix
// must be the identity (no DAE). With roots it also stops at a trigger change (ndf_roots.h). Release sens->sol with ndf_term. max_steps > 0: the solve fails
// ("ERROR: more than N steps") after that many accepted steps.
int ndf_solve_sens(_ndf_input *in, _ndf_solution *sol, ndf_odefunc_t odefunc, _ndf_option *option,
                   _ndf_status *stats, _ndf_sensitivity *sens, long max_steps = 0,
                   _ndf_roots *roots = nullptr);

// ndf_solve that fails ("ERROR: more than N steps") after max_steps accepted steps (> 0): a
// search's evaluation at a point where the model is hopelessly stiff ends instead of crawling.
int ndf_solve_limited(_ndf_input *in, _ndf_solution *sol, ndf_odefunc_t odefunc, _ndf_option *option,
                      _ndf_status *stats, long max_steps);

#endif
