// Consistent initial values of an index-1 DAE M·y' = f(t,y) with a constant (or only
// time-dependent) mass matrix. With M = U·diag(d)·Vᵀ and z = Vᵀ·y the components with d_i = 0
// are algebraic: a damped Newton iteration on them makes (Uᵀ·f)_a vanish, after which the
// slope of the differential components follows as z'_i = (Uᵀ·f)_i / d_i.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "ndf_internal.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/condest.h"
#include "quorvant/ndflib/daeic.h"
#include "quorvant/ndflib/lu.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/ndf.h"
#include "quorvant/ndflib/numjac.h"
#include "quorvant/ndflib/svd.h"
#include "quorvant/quorvant_baselib/dosolver3_adapters.h"

using qv::ndf::kEps;

namespace {

constexpr int kMaxIter = 15;                // Newton iterations on the algebraic part
constexpr int kMaxProbes = 3;               // line-search probes per iteration
constexpr double kConsistentRel = 1000.0 * kEps;   // ‖g_a‖ below this·‖g‖: already consistent
constexpr double kResidualRel = 1.0e-3;     // converged when ‖g_a‖ <= this·rtol·‖g‖
constexpr double kProbeAccept = 0.9;        // a probe is taken when it shrinks the step by this
constexpr double kNewJacobian = 0.1;        // refresh J when the step shrank less than this

const char *const kFail = "ERROR: _daeic_state_independent()\n";

double norm2(const double *v, int n) {
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += v[i] * v[i];
    return std::sqrt(s);
}

double norm2At(const double *v, const std::vector<int> &pos) {
    double s = 0.0;
    for (int p : pos) s += v[p] * v[p];
    return std::sqrt(s);
}

// The transformation of the start: identity for a diagonal mass matrix, the SVD otherwise.
struct Transform {
    bool identity = true;
    int n = 0;
    std::vector<double> u, v;   // n×n row-major (only without identity)

    // out = Uᵀ·x
    void applyUt(const double *x, double *out) const {
        if (identity) {
            std::copy(x, x + n, out);
            return;
        }
        for (int i = 0; i < n; ++i) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += u[static_cast<std::size_t>(k) * n + i] * x[k];
            out[i] = s;
        }
    }
    // out = Vᵀ·x
    void applyVt(const double *x, double *out) const {
        if (identity) {
            std::copy(x, x + n, out);
            return;
        }
        for (int i = 0; i < n; ++i) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += v[static_cast<std::size_t>(k) * n + i] * x[k];
            out[i] = s;
        }
    }
    // out = V·x
    void applyV(const double *x, double *out) const {
        if (identity) {
            std::copy(x, x + n, out);
            return;
        }
        for (int i = 0; i < n; ++i) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += v[static_cast<std::size_t>(i) * n + k] * x[k];
            out[i] = s;
        }
    }
    // a = Uᵀ·J·V restricted to the positions pos (rows and columns), na×na row-major.
    void algebraicBlock(const double *jac, const std::vector<int> &pos, double *a) const {
        const int na = static_cast<int>(pos.size());
        if (identity) {
            for (int r = 0; r < na; ++r)
                for (int c = 0; c < na; ++c)
                    a[static_cast<std::size_t>(r) * na + c] =
                        jac[static_cast<std::size_t>(pos[r]) * n + pos[c]];
            return;
        }
        // (Uᵀ·J·V)(p,q) = Σ_k U(k,p)·(J·V)(k,q)
        std::vector<double> jv(static_cast<std::size_t>(n) * na);
        for (int k = 0; k < n; ++k)
            for (int c = 0; c < na; ++c) {
                double s = 0.0;
                for (int m = 0; m < n; ++m)
                    s += jac[static_cast<std::size_t>(k) * n + m] * v[static_cast<std::size_t>(m) * n + pos[c]];
                jv[static_cast<std::size_t>(k) * na + c] = s;
            }
        for (int r = 0; r < na; ++r)
            for (int c = 0; c < na; ++c) {
                double s = 0.0;
                for (int k = 0; k < n; ++k)
                    s += u[static_cast<std::size_t>(k) * n + pos[r]] * jv[static_cast<std::size_t>(k) * na + c];
                a[static_cast<std::size_t>(r) * na + c] = s;
            }
    }
};

bool vecOf(const _matrix *v, int n) {
    return v != nullptr && v->elem != nullptr && mtx_veclen(v) == n;
}

}  // namespace

int _set_yp(const _matrix *v_f, const _matrix *v_d, const _matrix *m_v, int ndif_index,
            const _index *dif_index, _matrix *v_yp0) {
    const int n = v_yp0 != nullptr ? mtx_veclen(v_yp0) : 0;
    if (n < 1 || !vecOf(v_f, n) || !vecOf(v_d, n) || v_yp0->elem == nullptr || ndif_index < 0 ||
        ndif_index > n || (ndif_index > 0 && dif_index == nullptr) ||
        (m_v != nullptr && (m_v->elem == nullptr || m_v->row != n || m_v->col != n))) {
        log_sys("ERROR: _set_yp()\n");
        return -1;
    }
    // The list runs through i when every j is 0, otherwise through j (every i must be 0).
    bool byI = true;
    for (int k = 0; k < ndif_index; ++k) byI = byI && dif_index[k].j == 0;
    std::vector<double> z;
    try {
        z.assign(static_cast<std::size_t>(n), 0.0);
    } catch (const std::bad_alloc &) {
        log_sys("MTX_SET_ALLOC()\n");
        log_sys("ERROR: _set_yp()\n");
        return -1;
    }
    for (int k = 0; k < ndif_index; ++k) {
        const int p = byI ? dif_index[k].i : dif_index[k].j;
        if ((!byI && dif_index[k].i != 0) || p < 0 || p >= n) {
            log_sys("ERROR: _set_yp()\n");
            return -1;
        }
        z[static_cast<std::size_t>(p)] = v_f->elem[p] / v_d->elem[p];
    }
    for (int i = 0; i < n; ++i) {
        if (m_v == nullptr) {
            v_yp0->elem[i] = z[static_cast<std::size_t>(i)];
            continue;
        }
        double s = 0.0;
        for (int k = 0; k < n; ++k) s += m_v->elem[static_cast<std::size_t>(i) * n + k] * z[static_cast<std::size_t>(k)];
        v_yp0->elem[i] = s;
    }
    return 0;
}

int _daeic_state_independent(const _ndf_input *in, const _ndf_option *opt,
                             const _matrix *m_m0, int ictype, double t0, _matrix *v_y0,
                             _matrix *v_yp0, _matrix *v_f0, const _matrix *v_threshold,
                             _matrix *v_fac, _matrix *m_dfdy0, ndf_odefunc_t odefunc,
                             _ndf_status *stats) {
    const int n = in != nullptr ? in->y0num : 0;
    if (n < 1 || opt == nullptr || m_m0 == nullptr || m_m0->elem == nullptr || m_m0->row != n ||
        m_m0->col != n || (ictype != 1 && ictype != 2) || !vecOf(v_y0, n) || !vecOf(v_yp0, n) ||
        !vecOf(v_f0, n) || !vecOf(v_threshold, n) || !vecOf(v_fac, n) || m_dfdy0 == nullptr ||
        m_dfdy0->elem == nullptr || m_dfdy0->row != n || m_dfdy0->col != n ||
        odefunc == nullptr || stats == nullptr) {
        log_sys(kFail);
        return -1;
    }
    const double rtol = opt->tol.rel;
    const auto nn = static_cast<std::size_t>(n);
    double *y0 = v_y0->elem;
    double *f0 = v_f0->elem;
    double *jac = m_dfdy0->elem;

    Transform tr;
    std::vector<double> d, g, z, zNew, yNew, fNew, gNew, dely, ja;
    std::vector<double> work, jaLu;   // J_a⁻¹·g_a; the factors of J_a
    std::vector<int> piv;
    std::vector<int> alg, dif;
    try {
        for (auto *v : {&d, &g, &z, &zNew, &yNew, &fNew, &gNew, &dely}) v->assign(nn, 0.0);
        work.assign(nn, 0.0);
        alg.reserve(nn);
        dif.reserve(nn);
        tr.n = n;
        tr.identity = ictype == 1;
        if (!tr.identity) {
            tr.u.assign(nn * nn, 0.0);
            tr.v.assign(nn * nn, 0.0);
        }
    } catch (const std::bad_alloc &) {
        log_sys("MTX_SET_ALLOC()\n");
        log_sys(kFail);
        return -1;
    }

    // Jacobian at (t0, y) from the caller's source; isempty restarts the increment factors.
    auto formJacobian = [&](int isempty) -> int {
        if (opt->jac.jconst != nullptr) {
            std::copy(opt->jac.jconst, opt->jac.jconst + nn * nn, jac);
            return 0;
        }
        if (opt->jac.jfunc != nullptr) return opt->jac.jfunc(t0, y0, jac) < 0 ? -1 : 0;
        if (_numerical_jacobian(t0, v_y0, v_f0, odefunc, v_threshold, isempty, v_fac, m_dfdy0,
                                stats) != 0) {
            log_sys("_numerical_jacobian()\n");
            return -1;
        }
        return 0;
    };

    // 1. Jacobian at the start.
    if (formJacobian(1) != 0) {
        log_sys(kFail);
        return -1;
    }

    // 2. M = U·diag(d)·Vᵀ; algebraic positions where d_i = 0.
    if (tr.identity) {
        for (int i = 0; i < n; ++i) d[static_cast<std::size_t>(i)] = m_m0->elem[static_cast<std::size_t>(i) * n + i];
    } else {
        _matrix mu = qv::ndf::matView(tr.u.data(), n, n);
        _matrix mv = qv::ndf::matView(tr.v.data(), n, n);
        _matrix vw = qv::ndf::vecView(d.data(), n);
        if (mtx_svdecomp(m_m0, &mu, &vw, &mv) != 0) {
            log_sys(kFail);
            return -1;
        }
        const double tol = *std::max_element(d.begin(), d.end()) * n * kEps;
        for (double &di : d)
            if (di <= tol) di = 0.0;
    }
    for (int i = 0; i < n; ++i) (d[static_cast<std::size_t>(i)] == 0.0 ? alg : dif).push_back(i);
    const int na = static_cast<int>(alg.size());

    // 3. Transformed right-hand side and state.
    tr.applyUt(f0, g.data());
    tr.applyVt(y0, z.data());

    if (na > 0) {
        // 4. The algebraic block must be regular (index 1).
        try {
            ja.assign(static_cast<std::size_t>(na) * na, 0.0);
            jaLu.assign(ja.size(), 0.0);
            piv.assign(static_cast<std::size_t>(na), 0);
        } catch (const std::bad_alloc &) {
            log_sys("MTX_SET_ALLOC()\n");
            log_sys(kFail);
            return -1;
        }
        tr.algebraicBlock(jac, alg, ja.data());
        _matrix mja = qv::ndf::matView(ja.data(), na, na);
        const int nnz = mtx_nonzero(&mja);
        const double cond = nnz > 0 ? qv::ndf::conditionEstimate(&mja) : MTX_COND_SINGULAR;
        QV_DBG(29, "_daeic_state_independent set J n_nz[%d] cond_num[%e]\n", nnz, cond);
        if (nnz == 0 || kEps * nnz * cond > 1.0) {
            log_sys("This DAE appears to be of index greater than 1.\n");
            log_sys(kFail);
            return -1;
        }

        // 5. Nothing to do when the algebraic equations already hold.
        bool consistent = norm2At(g.data(), alg) <= kConsistentRel * norm2(g.data(), n);

        // 6. Damped Newton iteration on the algebraic part.
        _matrix mlu = qv::ndf::matView(jaLu.data(), na, na);
        _matrix vwork = qv::ndf::vecView(work.data(), na);
        auto factorBlock = [&]() -> int {
            if (mtx_ludecomp(&mja, &mlu, piv.data()) != 0) {
                log_sys("mtx_ludecomp()\n");
                return -1;
            }
            return 0;
        };
        // work = J_a⁻¹·(gv)_a
        auto solveBlock = [&](const double *gv) {
            for (int r = 0; r < na; ++r) work[static_cast<std::size_t>(r)] = gv[alg[static_cast<std::size_t>(r)]];
            mtx_lusolve(&mlu, piv.data(), &vwork, &vwork);
        };
        if (!consistent) {
            if (factorBlock() != 0) {
                log_sys(kFail);
                return -1;
            }
            bool needNewJ = false;
            bool converged = false;
            for (int iter = 0; iter < kMaxIter && !converged; ++iter) {
                if (needNewJ) {
                    if (formJacobian(0) != 0) {
                        log_sys(kFail);
                        return -1;
                    }
                    if (opt->jac.jconst == nullptr) ++stats->npds;
                    tr.algebraicBlock(jac, alg, ja.data());
                    if (factorBlock() != 0) {
                        log_sys(kFail);
                        return -1;
                    }
                }
                solveBlock(g.data());
                for (int r = 0; r < na; ++r) dely[static_cast<std::size_t>(r)] = -work[static_cast<std::size_t>(r)];
                const double res = norm2(dely.data(), na);
                double lambda = 1.0;
                double resnew = 0.0;
                for (int probe = 0; probe < kMaxProbes; ++probe) {
                    zNew = z;
                    for (int r = 0; r < na; ++r)
                        zNew[static_cast<std::size_t>(alg[static_cast<std::size_t>(r)])] += lambda * dely[static_cast<std::size_t>(r)];
                    tr.applyV(zNew.data(), yNew.data());
                    odefunc(t0, yNew.data(), fNew.data());
                    tr.applyUt(fNew.data(), gNew.data());
                    if (norm2At(gNew.data(), alg) <= kResidualRel * rtol * norm2(gNew.data(), n)) {
                        converged = true;
                        break;
                    }
                    solveBlock(gNew.data());
                    resnew = norm2(work.data(), na);
                    if (resnew < kProbeAccept * res) break;
                    lambda *= 0.5;
                }
                std::copy(yNew.begin(), yNew.end(), y0);
                std::copy(fNew.begin(), fNew.end(), f0);
                g = gNew;
                if (converged) break;
                double ynorm = std::max(norm2At(z.data(), alg), norm2At(zNew.data(), alg));
                if (ynorm == 0.0) ynorm = kEps;
                z = zNew;
                if (resnew <= kResidualRel * rtol * ynorm) {
                    converged = true;
                    break;
                }
                needNewJ = resnew > kNewJacobian * res;
            }
            // Without convergence the last iterate stands and the slope is left as it came.
            if (!converged) return 0;
        }
    }

    // 7. Slope of the differential components.
    std::vector<_index> difIndex;
    try {
        difIndex.resize(dif.size());
    } catch (const std::bad_alloc &) {
        log_sys("MTX_SET_ALLOC()\n");
        log_sys(kFail);
        return -1;
    }
    for (std::size_t k = 0; k < dif.size(); ++k) difIndex[k] = _index{dif[k], 0};
    _matrix vg = qv::ndf::vecView(g.data(), n);
    _matrix vd = qv::ndf::vecView(d.data(), n);
    _matrix mv = qv::ndf::matView(tr.v.data(), n, n);
    if (_set_yp(&vg, &vd, tr.identity ? nullptr : &mv, static_cast<int>(dif.size()),
                difIndex.data(), v_yp0) != 0) {
        log_sys(kFail);
        return -1;
    }
    return 0;
}
