// Numerical Jacobian by finite differences with adaptive increments.
#ifndef QUORVANT_NDFLIB_NUMJAC_H
#define QUORVANT_NDFLIB_NUMJAC_H

#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/ndf.h"
#include "quorvant/quorvant_baselib/dosolver3_adapters.h"

// Forward-difference Jacobian m_dfdy (n×n) of odefunc at (t, v_y) with v_f = f(t, v_y).
// v_fac holds the increment factors carried from call to call (isempty: start them afresh).
int _numerical_jacobian(double t, const _matrix *v_y, const _matrix *v_f, ndf_odefunc_t odefunc,
                        const _matrix *v_threshold, int isempty, _matrix *v_fac,
                        _matrix *m_dfdy, _ndf_status *stats);

#endif
