// Fixed-step classical and adaptive Cash-Karp Runge-Kutta steps for the differential variables.
//
// y is addressed 1..nvar; y[1..Param.n_varNR] are algebraic: the Solve* entry points make them
// consistent first (after CheckNRparam when f_event is set) and hold them during the step. Work
// vectors are static, sized for qv::kMaxVar variables; a larger nvar is refused with -1.
#ifndef QUORVANT_RUNGE_KUTTA_H
#define QUORVANT_RUNGE_KUTTA_H

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
