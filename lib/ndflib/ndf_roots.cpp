// The NDF solver's trigger watch: the triggers at every accepted point, the search for the
// instant of a watched change on the step's interpolant, and the stop there.
#include <algorithm>
#include <cmath>

#include "ndf_solver.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/ndflib/ndf_steps.h"

namespace qv::ndf {

int NdfSolver::rootsStart() {
    if (roots_ == nullptr) return 0;
    roots_->found = 0;
    roots_->t = t_;
    try {
        rootsCur_.resize(roots_->num);
        search_.resize(roots_->num);
        yStop_.assign(static_cast<std::size_t>(n_), 0.0);
    } catch (const std::bad_alloc &) {
        log_sys("MTX_SET_ALLOC()\n");
        return -1;
    }
    rootsCur_.t = t_;
    ++roots_->nevals;
    if (roots_->func(t_, y_.data(), rootsCur_.on.data(), rootsCur_.g.data()) < 0) {
        log_sys("trigger function()\n");
        return -1;
    }
    return 0;
}

// The triggers at time t inside the step being searched, from the interpolant of the states.
int NdfSolver::triggersAt(void *self, double t, int *on, double *g) {
    auto *s = static_cast<NdfSolver *>(self);
    _matrix vyn = vecView(s->ynew_.data(), s->n_);
    _matrix md = s->difView();
    _matrix vy = vecView(s->yStop_.data(), s->n_);
    if (_interpolate(s->h_, s->k_, s->searchTnew_, &vyn, &md, t, &vy) != 0) return -1;
    ++s->roots_->nevals;
    if (s->roots_->func(t, s->yStop_.data(), on, g) < 0) {
        log_sys("trigger function()\n");
        return -1;
    }
    return 0;
}

int NdfSolver::rootsCheck(double tnew, bool *stopped) {
    *stopped = false;
    if (roots_ == nullptr) return 0;
    const int num = roots_->num;
    TriggerPoint &end = search_.hi;
    end.t = tnew;
    ++roots_->nevals;
    if (roots_->func(tnew, ynew_.data(), end.on.data(), end.g.data()) < 0) {
        log_sys("trigger function()\n");
        return -1;
    }
    if (!watched_change(num, roots_->watch, rootsCur_.on.data(), end.on.data())) {
        std::swap(rootsCur_, end);
        rootsCur_.t = tnew;
        if (done_) std::copy(rootsCur_.on.begin(), rootsCur_.on.end(), roots_->on_before);
        return 0;
    }
    search_.lo = rootsCur_;
    searchTnew_ = tnew;
    if (trigger_search(num, roots_->watch, &NdfSolver::triggersAt, this, search_) != 0) return -1;
    const double tstop = search_.hi.t;
    if (storeStop(tstop, tnew) != 0) return -1;
    std::copy(search_.lo.on.begin(), search_.lo.on.end(), roots_->on_before);
    roots_->found = 1;
    roots_->t = tstop;
    done_ = true;
    *stopped = true;
    return 0;
}

// Stores the requested output times before tstop (interpolated on the step that ends at tnew) and
// then the point at tstop, the last one.
int NdfSolver::storeStop(double tstop, double tnew) {
    _matrix vyn = vecView(ynew_.data(), n_);
    _matrix md = difView();
    const double tol = trigger_time_tolerance(tstop, h_);
    auto at = [&](double t, double *y, double *s) {
        _matrix vy = vecView(y, n_);
        if (_interpolate(h_, k_, tnew, &vyn, &md, t, &vy) != 0) return -1;
        if (sens_ == nullptr) return 0;
        _matrix vsn = vecView(snew_.data(), nm_), msd = matView(ds_.data(), nm_, difCols_);
        _matrix vs = vecView(s, nm_);
        return _interpolate(h_, k_, tnew, &vsn, &msd, t, &vs);
    };
    auto push = [&](double t, const double *y, const double *s) {
        if (!out_.push(t, y)) {
            log_sys("ERROR: _alloc_que()\n");
            log_sys("_alloc_que()\n");
            return -1;
        }
        return sens_ != nullptr ? sensStore(t, s) : 0;
    };
    const int t0num = in_->t0num;
    if (t0num > 2)
        while (nextOut_ < t0num - 1 && in_->t0[nextOut_] < tstop - tol) {
            if (at(in_->t0[nextOut_], tmp_.data(), sres_.data()) != 0) return -1;
            if (push(in_->t0[nextOut_], tmp_.data(), sres_.data()) != 0) return -1;
            ++nextOut_;
        }
    if (at(tstop, yStop_.data(), sres_.data()) != 0) return -1;
    if (positive_)
        for (double &v : yStop_) v = std::max(v, 0.0);
    return push(tstop, yStop_.data(), sres_.data());
}

}  // namespace qv::ndf

int ndf_solve_roots(_ndf_input *in, _ndf_solution *sol, ndf_odefunc_t odefunc, _ndf_option *option,
                    _ndf_status *stats, _ndf_roots *roots, _ndf_sensitivity *sens, long max_steps) {
    if (roots != nullptr && (roots->num < 1 || roots->func == nullptr || roots->watch == nullptr ||
                             roots->on_before == nullptr)) {
        log_sys("Illegal arguments\n");
        log_sys("ERROR: ndf_solve()\n");
        return -1;
    }
    if (sens != nullptr) return ndf_solve_sens(in, sol, odefunc, option, stats, sens, max_steps, roots);
    return ndf_solve_with(in, sol, odefunc, option, stats, nullptr, max_steps, roots);
}
