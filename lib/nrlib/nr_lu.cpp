// LU decomposition (Crout's method with implicit row scaling and partial pivoting) and the
// substitutions that solve A x = b and A^T x = b with its result.
#include <cmath>
#include <new>
#include <vector>

#include "quorvant/common/logUtil.h"
#include "quorvant/nrlib/nr_lu.h"

namespace {

// A pivot that is exactly zero is replaced by this value, so a matrix that becomes singular only
// during elimination still yields a (badly conditioned) decomposition instead of a division by 0.
constexpr double kTinyPivot = 1.0e-20;

// Row scale factors of nr_ludcmp. The decomposition runs once per Newton iteration and per NDF
// Jacobian update, so the buffer is kept and only grows.
std::vector<double> scaleScratch;

double *scaleVector(int n) {
    const auto need = static_cast<std::size_t>(n) + 1;
    if (scaleScratch.size() < need) {
        try {
            scaleScratch.resize(need);
        } catch (const std::bad_alloc &) {
            return nullptr;
        }
    }
    return scaleScratch.data();
}

}  // namespace

int nr_ludcmp(double **a, int n, int *indx, double *d) {
    *d = 1.0;
    if (n <= 0) return 0;
    double *vv = scaleVector(n);
    if (vv == nullptr) {
        log_sys("nr_alloc_vector() ERROR\n");
        log_sys("ERROR: nr_ludcmp()\n");
        return -1;
    }
    // 1. Scale of each row; a row of zeros (or of values that are not numbers) is singular.
    for (int i = 1; i <= n; ++i) {
        double big = 0.0;
        for (int j = 1; j <= n; ++j) {
            const double temp = std::fabs(a[i][j]);
            if (temp > big) big = temp;
        }
        if (big == 0.0) {
            log_sys("## Singular matrix in nr_ludcmp\n");
            return -2;
        }
        vv[i] = 1.0 / big;
    }
    // 2. Column by column: the U part above the diagonal, then the L part with the pivot search.
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i < j; ++i) {
            double sum = a[i][j];
            for (int k = 1; k < i; ++k) sum -= a[i][k] * a[k][j];
            a[i][j] = sum;
        }
        double big = 0.0;
        int imax = j;
        for (int i = j; i <= n; ++i) {
            double sum = a[i][j];
            for (int k = 1; k < j; ++k) sum -= a[i][k] * a[k][j];
            a[i][j] = sum;
            const double dum = vv[i] * std::fabs(sum);
            if (dum >= big) {   // the last of equal candidates wins
                big = dum;
                imax = i;
            }
        }
        // 3. Row interchange.
        if (j != imax) {
            for (int k = 1; k <= n; ++k) {
                const double dum = a[imax][k];
                a[imax][k] = a[j][k];
                a[j][k] = dum;
            }
            *d = -(*d);
            vv[imax] = vv[j];
        }
        indx[j] = imax;
        // 4. Divide the column below the pivot by it.
        if (a[j][j] == 0.0) a[j][j] = kTinyPivot;
        if (j != n) {
            const double dum = 1.0 / a[j][j];
            for (int i = j + 1; i <= n; ++i) a[i][j] *= dum;
        }
    }
    return 0;
}

void nr_lubksb(double **a, int n, const int *indx, double *b) {
    // Forward substitution with the unit L, applying the interchanges; the sums start at the
    // first non-zero element of b (ii), so leading zeros cost nothing.
    int ii = 0;
    for (int i = 1; i <= n; ++i) {
        const int ip = indx[i];
        double sum = b[ip];
        b[ip] = b[i];
        if (ii != 0) {
            for (int j = ii; j < i; ++j) sum -= a[i][j] * b[j];
        } else if (sum != 0.0) {
            ii = i;
        }
        b[i] = sum;
    }
    // Back substitution with U.
    for (int i = n; i >= 1; --i) {
        double sum = b[i];
        for (int j = i + 1; j <= n; ++j) sum -= a[i][j] * b[j];
        b[i] = sum / a[i][i];
    }
}

int nr_tlubksb(double **a, int n, const int *indx, double *b) {
    // P A = L U, so A^T = U^T L^T P: solve U^T z = b, then L^T w = z, then x = P^T w.
    // Forward substitution with U^T (lower triangular, U's diagonal), skipping leading zeros.
    int ii = 0;
    for (int i = 1; i <= n; ++i) {
        double sum = b[i];
        if (ii != 0) {
            for (int j = ii; j < i; ++j) sum -= a[j][i] * b[j];
        } else if (sum != 0.0) {
            ii = i;
        }
        b[i] = sum / a[i][i];
    }
    // Back substitution with the unit upper triangular L^T.
    for (int i = n; i >= 1; --i) {
        double sum = b[i];
        for (int j = i + 1; j <= n; ++j) sum -= a[j][i] * b[j];
        b[i] = sum;
    }
    // Undo the interchanges in reverse order.
    for (int i = n; i >= 1; --i) {
        const int ip = indx[i];
        if (ip != i) {
            const double dum = b[i];
            b[i] = b[ip];
            b[ip] = dum;
        }
    }
    return 0;
}
