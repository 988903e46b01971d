/*
 * Goodwin's negative-feedback oscillator: a gene whose product represses its own transcription
 * through a chain of three species.
 *
 *          v0 / (1 + (R/K)^n)        kp             kr
 *   (gene) -----------------> M  --------> E  --------> R   -| (gene)
 *                             |            |            |
 *                          kd v         kd v         kd v
 *
 * Variables (all differential):
 *   y[1] = M    mRNA
 *   y[2] = E    enzyme, translated from M
 *   y[3] = R    repressor, made by E; it shuts transcription off with a Hill term
 *
 *   dM/dt = v0 / (1 + (R/K)^n) - kd M
 *   dE/dt = kp M - kd E
 *   dR/dt = kr E - kd R
 *
 * With one degradation rate kd for all three species the steady state turns into sustained
 * oscillations only when the loop is steep enough: the Hill coefficient n must exceed 8, and the
 * repressor must sit well above K. Below that the oscillations die out. The period is about
 * 3.6 / kd. The search (models/oscillator/oscillator.in) varies v0, K, n and kd; the fitness
 * counts the turning points of M, so it rewards parameter sets that keep M swinging fast, by
 * more than one concentration unit, until the end of the run.
 *
 * Parameters, in the order of the PARAM_NAME lines: v0, K, n, kd, kp, kr.
 */
#include <cmath>

#include "quorvant/model.h"

enum { V0 = 1, KR, HILL, KD, KP, KRP };   // parameter numbers
enum { M = 1, E = 2, R = 3 };             // variable indices

#define PV(no) (p->val[(no)][1])

namespace {

// (R/K)^n of the repression term; a repressor level at or below 0 does not repress.
double repression(double r, const parameter *p) {
    return r > 0.0 ? std::pow(r / PV(KR), PV(HILL)) : 0.0;
}

}  // namespace

extern "C" void usr_fvec(double *dydt, double *y, double /*g*/, parameter *p) {
    dydt[M] = PV(V0) / (1.0 + repression(y[R], p)) - PV(KD) * y[M];
    dydt[E] = PV(KP) * y[M] - PV(KD) * y[E];
    dydt[R] = PV(KRP) * y[E] - PV(KD) * y[R];
}

extern "C" void usr_fjac(double **jac, double *y, double /*g*/, parameter *p) {
    // d/dR of v0 / (1 + q) with q = (R/K)^n: -v0 n q / (R (1 + q)^2), which tends to -v0/K at
    // R = 0 for n = 1 and to 0 for n > 1.
    double dRepr = 0.0;
    if (y[R] > 0.0) {
        const double q = repression(y[R], p);
        dRepr = -PV(V0) * PV(HILL) * q / (y[R] * (1.0 + q) * (1.0 + q));
    } else if (PV(HILL) == 1.0) {
        dRepr = -PV(V0) / PV(KR);
    }
    jac[M][M] = -PV(KD);
    jac[M][R] = dRepr;
    jac[E][M] = PV(KP);
    jac[E][E] = -PV(KD);
    jac[R][E] = PV(KRP);
    jac[R][R] = -PV(KD);
}

/*
 * Fitness for gasearch: the number of turning points of variable 1 (M) in the stored time
 * course, counting only those that lie more than 1.0 away from the previous turning point, so
 * that small ripples of a damped or nearly steady course do not count. A failed simulation
 * scores -100.
 *
 * p0, p1, p2 are the last three values of M. p1 is a turning point when the slopes before and
 * after it, each relative to its starting value, have opposite signs. The first values are
 * compared with the zeros the window starts from; a product that is not a number (0/0) is not
 * negative and marks no turning point.
 */
extern "C" int QvUsrFitness(double **solution, int numSteps, int /*numVar*/, int status, double *fitness) {
    constexpr double kFailedRun = -100.0;
    constexpr double kMinSwing = 1.0;   // least distance from the previous turning point

    *fitness = 0.0;
    double p0 = 0.0, p1 = 0.0, p2 = 0.0, e = 0.0;
    if (status == -1) {
        *fitness = kFailedRun;
        return 0;
    }
    for (int i = 0; i < numSteps; ++i) {
        p0 = p1;
        p1 = p2;
        p2 = solution[i][M];
        if ((p2 - p1) / p1 * (p1 - p0) / p0 < 0.0) {
            if (std::fabs(e - p1) > kMinSwing) *fitness += 1.0;
            e = p1;
        }
    }
    return 0;
}
