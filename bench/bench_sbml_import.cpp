/*
 * The benchmark network of bench_sbml_import.xml written by hand, as a modeller would: a reversible
 * chain X1 <-> X2 <-> ... <-> X25 and the binding X1 + X25 <-> X13, mass action, concentrations in
 * a compartment of size `cell` (which cancels). Its variables and parameter numbers are those of the
 * imported model, so both run on the same model input file: y[1..25] = X1..X25, y[26] = time;
 * parameter 1 = cell, 2i = kf_i, 2i+1 = kb_i (i = 1..24), 50 = kbind, 51 = krel.
 */
#include "quorvant/model.h"

namespace {

constexpr int kSpecies = 25;
constexpr int kTime = 26;
constexpr int kBound = 13;   // X13 = X1:X25
constexpr int kBind = 50, kRelease = 51;

inline double kf(const parameter *p, int i) { return p->val[2 * i][1]; }
inline double kb(const parameter *p, int i) { return p->val[2 * i + 1][1]; }

}  // namespace

extern "C" void usr_fvec(double *dydt, double *y, double /*g*/, parameter *p) {
    for (int i = 1; i <= kSpecies; ++i) dydt[i] = 0.0;
    for (int i = 1; i < kSpecies; ++i) {
        const double v = kf(p, i) * y[i] - kb(p, i) * y[i + 1];
        dydt[i] -= v;
        dydt[i + 1] += v;
    }
    const double w = p->val[kBind][1] * y[1] * y[kSpecies] - p->val[kRelease][1] * y[kBound];
    dydt[1] -= w;
    dydt[kSpecies] -= w;
    dydt[kBound] += w;
    dydt[kTime] = 1.0;
}

extern "C" void usr_fjac(double **jac, double *y, double /*g*/, parameter *p) {
    for (int i = 1; i < kSpecies; ++i) {
        jac[i][i] -= kf(p, i);
        jac[i][i + 1] += kb(p, i);
        jac[i + 1][i] += kf(p, i);
        jac[i + 1][i + 1] -= kb(p, i);
    }
    const double kbind = p->val[kBind][1], krel = p->val[kRelease][1];
    const int consumed[2] = {1, kSpecies};   // the two species the binding uses up
    for (int row : consumed) {
        jac[row][1] -= kbind * y[kSpecies];
        jac[row][kSpecies] -= kbind * y[1];
        jac[row][kBound] += krel;
    }
    jac[kBound][1] += kbind * y[kSpecies];
    jac[kBound][kSpecies] += kbind * y[1];
    jac[kBound][kBound] -= krel;
}

extern "C" int QvUsrFitness(double ** /*solution*/, int /*numSteps*/, int /*numVar*/, int /*status*/,
                            double *fitness) {
    *fitness = 0.0;
    return 0;
}
