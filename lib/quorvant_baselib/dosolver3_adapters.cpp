// The NDF solver works on 0-based arrays and a dense row-major Jacobian; the model code works on
// arrays addressed 1..n and a Jacobian given as row pointers. These adapters sit between the two
// and are called at every solver step, so they allocate nothing.
#include <algorithm>

#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/dosolver3_adapters.h"
#include "quorvant/quorvant_baselib/model_event_machine.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/model.h"

namespace {

// The model's Jacobian, addressed [1..n][1..n] like every model array, for the largest model.
// Static storage: it is reused by every call and starts zero-filled.
struct JacobianWork {
    double m[qv::kStateSize][qv::kStateSize];
    double *rows[qv::kStateSize];
    JacobianWork() {
        for (int i = 0; i < qv::kStateSize; ++i) rows[i] = m[i];
    }
};
JacobianWork jacWork;

// J[i·n + j] = work(i+1, j+1): the 1-origin work matrix to the solver's 0-origin matrix.
void _copy_origin1to0(int n, double *J) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) J[i * n + j] = jacWork.m[i + 1][j + 1];
}

}  // namespace

// The solver's vectors hold exactly n values; model code written for more variables than
// N_VAR reads and writes its own size. It works on these full-size copies instead.
double yWork[qv::kStateSize];
double fWork[qv::kStateSize];

int odefunc(double /*t*/, double *y, double *dydt) {
    const int n = Param.n_var;
    std::copy(y, y + n, yWork + 1);
    usr_fvec(fWork, yWork, GeneConc, &Param);
    std::copy(fWork + 1, fWork + n + 1, dydt);
    return 0;
}

int jacfunc(double /*t*/, double *y, double *J) {
    const int n = Param.n_var;
    // The model fills only the entries that can be non-zero: clear the rest of the last call.
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) jacWork.m[i][j] = 0.0;
    std::copy(y, y + n, yWork + 1);
    usr_fjac(jacWork.rows, yWork, GeneConc, &Param);
    _copy_origin1to0(n, J);
    return 0;
}

int trigfunc(double t, double *y, int *on, double *g) {
    const int n = Param.n_var;
    std::copy(y, y + n, yWork + 1);
    return ModelEventMachine::triggers(t, yWork, on, g);
}
