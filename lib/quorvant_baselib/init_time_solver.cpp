// The start of every time-course path: the initial state, and the parameters moved from the
// caller's snapshot to their targets by continuation of the algebraic variables.
#include "quorvant/quorvant_baselib/init_time_solver.h"

#include <algorithm>

#include "quorvant/model.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/solverlib/NewtonRaphson.h"

int initTimeSolver(const parameter &snap, double *y_init, double *y, double *y_pre) {
    const int n = snap.n_var;
    std::copy(y_init + 1, y_init + n + 1, y + 1);
    copyParameter(Param, snap);
    if (Param.n_varNR > 0 && SetNRparam(y) != 0) {
        writeText("\n$$ Failure !!\n");
        return -1;
    }
    copyParameter(Param, ParamT);
    copyParameter(ParamP, Param);
    std::copy(y + 1, y + n + 1, y_pre + 1);
    return 0;
}
