// Explicit one-step integrators for the differential variables y[n_varNR+1..nvar]: the classical
// fourth-order Runge-Kutta step with a fixed step size, and an adaptive step with the embedded
// Cash-Karp 4(5) pair and step-size control. The algebraic variables y[1..n_varNR] are made
// consistent before every step and held constant during it.
#include "quorvant/solverlib/RungeKutta.h"

#include <cmath>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/solverlib/NewtonRaphson.h"
#include "quorvant/model.h"

namespace {

// Cash-Karp tableau: stage coefficients b, fifth-order weights c (c2 = c5 = 0), and the error
// weights dc = fifth-order minus embedded fourth-order weights (dc2 = 0).
constexpr double b21 = 1.0 / 5.0;
constexpr double b31 = 3.0 / 40.0, b32 = 9.0 / 40.0;
constexpr double b41 = 3.0 / 10.0, b42 = -9.0 / 10.0, b43 = 6.0 / 5.0;
constexpr double b51 = -11.0 / 54.0, b52 = 5.0 / 2.0, b53 = -70.0 / 27.0, b54 = 35.0 / 27.0;
constexpr double b61 = 1631.0 / 55296.0, b62 = 175.0 / 512.0, b63 = 575.0 / 13824.0,
                 b64 = 44275.0 / 110592.0, b65 = 253.0 / 4096.0;
constexpr double c1 = 37.0 / 378.0, c3 = 250.0 / 621.0, c4 = 125.0 / 594.0, c6 = 512.0 / 1771.0;
constexpr double dc1 = c1 - 2825.0 / 27648.0, dc3 = c3 - 18575.0 / 48384.0, dc4 = c4 - 13525.0 / 55296.0,
                 dc5 = -277.0 / 14336.0, dc6 = c6 - 0.25;

// Step-size control of the adaptive step.
constexpr double kSafety = 0.9;            // the new step aims at 90 % of the allowed error
constexpr double kShrinkExponent = -0.25;  // after a rejected step
constexpr double kGrowExponent = -0.2;     // after an accepted step
constexpr double kMaxShrink = 0.1;         // a rejected step shrinks at most tenfold ...
constexpr double kMaxGrowth = 5.0;         // ... and an accepted one grows at most fivefold,
constexpr double kErrCon = 0.000189;       // which is the growth for errors at or below this
constexpr double kScaleFloor = 1e-30;      // keeps the error scale of a zero variable positive
constexpr double kMinStep = 1e-30;         // a next step below this ends the integration

// Work vectors, addressed 1..nvar, sized for the largest model and reused by every step.
struct Workspace {
    double dydt[qv::kStateSize];                        // derivative at the start of the step
    double yt[qv::kStateSize], dyt[qv::kStateSize], dym[qv::kStateSize];   // classical step
    double y_scale[qv::kStateSize], y_tmp[qv::kStateSize], yerr[qv::kStateSize];   // adaptive
    double ytemp[qv::kStateSize], ak2[qv::kStateSize], ak3[qv::kStateSize], ak4[qv::kStateSize],
        ak5[qv::kStateSize], ak6[qv::kStateSize];      // Cash-Karp stages
};
Workspace work;

// The work vectors hold kMaxVar variables; a larger model would write past them.
bool sizeFits(int nvar, const char *who) {
    if (nvar >= 0 && nvar <= qv::kMaxVar && Param.n_varNR >= 0 && Param.n_varNR <= nvar) return true;
    log_sys("## Inappropriate number of variables in %s. n=%d, algebraic=%d (max %d)\n", who, nvar,
            Param.n_varNR, qv::kMaxVar);
    return false;
}

void rhs(double *dydt, double *y) { usr_fvec(dydt, y, GeneConc, &Param); }

// Consistent algebraic variables (when the model has any), then the derivative at y.
int prologue(double *y, double *y_pre, int f_event) {
    const int nr = Param.n_varNR;
    if (nr != 0) {
        if (f_event != 0) {
            if (CheckNRparam(y_pre) != 0) return -1;
            for (int i = 1; i <= nr; ++i) y[i] = y_pre[i];
        }
        if (SolveAlgebraicEq(y, y_pre) != 0) return -1;
    }
    rhs(work.dydt, y);
    return 0;
}

// Largest error relative to the scale and the tolerance; sets *negative when a trial value of a
// differential variable is below zero. An error that is not a number makes the result not a
// number, so that such a trial is never accepted.
double scaledError(const double *yerr, const double *yscal, const double *ytrial, int n, bool *negative) {
    double errmax = 0.0;
    *negative = false;
    for (int i = Param.n_varNR + 1; i <= n; ++i) {
        const double e = std::fabs(yerr[i] / yscal[i]);
        if (e > errmax || std::isnan(e)) errmax = e;
        if (ytrial[i] < 0.0) *negative = true;
    }
    return errmax / Rk_eps;
}

// One accepted adaptive step; *hdid receives the size of the step taken.
int adaptiveStep(double *y, double *dydx, int n, double *t, double *h, double *yscal, double *hdid) {
    double errmax = 0.0;
    for (;;) {
        // 1.-3. Trial step and its scaled error; a negative concentration rejects the step.
        cash_karpRungeKutta(y, dydx, n, *t, *h, work.y_tmp, work.yerr);
        bool forcedPositive = false;
        errmax = scaledError(work.yerr, yscal, work.y_tmp, n, &forcedPositive);
        QV_DBG(0, "t=%10.3E, h=%10.3E, errmax=%10.3E\n", *t, *h, errmax);
        // 4. Accept, or shrink the step (exactly tenfold after a negative value) and retry.
        if (!forcedPositive && errmax <= 1.0) break;
        double htmp = kMaxShrink * (*h);
        if (!forcedPositive) {
            const double tmp = kSafety * (*h) * std::pow(errmax, kShrinkExponent);
            if (tmp > htmp) htmp = tmp;
        }
        *h = htmp;
        if (*t + *h == *t) {
            log_sys("## Step size underflow in adaptiveRungeKuttaStep.\n");
            return -1;
        }
    }
    // 5. Accepted: advance, choose the next step, take the new state.
    *hdid = *h;
    *t += *h;
    if (errmax > kErrCon) {
        *h = kSafety * (*h) * std::pow(errmax, kGrowExponent);
    } else {
        *h = kMaxGrowth * (*h);
    }
    for (int i = 1; i <= n; ++i) y[i] = work.y_tmp[i];
    return 0;
}

}  // namespace

int SolveDiffEqNormalRungeKutta(int nvar, double *y, double *y_pre, double *t, double *h, int f_event) {
    if (!sizeFits(nvar, "SolveDiffEqNormalRungeKutta")) return -1;
    if (prologue(y, y_pre, f_event) != 0) return -1;
    normalRungeKutta(y, work.dydt, nvar, *t, *h);
    *t += *h;
    return 0;
}

void normalRungeKutta(double *y, double *dydt, int n, double /*t*/, double h) {
    if (!sizeFits(n, "normalRungeKutta")) return;
    const int nr = Param.n_varNR;
    const double hh = h * 0.5;
    const double h6 = h / 6.0;
    double *yt = work.yt, *dyt = work.dyt, *dym = work.dym;
    for (int i = 1; i <= nr; ++i) yt[i] = y[i];
    for (int i = nr + 1; i <= n; ++i) yt[i] = y[i] + hh * dydt[i];
    rhs(dyt, yt);
    for (int i = nr + 1; i <= n; ++i) yt[i] = y[i] + hh * dyt[i];
    rhs(dym, yt);
    for (int i = nr + 1; i <= n; ++i) {
        yt[i] = y[i] + h * dym[i];
        dym[i] += dyt[i];
    }
    rhs(dyt, yt);
    for (int i = nr + 1; i <= n; ++i) y[i] += h6 * (dydt[i] + dyt[i] + 2.0 * dym[i]);
}

int SolveDiffEqAdaptiveRungeKutta(int nvar, double *y, double *y_pre, double *t, double *h, double t_end,
                                  int f_event) {
    if (!sizeFits(nvar, "SolveDiffEqAdaptiveRungeKutta")) return -1;
    if (prologue(y, y_pre, f_event) != 0) return -1;
    // 1. Error scale: relative to the variable and to its change over the step.
    for (int i = Param.n_varNR + 1; i <= nvar; ++i)
        work.y_scale[i] = std::fabs(y[i]) + std::fabs(*h * work.dydt[i]) + kScaleFloor;
    // 2. Never step past t_end.
    const bool clipped = *t + *h > t_end;
    if (clipped) *h = t_end - *t;
    const double hclipped = *h;
    // 3. One accepted step.
    double hdid = 0.0;
    if (adaptiveStep(y, work.dydt, nvar, t, h, work.y_scale, &hdid) != 0) return -1;
    // A step accepted at the clipped size ends exactly at t_end (t + (t_end - t) may round).
    if (clipped && hdid == hclipped) *t = t_end;
    // 4. The next step must stay meaningful.
    if (*h < kMinStep) {
        log_sys("## Step size is too small. h=%10.3E\n", *h);
        return -1;
    }
    return 0;
}

int adaptiveRungeKuttaStep(double *y, double *dydx, int n, double *t, double *h, double *yscal) {
    if (!sizeFits(n, "adaptiveRungeKuttaStep")) return -1;
    double hdid = 0.0;
    return adaptiveStep(y, dydx, n, t, h, yscal, &hdid);
}

void cash_karpRungeKutta(double *y, double *dydx, int n, double /*t*/, double h, double *yout, double *yerr) {
    if (!sizeFits(n, "cash_karpRungeKutta")) return;
    const int nr = Param.n_varNR;
    double *ytemp = work.ytemp, *ak2 = work.ak2, *ak3 = work.ak3, *ak4 = work.ak4, *ak5 = work.ak5,
           *ak6 = work.ak6;
    for (int i = 1; i <= nr; ++i) ytemp[i] = y[i];
    for (int i = nr + 1; i <= n; ++i) ytemp[i] = y[i] + b21 * h * dydx[i];
    rhs(ak2, ytemp);
    for (int i = nr + 1; i <= n; ++i) ytemp[i] = y[i] + h * (b31 * dydx[i] + b32 * ak2[i]);
    rhs(ak3, ytemp);
    for (int i = nr + 1; i <= n; ++i) ytemp[i] = y[i] + h * (b41 * dydx[i] + b42 * ak2[i] + b43 * ak3[i]);
    rhs(ak4, ytemp);
    for (int i = nr + 1; i <= n; ++i)
        ytemp[i] = y[i] + h * (b51 * dydx[i] + b52 * ak2[i] + b53 * ak3[i] + b54 * ak4[i]);
    rhs(ak5, ytemp);
    for (int i = nr + 1; i <= n; ++i)
        ytemp[i] = y[i] + h * (b61 * dydx[i] + b62 * ak2[i] + b63 * ak3[i] + b64 * ak4[i] + b65 * ak5[i]);
    rhs(ak6, ytemp);
    for (int i = 1; i <= nr; ++i) yout[i] = y[i];
    for (int i = nr + 1; i <= n; ++i) {
        yout[i] = y[i] + h * (c1 * dydx[i] + c3 * ak3[i] + c4 * ak4[i] + c6 * ak6[i]);
        yerr[i] = h * (dc1 * dydx[i] + dc3 * ak3[i] + dc4 * ak4[i] + dc5 * ak5[i] + dc6 * ak6[i]);
    }
}
