// The model of the refinement tests: no dynamics, its own objective, a concave quadratic of the two
// search variables with its maximum 0 at (2, 0.5), and a refinement that is one exact Newton step.
// The refinement counts one refinement, the whole budget as evaluations and one gradient, so the
// totals in gasearch's log show that the budget arrived.
#include "quorvant/model_objective.h"

namespace {

constexpr double kTop[2] = {2.0, 0.5};

double objective(const double *x) {
    const double a = x[0] - kTop[0], b = x[1] - kTop[1];
    return -(a * a + 4.0 * b * b + a * b);
}

}  // namespace

extern "C" void usr_fvec(double *dydt, double * /*y*/, double /*g*/, parameter * /*p*/) { dydt[1] = 0.0; }

extern "C" void usr_fjac(double **jac, double * /*y*/, double /*g*/, parameter * /*p*/) { jac[1][1] = 0.0; }

extern "C" int QvUsrFitness(double ** /*solution*/, int /*numSteps*/, int /*numVar*/, int /*status*/,
                            double *fitness) {
    *fitness = -1e300;   // never used: the model scores records itself
    return 0;
}

extern "C" int qv_model_objective(parameter *p, double *fitness) {
    const double x[2] = {p->val[1][1], p->val[2][1]};
    *fitness = objective(x);
    return 0;
}

extern "C" int qv_model_refine(parameter *p, double *x, int n, long budget, double *fitness, qv_refine_count *count) {
    // The record must hold the values it is asked to refine.
    if (n != 2 || p->val[1][1] != x[0] || p->val[2][1] != x[1]) return -1;
    // Gradient (2a + b, 8b + a) of minus the objective, Hessian [[2, 1], [1, 8]] (determinant 15).
    const double a = x[0] - kTop[0], b = x[1] - kTop[1];
    const double g0 = 2.0 * a + b, g1 = 8.0 * b + a;
    x[0] -= (8.0 * g0 - g1) / 15.0;
    x[1] -= (2.0 * g1 - g0) / 15.0;
    *fitness = objective(x);
    count->refinements += 1;
    count->evaluations += budget;
    count->gradients += 1;
    return 0;
}
