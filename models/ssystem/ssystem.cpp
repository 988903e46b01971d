/*
 * An unbranched pathway with end-product inhibition, written as an S-system (SOLVER 12).
 *
 *     X3 (supply, held constant) --> X1 (intermediate) --> X2 (end product) -->
 *                                     ^                      |
 *                                     +---- inhibition ------+
 *
 * In an S-system every rate is a product of powers of the concentrations: the exponent of a
 * variable in a rate (its kinetic order) says by how many per cent the rate changes when that
 * variable changes by one per cent. Each dependent variable has one production and one
 * degradation term:
 *
 *     dX1/dt = alpha1 * X3^g13 * X2^g12  -  beta1 * X1^h11
 *     dX2/dt = alpha2 * X1^g21           -  beta2 * X2^h22
 *
 * X1 and X2 are the dependent variables (N_VAR 2); X3 is the independent variable, set by the
 * experimenter and not changed by the pathway. The conversion of X1 into X2 is one reaction, so
 * the degradation of X1 and the production of X2 are the same rate: beta1 = alpha2 and
 * h11 = g21 in the model input file. g12 is negative: X2 inhibits its own supply.
 *
 * Parameters, in the order of the PARAM_NAME lines of ssystem.in (the analysis needs these names,
 * with "constantPlayer" first):
 *   1 constantPlayer  independent variables: value 1 = X3
 *   2 kplus           rate constants of production:  alpha1, alpha2
 *   3 kminus          rate constants of degradation: beta1, beta2
 *   4 g               production orders, in file order: g13 (tag gi_1_1), g12 (gd_1_2), g21 (gd_2_1)
 *   5 h               degradation orders, in file order: h11 (hd_1_1), h22 (hd_2_2)
 * The tags tell the analysis where each order belongs (kind_equation_variable, with a 'd' in the
 * kind for a dependent variable); this code reads the orders by their position in the file.
 *
 * The analysis computes the flux of each equation by calling usr_fvec with beta set to zero, so
 * usr_fvec must be exactly the S-system above.
 */
#include <math.h>

#include "quorvant/model.h"

enum { X_CONST = 1, K_PLUS = 2, K_MINUS = 3, G = 4, H = 5 };
enum { G13 = 1, G12 = 2, G21 = 3 };   /* positions of the values of "g" */
enum { H11 = 1, H22 = 2 };            /* positions of the values of "h" */

extern "C" void usr_fvec(double *dydt, double *y, double /*g*/, parameter *p) {
    const double x3 = p->val[X_CONST][1];
    const double *alpha = p->val[K_PLUS];
    const double *beta = p->val[K_MINUS];
    const double *go = p->val[G];
    const double *ho = p->val[H];
    dydt[1] = alpha[1] * pow(x3, go[G13]) * pow(y[2], go[G12]) - beta[1] * pow(y[1], ho[H11]);
    dydt[2] = alpha[2] * pow(y[1], go[G21]) - beta[2] * pow(y[2], ho[H22]);
}

/* Derivative of c * x^k with respect to x. */
static double dpow(double c, double x, double k) { return c * k * pow(x, k - 1.0); }

extern "C" void usr_fjac(double **jac, double *y, double /*g*/, parameter *p) {
    const double x3 = p->val[X_CONST][1];
    const double *alpha = p->val[K_PLUS];
    const double *beta = p->val[K_MINUS];
    const double *go = p->val[G];
    const double *ho = p->val[H];
    jac[1][1] = -dpow(beta[1], y[1], ho[H11]);
    jac[1][2] = dpow(alpha[1] * pow(x3, go[G13]), y[2], go[G12]);
    jac[2][1] = dpow(alpha[2], y[1], go[G21]);
    jac[2][2] = -dpow(beta[2], y[2], ho[H22]);
}

/* Fitness for the searches: closeness of the steady-state end product X2 to 5 (larger is better). */
extern "C" int QvUsrFitness(double **solution, int numSteps, int numVar, int status, double *fitness) {
    const double kTarget = 5.0;
    if (status != 0 || numSteps < 1 || numVar < 2) {
        *fitness = -1.0e30;
        return 0;
    }
    const double d = solution[numSteps - 1][2] - kTarget;
    *fitness = -d * d;
    return 0;
}
