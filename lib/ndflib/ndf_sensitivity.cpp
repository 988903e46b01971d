// Forward sensitivities in the NDF solver, the staggered way: after the states have taken a step
// (accepted by their own error test), the sensitivities s_j = dy/dp_j take the same step with the
// same formula. The NDF corrector of the states solves
//     hinv_g_k·f(ynew) = ψ + (ynew - pred),
// so that of the linear sensitivity equations s' = J s + df/dp solves
//     (I - hinv_g_k·J(ynew))·d = hinv_g_k·(J(ynew)·spred + df/dp(ynew)) - ψ_s,   snew = spred + d.
// The state iteration's matrix I - hinv_g_k·J (J possibly from an earlier point) is already
// factored: the equations are solved by iterating with it against the exact J(ynew), and only when
// that converges too slowly is I - hinv_g_k·J(ynew) factored for them. The differences, the
// rescaling on a new step and the interpolation at output times are those of the states.
#include <algorithm>
#include <cmath>
#include <new>

#include "ndf_solver.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/lu.h"
#include "quorvant/ndflib/ndf_sensitivity.h"
#include "quorvant/ndflib/ndf_steps.h"

namespace qv::ndf {

namespace {

constexpr int kSensIters = 4;            // iterations with the state matrix before a fresh one
constexpr double kSensConverged = 0.05;  // corrections below this·rtol (weighted) are converged
constexpr double kSensSlow = 0.5;        // a correction that shrinks less than this is too slow

}  // namespace

int NdfSolver::sensAllocate() {
    if (sens_ == nullptr) return 0;
    const auto nm = static_cast<std::size_t>(nm_);
    const auto n = static_cast<std::size_t>(n_);
    for (auto *v : {&s_, &snew_, &spred_, &spsi_, &sdif_, &swt_, &sres_, &fpnew_, &swork_}) v->assign(nm, 0.0);
    ds_.assign(nm * static_cast<std::size_t>(difCols_), 0.0);
    jnew_.assign(n * n, 0.0);
    luS_.assign(n * n, 0.0);
    pivS_.assign(n, 0);
    return 0;
}

// J s_j + df/dp_j for every block, at the state y with Jacobian J (only the entries of the
// pattern, when there is one): into out.
static void sensitivityRates(int n, int m, const double *J, const _ndf_sensitivity &sens, const double *s,
                             const double *fp, double *out) {
    const auto un = static_cast<std::size_t>(n);
    std::copy(fp, fp + un * static_cast<std::size_t>(m), out);
    if (sens.jindex != nullptr) {
        for (int e = 0; e < sens.jnnz; ++e) {
            const auto at = static_cast<std::size_t>(sens.jindex[e]);
            const std::size_t i = at / un, c = at % un;
            const double v = J[at];
            for (int j = 0; j < m; ++j) out[static_cast<std::size_t>(j) * un + i] += v * s[static_cast<std::size_t>(j) * un + c];
        }
        return;
    }
    for (int j = 0; j < m; ++j) {
        const double *sj = s + static_cast<std::size_t>(j) * un;
        double *oj = out + static_cast<std::size_t>(j) * un;
        for (std::size_t i = 0; i < un; ++i) {
            const double *row = J + i * un;
            double sum = 0.0;
            for (std::size_t c = 0; c < un; ++c) sum += row[c] * sj[c];
            oj[i] += sum;
        }
    }
}

// Solves A X = B for the m blocks of r at once, A factored in place as mtx_ludecomp leaves it
// (row-major, unit lower factor below the diagonal, the row interchanges in order, 1-based). The
// blocks are laid out row by row in work (n×m), so that every substitution runs along a row.
static void solveFactored(int n, int m, const double *lu, const int *piv, double *r, double *work) {
    const auto un = static_cast<std::size_t>(n), um = static_cast<std::size_t>(m);
    for (std::size_t j = 0; j < um; ++j)
        for (std::size_t i = 0; i < un; ++i) work[i * um + j] = r[j * un + i];
    for (std::size_t i = 0; i < un; ++i) {
        const auto ip = static_cast<std::size_t>(piv[i] - 1);
        double *wi = work + i * um;
        if (ip != i) {
            double *wp = work + ip * um;
            for (std::size_t j = 0; j < um; ++j) std::swap(wi[j], wp[j]);
        }
        const double *row = lu + i * un;
        for (std::size_t c = 0; c < i; ++c) {
            const double a = row[c];
            if (a == 0.0) continue;
            const double *wc = work + c * um;
            for (std::size_t j = 0; j < um; ++j) wi[j] -= a * wc[j];
        }
    }
    for (std::size_t i = un; i-- > 0;) {
        double *wi = work + i * um;
        const double *row = lu + i * un;
        for (std::size_t c = i + 1; c < un; ++c) {
            const double a = row[c];
            if (a == 0.0) continue;
            const double *wc = work + c * um;
            for (std::size_t j = 0; j < um; ++j) wi[j] -= a * wc[j];
        }
        const double inv = 1.0 / row[i];
        for (std::size_t j = 0; j < um; ++j) wi[j] *= inv;
    }
    for (std::size_t j = 0; j < um; ++j)
        for (std::size_t i = 0; i < un; ++i) r[j * un + i] = work[i * um + j];
}

// The start: the given sensitivities, their first difference h·s'(t0), the first output.
int NdfSolver::sensStart() {
    if (sens_ == nullptr) return 0;
    const int m = sens_->num;
    std::copy(sens_->s0, sens_->s0 + nm_, s_.begin());
    opt_->jac.jfunc(t_, y_.data(), jnew_.data());
    if (sens_->pfunc(t_, y_.data(), fpnew_.data()) != 0) {
        log_sys("pfunc()\n");
        return -1;
    }
    sensitivityRates(n_, m, jnew_.data(), *sens_, s_.data(), fpnew_.data(), sres_.data());
    const auto cols = static_cast<std::size_t>(difCols_);
    for (std::size_t r = 0; r < static_cast<std::size_t>(nm_); ++r) ds_[r * cols] = h_ * sres_[r];
    return sensStore(t_, s_.data());
}

int NdfSolver::sensRescale(double ratio) {
    if (sens_ == nullptr) return 0;
    _matrix mJ = matView(kJ_, maxK_, maxK_);
    _matrix mI = matView(kI_, maxK_, maxK_);
    _matrix mU = matView(difU_, maxK_, maxK_);
    _matrix md = matView(ds_.data(), nm_, difCols_);
    if (_change_stepsize(k_, maxK_, ratio, &mJ, &mI, &mU, &md) != 0) {
        log_sys("_change_stepsize()\n");
        return -1;
    }
    return 0;
}

int NdfSolver::sensStore(double t, const double *s) {
    if (sens_ == nullptr) return 0;
    if (!sout_.push(t, s)) {
        log_sys("ERROR: _alloc_que()\n");
        return -1;
    }
    return 0;
}

// The step of the sensitivities from t_ to tnew once the states' corrector has converged (ynew_
// holds the new state): snew_, the correction sdif_ and its error estimate, as the states' is
// taken.
int NdfSolver::sensCorrect(double tnew, double *errEst) {
    *errEst = 0.0;
    if (sens_ == nullptr) return 0;
    const int m = sens_->num;
    const auto n = static_cast<std::size_t>(n_);
    const auto nm = static_cast<std::size_t>(nm_);

    // Prediction and ψ from the sensitivities' own differences.
    _ndf_input shape{2, nullptr, nm_, nullptr};
    _matrix md = matView(ds_.data(), nm_, difCols_);
    _matrix vs = vecView(s_.data(), nm_), vpred = vecView(spred_.data(), nm_), vpsi = vecView(spsi_.data(), nm_);
    _matrix vG = vecView(gamma_, kMaxOrder), vIG = vecView(invG_, kMaxOrder);
    if (_predict_y(&shape, k_, &md, &vs, &vpred) != 0 || _get_psi(k_, &vIG, &vG, &md, &vpsi) != 0) return -1;

    opt_->jac.jfunc(tnew, ynew_.data(), jnew_.data());
    if (sens_->pfunc(tnew, ynew_.data(), fpnew_.data()) != 0) {
        log_sys("pfunc()\n");
        return -1;
    }
    // Weights of the corrections: like the states', per block relative to its own size.
    for (int j = 0; j < m; ++j) {
        const std::size_t b = static_cast<std::size_t>(j) * n;
        double big = 0.0;
        for (std::size_t i = 0; i < n; ++i) big = std::max(big, std::fabs(spred_[b + i]));
        const double floor = std::max(threshold_, 1e-8 * big);
        for (std::size_t i = 0; i < n; ++i) sres_[b + i] = 1.0 / std::max(std::fabs(spred_[b + i]), floor);
    }
    std::copy(sres_.begin(), sres_.end(), swt_.begin());
    std::fill(sdif_.begin(), sdif_.end(), 0.0);
    auto residual = [&](double *r) {
        for (std::size_t q = 0; q < nm; ++q) snew_[q] = spred_[q] + sdif_[q];
        sensitivityRates(n_, m, jnew_.data(), *sens_, snew_.data(), fpnew_.data(), r);
        for (std::size_t q = 0; q < nm; ++q) r[q] = hinvGk_ * r[q] - (spsi_[q] + sdif_[q]);
    };
    auto solveBlocks = [&](std::vector<double> &lu, std::vector<int> &piv, double *r) {
        solveFactored(n_, m, lu.data(), piv.data(), r, swork_.data());
        return 0;
    };
    bool converged = false;
    double oldNorm = 0.0;
    for (int iter = 0; iter < kSensIters && !converged; ++iter) {
        double *r = sres_.data();
        residual(r);
        if (solveBlocks(lu_, piv_, r) != 0) {
            log_sys("mtx_lusolve()\n");
            return -1;
        }
        double norm = 0.0;
        for (std::size_t q = 0; q < nm; ++q) {
            sdif_[q] += r[q];
            const double a = std::fabs(r[q]) * swt_[q];
            if (a > norm || std::isnan(a)) norm = a;
        }
        if (std::isnan(norm)) break;
        if (norm <= kSensConverged * rtol_) converged = true;
        else if (iter > 0 && norm > kSensSlow * oldNorm) break;
        oldNorm = norm;
    }
    if (!converged) {
        // The matrix at the new point, factored for the sensitivities alone: one exact solve.
        for (std::size_t q = 0; q < n * n; ++q) luS_[q] = (q % (n + 1) == 0 ? 1.0 : 0.0) - hinvGk_ * jnew_[q];
        _matrix it = matView(luS_.data(), n_, n_);
        if (mtx_ludecomp(&it, &it, pivS_.data()) != 0) {
            log_sys("mtx_ludecomp()\n");
            return -1;
        }
        ++sens_->nfactor;
        std::fill(sdif_.begin(), sdif_.end(), 0.0);
        double *r = sres_.data();
        residual(r);
        if (solveBlocks(luS_, pivS_, r) != 0) {
            log_sys("mtx_lusolve()\n");
            return -1;
        }
        for (std::size_t q = 0; q < nm; ++q) sdif_[q] = r[q];
    }
    double err = 0.0;
    for (std::size_t q = 0; q < nm; ++q) {
        snew_[q] = spred_[q] + sdif_[q];
        if (!std::isfinite(snew_[q])) {
            log_sys("sensitivities not finite at t %e\n", tnew);
            return -1;
        }
        err = std::max(err, std::fabs(sdif_[q]) * swt_[q]);
    }
    *errEst = err * errconst_[k_ - 1];
    return 0;
}

// The accepted step's corrections into the sensitivities' differences, as for the states.
void NdfSolver::sensAccept() {
    if (sens_ == nullptr) return;
    acceptDifferences(ds_.data(), sdif_.data(), static_cast<std::size_t>(nm_), static_cast<std::size_t>(difCols_),
                      static_cast<std::size_t>(k_));
}

}  // namespace qv::ndf

int ndf_solve_sens(_ndf_input *in, _ndf_solution *sol, ndf_odefunc_t odefunc, _ndf_option *option,
                   _ndf_status *stats, _ndf_sensitivity *sens, long max_steps, _ndf_roots *roots) {
    if (sens != nullptr) sens->sol = _ndf_solution{0, nullptr, nullptr};
    if (sens == nullptr || sens->num < 1 || sens->s0 == nullptr || sens->pfunc == nullptr || option == nullptr ||
        option->jac.jfunc == nullptr || option->dae.mfunc != nullptr || option->dae.mconst != nullptr) {
        log_sys("Illegal arguments (sensitivities need the Jacobian function and no mass matrix)\n");
        log_sys("ERROR: ndf_solve()\n");
        if (sol != nullptr) *sol = _ndf_solution{0, nullptr, nullptr};
        return -1;
    }
    return ndf_solve_with(in, sol, odefunc, option, stats, sens, max_steps, roots);
}
