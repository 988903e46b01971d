// Eigenvalues of a general real matrix: balancing, reduction to upper Hessenberg form by
// elimination with pivoting, and the Francis double-shift QR algorithm.
#include <cmath>
#include <limits>

#include "quorvant/common/logUtil.h"
#include "quorvant/nrlib/nr_eigen.h"

namespace {

// Balancing.
constexpr double kRadix = 2.0;               // scale factors are powers of the floating-point radix
constexpr double kBalanceGain = 0.95;        // rescale only when the norms shrink by at least 5 %

// QR iteration.
constexpr int kExceptionalShift1 = 10;       // iterations on one eigenvalue before an ad-hoc shift
constexpr int kExceptionalShift2 = 20;
constexpr int kMaxQrIterations = 30;         // iterations on one eigenvalue before giving up
constexpr double kExceptionalShiftScale = 0.75;
constexpr double kExceptionalShiftProduct = -0.4375;

double signOf(double a, double b) { return b >= 0.0 ? std::fabs(a) : -std::fabs(a); }

}  // namespace

void balance(double **a, int n) {
    const double sqrdx = kRadix * kRadix;
    bool done = false;
    while (!done) {
        done = true;
        for (int i = 1; i <= n; ++i) {
            double r = 0.0, c = 0.0;
            for (int j = 1; j <= n; ++j) {
                if (j != i) {
                    c += std::fabs(a[j][i]);
                    r += std::fabs(a[i][j]);
                }
            }
            if (c != 0.0 && r != 0.0) {
                double g = r / kRadix;
                double f = 1.0;
                const double s = c + r;
                while (c < g) {
                    f *= kRadix;
                    c *= sqrdx;
                }
                g = r * kRadix;
                while (c > g) {
                    f /= kRadix;
                    c /= sqrdx;
                }
                if ((c + r) / f < kBalanceGain * s) {
                    done = false;
                    g = 1.0 / f;
                    for (int j = 1; j <= n; ++j) a[i][j] *= g;
                    for (int j = 1; j <= n; ++j) a[j][i] *= f;
                }
            }
        }
    }
}

void conv_Hessenberg(double **a, int n) {
    for (int m = 2; m < n; ++m) {
        // Pivot: the largest element of column m-1 at or below row m (the first of equals).
        double x = 0.0;
        int i = m;
        for (int j = m; j <= n; ++j) {
            if (std::fabs(a[j][m - 1]) > std::fabs(x)) {
                x = a[j][m - 1];
                i = j;
            }
        }
        if (i != m) {
            for (int j = m - 1; j <= n; ++j) {
                const double t = a[i][j];
                a[i][j] = a[m][j];
                a[m][j] = t;
            }
            for (int j = 1; j <= n; ++j) {
                const double t = a[j][i];
                a[j][i] = a[j][m];
                a[j][m] = t;
            }
        }
        if (x != 0.0) {
            for (int r = m + 1; r <= n; ++r) {
                double y = a[r][m - 1];
                if (y != 0.0) {
                    y /= x;
                    a[r][m - 1] = y;   // the multiplier stays below the Hessenberg part
                    for (int j = m; j <= n; ++j) a[r][j] -= y * a[m][j];
                    for (int j = 1; j <= n; ++j) a[j][m] += y * a[j][r];
                }
            }
        }
    }
}

int hqr(double **a, int n, double *wr, double *wi) {
    // Norm of the Hessenberg part, used when a local norm vanishes.
    double anorm = 0.0;
    for (int i = 1; i <= n; ++i)
        for (int j = (i > 1 ? i - 1 : 1); j <= n; ++j) anorm += std::fabs(a[i][j]);

    int nn = n;
    double t = 0.0;   // accumulated exceptional shifts
    while (nn >= 1) {
        int its = 0;
        int l = 0;
        do {
            // Look for a single small subdiagonal element.
            for (l = nn; l >= 2; --l) {
                double s = std::fabs(a[l - 1][l - 1]) + std::fabs(a[l][l]);
                if (s == 0.0) s = anorm;
                if (std::fabs(a[l][l - 1]) + s == s) {
                    a[l][l - 1] = 0.0;
                    break;
                }
            }
            double x = a[nn][nn];
            if (l == nn) {
                // One real root found.
                wr[nn] = x + t;
                wi[nn] = 0.0;
                --nn;
                continue;
            }
            double y = a[nn - 1][nn - 1];
            double w = a[nn][nn - 1] * a[nn - 1][nn];
            if (l == nn - 1) {
                // Two roots found: a real pair or a complex-conjugate pair.
                const double p = 0.5 * (y - x);
                const double q = p * p + w;
                double z = std::sqrt(std::fabs(q));
                x += t;
                if (q >= 0.0) {
                    z = p + signOf(z, p);
                    wr[nn - 1] = wr[nn] = x + z;
                    if (z != 0.0) wr[nn] = x - w / z;
                    wi[nn - 1] = wi[nn] = 0.0;
                } else {
                    wr[nn - 1] = wr[nn] = x + p;
                    wi[nn - 1] = -z;
                    wi[nn] = z;
                }
                nn -= 2;
                continue;
            }
            // No root yet.
            if (its == kMaxQrIterations) {
                // Give up: the roots still in the active block are unknown.
                log_sys("Too many iterations in hqr");
                for (int i = 1; i <= nn; ++i) wr[i] = wi[i] = std::numeric_limits<double>::quiet_NaN();
                return -1;
            }
            if (its == kExceptionalShift1 || its == kExceptionalShift2) {
                t += x;
                for (int i = 1; i <= nn; ++i) a[i][i] -= x;
                const double s = std::fabs(a[nn][nn - 1]) + std::fabs(a[nn - 1][nn - 2]);
                y = x = kExceptionalShiftScale * s;
                w = kExceptionalShiftProduct * s * s;
            }
            ++its;
            // Form the shift and look for two consecutive small subdiagonal elements.
            int m = nn - 2;
            double p = 0.0, q = 0.0, r = 0.0, z = 0.0;
            for (; m >= l; --m) {
                z = a[m][m];
                r = x - z;
                double s = y - z;
                p = (r * s - w) / a[m + 1][m] + a[m][m + 1];
                q = a[m + 1][m + 1] - z - r - s;
                r = a[m + 2][m + 1];
                s = std::fabs(p) + std::fabs(q) + std::fabs(r);
                p /= s;
                q /= s;
                r /= s;
                if (m == l) break;
                const double u = std::fabs(a[m][m - 1]) * (std::fabs(q) + std::fabs(r));
                const double v = std::fabs(p) * (std::fabs(a[m - 1][m - 1]) + std::fabs(z) + std::fabs(a[m + 1][m + 1]));
                if (u + v == v) break;
            }
            for (int i = m + 2; i <= nn; ++i) {
                a[i][i - 2] = 0.0;
                if (i != m + 2) a[i][i - 3] = 0.0;
            }
            // Double QR step on rows l..nn and columns m..nn.
            for (int k = m; k <= nn - 1; ++k) {
                if (k != m) {
                    p = a[k][k - 1];
                    q = a[k + 1][k - 1];
                    r = 0.0;
                    if (k != nn - 1) r = a[k + 2][k - 1];
                    if ((x = std::fabs(p) + std::fabs(q) + std::fabs(r)) != 0.0) {
                        p /= x;
                        q /= x;
                        r /= x;
                    }
                }
                const double s = signOf(std::sqrt(p * p + q * q + r * r), p);
                if (s != 0.0) {
                    if (k == m) {
                        if (l != m) a[k][k - 1] = -a[k][k - 1];
                    } else {
                        a[k][k - 1] = -s * x;
                    }
                    p += s;
                    x = p / s;
                    y = q / s;
                    z = r / s;
                    q /= p;
                    r /= p;
                    for (int j = k; j <= nn; ++j) {
                        p = a[k][j] + q * a[k + 1][j];
                        if (k != nn - 1) {
                            p += r * a[k + 2][j];
                            a[k + 2][j] -= p * z;
                        }
                        a[k + 1][j] -= p * y;
                        a[k][j] -= p * x;
                    }
                    const int mmin = nn < k + 3 ? nn : k + 3;
                    for (int i = l; i <= mmin; ++i) {
                        p = x * a[i][k] + y * a[i][k + 1];
                        if (k != nn - 1) {
                            p += z * a[i][k + 2];
                            a[i][k + 2] -= p * r;
                        }
                        a[i][k + 1] -= p * q;
                        a[i][k] -= p;
                    }
                }
            }
        } while (l < nn - 1);
    }
    return 0;
}

int GetEigenvalues(double **a, double *wr, double *wi, int n) {
    balance(a, n);
    conv_Hessenberg(a, n);
    return hqr(a, n, wr, wi);
}
