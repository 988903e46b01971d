/*
 * A small enzymatic pathway with a conservation law:
 *
 *        v_in            k_on / k_off           k_cat              Vmax, Km
 *   (in) -----> S  +  E  <===========>  ES  ----------> E + P  ------------> (out)
 *
 * Variables (the algebraic one first):
 *   y[1] = E    free enzyme; algebraic: the enzyme is conserved, E + ES = Etot
 *   y[2] = S    substrate, supplied at the constant rate v_in
 *   y[3] = ES   enzyme-substrate complex
 *   y[4] = P    product, removed by a saturable (Michaelis-Menten) step
 *
 *   0       = Etot - E - ES
 *   dS/dt   = v_in - (k_on E S - k_off ES)
 *   dES/dt  = (k_on E S - k_off ES) - k_cat ES
 *   dP/dt   = k_cat ES - Vmax P / (Km + P)
 *
 * Steady state (v_in < Vmax, v_in / k_cat < Etot):
 *   ES = v_in / k_cat,  E = Etot - ES,  S = (k_off + k_cat) ES / (k_on E),
 *   P  = Km v_in / (Vmax - v_in).
 *
 * Parameters, in the order of the PARAM_NAME lines: Etot, v_in, k_on, k_off, k_cat, Vmax, Km.
 */
#include "quorvant/model.h"

enum { ETOT = 1, V_IN, K_ON, K_OFF, K_CAT, VMAX, KM };
enum { E = 1, S, ES, P };

#define PV(no) (p->val[(no)][1])

extern "C" void usr_fvec(double *dydt, double *y, double /*g*/, parameter *p) {
    const double binding = PV(K_ON) * y[E] * y[S] - PV(K_OFF) * y[ES];
    const double catalysis = PV(K_CAT) * y[ES];
    const double removal = PV(VMAX) * y[P] / (PV(KM) + y[P]);
    dydt[E] = PV(ETOT) - y[E] - y[ES];   // conservation of the enzyme
    dydt[S] = PV(V_IN) - binding;
    dydt[ES] = binding - catalysis;
    dydt[P] = catalysis - removal;
}

extern "C" void usr_fjac(double **jac, double *y, double /*g*/, parameter *p) {
    const double km_p = PV(KM) + y[P];
    jac[E][E] = -1.0;
    jac[E][ES] = -1.0;
    jac[S][E] = -PV(K_ON) * y[S];
    jac[S][S] = -PV(K_ON) * y[E];
    jac[S][ES] = PV(K_OFF);
    jac[ES][E] = PV(K_ON) * y[S];
    jac[ES][S] = PV(K_ON) * y[E];
    jac[ES][ES] = -PV(K_OFF) - PV(K_CAT);
    jac[P][ES] = PV(K_CAT);
    jac[P][P] = -PV(VMAX) * PV(KM) / (km_p * km_p);
}

/* Fitness for the searches: closeness of the product P at the last sample to 0.5. */
extern "C" int QvUsrFitness(double **solution, int numSteps, int numVar, int status, double *fitness) {
    if (status != 0 || numSteps < 1 || numVar < P) {
        *fitness = -1.0e30;
        return 0;
    }
    const double d = solution[numSteps - 1][P] - 0.5;
    *fitness = -d * d;
    return 0;
}
