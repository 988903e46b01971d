// The NDF solver watching triggers: after every accepted step it evaluates them at the new point;
// where a watched one has changed since the last point it locates the instant on the step's
// interpolant (quorvant/ndflib/trigger_search.h), stores the requested output times before it and
// the point at it as the last point, and stops there. The caller applies what the change means
// and starts a new solve from that point, so the solver restarts at order one with its history
// discarded.
#ifndef QUORVANT_NDFLIB_NDF_ROOTS_H
#define QUORVANT_NDFLIB_NDF_ROOTS_H

#include "quorvant/ndflib/ndf.h"
#include "quorvant/ndflib/ndf_sensitivity.h"

// Triggers at (t, y): on[k] 0/1 and a companion g[k] whose sign follows on[k] (see
// trigger_search.h). A negative result fails the solve.
typedef int (*ndf_trigfunc_t)(double t, double *y, int *on, double *g);

struct _ndf_roots {
    int num;                 // triggers (>= 1)
    ndf_trigfunc_t func;
    const int *watch;        // per trigger: what stops the solve (qv::ndf::kWatchRise, ...)
    // Filled by the solve:
    int found;               // 1: it stopped at a watched change; the last stored point is there
    double t;                // the time of that point
    int *on_before;          // the caller's array of num: the triggers just before t (found 1),
                             //   or at the end of the solve (found 0)
    long nevals;             // counter: trigger evaluations (the caller zeroes it)
};

// ndf_solve (with sensitivities when sens is not null, see ndf_sensitivity.h) that stops at the
// first watched change of a trigger. max_steps > 0: fails after that many accepted steps.
int ndf_solve_roots(_ndf_input *in, _ndf_solution *sol, ndf_odefunc_t odefunc, _ndf_option *option,
                    _ndf_status *stats, _ndf_roots *roots, _ndf_sensitivity *sens = nullptr,
                    long max_steps = 0);

#endif
