// Owning 1-origin matrix and vector for the dense-routine tests.
#ifndef QUORVANT_TESTS_NR_TEST_MATRIX_H
#define QUORVANT_TESTS_NR_TEST_MATRIX_H

#include <initializer_list>
#include <vector>

#include "quorvant/nrlib/nr_alloc.h"

struct NrMatrix {
    double **m;
    int rows, cols;
    NrMatrix(int r, int c) : m(nr_alloc_matrix(1, r, 1, c)), rows(r), cols(c) {}
    // Rows given in reading order.
    NrMatrix(std::initializer_list<std::initializer_list<double>> init)
        : NrMatrix(static_cast<int>(init.size()), static_cast<int>(init.begin()->size())) {
        int i = 1;
        for (const auto &row : init) {
            int j = 1;
            for (double x : row) m[i][j++] = x;
            ++i;
        }
    }
    NrMatrix(const NrMatrix &o) : NrMatrix(o.rows, o.cols) {
        for (int i = 1; i <= rows; ++i)
            for (int j = 1; j <= cols; ++j) m[i][j] = o.m[i][j];
    }
    NrMatrix &operator=(const NrMatrix &) = delete;
    ~NrMatrix() { nr_free_matrix(m, 1, rows, 1, cols); }
    double *operator[](int i) const { return m[i]; }
};

// A 1-origin vector: element 0 unused.
inline std::vector<double> vec1(std::initializer_list<double> init) {
    std::vector<double> v{0.0};
    v.insert(v.end(), init);
    return v;
}

#endif
