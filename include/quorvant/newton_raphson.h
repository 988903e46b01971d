// Newton-Raphson for the algebraic variables, parameter continuation, steady state, sensitivities.
#ifndef QUORVANT_NEWTON_RAPHSON_H
#define QUORVANT_NEWTON_RAPHSON_H

int solveNewtonRaphson(int ntrial, double *y, int n, double tolx, double tolf);
int checkNRresult(double *y);
int getIterationTimes(double a, double b, double *factor);
int changeNRparam(const double *target, double *value, double *y);
int setOneNRparam(double *y, const double *target, double *value, int count);
int SetNRparam(double *y);
int CheckNRparam(double *y_pre);
int SolveAlgebraicEq(double *y, double *y_pre);
int SolveSTDbyNR(double *y, double *y_pre);
int Sensitivity(double *y, double *y_pre);
int cal_sens(double *y, double *y_pre, double *values, const double *values_p, int count, const char *name);

#endif
