// The pieces of one NDF step: prediction, the difference table, step-size changes and interpolation.
#ifndef QUORVANT_NDFLIB_NDF_STEPS_H
#define QUORVANT_NDFLIB_NDF_STEPS_H

#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/ndf.h"

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

#endif
