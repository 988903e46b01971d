// Vector helpers of the condition estimator: sorting, sign vectors, duplicate columns, random fill.
#ifndef QUORVANT_NDFLIB_CONDEST_UTIL_H
#define QUORVANT_NDFLIB_CONDEST_UTIL_H

#include "quorvant/ndflib/matrix_basic.h"

struct _sort {
    int index;
    double elem;
};

// trg = src sorted ascending; indx[k] = 0-origin position in src of the k-th value.
int mtx_sort_vector(const _matrix *src, _matrix *trg, int *indx);

void _reverse(int len, int *isort);

// Appends the first n elements of cat to the vector trg, whose length grows (an empty,
// cleared record becomes an n x 1 vector).
int _vector_cat(_matrix *trg, const _matrix *cat, int n);

// sgn = -1 for negative elements, +1 otherwise.
int _mysign(const _matrix *mtx, _matrix *sgn);

// Replaces columns of the +-1 matrix m_s parallel to an earlier column or to a column of
// m_sold (null allowed) by random +-1 columns; returns how many columns were replaced.
int _undupli(_matrix *m_s, const _matrix *m_sold);

// Fills with uniform values in [0, 1) from the C library rand().
int mtx_rand(_matrix *mtx);

#endif
