/*
 * Fitting rate constants to a measured time course: a two-step pathway with a saturable first
 * step,
 *
 *          Vmax, Km           k2
 *     S  ------------>  I  -------->  P
 *
 * Variables (all differential):
 *   y[1] = S    substrate
 *   y[2] = I    intermediate (not measured)
 *   y[3] = P    product
 *
 *   dS/dt = -Vmax S / (Km + S)
 *   dI/dt =  Vmax S / (Km + S) - k2 I
 *   dP/dt =  k2 I
 *
 * The "measurements" below are S and P at twelve sample times, produced by this model with the
 * true values Vmax = 2.0, Km = 1.5, k2 = 0.5 from S, I, P = 5, 0, 0 (models/fitting/
 * fitting_true.in, classical Runge-Kutta with step 0.01). gasearch searches Vmax, Km and k2 in a
 * box a factor 5 around them (fitting.in) and should find them again.
 *
 * Parameters, in the order of the PARAM_NAME lines: Vmax, Km, k2.
 */
#include <cmath>

#include "quorvant/model.h"

enum { VMAX = 1, KM = 2, K2 = 3 };   // parameter numbers
enum { S = 1, I = 2, P = 3 };        // variable indices

#define PV(no) (p->val[(no)][1])

extern "C" void usr_fvec(double *dydt, double *y, double /*g*/, parameter *p) {
    const double v1 = PV(VMAX) * y[S] / (PV(KM) + y[S]);
    const double v2 = PV(K2) * y[I];
    dydt[S] = -v1;
    dydt[I] = v1 - v2;
    dydt[P] = v2;
}

extern "C" void usr_fjac(double **jac, double *y, double /*g*/, parameter *p) {
    const double km_s = PV(KM) + y[S];
    const double dv1 = PV(VMAX) * PV(KM) / (km_s * km_s);
    jac[S][S] = -dv1;
    jac[I][S] = dv1;
    jac[I][I] = -PV(K2);
    jac[P][I] = PV(K2);
}

namespace {

// One measured sample: its time and the values of S and P.
struct Sample {
    double t;
    double s;
    double p;
};

// Measured S and P (the rows of the true run, printed with 17 significant digits). The times
// must be sample times of the run: T_START + k DELTA_M of fitting.in.
constexpr Sample kData[] = {
    //  time   S                      P
    {0.5, 4.2454020711300533, 0.08749014409980467},
    {1.0, 3.5245343684346633, 0.31878980508135091},
    {1.5, 2.8455318699632195, 0.65372782727895395},
    {2.0, 2.218744574941018, 1.0589698848229767},
    {2.5, 1.6568130274894539, 1.5059974068910191},
    {3.0, 1.1737944444319679, 1.9696102343369275},
    {3.5, 0.78234536251334985, 2.4271591033613165},
    {4.0, 0.48856893166193976, 2.85885095171363},
    {4.5, 0.28693037925669956, 3.249198721492959},
    {5.0, 0.16029219883228252, 3.5887723172106236},
    {5.5, 0.086449480652489225, 3.8747563041687667},
    {6.0, 0.045609684301230941, 4.1096987014905553},
};

constexpr double kFailedRun = -1.0e10;        // fitness of a simulation that failed
constexpr double kMissingSample = 1.0e6;      // penalty for a sample the run has no row for
constexpr double kTimeTolerance = 1.0e-6;     // a row matches a sample this close in time

double relativeError(double sim, double data) {
    const double r = (sim - data) / data;
    return r * r;
}

}  // namespace

/*
 * Fitness for gasearch: minus the sum of the squared relative deviations of the simulated S and
 * P from the measured ones, over all samples of the table. The best possible fitness is 0.
 * Rows and samples are matched by time; both are in increasing order, so one pass suffices. A
 * sample without a row of the same time (or with a value that is not a number) adds a large
 * penalty instead; a failed simulation scores kFailedRun.
 */
extern "C" int QvUsrFitness(double **solution, int numSteps, int numVar, int status, double *fitness) {
    if (status == -1 || numVar < P) {
        *fitness = kFailedRun;
        return 0;
    }
    double sum = 0.0;
    int row = 0;
    for (const Sample &d : kData) {
        while (row < numSteps && solution[row][0] < d.t - kTimeTolerance) ++row;
        if (row == numSteps || std::fabs(solution[row][0] - d.t) > kTimeTolerance) {
            sum += kMissingSample;
            continue;
        }
        const double e = relativeError(solution[row][S], d.s) + relativeError(solution[row][P], d.p);
        sum += std::isfinite(e) ? e : kMissingSample;
    }
    *fitness = -sum;
    return 0;
}
