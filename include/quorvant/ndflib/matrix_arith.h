// Element-wise and scalar arithmetic on matrix records.
#ifndef QUORVANT_NDFLIB_MATRIX_ARITH_H
#define QUORVANT_NDFLIB_MATRIX_ARITH_H

#include <utility>

#include "quorvant/ndflib/matrix_basic.h"

int mtx_addup(const _matrix *MA, const _matrix *MB, _matrix *MX);
int mtx_subtract(const _matrix *MA, const _matrix *MB, _matrix *MX);
int mtx_elem_multiply(const _matrix *MA, const _matrix *MB, _matrix *MX);
int mtx_elem_divide(const _matrix *MA, const _matrix *MB, _matrix *MX);
int mtx_elem_power(const _matrix *MA, const _matrix *MB, _matrix *MX);
int mtx_elem_addup_to_scalar(double p, const _matrix *MA, _matrix *MX);
int mtx_elem_subtract_from_scalar(double p, const _matrix *MA, _matrix *MX);
int mtx_elem_multiply_by_scalar(double p, const _matrix *MA, _matrix *MX);
int mtx_elem_divide_into_scalar(double p, const _matrix *MA, _matrix *MX);
int mtx_scalar_addup(const _matrix *MA, double p, _matrix *MX);
int mtx_scalar_multiply(const _matrix *MA, double p, _matrix *MX);
int mtx_scalar_power(const _matrix *MA, double p, _matrix *MX);
int mtx_abs(const _matrix *src, _matrix *abs);

#endif
