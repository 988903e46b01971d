// Matrix product, transpose and diagonals of matrix records.
#ifndef QUORVANT_NDFLIB_MATRIX_PRODUCT_H
#define QUORVANT_NDFLIB_MATRIX_PRODUCT_H

#include <utility>

#include "quorvant/ndflib/matrix_basic.h"

int mtx_multiply(const _matrix *MA, const _matrix *MB, _matrix *MX);   // MX must not be MA/MB
int mtx_transpose(const _matrix *src, _matrix *trg);
int mtx_diagonal(const _matrix *vec, _matrix *diag);
int mtx_diagonal2vector(int k, const _matrix *diag, _matrix *vec);

#endif
