// Forward-difference Jacobian of the right-hand side with increments that adapt from call to
// call: each column's increment factor grows when its difference drowns in rounding noise and
// shrinks when the difference is large compared with the function values.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "ndf_internal.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/ndf.h"
#include "quorvant/ndflib/numjac.h"
#include "quorvant/quorvant_baselib/dosolver3_adapters.h"

using qv::ndf::kEps;
using qv::ndf::tolEq;
using qv::ndf::tolGe;
using qv::ndf::tolGt;
using qv::ndf::tolLe;
using qv::ndf::tolLt;

namespace {

// Increment factors are kept in [facmin, facmax]; a column whose largest difference is below
// br·(function scale) is recomputed with a larger increment; bl and bu bound the band in which
// a factor is left alone. With eps = 2^-52: br = eps^0.875, bl = eps^0.75, bu = eps^0.25,
// facmin = eps^0.78.
constexpr double kFacMax = 0.1;
constexpr double kFacGrowZero = 100.0;   // growth while an increment rounds away to zero
constexpr double kFacGrow = 10.0;        // growth of a factor whose differences are small
constexpr double kFacShrink = 0.1;       // shrink of a factor whose differences are large
const double kSqrtEps = std::sqrt(kEps);

struct Bounds {
    double br, bl, bu, facmin;
};

const Bounds &bounds() {
    static const Bounds b{std::pow(kEps, 0.875), std::pow(kEps, 0.75), std::pow(kEps, 0.25),
                          std::pow(kEps, 0.78)};
    return b;
}

// Work vectors of the Jacobian, grown once and reused (the Jacobian is refreshed many times in
// a long integration).
struct Scratch {
    std::vector<double> yscale, del, ydel, fdel, difmax, absFdelRm, absFtyRm;
    std::vector<char> jarray;
    void resize(std::size_t n) {
        for (auto *v : {&yscale, &del, &ydel, &fdel, &difmax, &absFdelRm, &absFtyRm})
            if (v->size() < n) v->resize(n);
        if (jarray.size() < n) jarray.resize(n);
    }
};
Scratch scratch;

bool vecOk(const _matrix *v) { return v != nullptr && v->elem != nullptr && mtx_veclen(v) >= 1; }

// Gives the increment the direction of the derivative (f_j >= 0: positive).
double signedLike(double del, double fj) {
    return tolGe(fj, 0.0) ? std::fabs(del) : -std::fabs(del);
}

}  // namespace

int _numerical_jacobian(double t, const _matrix *v_y, const _matrix *v_f, ndf_odefunc_t odefunc,
                        const _matrix *v_threshold, int isempty, _matrix *v_fac,
                        _matrix *m_dfdy, _ndf_status *stats) {
    (void)stats;   // the evaluations made here are not counted
    if (!vecOk(v_y) || !vecOk(v_f) || odefunc == nullptr || !vecOk(v_threshold) ||
        !vecOk(v_fac) || m_dfdy == nullptr || m_dfdy->elem == nullptr) {
        log_sys("ERROR: _numerical_jacobian()\n");
        return -1;
    }
    const int ny = mtx_veclen(v_y);
    const int nf = mtx_veclen(v_f);
    if (mtx_veclen(v_threshold) < ny || mtx_veclen(v_fac) < ny || m_dfdy->row != nf ||
        m_dfdy->col != ny) {
        log_sys("ERROR: _numerical_jacobian()\n");
        return -1;
    }
    try {
        scratch.resize(static_cast<std::size_t>(std::max(ny, nf)));
    } catch (const std::bad_alloc &) {
        log_sys("MTX_SET_ALLOC()\n");
        log_sys("ERROR: _numerical_jacobian()\n");
        return -1;
    }
    const Bounds &b = bounds();
    const double *y = v_y->elem;
    const double *f = v_f->elem;
    const double *thresh = v_threshold->elem;
    double *fac = v_fac->elem;
    double *dfdy = m_dfdy->elem;
    double *yscale = scratch.yscale.data();
    double *del = scratch.del.data();
    double *ydel = scratch.ydel.data();
    double *fdel = scratch.fdel.data();

    QV_DBG(49, "_numerical_jacobian() start\n");
    QV_DBG(49, "_numerical_jacobian() br[%e] bl[%e] bu[%e]\n", b.br, b.bl, b.bu);
    QV_DBG(49, "_numerical_jacobian() facmin[%e] facmax[%e]\n", b.facmin, kFacMax);
    QV_DBG(49, "_numerical_jacobian() ny[%d] nf[%d]\n", ny, nf);

    // 1.-4. Increments: a fraction fac of the component's scale, grown while it rounds away
    // to nothing, pointing the way the derivative points.
    if (isempty)
        for (int j = 0; j < ny; ++j) fac[j] = kSqrtEps;
    for (int j = 0; j < ny; ++j) {
        yscale[j] = std::max(std::fabs(y[j]), thresh[j]);
        del[j] = (y[j] + fac[j] * yscale[j]) - y[j];
    }
    for (int j = 0; j < ny; ++j) {
        while (del[j] == 0.0) {
            if (tolLt(fac[j], kFacMax)) {
                fac[j] = std::min(kFacGrowZero * fac[j], kFacMax);
                del[j] = (y[j] + fac[j] * yscale[j]) - y[j];
            } else {
                del[j] = thresh[j];
                break;
            }
        }
    }
    if (nf == ny)
        for (int j = 0; j < ny; ++j) del[j] = signedLike(del[j], f[j]);

    if (Dbg_Level >= 50) {
        _matrix vy = qv::ndf::vecView(const_cast<double *>(y), ny);
        _matrix vs = qv::ndf::vecView(yscale, ny), vfac = qv::ndf::vecView(fac, ny);
        _matrix vdel = qv::ndf::vecView(del, ny);
        mtx_dump(50, "NumJac Fyt:", v_f);
        mtx_dump(50, "NumJac yscale:", &vs);
        mtx_dump(50, "NumJac fac:", &vfac);
        mtx_dump(50, "NumJac del:", &vdel);
        mtx_dump(50, "NumJac ydel:", &vy);
    }

    // 5.-6. One perturbed evaluation per column; the column of differences, its largest
    // entry and the function values in that row.
    std::copy(y, y + ny, ydel);
    for (int j = 0; j < ny; ++j) {
        ydel[j] = y[j] + del[j];
        odefunc(t, ydel, fdel);
        ydel[j] = y[j];
        const double rdel = 1.0 / del[j];
        double dmax = 0.0;
        int rmax = 0;
        for (int i = 0; i < nf; ++i) {
            const double diff = fdel[i] - f[i];
            dfdy[static_cast<long>(i) * ny + j] = diff * rdel;
            const double a = std::fabs(diff);
            if (i == 0 || a > dmax) {   // the first row of equal maxima is kept
                dmax = a;
                rmax = i;
            }
        }
        scratch.difmax[j] = dmax;
        scratch.absFdelRm[j] = std::fabs(fdel[rmax]);
        scratch.absFtyRm[j] = std::fabs(f[rmax]);
        // A column is judged only when both function values in its largest row are non-zero
        // (otherwise the scale says nothing), or when nothing changed at all.
        const bool bothNonZero = !tolEq(scratch.absFdelRm[j], 0.0) && !tolEq(scratch.absFtyRm[j], 0.0);
        scratch.jarray[j] = (bothNonZero || tolEq(dmax, 0.0)) ? 1 : 0;
        QV_DBG(49, "jarray[%d]: %d\n", j, scratch.jarray[j]);
    }

    bool anyJ = false;
    for (int j = 0; j < ny; ++j) anyJ = anyJ || scratch.jarray[j] != 0;
    QV_DBG(49, "anyJ[%d]\n", anyJ ? 1 : 0);
    if (!anyJ) {
        QV_DBG(49, "_numerical_jacobian() end\n");
        return 0;
    }

    // 7. Columns whose differences are at rounding level: retry with a larger increment and
    // keep the new column when it is at least as significant.
    for (int k = 0; k < ny; ++k) {
        if (!scratch.jarray[k]) continue;
        const double fscale = std::max(scratch.absFdelRm[k], scratch.absFtyRm[k]);
        if (!tolLe(scratch.difmax[k], b.br * fscale)) continue;
        QV_DBG(49, "k[%d]: %d\n", k, 1);
        const double tmpfac = std::min(std::sqrt(fac[k]), kFacMax);
        double d = (y[k] + tmpfac * yscale[k]) - y[k];
        QV_DBG(49, "k[%d]: tmpfac[%e] del[%e]\n", k, tmpfac, d);
        if (tmpfac == fac[k] || d == 0.0) continue;
        if (nf == ny) d = signedLike(d, f[k]);
        ydel[k] = y[k] + d;
        odefunc(t, ydel, fdel);
        ydel[k] = y[k];
        double difmax = -1.0;
        double normTmp = 0.0;
        for (int i = 0; i < nf; ++i) {
            const double diff = fdel[i] - f[i];
            difmax = std::max(difmax, std::fabs(diff));
            fdel[i] = diff / d;
            normTmp = std::max(normTmp, std::fabs(fdel[i]));
        }
        double normCol = 0.0;
        for (int i = 0; i < nf; ++i)
            normCol = std::max(normCol, std::fabs(dfdy[static_cast<long>(i) * ny + k]));
        QV_DBG(49, "k[%d]: fscale[%e]\n", k, fscale);
        QV_DBG(49, "k[%d]: norm_tmp[%e] norm_dfdyk[%e]\n", k, normTmp, normCol);
        if (tmpfac * normTmp >= normCol) {
            for (int i = 0; i < nf; ++i) dfdy[static_cast<long>(i) * ny + k] = fdel[i];
            if (tolLe(difmax, b.bl * fscale))
                fac[k] = std::min(kFacGrow * tmpfac, kFacMax);
            else if (tolGt(difmax, b.bu * fscale))
                fac[k] = std::max(kFacShrink * tmpfac, b.facmin);
            else
                fac[k] = tmpfac;
        }
    }

    // 8.-9. Adapt the factors for the next call from this call's differences.
    for (int k = 0; k < ny; ++k) {
        if (!scratch.jarray[k]) continue;
        const double fscale = std::max(scratch.absFdelRm[k], scratch.absFtyRm[k]);
        if (!tolLe(scratch.difmax[k], b.br * fscale) && tolLe(scratch.difmax[k], b.bl * fscale))
            fac[k] = std::min(kFacGrow * fac[k], kFacMax);
    }
    for (int k = 0; k < ny; ++k) {
        if (!scratch.jarray[k]) continue;
        const double fscale = std::max(scratch.absFdelRm[k], scratch.absFtyRm[k]);
        if (tolGt(scratch.difmax[k], b.bu * fscale)) fac[k] = std::max(kFacShrink * fac[k], b.facmin);
    }
    QV_DBG(49, "_numerical_jacobian() end\n");
    return 0;
}
