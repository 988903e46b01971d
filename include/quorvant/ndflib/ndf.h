// Variable-order NDF/BDF solver for stiff systems M(t,y) y' = f(t,y), index-1 DAEs included: its
// option, input, solution and status records and its lifecycle (ndf_init, ndf_solve, ndf_term).
#ifndef QUORVANT_NDFLIB_NDF_H
#define QUORVANT_NDFLIB_NDF_H

#include "quorvant/common/c_que.h"
#include "quorvant/quorvant_baselib/dosolver3_adapters.h"

// Right-hand side f(t, y) -> f (n values). A negative result at the first evaluation fails the
// solve; later results are ignored.
typedef int (*ndf_odefunc_t)(double t, double *y, double *f);

// Fills an n×n row-major matrix at (t, y): the Jacobian df/dy or the mass matrix M.
typedef int (*ndf_matfunc_t)(double t, double *y, double *m);

struct _ndf_tolerance {
    double rel;      // relative tolerance rtol (raised to 100·2^-52 by the solver if below)
    double abs;      // absolute tolerance atol, one value for all components
    int normctrl;    // non-zero: error control by the Euclidean norm of the whole vector
    int positive;    // non-zero: reject every step that makes a component negative
};

struct _ndf_jacobian {
    double *jconst;          // constant Jacobian (n×n) or null
    ndf_matfunc_t jfunc;     // Jacobian function or null; both null: numerical Jacobian
};

struct _ndf_dae {
    double *mconst;          // constant mass matrix (n×n) or null
    ndf_matfunc_t mfunc;     // mass-matrix function; takes precedence over mconst
    int ydepend;             // state dependence of mfunc: 0 none, 1 weak, 2 strong
    int singular;            // 0 singular (a DAE), 1 regular, 2 decide by estimate
    double *initslope;       // guess of y'(t0) (n values) or null
};

struct _ndf_step {
    double maxsize;          // largest step; <= 0: a tenth of the interval
    double initstep;         // first step to try; <= 0: automatic
};

struct _ndf_bdf {
    int order;               // largest order, 1..5
    int isbdf;               // non-zero: BDF instead of NDF coefficients
};

struct _ndf_option {
    _ndf_tolerance tol;
    _ndf_jacobian jac;
    _ndf_dae dae;
    _ndf_step step;
    _ndf_bdf bdf;
};

// Counters: the solver only increments them; the caller zeroes them.
struct _ndf_status {
    int nsteps;      // accepted steps
    int nfailed;     // reserved (not incremented)
    int nfevals;     // the evaluation at t0
    int npds;        // Jacobian formations
    int ndecomps;    // LU decompositions (mass matrix and iteration matrix)
    int nsolves;     // solves with the decomposed mass matrix for the initial slope
};

struct _ndf_input {
    int t0num;       // number of output times (>= 2)
    double *t0;      // output times, increasing; t0[0] start, t0[t0num-1] end
    int y0num;       // number of components n
    double *y0;      // initial values (read only)
};

// Filled by ndf_solve (also after a failure: the points computed so far), released by ndf_term.
struct _ndf_solution {
    int tnum;        // number of stored points
    double *tt;      // their times
    double *yy;      // tnum·n values, point after point
};

// One stored output point of a queue of results (time order).
struct _que_result {
    c_que que;
    double t;
    double *y;       // heap copy of the n values
};

void ndf_init(_ndf_option *option);

int ndf_solve(_ndf_input *in, _ndf_solution *sol, ndf_odefunc_t odefunc, _ndf_option *option,
              _ndf_status *stats);

void ndf_term(_ndf_solution *sol);

#endif
