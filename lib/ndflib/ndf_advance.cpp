// One step of the NDF integrator: prediction, simplified Newton iteration, error test with
// step reduction on failure, acceptance with output and the choice of the next order and step.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "ndf_solver.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/ndflib/lu.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/ndf.h"
#include "quorvant/ndflib/ndf_steps.h"
#include "quorvant/ndflib/numjac.h"
#include "quorvant/quorvant_baselib/row_output.h"

namespace qv::ndf {

// Component weights 1/max(|y|, |ynew|, threshold) (norm control: one scalar weight) and the
// size below which a Newton correction counts as converged.
void NdfSolver::weights() {
    const double *y = y_.data();
    const double *yn = ynew_.data();
    if (normctrl_) {
        normynew_ = norm2(yn, n_);
        invwtScalar_ = 1.0 / std::max(std::max(normy_, normynew_), threshold_);
        minNorm_ = kMinNormRel * normynew_ * invwtScalar_;
        return;
    }
    double m = 0.0;
    for (int i = 0; i < n_; ++i) {
        const double w = 1.0 / std::max(std::max(std::fabs(y[i]), std::fabs(yn[i])), threshold_);
        invwt_[static_cast<std::size_t>(i)] = w;
        m = std::max(m, std::fabs(yn[i] * w));
    }
    minNorm_ = kMinNormRel * m;
}

// Weighted norm of a correction or difference; a NaN anywhere makes it NaN, so that a
// broken right-hand side can never pass a convergence or error test.
double NdfSolver::errNorm(const double *v) const {
    if (normctrl_) return norm2(v, n_) * invwtScalar_;
    double m = 0.0;
    for (int i = 0; i < n_; ++i) {
        const double a = std::fabs(v[i] * invwt_[static_cast<std::size_t>(i)]);
        if (a > m || std::isnan(a)) m = a;
    }
    return m;
}

// Non-negativity mode: a component of ynew counts as negative when it lies below zero by
// more than the error tolerance allows. Values within the tolerance of zero are accepted and
// set to zero; otherwise a component that has decayed to zero with a falling history would
// make every prediction negative, whatever the step size, and the solve could never go on.
bool NdfSolver::clearlyNegative(int i) const {
    const auto u = static_cast<std::size_t>(i);
    const double v = ynew_[u];
    if (!(v < 0.0)) return false;
    const double w = normctrl_ ? invwtScalar_ : invwt_[u];
    return -v * w > rtol_;
}

bool NdfSolver::anyClearlyNegative() const {
    for (int i = 0; i < n_; ++i)
        if (clearlyNegative(i)) return true;
    return false;
}

// The mass matrix used in the Newton residual is often diagonal (always for the simulation
// driver); its product then needs only the diagonal.
void NdfSolver::refreshMtDiag() {
    const auto n = static_cast<std::size_t>(n_);
    bool diag = true;
    for (std::size_t i = 0; i < n && diag; ++i)
        for (std::size_t j = 0; j < n; ++j)
            if (i != j && mtnew_[i * n + j] != 0.0) {
                diag = false;
                break;
            }
    mtDiagonal_ = diag;
    if (diag)
        for (std::size_t i = 0; i < n; ++i) mtDiag_[i] = mtnew_[i * n + i];
}

// rhs = hinv_g_k·f - Mt·(ψ + difkp1), row-scaled like the iteration matrix for a DAE.
void NdfSolver::newtonResidual(double *rhs) {
    const double *f = fcur_.data();
    const double *psi = psi_.data();
    const double *d = difkp1_.data();
    if (mtDiagonal_) {
        const double *md = mtDiag_.data();
        for (int i = 0; i < n_; ++i) rhs[i] = hinvGk_ * f[i] - md[i] * (psi[i] + d[i]);
    } else {
        const auto n = static_cast<std::size_t>(n_);
        double *s = tmp_.data();
        for (std::size_t i = 0; i < n; ++i) s[i] = psi[i] + d[i];
        for (std::size_t i = 0; i < n; ++i) {
            const double *row = mtnew_.data() + i * n;
            double sum = 0.0;
            for (std::size_t j = 0; j < n; ++j) sum += row[j] * s[j];
            rhs[i] = hinvGk_ * f[i] - sum;
        }
    }
    if (isDae_)
        for (int i = 0; i < n_; ++i) rhs[i] = rowscale_[static_cast<std::size_t>(i)] * rhs[i];
}

// Iteration matrix M - hinv_g_k·J (row-scaled for a DAE), factored in place.
int NdfSolver::buildIteration(const char *luMessage) {
    const std::size_t nn = static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_);
    double *a = lu_.data();
    _matrix it = matView(a, n_, n_);
    const double *m = mass_.data();
    const double *j = dfdy_.data();
    for (std::size_t i = 0; i < nn; ++i) a[i] = m[i] - hinvGk_ * j[i];
    if (isDae_) {
        _matrix rs = vView(rowscale_);
        if (_matrix_rowscale(&rs, &it) != 0) {
            log_sys("_matrix_rowscale()\n");
            return -1;
        }
        if (Dbg_Level >= 30) mtx_dump(30, "v_rowscale:", &rs);
    }
    if (Dbg_Level >= 100) {
        _matrix ms = matView(mass_.data(), n_, n_);
        mtx_dump(100, "Mass:", &ms);
        mtx_dump(100, "Miter:", &it);
    }
    if (mtx_ludecomp(&it, &it, piv_.data()) != 0) {
        log_sys("%s", luMessage);
        return -1;
    }
    ++st_->ndecomps;
    havrate_ = false;
    return 0;
}

// Differences rescaled from prevH_ to absh_ (ratio = new/old) and the step factor updated.
int NdfSolver::rescale(double ratio) {
    _matrix mJ = matView(kJ_, maxK_, maxK_);
    _matrix mI = matView(kI_, maxK_, maxK_);
    _matrix mU = matView(difU_, maxK_, maxK_);
    _matrix md = difView();
    if (_change_stepsize(k_, maxK_, ratio, &mJ, &mI, &mU, &md) != 0) {
        log_sys("_change_stepsize()\n");
        return -1;
    }
    hinvGk_ = h_ * invG_[k_ - 1];
    nconhk_ = 0;
    return sensRescale(ratio);
}

// Jacobian at the current point (t, y) after a convergence failure.
int NdfSolver::formJacobianAtCurrent() {
    const _ndf_jacobian &jac = opt_->jac;
    if (jac.jconst != nullptr) {
        // constant: nothing to form, it is declared current again
    } else if (jac.jfunc != nullptr) {
        jac.jfunc(t_, y_.data(), dfdy_.data());
    } else {
        // The differences must be taken against f at the same point, so f(t, y) is evaluated
        // afresh (it becomes the stored derivative).
        f_(t_, y_.data(), fcur_.data());
        _matrix vy = vView(y_), vf = vView(fcur_), vt = vView(jthresh_), vfac = vView(fac_);
        _matrix md = matView(dfdy_.data(), n_, n_);
        if (_numerical_jacobian(t_, &vy, &vf, f_, &vt, 0, &vfac, &md, st_) != 0) {
            log_sys("_numerical_jacobian()\n");
            return -1;
        }
    }
    ++st_->npds;
    jCurrent_ = true;
    if (!mCurrent_ && opt_->dae.mfunc != nullptr) {
        opt_->dae.mfunc(t_, y_.data(), mass_.data());
        mCurrent_ = true;
    }
    if (Dbg_Level >= 50) {
        _matrix md = matView(dfdy_.data(), n_, n_);
        mtx_dump(50, "m_dfdy:", &md);
    }
    return 0;
}

// The negative-component report (given once per solve). kind 0: prediction or accepted value
// (middle column ynew - y); kind 1: during the Newton iteration (middle column the stored
// difference element).
void NdfSolver::reportNegative(const char *what, int kind, double tnew) {
    log_sys("%s Negative !!t,tnew,h:=%23.16e,%23.16e,%23.16e\n", what, t_, tnew, h_);
    for (int i = 0; i < n_; ++i) {
        const auto u = static_cast<std::size_t>(i);
        if (!clearlyNegative(i)) continue;
        const double mid = kind == 0 ? ynew_[u] - y_[u] : dif_[u];
        log_sys("vy.elem[%d],m_dif,v_f0:=%23.16e,%23.16e,%23.16e\n", i + 1, y_[u], mid, fcur_[u]);
    }
    outNegative_ = false;
}

int NdfSolver::storeOutput(double tnew, const double *ynew, double hStep) {
    const int t0num = in_->t0num;
    if (t0num == 2) {
        if (!out_.push(tnew, ynew)) {
            log_sys("ERROR: _alloc_que()\n");
            log_sys("_alloc_que()\n");
            return -1;
        }
        return sensStore(tnew, snew_.data());
    }
    // Requested times passed by this step are interpolated; at the end every remaining
    // interior time is, so that exactly t0num points come out.
    _matrix vyn = vecView(const_cast<double *>(ynew), n_);
    _matrix md = difView();
    _matrix vtmp = vView(tmp_);
    while (nextOut_ < t0num - 1 && (done_ || tolGt(tnew, in_->t0[nextOut_]))) {
        if (_interpolate(hStep, k_, tnew, &vyn, &md, in_->t0[nextOut_], &vtmp) != 0) return -1;
        if (!out_.push(in_->t0[nextOut_], tmp_.data())) {
            log_sys("ERROR: _alloc_que()\n");
            log_sys("_alloc_que()\n");
            return -1;
        }
        if (sens_ != nullptr) {
            _matrix vsn = vecView(snew_.data(), nm_), msd = matView(ds_.data(), nm_, difCols_);
            _matrix vsi = vecView(sres_.data(), nm_);
            if (_interpolate(hStep, k_, tnew, &vsn, &msd, in_->t0[nextOut_], &vsi) != 0) return -1;
            if (sensStore(in_->t0[nextOut_], sres_.data()) != 0) return -1;
        }
        ++nextOut_;
    }
    if (done_ && !out_.push(tnew, ynew)) {
        log_sys("ERROR: _alloc_que()\n");
        log_sys("_alloc_que()\n");
        return -1;
    }
    if (done_) return sensStore(tnew, snew_.data());
    return 0;
}

// Attempts the step from t until a new value is obtained and accepted, then accepts it.
int NdfSolver::step() {
    const double rtol = rtol_;
    const auto n = static_cast<std::size_t>(n_);
    double tnew = 0.0;
    double errEst = 0.0;
    QV_DBG(29, "*****  Loop for advancing 1 step start\n");
    for (;;) {
        QV_DBG(29, "***  Loop to get YNEW\n");
        // 1.-2. Prediction and the ψ term of the corrector.
        _matrix md = difView();
        _matrix vG = vecView(gamma_, kMaxOrder), vIG = vecView(invG_, kMaxOrder);
        _matrix vpsi = vView(psi_), vy = vView(y_), vpred = vView(pred_);
        if (_get_psi(k_, &vIG, &vG, &md, &vpsi) != 0) {
            log_sys("_get_psi()\n");
            return -1;
        }
        tnew = t_ + h_;
        if (done_) tnew = tfinal_;
        h_ = tnew - t_;
        QV_DBG(29, "Estimate Y(tnew[%e] = t[%e] + h[%e])\n", tnew, t_, h_);
        if (_predict_y(in_, k_, &md, &vy, &vpred) != 0) return -1;
        if (Dbg_Level >= 100) {
            mtx_dump(100, "Previous v_y:", &vy);
            mtx_dump(100, "v_pred:", &vpred);
        }
        std::copy(pred_.begin(), pred_.end(), ynew_.begin());
        std::fill(difkp1_.begin(), difkp1_.end(), 0.0);

        // 3.-4. Weights; a time-dependent mass matrix at the new time.
        weights();
        if (massType_ == MassType::TimeOnly) {
            opt_->dae.mfunc(tnew, ynew_.data(), mtnew_.data());
            refreshMtDiag();
        }

        // 5. A negative prediction is rejected without iterating (reported once).
        bool skipNewton = false;
        if (positive_) {
            forcedPositive_ = anyClearlyNegative();
            if (forcedPositive_ && outNegative_) {
                reportNegative("Get", 0, tnew);
                skipNewton = true;
            }
        }
        QV_DBG(29, "forced_positive[%d]\n", forcedPositive_ ? 1 : 0);

        // 6. Simplified Newton iteration.
        bool gotYnew = skipNewton;
        bool tooSlow = false;
        if (!skipNewton) {
            QV_DBG(29, "**  Newton Iteration Loop start\n");
            double oldNorm = 0.0;
            int iter = 0;
            _matrix itView = matView(lu_.data(), n_, n_);
            _matrix delView = vView(rhs_);
            for (iter = 0; iter < kNewtonIters; ++iter) {
                if (massType_ == MassType::WeakState || massType_ == MassType::StrongState) {
                    opt_->dae.mfunc(tnew, ynew_.data(), mtnew_.data());
                    refreshMtDiag();
                }
                f_(tnew, ynew_.data(), fcur_.data());
                double *del = rhs_.data();
                newtonResidual(del);
                if (mtx_lusolve(&itView, piv_.data(), &delView, &delView) != 0) {
                    log_sys("mtx_lusolve()\n");
                    return -1;
                }
                const double newNorm = errNorm(del);
                for (std::size_t i = 0; i < n; ++i) {
                    difkp1_[i] += del[i];
                    ynew_[i] = pred_[i] + difkp1_[i];
                }
                QV_DBG(29, "Judge: new_norm[%e] <= min_norm[%e] ???\n", newNorm, minNorm_);
                if (tolLe(newNorm, minNorm_)) {
                    gotYnew = true;
                    break;
                }
                if (iter == 0) {
                    if (havrate_) {
                        const double errIter = newNorm * rate_ / (1.0 - rate_);
                        QV_DBG(29, "Judge: err_iter[%e] <= 0.05*rtol[%e] ???\n", errIter, kConvFirst * rtol);
                        if (tolLe(errIter, kConvFirst * rtol)) {
                            gotYnew = true;
                            break;
                        }
                    } else {
                        rate_ = 0.0;
                    }
                } else if (tolGt(newNorm, kSlowRatio * oldNorm)) {
                    tooSlow = true;
                    break;
                } else {
                    rate_ = std::max(kSlowRatio * rate_, newNorm / oldNorm);
                    havrate_ = true;
                    const double errIter = newNorm * rate_ / (1.0 - rate_);
                    QV_DBG(29, "Judge: err_iter[%e] <= 0.5*rtol[%e] ???\n", errIter, kConvNext * rtol);
                    if (tolLe(errIter, kConvNext * rtol)) {
                        gotYnew = true;
                        break;
                    }
                    if (iter == kNewtonIters - 1 ||
                        tolLt(kConvNext * rtol, std::pow(rate_, kNewtonIters - 1 - iter) * errIter)) {
                        tooSlow = true;
                        break;
                    }
                }
                oldNorm = newNorm;
                if (positive_) {
                    forcedPositive_ = anyClearlyNegative();
                    if (forcedPositive_ && outNegative_) {
                        reportNegative("After Newton Get", 1, tnew);
                        gotYnew = true;
                        break;
                    }
                }
            }
            QV_DBG(29, "**  Newton Iteration Loop end[%d] tooslow[%d]\n", iter, tooSlow ? 1 : 0);
        }

        // 7. Too slow: a fresh Jacobian first, a smaller step when it is already fresh.
        if (!gotYnew) {
            if (!jCurrent_) {
                if (formJacobianAtCurrent() != 0) return -1;
            } else {
                if (absh_ <= hmin_) {
                    log_sys("ERROR: tooslow && abs_h(%e) <= hmin(%e)\n", absh_, hmin_);
                    return -1;
                }
                prevH_ = absh_;
                absh_ = std::max(kCutSlow * absh_, hmin_);
                h_ = tdir_ * absh_;
                done_ = false;
                if (rescale(absh_ / prevH_) != 0) return -1;
            }
            if (buildIteration("After Newton Iter mtx_ludecomp()\n") != 0) return -1;
            continue;
        }
        QV_DBG(29, "***  END of Loop to get YNEW\n");

        // 8. Error estimate from the correction; a negative new value also fails the step.
        errEst = errNorm(difkp1_.data()) * errconst_[k_ - 1];
        QV_DBG(29, "err_est[%e]\n", errEst);
        if (positive_ && !forcedPositive_) {
            forcedPositive_ = anyClearlyNegative();
            if (forcedPositive_ && outNegative_) reportNegative("After gotnew Get", 0, tnew);
        }

        // 9. Accept, or halve the step at the same order. Sensitivities under error control
        // take their step here and must pass the test too.
        if (tolLe(errEst, rtol) && !forcedPositive_) {
            if (sens_ == nullptr || sens_->errcon == 0) break;
            double errSens = 0.0;
            if (sensCorrect(tnew, &errSens) != 0) return -1;
            if (tolLe(errSens, rtol)) {
                errEst = std::max(errEst, errSens);
                break;
            }
            errEst = errSens;
        }
        if (absh_ <= hmin_) {
            log_sys("ERROR: err_est(%e) > rtol(%e) && abs_h(%e) <= hmin(%e)\n", errEst, rtol, absh_, hmin_);
            return -1;
        }
        prevH_ = absh_;
        absh_ = std::max(kCutError * absh_, hmin_);
        h_ = tdir_ * absh_;
        if (tolLt(absh_, prevH_)) done_ = false;
        if (rescale(absh_ / prevH_) != 0) return -1;
        if (buildIteration("mtx_ludecomp()\n") != 0) return -1;
    }

    // Accept: 1. update the differences.
    ++st_->nsteps;
    const auto cols = static_cast<std::size_t>(difCols_);
    const auto k = static_cast<std::size_t>(k_);
    acceptDifferences(dif_.data(), difkp1_.data(), n, cols, k);

    if (sens_ != nullptr && sens_->errcon == 0) {
        double errSens = 0.0;
        if (sensCorrect(tnew, &errSens) != 0) return -1;
    }
    sensAccept();

    // Non-negativity mode: what is left below zero lies within the tolerance; it becomes 0.
    if (positive_)
        for (double &v : ynew_) v = std::max(v, 0.0);

    // 2. A watched trigger change within the step ends the solve there; else the output.
    bool stopped = false;
    if (rootsCheck(tnew, &stopped) != 0) return -1;
    if (stopped) return 0;
    if (storeOutput(tnew, ynew_.data(), h_) != 0) return -1;

    // 3.-4. Order and step for the next step, after k+2 steps at this order and step.
    prevK_ = k_;
    prevH_ = absh_;
    nconhk_ = std::min(nconhk_ + 1, maxK_ + 2);
    if (nconhk_ >= k_ + 2) {
        auto candidate = [&](double err, double safety, int order) {
            const double temp = safety * std::pow(err / rtol, 1.0 / order);
            return tolGt(temp, kSmallTemp) ? absh_ / temp : kMaxGrowth * absh_;
        };
        double hopt = candidate(errEst, kSafeSame, k_ + 1);
        int kopt = k_;
        if (k_ > 1) {
            for (std::size_t i = 0; i < n; ++i) tmp_[i] = dif_[i * cols + k - 1];
            const double errkm1 = errNorm(tmp_.data()) * errconst_[k_ - 2];
            const double hkm1 = candidate(errkm1, kSafeDown, k_);
            if (tolGt(hkm1, hopt)) {
                hopt = hkm1;
                kopt = k_ - 1;
            }
        }
        if (k_ < maxK_) {
            for (std::size_t i = 0; i < n; ++i) tmp_[i] = dif_[i * cols + k + 1];
            const double errkp1 = errNorm(tmp_.data()) * errconst_[k_];
            const double hkp1 = candidate(errkp1, kSafeUp, k_ + 2);
            if (tolGt(hkp1, hopt)) {
                hopt = hkp1;
                kopt = k_ + 1;
            }
        }
        if (tolGt(hopt, absh_)) {
            absh_ = hopt;
            k_ = kopt;
        }
    }

    // 5. Advance.
    t_ = tnew;
    std::swap(y_, ynew_);
    if (sens_ != nullptr) std::swap(s_, snew_);
    if (normctrl_) normy_ = normynew_;
    jCurrent_ = opt_->jac.jconst != nullptr;
    switch (massType_) {
    case MassType::TimeOnly:
        mass_ = mtnew_;
        mCurrent_ = true;
        break;
    case MassType::None:
    case MassType::Constant:
        mCurrent_ = true;
        break;
    case MassType::WeakState:
    case MassType::StrongState:
        mCurrent_ = false;
        break;
    default:
        log_sys("Unknown Mass type(%d)\n", static_cast<int>(massType_));
        return -1;
    }
    return 0;
}

}  // namespace qv::ndf
