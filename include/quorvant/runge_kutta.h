// Fixed-step classical and adaptive Cash-Karp Runge-Kutta steps for the differential variables.
#ifndef QUORVANT_RUNGE_KUTTA_H
#define QUORVANT_RUNGE_KUTTA_H

int SolveDiffEqNormalRungeKutta(int nvar, double *y, double *y_pre, double *t, double *h, int f_event);
void normalRungeKutta(double *y, double *dydt, int n, double t, double h);
int SolveDiffEqAdaptiveRungeKutta(int nvar, double *y, double *y_pre, double *t, double *h,
                                  double t_end, int f_event);
int adaptiveRungeKuttaStep(double *y, double *dydx, int n, double *t, double *h, double *yscal);
void cash_karpRungeKutta(double *y, double *dydx, int n, double t, double h, double *yout, double *yerr);

#endif
