// Dense matrix record of the NDF solver (row-major, 0-origin) and its index record: allocation,
// clearing, owners, the elementary tests and the dump.
#ifndef QUORVANT_NDFLIB_MATRIX_BASIC_H
#define QUORVANT_NDFLIB_MATRIX_BASIC_H

#include <cstdint>
#include <utility>

#include "quorvant/common/c_que.h"

// Element (i, j) is elem[i * col + j].
struct _matrix {
    int32_t row;
    int32_t col;
    double *elem;
};

typedef _matrix m_matrix_t;

// A position in a matrix. In a list naming positions of a vector either every j is 0 (the
// list runs through i) or every i is 0 (the list runs through j).
struct _index {
    int32_t i;
    int32_t j;
};

typedef _index m_index_t;

// Queue node used while mtx_index collects its matches.
struct _que_index {
    c_que que;
    _index index;
};

// Relation codes of mtx_any and mtx_index: element <relation> value.
inline constexpr int MTX_EQ = 0;   // equal

inline constexpr int MTX_NE = 1;   // not equal
inline constexpr int MTX_LT = 2;   // less than
inline constexpr int MTX_LE = 3;   // less or equal
inline constexpr int MTX_GT = 4;   // greater than
inline constexpr int MTX_GE = 5;   // greater or equal

// Direction codes of mtx_sum and mtx_cumprod (any value other than MTX_DOWN_COLUMNS works
// along the rows).
inline constexpr int MTX_DOWN_COLUMNS = 1;

inline constexpr int MTX_ALONG_ROWS = 2;

// A record is cleared (row = col = 0, elem = null) before first use. mtx_alloc sets row and
// col and allocates row*col zero-filled doubles; on failure elem stays null and -1 is
// returned without a message (the caller logs "MTX_SET_ALLOC()\n"). A record holding storage
// is released first. A size of 0 gives a non-null one-element block so that elem can still be
// tested; negative sizes fail. mtx_free frees elem (null allowed) and clears the record.
void mtx_clear(_matrix *m);

int mtx_alloc(_matrix *m, int row, int col);
void mtx_free(_matrix *m);

// Length of a vector: the larger dimension.
inline int mtx_veclen(const _matrix *m) { return m->row > m->col ? m->row : m->col; }

int mtx_isdiagonal(const _matrix *mtx);
int mtx_issparse(const _matrix *mtx);
int mtx_unit(_matrix *mtx);
int mtx_unique(double s, _matrix *mtx);
int mtx_nonzero(const _matrix *mtx);
int mtx_elem_count(double val, const _matrix *mtx);
int mtx_sign(const _matrix *mtx, _matrix *sgn);
void mtx_dump(int level, const char *com, const _matrix *mtx);
void mtx_dump_withname(int level, const char *com, const char *name, const _matrix *mtx);

// Owns one matrix record and releases it on every path. ok() tells whether the storage
// exists (test it after construction or alloc() and log "MTX_SET_ALLOC()\n" when false).
struct ScopedMatrix {
    _matrix m{0, 0, nullptr};

    ScopedMatrix() = default;
    ScopedMatrix(int row, int col) { mtx_alloc(&m, row, col); }
    ~ScopedMatrix() { mtx_free(&m); }
    ScopedMatrix(const ScopedMatrix &) = delete;
    ScopedMatrix &operator=(const ScopedMatrix &) = delete;
    ScopedMatrix(ScopedMatrix &&o) noexcept : m(o.m) { mtx_clear(&o.m); }
    ScopedMatrix &operator=(ScopedMatrix &&o) noexcept {
        if (this != &o) {
            mtx_free(&m);
            m = o.m;
            mtx_clear(&o.m);
        }
        return *this;
    }

    int alloc(int row, int col) { return mtx_alloc(&m, row, col); }
    void release() { mtx_free(&m); }
    bool ok() const { return m.elem != nullptr; }
    _matrix *get() { return &m; }
    const _matrix *get() const { return &m; }
    _matrix *operator->() { return &m; }
    const _matrix *operator->() const { return &m; }
    double &operator()(int i, int j) { return m.elem[i * m.col + j]; }
    double operator()(int i, int j) const { return m.elem[i * m.col + j]; }
    double &operator[](int k) { return m.elem[k]; }
    double operator[](int k) const { return m.elem[k]; }
};

using MatrixOwner = ScopedMatrix;

#endif
