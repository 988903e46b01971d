// Shared helpers of the matrix library tests.
#ifndef QUORVANT_TESTS_MATRIX_TEST_UTIL_H
#define QUORVANT_TESTS_MATRIX_TEST_UTIL_H

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "quorvant/ndflib/matrix_basic.h"

// A row x col matrix filled row-major from the list.
inline ScopedMatrix make(int row, int col, std::initializer_list<double> values) {
    ScopedMatrix m(row, col);
    int k = 0;
    for (double v : values) m[k++] = v;
    return m;
}

// What f wrote to standard output (the system log).
inline std::string captured(const std::function<void()> &f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

#endif
