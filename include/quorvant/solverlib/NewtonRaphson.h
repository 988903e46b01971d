// Newton-Raphson for the algebraic variables, parameter continuation, steady state, sensitivities.
#ifndef QUORVANT_SOLVERLIB_NEWTONRAPHSON_H
#define QUORVANT_SOLVERLIB_NEWTONRAPHSON_H

// Newton iteration on y[1..n]; converged when the residual sum is <= tolf (before a step) or the
// step sum is <= tolx (after it). A singular Jacobian ends the iteration unconverged.
int solveNewtonRaphson(int ntrial, double *y, int n, double tolx, double tolf);

// solveNewtonRaphson with the run settings, then every algebraic y[i] must be >= 0.
int checkNRresult(double *y);

// Number m of geometric steps from b to a, none larger than NR_RATIO; *factor = (a/b)^(1/m).
// a and b must be > 1e-30: anything else ends the process (status 255).
int getIterationTimes(double a, double b, double *factor);

// Moves *value to *target in continuation steps, re-solving y after each; lands on *target exactly.
int changeNRparam(const double *target, double *value, double *y);

// changeNRparam for values 1..count that differ from their targets, in index order.
int setOneNRparam(double *y, const double *target, double *value, int count);

// Moves every user parameter value of Param to ParamT, re-solving y on the way.
int SetNRparam(double *y);

// After Param was changed (time event): re-solves y_pre from ParamP to the new Param.
int CheckNRparam(double *y_pre);

// Consistent algebraic variables for y, from y itself or by continuation from y_pre; y_pre = y.
int SolveAlgebraicEq(double *y, double *y_pre);

// Steady state at ParamT by continuation from (ParamP, y); on failure Param and y are restored.
int SolveSTDbyNR(double *y, double *y_pre);

// Writes the logarithmic gains of all variables to all non-zero parameter values to Fp_out.
// y_pre holds the steady state; afterwards y holds the last perturbed state.
int Sensitivity(double *y, double *y_pre);

int cal_sens(double *y, double *y_pre, double *values, const double *values_p, int count, const char *name);

#endif
