// Dense matrix toolkit of the NDF solver: a plain row-major, 0-origin matrix record with
// caller-owned storage, element-wise arithmetic, reductions, norms, searches by relation and
// sub-matrix copies by offsets or index lists.
//
// Conventions: every operation returns 0 on success and -1 on failure (after logging a line
// naming itself); predicates and counters return their value. No operation allocates its
// result: the caller sizes it (mtx_alloc) beforehand. A vector is a column matrix (n x 1);
// operations that accept "a vector" also take a row (1 x n) and use the larger dimension.
#ifndef QUORVANT_NDF_MATRIX_H
#define QUORVANT_NDF_MATRIX_H

#include <cstdint>
#include <utility>

#include "quorvant/c_que.h"

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

// ---- Life cycle -------------------------------------------------------------------------
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

// ---- Predicates, fills and counts -------------------------------------------------------
int mtx_isdiagonal(const _matrix *mtx);
int mtx_issparse(const _matrix *mtx);
int mtx_unit(_matrix *mtx);
int mtx_unique(double s, _matrix *mtx);
int mtx_nonzero(const _matrix *mtx);
int mtx_elem_count(double val, const _matrix *mtx);
int mtx_sign(const _matrix *mtx, _matrix *sgn);
int mtx_any(const _matrix *mtx, int relation, double val);
// Returns the number of matches (or -1); the list is stored through indexpp (null when none)
// and released with mtx_index_free.
int mtx_index(const _matrix *mtx, int relation, double val, _index **indexpp);
void mtx_index_free(_index *index);
int mtx_set_elem(double val, int len, const _index *index, _matrix *mtx);

// ---- Element-wise arithmetic (the result may be an operand) -----------------------------
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

// ---- Products and rearrangements --------------------------------------------------------
int mtx_multiply(const _matrix *MA, const _matrix *MB, _matrix *MX);   // MX must not be MA/MB
int mtx_transpose(const _matrix *src, _matrix *trg);
int mtx_diagonal(const _matrix *vec, _matrix *diag);
int mtx_diagonal2vector(int k, const _matrix *diag, _matrix *vec);
int mtx_get_submatrix(const _matrix *src, _matrix *trg, int from_row, int from_col);
int mtx_set_submatrix(const _matrix *src, _matrix *trg, int from_row, int from_col);
int mtx_get_submatrix_by_index(const _matrix *src, _matrix *trg, int nindex, const _index *index);
int mtx_set_submatrix_by_index(const _matrix *src, _matrix *trg, int nindex, const _index *index);

// ---- Reductions (into a vector the caller sized) ----------------------------------------
int mtx_sum(int sumdir, const _matrix *mtx, _matrix *sum);
int mtx_min(const _matrix *src, _matrix *min);
int mtx_max(const _matrix *src, _matrix *max);
int mtx_max_index(const _matrix *src, _matrix *max, int *index);
int mtx_max_row(const _matrix *src, _matrix *max);
int mtx_max2(const _matrix *src0, const _matrix *src1, _matrix *max);
int mtx_cumprod(const _matrix *mtx, int dim, _matrix *cum);

// ---- Norms ------------------------------------------------------------------------------
// Column vector: p = 0 largest |x|, p = -1 smallest |x|, p >= 1 the p-norm.
// Square matrix: p = 0 infinity norm, p = 1 one-norm, p = 2 largest singular value.
int mtx_norm(const _matrix *mtx, double p, double *norm);

// ---- Debug dump (debug log, only while Dbg_Level >= level) ------------------------------
void mtx_dump(int level, const char *com, const _matrix *mtx);
void mtx_dump_withname(int level, const char *com, const char *name, const _matrix *mtx);

// ---- C++ owners -------------------------------------------------------------------------
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

// Owns an index list produced by mtx_index.
struct ScopedIndex {
    _index *list = nullptr;

    ScopedIndex() = default;
    ~ScopedIndex() { mtx_index_free(list); }
    ScopedIndex(const ScopedIndex &) = delete;
    ScopedIndex &operator=(const ScopedIndex &) = delete;
    ScopedIndex(ScopedIndex &&o) noexcept : list(std::exchange(o.list, nullptr)) {}
    ScopedIndex &operator=(ScopedIndex &&o) noexcept {
        if (this != &o) {
            mtx_index_free(list);
            list = std::exchange(o.list, nullptr);
        }
        return *this;
    }

    // Address to pass as mtx_index's indexpp; any list held is released first.
    _index **out() {
        mtx_index_free(list);
        list = nullptr;
        return &list;
    }
    _index *get() const { return list; }
    const _index &operator[](int k) const { return list[k]; }
};

#endif
