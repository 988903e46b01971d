// Singular value decomposition A = U diag(w) V^T (Golub-Reinsch: Householder bidiagonalisation,
// then implicitly shifted QR on the bidiagonal form) and the back substitution with it.
#include <cmath>
#include <new>
#include <vector>

#include "quorvant/common/logUtil.h"
#include "quorvant/nrlib/nr_svd.h"

namespace {

constexpr int kMaxSvdIterations = 30;   // QR sweeps allowed per singular value

// Grow-only scratch vectors (addressed 1..n) for the superdiagonal of the bidiagonal form and the
// intermediate product of the back substitution: these routines run per solve in the NDF solver.
std::vector<double> superdiagScratch;
std::vector<double> productScratch;

double *scratch(std::vector<double> &buf, int n) {
    const auto need = static_cast<std::size_t>(n) + 1;
    if (buf.size() < need) {
        try {
            buf.resize(need);
        } catch (const std::bad_alloc &) {
            return nullptr;
        }
    }
    return buf.data();
}

double signOf(double a, double b) { return b >= 0.0 ? std::fabs(a) : -std::fabs(a); }

// |x| is negligible against the norm of the bidiagonal form.
bool negligible(double x, double anorm) { return std::fabs(x) + anorm == anorm; }

// Householder reduction of a (m x n) to bidiagonal form: diagonal in w, superdiagonal in rv1.
// Returns the norm used by the splitting tests.
double bidiagonalise(double **a, int m, int n, double *w, double *rv1) {
    double g = 0.0, scale = 0.0, anorm = 0.0;
    for (int i = 1; i <= n; ++i) {
        const int l = i + 1;
        rv1[i] = scale * g;
        g = scale = 0.0;
        double s = 0.0;
        if (i <= m) {
            for (int k = i; k <= m; ++k) scale += std::fabs(a[k][i]);
            if (scale != 0.0) {
                for (int k = i; k <= m; ++k) {
                    a[k][i] /= scale;
                    s += a[k][i] * a[k][i];
                }
                const double f = a[i][i];
                g = -signOf(std::sqrt(s), f);
                const double h = f * g - s;
                a[i][i] = f - g;
                for (int j = l; j <= n; ++j) {
                    double sum = 0.0;
                    for (int k = i; k <= m; ++k) sum += a[k][i] * a[k][j];
                    const double fj = sum / h;
                    for (int k = i; k <= m; ++k) a[k][j] += fj * a[k][i];
                }
                for (int k = i; k <= m; ++k) a[k][i] *= scale;
            }
        }
        w[i] = scale * g;
        g = scale = 0.0;
        s = 0.0;
        if (i <= m && i != n) {
            for (int k = l; k <= n; ++k) scale += std::fabs(a[i][k]);
            if (scale != 0.0) {
                for (int k = l; k <= n; ++k) {
                    a[i][k] /= scale;
                    s += a[i][k] * a[i][k];
                }
                const double f = a[i][l];
                g = -signOf(std::sqrt(s), f);
                const double h = f * g - s;
                a[i][l] = f - g;
                for (int k = l; k <= n; ++k) rv1[k] = a[i][k] / h;
                for (int j = l; j <= m; ++j) {
                    double sum = 0.0;
                    for (int k = l; k <= n; ++k) sum += a[j][k] * a[i][k];
                    for (int k = l; k <= n; ++k) a[j][k] += sum * rv1[k];
                }
                for (int k = l; k <= n; ++k) a[i][k] *= scale;
            }
        }
        anorm = std::fmax(anorm, std::fabs(w[i]) + std::fabs(rv1[i]));
    }
    return anorm;
}

// Accumulates the right-hand transformations into v.
void accumulateRight(double **a, int n, double **v, const double *rv1) {
    double g = 0.0;
    int l = n + 1;
    for (int i = n; i >= 1; --i) {
        if (i < n) {
            if (g != 0.0) {
                // Double division avoids a possible underflow.
                for (int j = l; j <= n; ++j) v[j][i] = (a[i][j] / a[i][l]) / g;
                for (int j = l; j <= n; ++j) {
                    double s = 0.0;
                    for (int k = l; k <= n; ++k) s += a[i][k] * v[k][j];
                    for (int k = l; k <= n; ++k) v[k][j] += s * v[k][i];
                }
            }
            for (int j = l; j <= n; ++j) v[i][j] = v[j][i] = 0.0;
        }
        v[i][i] = 1.0;
        g = rv1[i];
        l = i;
    }
}

// Accumulates the left-hand transformations into a, which becomes U.
void accumulateLeft(double **a, int m, int n, const double *w) {
    for (int i = (m < n ? m : n); i >= 1; --i) {
        const int l = i + 1;
        double g = w[i];
        for (int j = l; j <= n; ++j) a[i][j] = 0.0;
        if (g != 0.0) {
            g = 1.0 / g;
            for (int j = l; j <= n; ++j) {
                double s = 0.0;
                for (int k = l; k <= m; ++k) s += a[k][i] * a[k][j];
                const double f = (s / a[i][i]) * g;
                for (int k = i; k <= m; ++k) a[k][j] += f * a[k][i];
            }
            for (int j = i; j <= m; ++j) a[j][i] *= g;
        } else {
            for (int j = i; j <= m; ++j) a[j][i] = 0.0;
        }
        a[i][i] += 1.0;
    }
}

// Diagonalises the bidiagonal form, one singular value at a time from the last. Returns -1 when a
// singular value did not converge within the iteration limit.
int diagonalise(double **a, int m, int n, double *w, double **v, double *rv1, double anorm) {
    for (int k = n; k >= 1; --k) {
        for (int its = 1; its <= kMaxSvdIterations; ++its) {
            // Test for splitting; rv1[1] is always 0, so the scan stops at l = 1 at the latest.
            bool cancel = true;
            int l = k;
            int nm = 0;
            for (; l >= 1; --l) {
                nm = l - 1;
                if (negligible(rv1[l], anorm)) {
                    cancel = false;
                    break;
                }
                if (negligible(w[nm], anorm)) break;
            }
            if (cancel) {
                // w[nm] is negligible: cancel rv1[l] by rotations.
                double c = 0.0, s = 1.0;
                for (int i = l; i <= k; ++i) {
                    const double f = s * rv1[i];
                    rv1[i] = c * rv1[i];
                    if (negligible(f, anorm)) break;
                    const double g = w[i];
                    double h = pythag(f, g);
                    w[i] = h;
                    h = 1.0 / h;
                    c = g * h;
                    s = -f * h;
                    for (int j = 1; j <= m; ++j) {
                        const double y = a[j][nm];
                        const double z = a[j][i];
                        a[j][nm] = y * c + z * s;
                        a[j][i] = z * c - y * s;
                    }
                }
            }
            double z = w[k];
            if (l == k) {
                // Converged: make the singular value non-negative.
                if (z < 0.0) {
                    w[k] = -z;
                    for (int j = 1; j <= n; ++j) v[j][k] = -v[j][k];
                }
                break;
            }
            if (its == kMaxSvdIterations) return -1;
            // Shift from the bottom 2 x 2 minor.
            double x = w[l];
            nm = k - 1;
            double y = w[nm];
            double g = rv1[nm];
            double h = rv1[k];
            double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
            g = pythag(f, 1.0);
            f = ((x - z) * (x + z) + h * ((y / (f + signOf(g, f))) - h)) / x;
            // Next QR transformation.
            double c = 1.0, s = 1.0;
            for (int j = l; j <= nm; ++j) {
                const int i = j + 1;
                g = rv1[i];
                y = w[i];
                h = s * g;
                g = c * g;
                z = pythag(f, h);
                rv1[j] = z;
                c = f / z;
                s = h / z;
                f = x * c + g * s;
                g = g * c - x * s;
                h = y * s;
                y *= c;
                for (int jj = 1; jj <= n; ++jj) {
                    x = v[jj][j];
                    z = v[jj][i];
                    v[jj][j] = x * c + z * s;
                    v[jj][i] = z * c - x * s;
                }
                z = pythag(f, h);
                w[j] = z;
                if (z != 0.0) {   // the rotation can be arbitrary when z = 0
                    z = 1.0 / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                for (int jj = 1; jj <= m; ++jj) {
                    y = a[jj][j];
                    z = a[jj][i];
                    a[jj][j] = y * c + z * s;
                    a[jj][i] = z * c - y * s;
                }
            }
            rv1[l] = 0.0;
            rv1[k] = f;
            w[k] = x;
        }
    }
    return 0;
}

}  // namespace

double pythag(double a, double b) {
    const double absa = std::fabs(a);
    const double absb = std::fabs(b);
    if (absa > absb) {
        const double r = absb / absa;
        return absa * std::sqrt(1.0 + r * r);
    }
    if (absb == 0.0) return 0.0;
    const double r = absa / absb;
    return absb * std::sqrt(1.0 + r * r);
}

int nr_svdcmp(double **a, int m, int n, double *w, double **v) {
    if (n <= 0 || m <= 0) return 0;
    double *rv1 = scratch(superdiagScratch, n);
    if (rv1 == nullptr) {
        log_sys("ERROR: nr_svdcmp()\n");
        return -1;
    }
    const double anorm = bidiagonalise(a, m, n, w, rv1);
    accumulateRight(a, n, v, rv1);
    accumulateLeft(a, m, n, w);
    if (diagonalise(a, m, n, w, v, rv1, anorm) != 0) {
        log_sys("ERROR: nr_svdcmp()\n");
        return -1;
    }
    return 0;
}

int nr_svbksb(double **u, const double *w, double **v, int m, int n, const double *b, double *x) {
    if (n <= 0) return 0;
    double *tmp = scratch(productScratch, n);
    if (tmp == nullptr) {
        log_sys("ERROR: nr_svbksb()\n");
        return -1;
    }
    // tmp = diag(1/w) U^T b, leaving out the components with w_j = 0.
    for (int j = 1; j <= n; ++j) {
        double s = 0.0;
        if (w[j] != 0.0) {
            for (int i = 1; i <= m; ++i) s += u[i][j] * b[i];
            s /= w[j];
        }
        tmp[j] = s;
    }
    for (int j = 1; j <= n; ++j) {
        double s = 0.0;
        for (int jj = 1; jj <= n; ++jj) s += v[j][jj] * tmp[jj];
        x[j] = s;
    }
    return 0;
}
