/*
 * Robertson's reaction system (see robertson.cpp) written as a differential-algebraic system:
 * the substrate A is not integrated but taken from the conservation law
 *
 *        A + B + C = total
 *
 * Variables (the algebraic one first, as the programs require; N_ALGEBR 1 in the input file):
 *   y[1] = A    algebraic:  0 = total - A - B - C
 *   y[2] = B    dB/dt = k1 A - k3 B C - k2 B^2
 *   y[3] = C    dC/dt = k2 B^2
 *
 * The solution is the same as that of robertson.cpp when total equals the initial A + B + C.
 * Because A is computed from the others, the conservation law holds at every row, also after a
 * time event that changes B or C (A then adjusts at once) or changes the parameter total.
 *
 * Parameters, in the order of the PARAM_NAME lines: k1, k2, k3, total.
 *
 * Concentrations: as in robertson.cpp the code works with a, b, c = y / g and returns g x rate
 * (and g x the residual of the conservation law).
 */
#include "quorvant/model.h"

enum { K1 = 1, K2 = 2, K3 = 3, TOTAL = 4 };   // parameter numbers
enum { A = 1, B = 2, C = 3 };                 // variable indices

#define PV(no) (p->val[(no)][1])

extern "C" void usr_fvec(double *dydt, double *y, double g, parameter *p) {
    const double a = y[A] / g, b = y[B] / g, c = y[C] / g;
    const double v1 = PV(K1) * a;       // A -> B
    const double v2 = PV(K2) * b * b;   // B + B -> C + B
    const double v3 = PV(K3) * b * c;   // B + C -> A + C
    dydt[A] = g * (PV(TOTAL) - a - b - c);   // residual of the conservation law
    dydt[B] = g * (v1 - v3 - v2);
    dydt[C] = g * v2;
}

extern "C" void usr_fjac(double **jac, double *y, double g, parameter *p) {
    const double b = y[B] / g, c = y[C] / g;
    jac[A][A] = -1.0;
    jac[A][B] = -1.0;
    jac[A][C] = -1.0;
    jac[B][A] = PV(K1);
    jac[B][B] = -PV(K3) * c - 2.0 * PV(K2) * b;
    jac[B][C] = -PV(K3) * b;
    jac[C][B] = 2.0 * PV(K2) * b;
}

/* Fitness for the searches: how close the product C at the last row comes to 0.3. */
extern "C" int QvUsrFitness(double **solution, int numSteps, int numVar, int status, double *fitness) {
    if (status != 0 || numSteps < 1 || numVar < 3) {
        *fitness = -1.0e30;
        return 0;
    }
    const double d = solution[numSteps - 1][C] - 0.3;
    *fitness = -d * d;
    return 0;
}
