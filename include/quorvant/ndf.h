// Variable-order NDF/BDF solver for stiff systems M(t,y)·y' = f(t,y), including index-1 DAEs
// (singular constant or time-dependent mass matrix).
//
// Life cycle: ndf_init(&opt) -> set options -> ndf_solve(&in, &sol, f, &opt, &stats) -> read
// sol.tnum/tt/yy and stats -> ndf_term(&sol). All arrays are 0-origin; matrices are dense n×n,
// row-major (element (i,j) at i·n + j).
#ifndef QUORVANT_NDF_H
#define QUORVANT_NDF_H

#include "quorvant/c_que.h"
#include "quorvant/ndf_matrix.h"

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

// ---- Steps of the integrator (vectors are n×1, the differences n×(max_k+2)) ---------------
// Each returns 0, or -1 after logging "ERROR: <name>()\n".

// v_pred = v_y + the row sums of the first order_k difference columns.
int _predict_y(const _ndf_input *in, int order_k, const _matrix *m_dif, const _matrix *v_y,
               _matrix *v_pred);
// v_psi = D(:,1..k)·(G_1..G_k)·inv_g[k]; inv_g and v_gamma hold the 5 order coefficients.
int _get_psi(int order_k, const _matrix *inv_g, const _matrix *v_gamma, const _matrix *m_dif,
             _matrix *v_psi);
// Rescales the first order_k difference columns from the old to the new step
// (h_rate = new/old), with the max_k×max_k step-change matrices.
int _change_stepsize(int order_k, int max_k, double h_rate, const _matrix *m_kJ,
                     const _matrix *m_kI, const _matrix *m_difU, _matrix *m_dif);
// Value at tinterp of the interpolating polynomial of order k through (tnew, v_ynew).
int _interpolate(double h, int k, double tnew, const _matrix *v_ynew, const _matrix *m_dif,
                 double tinterp, _matrix *v_yinterp);
// v_rowscale_i = 1 / max_j |m_iter(i,j)|; m_iter = diag(v_rowscale)·m_iter.
int _matrix_rowscale(_matrix *v_rowscale, _matrix *m_iter);

// A queue node holding t and a copy of v_y, or null ("ERROR: _alloc_que()\n").
_que_result *_alloc_que(double t, const _matrix *v_y);
void _free_que(_que_result *que);

// ---- Numerical Jacobian and consistent DAE start ---------------------------------------

// Forward-difference Jacobian m_dfdy (n×n) of odefunc at (t, v_y) with v_f = f(t, v_y).
// v_fac holds the increment factors carried from call to call (isempty: start them afresh).
int _numerical_jacobian(double t, const _matrix *v_y, const _matrix *v_f, ndf_odefunc_t odefunc,
                        const _matrix *v_threshold, int isempty, _matrix *v_fac,
                        _matrix *m_dfdy, _ndf_status *stats);
// Consistent start of an index-1 DAE with a state-independent mass matrix m_m0:
// ictype 1 diagonal, 2 general constant. Corrects the algebraic part of v_y0 (and v_f0),
// computes the slope v_yp0 and leaves the Jacobian in m_dfdy0.
int _daeic_state_independent(const _ndf_input *in, const _ndf_option *opt,
                             const _matrix *m_m0, int ictype, double t0, _matrix *v_y0,
                             _matrix *v_yp0, _matrix *v_f0, const _matrix *v_threshold,
                             _matrix *v_fac, _matrix *m_dfdy0, ndf_odefunc_t odefunc,
                             _ndf_status *stats);
// v_yp0 = V·z, z_i = v_f_i / v_d_i at the ndif_index differential positions, 0 elsewhere.
// m_v null stands for the identity.
int _set_yp(const _matrix *v_f, const _matrix *v_d, const _matrix *m_v, int ndif_index,
            const _index *dif_index, _matrix *v_yp0);

#endif
