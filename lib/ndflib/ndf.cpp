// Variable-order NDF/BDF integrator (orders 1..5) for stiff ODEs and index-1 DAEs
// M(t,y)·y' = f(t,y), in the backward-difference form of Shampine and Reichelt: quasi-constant
// step size, simplified Newton iteration with an LU-factored iteration matrix M - h·J/(G·(1-κ)),
// a Jacobian refreshed only when the iteration converges too slowly, an error estimate from the
// last correction, and order/step selection after every accepted step.
//
// All work storage of one solve is allocated at its start and owned by one object, so it is
// released on every exit path; the per-step code does not allocate (output points excepted,
// which grow one buffer geometrically).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "ndf_internal.h"
#include "quorvant/log.h"
#include "quorvant/ndf.h"
#include "quorvant/ndf_condest.h"

using namespace qv::ndf;

namespace {

// ---- Method coefficients, indexed by order k = 1..5 (stored 0-origin) -------------------
constexpr int kMaxOrder = 5;
// G_k = 1 + 1/2 + ... + 1/k
constexpr double kGamma[kMaxOrder] = {1.0, 1.5, 1.8333333333333333, 2.0833333333333335,
                                      2.283333333333333};
// κ_k of the NDFs (chosen for larger stable steps at orders 1..4) and of the BDFs (all 0).
constexpr double kNdfKappa[kMaxOrder] = {-0.185, -1.0 / 9.0, -0.0823, -0.0415, 0.0};
constexpr double kBdfKappa[kMaxOrder] = {0.0, 0.0, 0.0, 0.0, 0.0};
// Step-change matrices: kJ(i,j) = j, kI(i,j) = i (1-origin values), and U with
// U(i,j) = (-1)^i·binomial(j, i) for the rescaling of the differences.
constexpr double kDifU[kMaxOrder][kMaxOrder] = {{-1, -2, -3, -4, -5},
                                               {0, 1, 3, 6, 10},
                                               {0, 0, -1, -4, -10},
                                               {0, 0, 0, 1, 5},
                                               {0, 0, 0, 0, -1}};

// ---- Step control ------------------------------------------------------------------------
constexpr double kMinRtol = 100.0 * kEps;         // smallest relative tolerance honoured
constexpr double kMinNormRel = 100.0 * kEps;      // corrections below this are converged
constexpr double kHmaxFraction = 0.1;             // default largest step: this·interval
constexpr double kStretch = 1.1;                  // end exactly on tfinal within this factor
constexpr double kTimeDelta = 1.4901161193847656e-8;   // 2^-26: relative time increment of ∂f/∂t
constexpr double kInitSafety = 1.25;              // safety of the first step estimate
constexpr int kNewtonIters = 4;                   // simplified Newton iterations per attempt
constexpr double kConvFirst = 0.05;               // converged at iteration 0: err <= this·rtol
constexpr double kConvNext = 0.5;                 // converged later: err <= this·rtol
constexpr double kSlowRatio = 0.9;                // too slow: norm ratio above this (rate decay)
constexpr double kCutSlow = 0.3;                  // step cut after a convergence failure
constexpr double kCutError = 0.5;                 // step cut after an error-test failure
constexpr double kSafeSame = 1.2;                 // safety factors of the step estimates at
constexpr double kSafeDown = 1.3;                 //   the same order, one lower, one higher
constexpr double kSafeUp = 1.4;
constexpr double kSmallTemp = 0.1;                // below: grow the step by kMaxGrowth
constexpr double kMaxGrowth = 10.0;
constexpr double kSlopeResidual = 1.0e-3;         // given initial slope accepted below this·rtol

enum class MassType { None = 0, Constant = 1, TimeOnly = 2, WeakState = 3, StrongState = 4 };

int debugLoopCounter = 0;   // debug output only; counts main-loop passes over all solves

double norm2(const double *v, int n) {
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += v[i] * v[i];
    return std::sqrt(s);
}

// Output points of one solve: times and values in two malloc'ed blocks that grow
// geometrically and are handed over to the caller's _ndf_solution.
class OutputStore {
public:
    explicit OutputStore(int n) : n_(static_cast<std::size_t>(n)) {}
    ~OutputStore() {
        std::free(tt_);
        std::free(yy_);
    }
    OutputStore(const OutputStore &) = delete;
    OutputStore &operator=(const OutputStore &) = delete;

    bool reserve(std::size_t cap) {
        if (cap <= cap_) return true;
        auto *tt = static_cast<double *>(std::realloc(tt_, cap * sizeof(double)));
        if (tt == nullptr) return false;
        tt_ = tt;
        auto *yy = static_cast<double *>(std::realloc(yy_, cap * n_ * sizeof(double)));
        if (yy == nullptr) return false;
        yy_ = yy;
        cap_ = cap;
        return true;
    }
    bool push(double t, const double *y) {
        if (count_ == cap_ && !reserve(std::max<std::size_t>(16, 2 * cap_))) return false;
        tt_[count_] = t;
        std::memcpy(yy_ + count_ * n_, y, n_ * sizeof(double));
        ++count_;
        return true;
    }
    void deliver(_ndf_solution *sol) {
        sol->tnum = static_cast<int>(count_);
        if (count_ == 0) {
            std::free(tt_);
            std::free(yy_);
            tt_ = yy_ = nullptr;
        }
        sol->tt = std::exchange(tt_, nullptr);
        sol->yy = std::exchange(yy_, nullptr);
        count_ = cap_ = 0;
    }

private:
    std::size_t n_;
    std::size_t count_ = 0;
    std::size_t cap_ = 0;
    double *tt_ = nullptr;
    double *yy_ = nullptr;
};

// One integration from t0[0] to t0[last]. run() logs the reason of a failure; the caller adds
// the closing line and hands over the stored points.
class NdfSolver {
public:
    NdfSolver(_ndf_input *in, ndf_odefunc_t odefunc, _ndf_option *opt, _ndf_status *st)
        : in_(in), f_(odefunc), opt_(opt), st_(st), n_(in->y0num), out_(in->y0num) {}

    int run();
    void deliver(_ndf_solution *sol) { out_.deliver(sol); }

private:
    int allocate();
    int setUp();
    int step();
    int buildIteration(const char *luMessage);
    int rescale(double ratio);
    void weights();
    double errNorm(const double *v) const;
    bool clearlyNegative(int i) const;
    bool anyClearlyNegative() const;
    int formJacobianAtCurrent();
    void refreshMtDiag();
    void newtonResidual(double *rhs);
    void reportNegative(const char *what, int kind, double tnew);
    int storeOutput(double tnew, const double *ynew, double hStep);

    double *difCol0() { return dif_.data(); }
    _matrix difView() { return matView(dif_.data(), n_, difCols_); }
    _matrix vView(std::vector<double> &v) { return vecView(v.data(), n_); }

    _ndf_input *in_;
    ndf_odefunc_t f_;
    _ndf_option *opt_;
    _ndf_status *st_;
    int n_;
    OutputStore out_;

    // tolerances and weights
    double rtol_ = 0, atol_ = 0, threshold_ = 0, normy_ = 0;
    bool normctrl_ = false, positive_ = false;
    double invwtScalar_ = 0, minNorm_ = 0, normynew_ = 0;

    // time and step
    double t_ = 0, h_ = 0, absh_ = 0, tdir_ = 1, tfinal_ = 0, tspan_ = 0, htspan_ = 0;
    double hmax_ = 0, hmin_ = 0, prevH_ = 0, hinvGk_ = 0, rate_ = 0;
    int k_ = 1, prevK_ = 1, maxK_ = 5, nconhk_ = 0, difCols_ = 0, nextOut_ = 1;
    bool done_ = false, havrate_ = false, forcedPositive_ = false, outNegative_ = true;
    bool jCurrent_ = false, mCurrent_ = false, isDae_ = false, mtDiagonal_ = false;
    MassType massType_ = MassType::None;

    // method coefficients
    double invG_[kMaxOrder] = {}, errconst_[kMaxOrder] = {}, gamma_[kMaxOrder] = {};
    double kJ_[kMaxOrder * kMaxOrder] = {}, kI_[kMaxOrder * kMaxOrder] = {};
    double difU_[kMaxOrder * kMaxOrder] = {};

    // work storage (allocated once)
    std::vector<double> y_, ynew_, pred_, psi_, difkp1_, fcur_, invwt_, rowscale_, yp_, tmp_;
    std::vector<double> fac_, jthresh_, mtDiag_, dif_, dfdy_, mass_, mtnew_;
    Vec1 rhs_;            // Newton right-hand side, solved in place
    DenseLU lu_;          // the iteration matrix, factored in place
};

int NdfSolver::allocate() {
    const auto n = static_cast<std::size_t>(n_);
    try {
        for (auto *v : {&y_, &ynew_, &pred_, &psi_, &difkp1_, &fcur_, &invwt_, &rowscale_, &yp_,
                        &tmp_, &fac_, &jthresh_, &mtDiag_})
            v->assign(n, 0.0);
        dif_.assign(n * static_cast<std::size_t>(difCols_), 0.0);
        for (auto *m : {&dfdy_, &mass_, &mtnew_}) m->assign(n * n, 0.0);
        rhs_.resize(n_);
        lu_.resize(n_);
    } catch (const std::bad_alloc &) {
        log_sys("MTX_SET_ALLOC()\n");
        return -1;
    }
    return 0;
}

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
    const double *m = mass_.data();
    const double *j = dfdy_.data();
    for (std::size_t i = 0; i < nn; ++i) a[i] = m[i] - hinvGk_ * j[i];
    if (isDae_) {
        _matrix rs = vView(rowscale_);
        _matrix it = matView(a, n_, n_);
        if (_matrix_rowscale(&rs, &it) != 0) {
            log_sys("_matrix_rowscale()\n");
            return -1;
        }
        if (Dbg_Level >= 30) mtx_dump(30, "v_rowscale:", &rs);
    }
    if (Dbg_Level >= 100) {
        _matrix ms = matView(mass_.data(), n_, n_);
        _matrix it = matView(a, n_, n_);
        mtx_dump(100, "Mass:", &ms);
        mtx_dump(100, "Miter:", &it);
    }
    if (lu_.factor() != 0) {
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
    return 0;
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
        return 0;
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
        ++nextOut_;
    }
    if (done_ && !out_.push(tnew, ynew)) {
        log_sys("ERROR: _alloc_que()\n");
        log_sys("_alloc_que()\n");
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
        case 2: isDae_ = mtx_est_condition_number(&mM) * nnz * kEps > 1.0; break;
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
            std::copy(mass_.begin(), mass_.end(), lu_.data());
            if (lu_.factor() != 0) {
                log_sys("mtx_ludecomp()\n");
                return -1;
            }
            ++st_->ndecomps;
            std::copy(fcur_.begin(), fcur_.end(), rhs_.p());
            lu_.solve1(rhs_.one());
            std::copy(rhs_.p(), rhs_.p() + n_, yp_.begin());
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
            double *dfdt = rhs_.p();
            for (std::size_t i = 0; i < n; ++i) {
                double s = 0.0;
                for (std::size_t j = 0; j < n; ++j) s += dfdy_[i * n + j] * yp_[j];
                dfdt[i] = (tmp_[i] - fcur_[i]) / tdel + s;
            }
            if (massType_ != MassType::None) lu_.solve1(rhs_.one());
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
            for (iter = 0; iter < kNewtonIters; ++iter) {
                if (massType_ == MassType::WeakState || massType_ == MassType::StrongState) {
                    opt_->dae.mfunc(tnew, ynew_.data(), mtnew_.data());
                    refreshMtDiag();
                }
                f_(tnew, ynew_.data(), fcur_.data());
                double *del = rhs_.p();
                newtonResidual(del);
                lu_.solve1(rhs_.one());
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

        // 9. Accept, or halve the step at the same order.
        if (tolLe(errEst, rtol) && !forcedPositive_) break;
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
    for (std::size_t i = 0; i < n; ++i) {
        double *d = dif_.data() + i * cols;
        d[k + 1] = difkp1_[i] - d[k];
        d[k] = difkp1_[i];
        for (std::size_t j = k; j-- > 0;) d[j] += d[j + 1];
    }

    // Non-negativity mode: what is left below zero lies within the tolerance; it becomes 0.
    if (positive_)
        for (double &v : ynew_) v = std::max(v, 0.0);

    // 2. Output.
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

int NdfSolver::run() {
    maxK_ = opt_->bdf.order;
    difCols_ = maxK_ + 2;
    if (allocate() != 0 || setUp() != 0) return -1;
    QV_DBG(29, "Loop start\n");
    while (!done_) {
        // 1. Step size within [hmin, hmax], stretched or shrunk to end exactly on tfinal.
        QV_DBG(29, "********  Loop[%d] : t[%e] abs_h[%e] order_k[%d]\n", debugLoopCounter, t_, absh_, k_);
        ++debugLoopCounter;
        hmin_ = kEps * std::fabs(t_);
        absh_ = std::min(hmax_, std::max(hmin_, absh_));
        h_ = tdir_ * absh_;
        if (kStretch * absh_ >= std::fabs(tfinal_ - t_)) {
            h_ = tfinal_ - t_;
            absh_ = std::fabs(h_);
            done_ = true;
        }
        // 2. A new step size or order: rescale the differences, new iteration matrix.
        if (absh_ != prevH_ || k_ != prevK_) {
            QV_DBG(29, "Change step size: h[%e -> %e] k[%d -> %d]\n", prevH_, absh_, prevK_, k_);
            if (rescale(absh_ / prevH_) != 0) return -1;
            QV_DBG(29, "h[%e] k[%d] inv_g_k[%e] hinv_g_k[%e]\n", h_, k_, invG_[k_ - 1], hinvGk_);
            if (buildIteration("mtx_ludecomp()\n") != 0) return -1;
        }
        // 3.-4.
        if (step() != 0) return -1;
    }
    if (Dbg_Level >= 50) {
        _matrix md = difView();
        _matrix vy = vView(y_);
        mtx_dump(50, "Final m_dif:", &md);
        mtx_dump(50, "Final v_y:", &vy);
    }
    return 0;
}

// Argument checks that need no storage; logs the reason.
int checkInput(const _ndf_input *in, const _ndf_option *opt) {
    if (in->t0num < 2) {
        log_sys("t0num[%d] < 2\n", in->t0num);
        return -1;
    }
    if (in->y0num < 1) {
        log_sys("y0num[%d] < 1\n", in->y0num);
        return -1;
    }
    for (int i = 1; i < in->t0num; ++i)
        if (!(in->t0[i] > in->t0[i - 1])) {
            log_sys("t0[%d](%e) does not increase from t0[%d](%e)\n", i, in->t0[i], i - 1, in->t0[i - 1]);
            return -1;
        }
    for (int i : {0, in->t0num - 1})
        if (!std::isfinite(in->t0[i])) {
            log_sys("t0[%d](%e) is not finite\n", i, in->t0[i]);
            return -1;
        }
    if (opt->bdf.order < 1 || opt->bdf.order > kMaxOrder) {
        log_sys("order[%d] is not in 1..%d\n", opt->bdf.order, kMaxOrder);
        return -1;
    }
    if (std::isnan(opt->tol.rel) || !std::isfinite(opt->tol.abs) || !(opt->tol.abs > 0.0)) {
        log_sys("Illegal tolerance rel[%e] abs[%e]\n", opt->tol.rel, opt->tol.abs);
        return -1;
    }
    return 0;
}

}  // namespace

void ndf_init(_ndf_option *option) {
    if (option == nullptr) return;
    *option = _ndf_option{};
    option->tol.rel = 1.0e-3;
    option->tol.abs = 1.0e-6;
    option->dae.ydepend = 1;
    option->dae.singular = 2;
    option->bdf.order = 5;
}

int ndf_solve(_ndf_input *in, _ndf_solution *sol, ndf_odefunc_t odefunc, _ndf_option *option,
              _ndf_status *stats) {
    if (sol != nullptr) *sol = _ndf_solution{0, nullptr, nullptr};
    if (in == nullptr || sol == nullptr || odefunc == nullptr || option == nullptr ||
        stats == nullptr || in->t0 == nullptr || in->y0 == nullptr) {
        log_sys("Illegal arguments\n");
        log_sys("ERROR: ndf_solve()\n");
        return -1;
    }
    if (checkInput(in, option) != 0) {
        log_sys("ERROR: ndf_solve()\n");
        return -1;
    }
    NdfSolver solver(in, odefunc, option, stats);
    const int rc = solver.run();
    solver.deliver(sol);
    if (rc != 0) {
        log_sys("ERROR: ndf_solve()\n");
        return -1;
    }
    return 0;
}

void ndf_term(_ndf_solution *sol) {
    if (sol == nullptr) return;
    std::free(sol->tt);
    std::free(sol->yy);
    sol->tt = nullptr;
    sol->yy = nullptr;
}
