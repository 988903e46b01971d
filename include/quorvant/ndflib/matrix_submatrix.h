// Reading and writing a block of a matrix record, by ranges or by index lists.
#ifndef QUORVANT_NDFLIB_MATRIX_SUBMATRIX_H
#define QUORVANT_NDFLIB_MATRIX_SUBMATRIX_H

#include <utility>

#include "quorvant/ndflib/matrix_basic.h"

int mtx_get_submatrix(const _matrix *src, _matrix *trg, int from_row, int from_col);
int mtx_set_submatrix(const _matrix *src, _matrix *trg, int from_row, int from_col);
int mtx_get_submatrix_by_index(const _matrix *src, _matrix *trg, int nindex, const _index *index);
int mtx_set_submatrix_by_index(const _matrix *src, _matrix *trg, int nindex, const _index *index);

#endif
