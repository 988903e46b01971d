// Variable-order NDF/BDF integrator (orders 1..5) for stiff ODEs and index-1 DAEs
// M(t,y)·y' = f(t,y), in the backward-difference form of Shampine and Reichelt: quasi-constant
// step size, simplified Newton iteration with an LU-factored iteration matrix M - h·J/(G·(1-κ)),
// a Jacobian refreshed only when the iteration converges too slowly, an error estimate from the
// last correction, and order/step selection after every accepted step.
//
// All work storage of one solve is allocated at its start and owned by one object, so it is
// released on every exit path; the per-step code does not allocate (output points excepted,
// which grow one buffer geometrically).
//
// This file holds the public entry points and the main loop; ndf_setup.cpp and
// ndf_advance.cpp the set-up and the step.
#include <cmath>
#include <cstdlib>
#include <new>

#include "ndf_solver.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/ndf.h"
#include "quorvant/quorvant_baselib/dosolver3_adapters.h"

namespace qv::ndf {

namespace {
int debugLoopCounter = 0;   // debug output only; counts main-loop passes over all solves
}  // namespace

int NdfSolver::run() {
    maxK_ = opt_->bdf.order;
    difCols_ = maxK_ + 2;
    if (allocate() != 0 || setUp() != 0 || rootsStart() != 0) return -1;
    long stepsTaken = 0;
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
        if (maxSteps_ > 0 && ++stepsTaken >= maxSteps_ && !done_) {
            log_sys("ERROR: more than %ld steps\n", maxSteps_);
            return -1;
        }
    }
    if (Dbg_Level >= 50) {
        _matrix md = difView();
        _matrix vy = vView(y_);
        mtx_dump(50, "Final m_dif:", &md);
        mtx_dump(50, "Final v_y:", &vy);
    }
    return 0;
}

}  // namespace qv::ndf

using qv::ndf::kMaxOrder;

namespace {

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

int ndf_solve_with(_ndf_input *in, _ndf_solution *sol, ndf_odefunc_t odefunc, _ndf_option *option,
                   _ndf_status *stats, _ndf_sensitivity *sens, long max_steps, _ndf_roots *roots) {
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
    qv::ndf::NdfSolver solver(in, odefunc, option, stats, sens);
    solver.limitSteps(max_steps);
    solver.watch(roots);
    int rc = -1;
    try {
        rc = solver.run();
    } catch (const std::bad_alloc &) {   // work storage is sized up front; this is a last guard
        log_sys("MTX_SET_ALLOC()\n");
    }
    solver.deliver(sol);
    if (rc != 0) {
        log_sys("ERROR: ndf_solve()\n");
        return -1;
    }
    return 0;
}

int ndf_solve(_ndf_input *in, _ndf_solution *sol, ndf_odefunc_t odefunc, _ndf_option *option,
              _ndf_status *stats) {
    return ndf_solve_with(in, sol, odefunc, option, stats, nullptr);
}

int ndf_solve_limited(_ndf_input *in, _ndf_solution *sol, ndf_odefunc_t odefunc, _ndf_option *option,
                      _ndf_status *stats, long max_steps) {
    return ndf_solve_with(in, sol, odefunc, option, stats, nullptr, max_steps);
}

void ndf_term(_ndf_solution *sol) {
    if (sol == nullptr) return;
    std::free(sol->tt);
    std::free(sol->yy);
    sol->tt = nullptr;
    sol->yy = nullptr;
}
