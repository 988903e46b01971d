// Small dense vector and matrix routines for the multi-parent crossovers. Matrices are arrays of
// row pointers (double **), 0-origin; the caller owns the storage. Nothing here allocates: the
// few work rows are bounded by the number of search variables.
#include <cmath>

#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/utl_alge.h"

namespace {

// Longest row the elimination and the orthogonalisation keep work storage for.
constexpr int kMaxColumns = qv::kGaVariableRoom;

constexpr char kMsgProduct[] = " ## Error: Cannot calculate product of matrices.\n";
constexpr char kMsgCenter[] = " ## System Error: In CalculateCenterOfGravity.\n";
constexpr char kMsgReduct[] = " ## System Error: In ReductMatrix.\n";
constexpr char kMsgGramm[] = " ## System Error: In GrammSchmidtOrthogonalize.\n";

}  // namespace

double VectorInnerProduct(const double *a, const double *b, int n) {
    double sum = 0.0;
    for (int k = 0; k < n; ++k) sum += a[k] * b[k];
    return sum;
}

double VectorNorm(const double *a, int n) { return std::sqrt(VectorInnerProduct(a, a, n)); }

int CalculateCenterOfGravity(double **rows, int count, int n, double *g) {
    if (count < 1) {
        log_sys(kMsgCenter);
        return -1;
    }
    for (int k = 0; k < n; ++k) {
        double sum = 0.0;
        for (int i = 0; i < count; ++i) sum += rows[i][k];
        g[k] = sum / count;
    }
    return 0;
}

int CopyMatrix(double **a, int rows, int cols, double **out) {
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) out[i][j] = a[i][j];
    return 0;
}

int TransposedMatrix(double **a, int rows, int cols, double **out) {
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) out[j][i] = a[i][j];
    return 0;
}

int ProductMatrix(double **a, int ar, int ac, double **b, int br, int bc, double **c) {
    if (ac != br) {
        log_sys(kMsgProduct);
        return -1;
    }
    for (int i = 0; i < ar; ++i) {
        for (int j = 0; j < bc; ++j) {
            double sum = 0.0;
            for (int k = 0; k < ac; ++k) sum += a[i][k] * b[k][j];
            c[i][j] = sum;
        }
    }
    return 0;
}

// Row echelon form by elimination with full pivot search over the rows not yet reduced and the
// columns not yet used. Only rows are exchanged and combined, so the first `rank` rows of out
// span the row space of a in the original coordinates. Returns the rank, or -1 when a row is
// longer than the work storage.
int ReductMatrix(double **a, int rows, int cols, double **out) {
    if (rows < 0 || cols < 0 || cols > kMaxColumns) {
        log_sys(kMsgReduct);
        return -1;
    }
    CopyMatrix(a, rows, cols, out);

    bool used[kMaxColumns] = {};
    int rank = 0;
    for (int k = 0; k < rows && k < cols; ++k) {
        // The largest element; a later one must be strictly larger to replace it.
        // Starting from 0 and replacing only on "strictly larger" picks the first element of
        // largest magnitude and never a NaN; no pivot means only zeros are left.
        double largest = 0.0;
        int pivotRow = -1;
        int pivotCol = -1;
        for (int i = k; i < rows; ++i) {
            for (int j = 0; j < cols; ++j) {
                if (used[j]) continue;
                const double v = std::fabs(out[i][j]);
                if (v > largest) {
                    largest = v;
                    pivotRow = i;
                    pivotCol = j;
                }
            }
        }
        if (pivotRow < 0) break;

        if (pivotRow != k) {   // exchange the contents: the caller's row pointers stay as given
            for (int j = 0; j < cols; ++j) {
                const double tmp = out[k][j];
                out[k][j] = out[pivotRow][j];
                out[pivotRow][j] = tmp;
            }
        }
        const double pivot = out[k][pivotCol];
        for (int j = 0; j < cols; ++j) out[k][j] /= pivot;
        for (int i = k + 1; i < rows; ++i) {
            const double factor = out[i][pivotCol];
            if (factor == 0.0) continue;
            for (int j = 0; j < cols; ++j) out[i][j] -= factor * out[k][j];
        }
        used[pivotCol] = true;
        ++rank;
    }
    return rank;
}

// Classical Gram-Schmidt: every projection coefficient uses the input row a_i, and q may be the
// same storage as a.
int GrammSchmidtOrthogonalize(double **a, int rows, int n, double **q) {
    if (n < 0 || n > kMaxColumns) {
        log_sys(kMsgGramm);
        return -1;
    }
    double row[kMaxColumns];
    for (int i = 0; i < rows; ++i) {
        for (int k = 0; k < n; ++k) row[k] = a[i][k];
        for (int l = 0; l < i; ++l) {
            const double c = VectorInnerProduct(a[i], q[l], n);
            for (int k = 0; k < n; ++k) row[k] -= c * q[l][k];
        }
        const double norm = VectorNorm(row, n);
        for (int k = 0; k < n; ++k) q[i][k] = row[k] / norm;
    }
    return 0;
}
