// The NDF integrator's solver object: one instance integrates once from t0[0] to t0[last].
// Shared by the set-up (ndf_setup.cpp), the step (ndf_advance.cpp) and the driver (ndf.cpp).
#ifndef QUORVANT_NDF_SOLVER_H
#define QUORVANT_NDF_SOLVER_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "ndf_internal.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/ndflib/matrix_basic.h"
#include "quorvant/ndflib/ndf.h"
#include "quorvant/ndflib/ndf_roots.h"
#include "quorvant/ndflib/ndf_sensitivity.h"
#include "quorvant/ndflib/trigger_search.h"
#include "quorvant/quorvant_baselib/dosolver3_adapters.h"
#include "quorvant/quorvant_baselib/row_output.h"

namespace qv::ndf {

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

inline double norm2(const double *v, int n) {
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
    NdfSolver(_ndf_input *in, ndf_odefunc_t odefunc, _ndf_option *opt, _ndf_status *st,
              _ndf_sensitivity *sens = nullptr)
        : in_(in), f_(odefunc), opt_(opt), st_(st), n_(in->y0num), out_(in->y0num), sens_(sens),
          nm_(sens != nullptr ? in->y0num * sens->num : 0), sout_(nm_ > 0 ? nm_ : 1) {}

    int run();
    void limitSteps(long maxSteps) { maxSteps_ = maxSteps; }
    void watch(_ndf_roots *roots) { roots_ = roots; }
    void deliver(_ndf_solution *sol) {
        out_.deliver(sol);
        if (sens_ != nullptr) sout_.deliver(&sens_->sol);
    }

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

    // Sensitivities (ndf_sensitivity.cpp); all do nothing without them.
    int sensAllocate();
    int sensStart();
    int sensCorrect(double tnew, double *errEst);
    void sensAccept();
    int sensRescale(double ratio);
    int sensStore(double t, const double *s);

    // Triggers (ndf_roots.cpp); all do nothing without them.
    int rootsStart();
    int rootsCheck(double tnew, bool *stopped);
    int storeStop(double tstop, double tnew);
    static int triggersAt(void *self, double t, int *on, double *g);

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
    std::vector<double> rhs_;   // Newton right-hand side, solved in place
    std::vector<double> lu_;    // the iteration matrix, factored in place
    std::vector<int> piv_;      // its pivot rows

    long maxSteps_ = 0;   // accepted steps after which the solve gives up; 0: no limit

    // Sensitivities: m blocks of n values each, the differences (n·m)×(max_k+2) like dif_.
    _ndf_sensitivity *sens_;
    int nm_;
    OutputStore sout_;
    std::vector<double> s_, snew_, spred_, spsi_, sdif_, swt_, sres_, ds_, jnew_, fpnew_, luS_, swork_;
    std::vector<int> pivS_;

    // Triggers: their states at the last accepted point, and the search's scratch.
    _ndf_roots *roots_ = nullptr;
    TriggerPoint rootsCur_;
    TriggerSearch search_;
    double searchTnew_ = 0;      // end of the step being searched
    std::vector<double> yStop_;  // the state at the stop
};

}  // namespace qv::ndf

// ndf_solve, with sensitivities when sens is not null (checked by the caller).
int ndf_solve_with(_ndf_input *in, _ndf_solution *sol, ndf_odefunc_t odefunc, _ndf_option *option,
                   _ndf_status *stats, _ndf_sensitivity *sens, long max_steps = 0,
                   _ndf_roots *roots = nullptr);

#endif
