// Consistent initial values of an index-1 DAE, and the initial slope.
#ifndef QUORVANT_NDFLIB_DAEIC_H
#define QUORVANT_NDFLIB_DAEIC_H

#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/ndf.h"
#include "quorvant/quorvant_baselib/dosolver3_adapters.h"

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
