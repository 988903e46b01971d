// Set-up of one NDF solve: work storage, tolerances, the mass matrix and whether the problem
// is a DAE, the Jacobian, the initial slope (or the consistent DAE start), the first step and
// the first iteration matrix.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "ndf_solver.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/ndflib/daeic.h"
#include "quorvant/ndflib/lu.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/ndf.h"
#include "quorvant/ndflib/numjac.h"

namespace qv::ndf {

int NdfSolver::allocate() {
    const auto n = static_cast<std::size_t>(n_);
    try {
        for (auto *v : {&y_, &ynew_, &pred_, &psi_, &difkp1_, &fcur_, &invwt_, &rowscale_, &yp_,
                        &tmp_, &fac_, &jthresh_, &mtDiag_})
            v->assign(n, 0.0);
        dif_.assign(n * static_cast<std::size_t>(difCols_), 0.0);
        for (auto *m : {&dfdy_, &mass_, &mtnew_}) m->assign(n * n, 0.0);
        rhs_.assign(n, 0.0);
        lu_.assign(n * n, 0.0);
        piv_.assign(n, 0);
        if (sensAllocate() != 0) return -1;
    } catch (const std::bad_alloc &) {
        log_sys("MTX_SET_ALLOC()\n");
        return -1;
    }
    return 0;
}

int NdfSolver::setUp() {
    const int t0num = in_->t0num;
    const double *t0 = in_->t0;
    _ndf_tolerance &tol = opt_->tol;

    // 2. Interval.
    htspan_ = t0[1] - t0[0];
    tspan_ = std::fabs(t0[t0num - 1] - t0[0]);
    tdir_ = t0[t0num - 1] < t0[0] ? -1.0 : 1.0;
    tfinal_ = t0[t0num - 1];

    // 3. f at the start.
    std::copy(in_->y0, in_->y0 + n_, y_.begin());
    if (f_(t0[0], y_.data(), fcur_.data()) < 0) {
        log_sys("odefunc()\n");
        return -1;
    }
    ++st_->nfevals;
    if (Dbg_Level >= 30) {
        _matrix vf = vView(fcur_);
        mtx_dump(30, "Odefunc:", &vf);
    }

    // 4. Tolerances.
    if (tol.rel < kMinRtol) tol.rel = kMinRtol;
    rtol_ = tol.rel;
    atol_ = tol.abs;
    normctrl_ = tol.normctrl != 0;
    positive_ = tol.positive != 0;
    if (normctrl_) normy_ = norm2(y_.data(), n_);
    threshold_ = atol_ / rtol_;
    std::fill(jthresh_.begin(), jthresh_.end(), atol_);

    // 5. Largest step.
    hmax_ = opt_->step.maxsize > 0.0 ? opt_->step.maxsize : kHmaxFraction * tspan_;
    if (!(hmax_ < tspan_)) hmax_ = tspan_;

    // 6. Mass matrix and whether the problem is a DAE.
    const _ndf_dae &dae = opt_->dae;
    const auto n = static_cast<std::size_t>(n_);
    if (dae.mfunc != nullptr) {
        switch (dae.ydepend) {
        case 0: massType_ = MassType::TimeOnly; break;
        case 1: massType_ = MassType::WeakState; break;
        case 2: massType_ = MassType::StrongState; break;
        default:
            log_sys("Unknown ydepend(%d)\n", dae.ydepend);
            return -1;
        }
    } else if (dae.mconst != nullptr) {
        massType_ = MassType::Constant;
    } else {
        massType_ = MassType::None;
    }
    _matrix mM = matView(mass_.data(), n_, n_);
    if (massType_ == MassType::None) {
        // No mass matrix: M = I, so that the iteration matrix and residual keep one form.
        for (std::size_t i = 0; i < n; ++i) mass_[i * n + i] = 1.0;
    } else {
        if (massType_ == MassType::Constant)
            std::copy(dae.mconst, dae.mconst + n * n, mass_.begin());
        else
            dae.mfunc(t0[0], y_.data(), mass_.data());
        const int nnz = mtx_nonzero(&mM);
        if (nnz <= 0) {
            log_sys("nonzero num(%d) <= 0\n", nnz);
            return -1;
        }
        switch (dae.singular) {
        case 0: isDae_ = true; break;
        case 1: isDae_ = false; break;
        case 2: isDae_ = conditionEstimate(&mM) * nnz * kEps > 1.0; break;
        default:
            log_sys("Unknown singular(%d)\n", dae.singular);
            return -1;
        }
    }

    // 7. A given initial slope of a DAE is used when it satisfies M·yp0 = f0 closely.
    bool yp0Ok = false;
    int ictype = 0;
    if (isDae_) {
        if (dae.initslope != nullptr) {
            std::copy(dae.initslope, dae.initslope + n, yp_.begin());
            for (std::size_t i = 0; i < n; ++i) {
                double s = 0.0;
                for (std::size_t j = 0; j < n; ++j) s += mass_[i * n + j] * yp_[j];
                tmp_[i] = s;
            }
            const double nMyp = norm2(tmp_.data(), n_);
            const double nF = norm2(fcur_.data(), n_);
            for (std::size_t i = 0; i < n; ++i) tmp_[i] -= fcur_[i];
            yp0Ok = norm2(tmp_.data(), n_) <= kSlopeResidual * rtol_ * std::max(nMyp, nF);
        }
        if (!yp0Ok) {
            if (massType_ == MassType::WeakState || massType_ == MassType::StrongState)
                ictype = 3;
            else
                ictype = mtx_isdiagonal(&mM) ? 1 : 2;
        }
    }

    // 8. The mass matrix of the Newton residual.
    mtnew_ = mass_;
    refreshMtDiag();
    mCurrent_ = true;

    // 9. Jacobian at the start.
    _matrix vy = vView(y_), vf = vView(fcur_), vth = vView(jthresh_), vfac = vView(fac_);
    _matrix mJ = matView(dfdy_.data(), n_, n_);
    if (opt_->jac.jconst != nullptr) {
        std::copy(opt_->jac.jconst, opt_->jac.jconst + n * n, dfdy_.begin());
    } else {
        if (opt_->jac.jfunc != nullptr) {
            opt_->jac.jfunc(t0[0], y_.data(), dfdy_.data());
        } else if (_numerical_jacobian(t0[0], &vy, &vf, f_, &vth, 1, &vfac, &mJ, st_) != 0) {
            log_sys("_numerical_jacobian()\n");
            return -1;
        }
        ++st_->npds;
    }
    if (Dbg_Level >= 30) mtx_dump(30, "Jacobian:", &mJ);

    // 10. Method coefficients.
    const double *kappa = opt_->bdf.isbdf ? kBdfKappa : kNdfKappa;
    for (int k = 0; k < kMaxOrder; ++k) {
        gamma_[k] = kGamma[k];
        invG_[k] = 1.0 / (kGamma[k] * (1.0 - kappa[k]));
        errconst_[k] = kappa[k] * kGamma[k] + 1.0 / (k + 2);
    }
    for (int i = 0; i < maxK_; ++i)
        for (int j = 0; j < maxK_; ++j) {
            kJ_[i * maxK_ + j] = j + 1;
            kI_[i * maxK_ + j] = i + 1;
            difU_[i * maxK_ + j] = kDifU[i][j];
        }

    // 11. Start point (y already holds y0).
    t_ = t0[0];

    // 12. Initial slope.
    _matrix vyp = vView(yp_);
    if (!isDae_ || yp0Ok) {
        if (massType_ == MassType::None) {
            yp_ = fcur_;
        } else if (!yp0Ok) {
            lu_ = mass_;
            _matrix ml = matView(lu_.data(), n_, n_);
            if (mtx_ludecomp(&ml, &ml, piv_.data()) != 0) {
                log_sys("mtx_ludecomp()\n");
                return -1;
            }
            ++st_->ndecomps;
            _matrix vfc = vView(fcur_);
            if (mtx_lusolve(&ml, piv_.data(), &vfc, &vyp) != 0) {
                log_sys("mtx_lusolve()\n");
                return -1;
            }
            ++st_->nsolves;
        }
    } else {
        if (ictype == 3) {
            log_sys("Not Support(y dependent mass type)\n");
            return -1;
        }
        if (_daeic_state_independent(in_, opt_, &mM, ictype, t_, &vy, &vyp, &vf, &vth, &vfac,
                                     &mJ, f_, st_) != 0)
            return -1;
    }
    QV_DBG(29, "yp0_ok??? isdae[%d]\n", isDae_ ? 1 : 0);
    if (Dbg_Level >= 30) {
        mtx_dump(30, "v_y0:", &vy);
        mtx_dump(30, "v_yp:", &vyp);
        mtx_dump(30, "v_f0:", &vf);
    }

    // 13.
    hmin_ = kEps * std::fabs(t_);
    jCurrent_ = true;

    // 14. First step: from the slope, refined by an estimate of the second derivative.
    if (opt_->step.initstep > 0.0) {
        absh_ = std::min(hmax_, std::max(hmin_, opt_->step.initstep));
    } else {
        auto scaledNorm = [&](const std::vector<double> &v) {
            if (normctrl_) return norm2(v.data(), n_) / std::max(normy_, threshold_);
            double m = 0.0;
            for (std::size_t i = 0; i < n; ++i)
                m = std::max(m, std::fabs(v[i] / std::max(std::fabs(y_[i]), threshold_)));
            return m;
        };
        double rh = kInitSafety * scaledNorm(yp_) / std::sqrt(rtol_);
        absh_ = std::min(hmax_, htspan_);
        if (rh * absh_ > 1.0) absh_ = 1.0 / rh;
        absh_ = std::max(absh_, hmin_);
        if (!isDae_) {
            const double tdel =
                (t_ + tdir_ * std::min(kTimeDelta * std::max(std::fabs(t_), std::fabs(t_ + tdir_ * absh_)),
                                       absh_)) -
                t_;
            f_(t_ + tdel, y_.data(), tmp_.data());
            // DfDt = (f1 - f0)/tdel + J·yp, then M⁻¹·DfDt with a mass matrix.
            double *dfdt = rhs_.data();
            for (std::size_t i = 0; i < n; ++i) {
                double s = 0.0;
                for (std::size_t j = 0; j < n; ++j) s += dfdy_[i * n + j] * yp_[j];
                dfdt[i] = (tmp_[i] - fcur_[i]) / tdel + s;
            }
            if (massType_ != MassType::None) {
                _matrix ml = matView(lu_.data(), n_, n_);
                _matrix vd = vView(rhs_);
                if (mtx_lusolve(&ml, piv_.data(), &vd, &vd) != 0) {
                    log_sys("mtx_lusolve()\n");
                    return -1;
                }
            }
            std::copy(dfdt, dfdt + n_, tmp_.begin());
            rh = kInitSafety * std::sqrt(0.5 * scaledNorm(tmp_) / rtol_);
            absh_ = std::min(hmax_, htspan_);
            if (rh * absh_ > 1.0) absh_ = 1.0 / rh;
            absh_ = std::max(absh_, hmin_);
        }
        QV_DBG(29, "hmax[%e], htspan[%e], rh[%e]\n", hmax_, htspan_, rh);
    }

    // 15. Order 1, differences from the slope, iteration matrix.
    h_ = tdir_ * absh_;
    k_ = 1;
    prevK_ = 1;
    prevH_ = absh_;
    for (std::size_t i = 0; i < n; ++i) dif_[i * static_cast<std::size_t>(difCols_)] = h_ * yp_[i];
    hinvGk_ = h_ * invG_[0];
    nconhk_ = 0;
    if (buildIteration("mtx_ludecomp()\n") != 0) return -1;

    // 16. The start point is the first output.
    if (in_->t0num > 2 && !out_.reserve(static_cast<std::size_t>(in_->t0num))) {
        log_sys("malloc()\n");
        return -1;
    }
    if (!out_.push(t_, y_.data())) {
        log_sys("ERROR: _alloc_que()\n");
        log_sys("_alloc_que()\n");
        return -1;
    }
    nextOut_ = 1;
    havrate_ = false;
    done_ = false;
    return sensStart();
}

}  // namespace qv::ndf
