// The rows of a run, shared by every solver path: in text mode (F_GA == 0) they go to Fp_out, in
// search mode (F_GA == 1) into SolutionMatrix, which the caller sized, counted in StepNum.
#include "quorvant/quorvant_baselib/row_output.h"

#include <cstdio>

#include "quorvant/common/logUtil.h"
#include "quorvant/quorvant_baselib/model_tables.h"

double **SolutionMatrix = nullptr;
int32_t StepNum = 0;
FILE *Fp_out = nullptr;
int32_t SolutionRows = 0;

namespace {

// Rows dropped in this run because SolutionMatrix was full (reported once per run).
bool rowsDropped = false;

}  // namespace

bool textMode() { return F_GA == 0; }

void beginRows() { rowsDropped = false; }

void writeText(const char *s) {
    if (textMode() && Fp_out) std::fputs(s, Fp_out);
}

void writeRowHeader(int n) {
    if (!textMode() || !Fp_out) return;
    std::fprintf(Fp_out, "%-10s", "Time");
    for (int i = 1; i <= n; ++i) std::fprintf(Fp_out, ",     y[%3d]", i);
    std::fputc('\n', Fp_out);
}

void emitRow(double t, const double *y) {
    const int n = Param.n_var;
    if (textMode()) {
        if (!Fp_out) return;
        std::fprintf(Fp_out, "%10.3E", t);
        for (int i = 1; i <= n; ++i) std::fprintf(Fp_out, ", %10.3E", y[i] / GeneConc);
        std::fputc('\n', Fp_out);
        return;
    }
    if (!SolutionMatrix || (SolutionRows > 0 && StepNum >= SolutionRows)) {
        if (!rowsDropped)
            log_sys("## Time course exceeds the %d rows of SolutionMatrix; later rows dropped.\n",
                    SolutionRows);
        rowsDropped = true;
        return;
    }
    double *row = SolutionMatrix[StepNum];
    row[0] = t;
    for (int i = 1; i <= n; ++i) row[i] = y[i] / GeneConc;
    ++StepNum;
}

void reportNegative(double t, const double *y) {
    for (int i = 1; i <= Param.n_var; ++i)
        if (y[i] < 0) log_sys("Negative Value!! t=%10.3E:y[%3d]=%10.3E\n", t, i, y[i]);
}

void write_start(double *y, double t_start) {
    if (!textMode() || !Fp_out) return;
    writeRowHeader(Param.n_var);
    emitRow(t_start, y);
}
