/*
 * Robertson's autocatalytic reaction system, the classic stiff test problem of chemical kinetics:
 *
 *              k1                   k2                      k3
 *        A  -------> B       B + B -------> C + B     B + C -------> A + C
 *
 * Variables (all three are differential here; robertson_dae.cpp treats A as algebraic):
 *   y[1] = A    substrate
 *   y[2] = B    short-lived intermediate (it stays near 1e-5: this is what makes the system stiff)
 *   y[3] = C    product
 *
 *   dA/dt = -k1 A + k3 B C
 *   dB/dt =  k1 A - k3 B C - k2 B^2
 *   dC/dt =  k2 B^2
 *
 * The three rates add up to zero, so A + B + C stays at its initial value (1 in the example).
 * With k1 = 0.04, k2 = 3e7, k3 = 1e4 and A, B, C = 1, 0, 0 at time 0, the values at time 40 are
 *   A = 0.7158270687, B = 9.185534764e-6, C = 0.2841637457.
 * The fast reactions (k2, k3) and the slow one (k1) differ by nine orders of magnitude, so an
 * explicit Runge-Kutta method needs tiny steps; the NDF solver (SOLVER 3) takes large ones.
 *
 * Parameters, in the order of the PARAM_NAME lines: k1, k2, k3.
 *
 * Concentrations: the solver hands the model y = G_VALUE x concentration (argument g). The code
 * works with concentrations a, b, c = y / g and returns g x rate, so the model reads the same
 * for any G_VALUE; its Jacobian d(g rate)/dy is then simply d rate / d concentration.
 */
#include "quorvant/model.h"

enum { K1 = 1, K2 = 2, K3 = 3 };   // parameter numbers
enum { A = 1, B = 2, C = 3 };      // variable indices

#define PV(no) (p->val[(no)][1])

extern "C" void usr_fvec(double *dydt, double *y, double g, parameter *p) {
    const double a = y[A] / g, b = y[B] / g, c = y[C] / g;
    const double v1 = PV(K1) * a;       // A -> B
    const double v2 = PV(K2) * b * b;   // B + B -> C + B
    const double v3 = PV(K3) * b * c;   // B + C -> A + C
    dydt[A] = g * (-v1 + v3);
    dydt[B] = g * (v1 - v3 - v2);
    dydt[C] = g * v2;
}

extern "C" void usr_fjac(double **jac, double *y, double g, parameter *p) {
    const double b = y[B] / g, c = y[C] / g;
    jac[A][A] = -PV(K1);
    jac[A][B] = PV(K3) * c;
    jac[A][C] = PV(K3) * b;
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
