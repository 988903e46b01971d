// Newton-Raphson for the algebraic variables y[1..n_varNR] (the differential ones held fixed),
// continuation of parameter values and differential variables towards their targets, the
// Newton-Raphson steady state, and the steady-state sensitivity report.
#include "quorvant/solverlib/NewtonRaphson.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/nrlib/nr_lu.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/model.h"

namespace {

// Continuation: values above this floor move in geometric steps of at most the ratio NR_RATIO;
// a value at or below it (zero, negative) moves in arithmetic steps instead.
constexpr double kPositiveFloor = 1e-30;
// Arithmetic continuation takes trunc(ln|change| * this) steps, at least one.
constexpr double kArithmeticStepsPerLog = 10.0;

// Work areas of the Newton iteration, sized for the largest model and reused by every call:
// residual, Newton step, pivot indices and the Jacobian, all addressed 1..n.
struct Workspace {
    double fvec[qv::kStateSize];
    double step[qv::kStateSize];
    int indx[qv::kStateSize];
    double jac[qv::kStateSize][qv::kStateSize];
    double *jacRows[qv::kStateSize];   // row pointers handed to the model and the LU routines
    // Static storage starts zero-filled; only the row pointers need setting.
    Workspace() {
        for (int i = 0; i < qv::kStateSize; ++i) jacRows[i] = jac[i];
    }
};
Workspace work;

// Lines of the sensitivity report written by this process.
int sensLineCount = 0;

// LU decomposition and back substitution on the leading n x n block of the Jacobian.
int ludcmp(int n, double *d) { return nr_ludcmp(work.jacRows, n, work.indx, d); }
void lubksb(int n, double *b) { nr_lubksb(work.jacRows, n, work.indx, b); }

// Residual and Jacobian of the model at y.
void evaluateModel(double *y, int n) {
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) work.jac[i][j] = 0.0;
    usr_fvec(work.fvec, y, GeneConc, &Param);
    usr_fjac(work.jacRows, y, GeneConc, &Param);
}

// Steps of an arithmetic continuation over the change d.
int arithmeticSteps(double d) {
    const double m = std::trunc(std::log(std::fabs(d)) * kArithmeticStepsPerLog);
    if (!(m >= 1.0)) return 1;   // also for d = 0 and d not a number
    return m < INT_MAX ? static_cast<int>(m) : INT_MAX;
}

// Moves *v to the target a in continuation steps, calling solve() after every step; the last step
// lands on a exactly. Returns -1 as soon as a solve fails (*v then holds the value it failed at).
template <typename Solve>
int continueTo(double a, double *v, Solve solve) {
    const double start = *v;
    const bool geometric = a > kPositiveFloor && start > kPositiveFloor;
    double factor = 1.0;
    double width = 0.0;
    int m;
    if (geometric) {
        m = getIterationTimes(a, start, &factor);
    } else {
        m = arithmeticSteps(a - start);
        width = (a - start) / m;
    }
    for (int k = 1; k <= m; ++k) {
        if (k == m) {
            *v = a;
        } else if (geometric) {
            *v *= factor;
        } else {
            *v += width;
        }
        if (solve() != 0) return -1;
    }
    return 0;
}

int solveAlgebraic(double *y) {
    return solveNewtonRaphson(Nr_trial, y, Param.n_varNR, Nr_tol_x, Nr_tol_f);
}

void copyState(double *dst, const double *src, int from, int to) {
    for (int i = from; i <= to; ++i) dst[i] = src[i];
}

}  // namespace

int solveNewtonRaphson(int ntrial, double *y, int n, double tolx, double tolf) {
    if (n < 0 || n > qv::kMaxVar || Param.n_var > qv::kMaxVar) {
        log_sys("## Too many variables in solveNewtonRaphson. n=%d (max %d)\n", n, qv::kMaxVar);
        return -1;
    }
    double errf = 0.0;
    double errx = 0.0;
    for (int k = 1; k <= ntrial; ++k) {
        // 1. Residual and Jacobian at y.
        evaluateModel(y, n);
        // 2. Converged before stepping? (A sum that is not a number never is.)
        errf = 0.0;
        for (int i = 1; i <= n; ++i) errf += std::fabs(work.fvec[i]);
        if (errf <= tolf) return 0;
        // A residual that is not a number stays so: further iterations cannot converge.
        if (!std::isfinite(errf)) break;
        // 3. Newton step: J p = -f. A Jacobian with a zero row has no step; give up.
        for (int i = 1; i <= n; ++i) work.step[i] = -work.fvec[i];
        double d;
        if (ludcmp(n, &d) != 0) break;
        lubksb(n, work.step);
        // 4. Apply it; converged when the step is small.
        errx = 0.0;
        for (int i = 1; i <= n; ++i) {
            errx += std::fabs(work.step[i]);
            y[i] += work.step[i];
        }
        if (errx <= tolx) return 0;
    }
    log_sys("## Not converged in solveNewtonRaphson. in %3d times.\n", ntrial);
    log_sys("\tErrf =%10.3E Errx =%10.3E\n", errf, errx);
    return -1;
}

int checkNRresult(double *y) {
    if (solveAlgebraic(y) != 0) return -1;
    for (int i = 1; i <= Param.n_varNR; ++i) {
        if (!(y[i] >= 0.0)) {
            log_sys("## Get negative solution in checkNRresult. y[%d]=%10.3E\n", i, y[i]);
            return -1;
        }
    }
    return 0;
}

int getIterationTimes(double a, double b, double *factor) {
    if (!(a > kPositiveFloor) || !(b > kPositiveFloor) || !std::isfinite(a) || !std::isfinite(b) ||
        !(Nr_ratio > 1.0)) {
        log_sys("## Cannot divide the change from %e to %e into steps of ratio %e.\n", b, a, Nr_ratio);
        std::exit(-1);
    }
    const double q = a / b;
    const bool direct = std::isfinite(q) && q > 0.0;   // a / b neither overflowed nor underflowed
    const double lnq = direct ? std::log(q) : std::log(a) - std::log(b);
    const double steps = std::floor(std::fabs(lnq) / std::log(Nr_ratio));
    const int m = steps < INT_MAX - 1 ? static_cast<int>(steps) + 1 : INT_MAX;
    *factor = direct ? std::pow(q, 1.0 / m) : std::exp(lnq / m);
    return m;
}

int changeNRparam(const double *target, double *value, double *y) {
    return continueTo(*target, value, [y] { return solveAlgebraic(y); });
}

int setOneNRparam(double *y, const double *target, double *value, int count) {
    const int last = count < qv::kMaxValIndex ? count : qv::kMaxValIndex;
    for (int k = 1; k <= last; ++k) {
        if (value[k] == target[k]) continue;
        if (changeNRparam(&target[k], &value[k], y) != 0) {
            log_sys("## Cannot set No.%d :%e to %e\n", k, value[k], target[k]);
            return -1;
        }
    }
    return 0;
}

int SetNRparam(double *y) {
    const int np = getParamNum() < qv::kMaxParamNo ? getParamNum() : qv::kMaxParamNo - 1;
    for (int p = 1; p <= np; ++p) {
        const char *name = Pno2Name(p);
        if (name == nullptr) {
            log_sys("## Cannot get Param Name Pno[%d].\n", p);
            return -1;
        }
        if (setOneNRparam(y, ParamT.val[p], Param.val[p], Param.n_val[p]) != 0) {
            log_sys("## Cannot set %s.\n", name);
            return -1;
        }
    }
    return 0;
}

int CheckNRparam(double *y_pre) {
    ParamT = Param;    // the changed values become the targets
    Param = ParamP;    // back to the values at which y_pre is consistent
    if (SetNRparam(y_pre) != 0) return -1;
    ParamP = Param;
    return 0;
}

int SolveAlgebraicEq(double *y, double *y_pre) {
    const int nr = Param.n_varNR;
    const int n = Param.n_var;
    // 1. Directly from y.
    if (checkNRresult(y) != 0) {
        // 2. From the last consistent state, moving its differential variables to those of y.
        bool moved = false;
        for (int i = nr + 1; i <= n; ++i) {
            if (y[i] == y_pre[i]) continue;
            moved = true;
            if (continueTo(y[i], &y_pre[i], [y_pre] { return checkNRresult(y_pre); }) != 0) {
                log_sys("## Cannot set y[%d] to %e\n", i, y[i]);
                return -1;
            }
        }
        // 3. Nothing to move: the start point itself has no solution.
        if (!moved) {
            log_sys("## Cannot solve Algebraic Eq. at start point.\n");
            return -1;
        }
        copyState(y, y_pre, 1, nr);
    }
    // 4. y is the new consistent state.
    copyState(y_pre, y, 1, n);
    return 0;
}

int SolveSTDbyNR(double *y, double *y_pre) {
    const auto restore = [&] {
        Param = ParamP;
        copyState(y, y_pre, 1, Param.n_var);
    };
    // 1. Continuation of the parameters from the previous solution.
    if (SetNRparam(y) != 0) {
        restore();
        return -1;
    }
    // 2. Solve once more at exactly the target values.
    Param = ParamT;
    if (checkNRresult(y) != 0) {
        restore();
        return -1;
    }
    // 3. The new consistent pair.
    ParamP = Param;
    copyState(y_pre, y, 1, Param.n_var);
    return 0;
}

int Sensitivity(double *y, double *y_pre) {
    if (Fp_out == nullptr) {
        log_sys("## No result stream for the sensitivity report.\n");
        return -1;
    }
    std::fprintf(Fp_out, "\n\n$$ Sensitivity\n");
    const int np = getParamNum() < qv::kMaxParamNo ? getParamNum() : qv::kMaxParamNo - 1;
    for (int p = 1; p <= np; ++p) {
        if (Param.n_val[p] < 1) continue;
        const char *name = Pno2Name(p);
        if (name == nullptr) {
            log_sys("## Cannot get Param Name Pno[%d].\n", p);
            return -1;
        }
        if (cal_sens(y, y_pre, Param.val[p], ParamP.val[p], Param.n_val[p], name) != 0) return -1;
    }
    return 0;
}

int cal_sens(double *y, double *y_pre, double *values, const double *values_p, int count, const char *name) {
    const double c = Nr_sens_cw;
    const double lnStep = std::log(1.0 + c);
    const int n = Param.n_var;
    const int last = count < qv::kMaxValIndex ? count : qv::kMaxValIndex;
    for (int k = 1; k <= last; ++k) {
        if (values[k] == 0.0) continue;
        // Perturb the value by the relative step c, starting from the steady state.
        copyState(y, y_pre, 1, n);
        const double target = values[k] * (1.0 + c);
        const int rc = changeNRparam(&target, &values[k], y);
        if (rc != 0) {
            values[k] = values_p[k];
            log_sys("## Cannot set kx.\n");
            return -1;
        }
        // One line of logarithmic gains d ln y_j / d ln p.
        ++sensLineCount;
        char label[2 * qv::kNameLen];
        std::snprintf(label, sizeof label, "%s[%3d]", name, k);
        std::fprintf(Fp_out, "%4d: %-12s", sensLineCount, label);
        for (int j = 1; j <= n; ++j) std::fprintf(Fp_out, ", %12.3E", std::log(y[j] / y_pre[j]) / lnStep);
        std::fprintf(Fp_out, "\n");
        values[k] = values_p[k];
    }
    return 0;
}
