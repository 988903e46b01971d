// The Newton-Raphson steady-state path (SOLVER 11): the steady state, its block of values and, in
// text mode outside a survey, the sensitivity report.
#include "quorvant/quorvant_baselib/dosolver11.h"

#include <cstdio>

#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/solverlib/NewtonRaphson.h"

int doSolver11(double *y, double *y_pre) {
    if (SolveSTDbyNR(y, y_pre) != 0) {
        writeText("\n$$ Failure!!\n");
        return -1;
    }
    // The header goes to the result stream in both modes.
    if (Fp_out) std::fputs("index,     y value\n", Fp_out);
    const int n = Param.n_var;
    if (textMode()) {
        if (Fp_out)
            for (int i = 1; i <= n; ++i)
                std::fprintf(Fp_out, "%5d,%12.4e,  #%s\n", i, y[i] / GeneConc, getVarTag(i));
        if (!F_PSurvey && Sensitivity(y, y_pre) != 0) return -1;
        return 0;
    }
    beginRows();
    emitRow(0.0, y);
    return 0;
}
