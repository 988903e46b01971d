#include "test_model.h"

namespace {
TestFvec g_fvec = nullptr;
TestFjac g_fjac = nullptr;
long g_fcalls = 0;
long g_jcalls = 0;
}  // namespace

void setTestModel(TestFvec f, TestFjac j) {
    g_fvec = f;
    g_fjac = j;
    g_fcalls = g_jcalls = 0;
}
long testFvecCalls() { return g_fcalls; }
long testFjacCalls() { return g_jcalls; }

extern "C" void usr_fvec(double *dydt, double *y, double g, parameter *p) {
    ++g_fcalls;
    if (g_fvec) g_fvec(dydt, y, g, p);
}

extern "C" void usr_fjac(double **jac, double *y, double g, parameter *p) {
    ++g_jcalls;
    if (g_fjac) g_fjac(jac, y, g, p);
}

extern "C" int QvUsrFitness(double **, int, int, int, double *fitness) {
    if (fitness) *fitness = 0.0;
    return 0;
}
