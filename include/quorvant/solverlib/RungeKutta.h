// Fixed-step classical and adaptive Cash-Karp Runge-Kutta steps for the differential variables.
#ifndef QUORVANT_SOLVERLIB_RUNGEKUTTA_H
#define QUORVANT_SOLVERLIB_RUNGEKUTTA_H

// One classical fourth-order step of size *h; *t += *h.
int SolveDiffEqNormalRungeKutta(int nvar, double *y, double *y_pre, double *t, double *h, int f_event);

void normalRungeKutta(double *y, double *dydt, int n, double t, double h);

// One accepted adaptive step, never past t_end (a step clipped to t_end ends on it exactly);
// *h returns the step to try next.
int SolveDiffEqAdaptiveRungeKutta(int nvar, double *y, double *y_pre, double *t, double *h,
                                  double t_end, int f_event);

int adaptiveRungeKuttaStep(double *y, double *dydx, int n, double *t, double *h, double *yscal);

// One Cash-Karp step: the fifth-order solution in yout, the error estimate in yerr.
void cash_karpRungeKutta(double *y, double *dydx, int n, double t, double h, double *yout, double *yerr);

#endif
