/*
 * A two-variable linear chain:  X1 --k1--> X2 --k2--> (out)
 *   dX1/dt = -k1 X1
 *   dX2/dt =  k1 X1 - k2 X2
 * With X1(0) = a and X2(0) = b the solution is
 *   X1(t) = a e^{-k1 t}
 *   X2(t) = b e^{-k2 t} + a k1 / (k2 - k1) (e^{-k1 t} - e^{-k2 t})      (k1 != k2)
 * Parameters (in the order of the PARAM_NAME lines): k1, k2.
 */
#include "quorvant/model.h"

enum { K1 = 1, K2 = 2 };

extern "C" void usr_fvec(double *dydt, double *y, double /*g*/, parameter *p) {
    const double k1 = p->val[K1][1];
    const double k2 = p->val[K2][1];
    dydt[1] = -k1 * y[1];
    dydt[2] = k1 * y[1] - k2 * y[2];
}

extern "C" void usr_fjac(double **jac, double * /*y*/, double /*g*/, parameter *p) {
    const double k1 = p->val[K1][1];
    const double k2 = p->val[K2][1];
    jac[1][1] = -k1;
    jac[2][1] = k1;
    jac[2][2] = -k2;
}

/* Fitness for the searches: closeness of X2 at the last sample to 0.5 (larger is better). */
extern "C" int QvUsrFitness(double **solution, int numSteps, int numVar, int status, double *fitness) {
    if (status != 0 || numSteps < 1 || numVar < 2) {
        *fitness = -1.0e30;
        return 0;
    }
    const double d = solution[numSteps - 1][2] - 0.5;
    *fitness = -d * d;
    return 0;
}
