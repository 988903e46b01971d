// The bridge between a search and the model: the snapshot of the loaded model that every evaluation
// starts from, the solution matrix the driver stores time courses in, and one evaluation of a
// vector of search-variable values (restore, write the values into ParamT, simulate, score).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/searchlib/qv_interface.h"
#include "quorvant/searchlib/numeric_alloc.h"
#include "quorvant/quorvant_baselib/dosolver.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/model.h"
#include "quorvant/model_objective.h"

// A model may score a record by itself (quorvant/model_objective.h); most models do not define it.
extern "C" int qv_model_objective(parameter *p, double *fitness) __attribute__((weak));
// It may also refine an individual by itself (the same header); the GA's REFINE line needs it.
extern "C" int qv_model_refine(parameter *p, double *x, int n, long budget, double *fitness,
                               qv_refine_count *count) __attribute__((weak));

namespace {

// Rows beyond the sampling grid, for the repeated rows that time events add.
constexpr int kExtraRows = 50;
// Largest solution matrix accepted (doubles): a time span that would need more is a mistake in
// the model file (for example a tiny DELTA_M), not a run to attempt.
constexpr double kMaxMatrixDoubles = 268435456.0;   // 2 GiB

constexpr char kMsgTooManyRows[] =
    " ## Error: The time course needs %.0f rows of %d values: too large for the solution matrix "
    "(check T_START, T_END and DELTA_M).\n";
constexpr char kMsgConstantPlayer[] = " ## Error: constantPlayer cannot be set as subject to search.\n";
constexpr char kMsgNoRefine[] = " ## Error: The model does not define qv_model_refine.\n";

// Module state: the snapshot taken once after the model file was read.
double tStart = 0.0;
double tEnd = 0.0;
double deltaT = 0.0;
double dtSave = 0.0;
int numRow = kExtraRows;
bool rowsTooMany = false;
double rowsWanted = 0.0;
double yOrigin[qv::kStateSize];
parameter defaultParam;
parameter defaultParamT;
parameter defaultParamP;

// The used part of every value row: the highest index that the model file, its events, the search
// or the solvers (which work within a parameter's values) can write. Beyond it every record holds
// the same values as the snapshot, so copying each row up to its width restores a whole record.
int rowWidth[qv::kMaxParamNo];
int numRows = 0;

// Work storage of one evaluation, kept for the whole run: the three state arrays.
double yInit[qv::kStateSize];
double yWork[qv::kStateSize];
double yPre[qv::kStateSize];

int lastNonZero(const double *row) {
    for (int i = qv::kMaxValIndex; i > 0; --i)
        if (row[i] != 0.0) return i;
    return 0;
}

void measureRows() {
    numRows = getEventParamNum();
    if (numRows < 0 || numRows >= qv::kMaxParamNo) numRows = qv::kMaxParamNo - 1;
    for (int p = 0; p <= numRows; ++p) {
        int w = std::max({Param.n_val[p], ParamT.n_val[p], ParamP.n_val[p], lastNonZero(Param.val[p]),
                          lastNonZero(ParamT.val[p]), lastNonZero(ParamP.val[p])});
        rowWidth[p] = std::min(w, qv::kMaxValIndex);
    }
    for (int e = 0; e < EventsNum; ++e) {
        const event &ev = Events[e];
        if (ev.p_no >= 0 && ev.p_no <= numRows && ev.index <= qv::kMaxValIndex)
            rowWidth[ev.p_no] = std::max(rowWidth[ev.p_no], ev.index);
    }
    for (int k = 0; k < P_GaNum; ++k) {
        const qvga &g = P_Ga[k];
        if (g.p_no >= 0 && g.p_no <= numRows && g.index <= qv::kMaxValIndex)
            rowWidth[g.p_no] = std::max(rowWidth[g.p_no], g.index);
    }
}

// dst = src for everything an evaluation can change.
void restoreRecord(parameter &dst, const parameter &src) {
    dst.n_varNR = src.n_varNR;
    dst.n_var = src.n_var;
    std::memcpy(dst.n_val, src.n_val, sizeof dst.n_val);
    for (int p = 0; p <= numRows; ++p)
        std::memcpy(dst.val[p], src.val[p], sizeof(double) * static_cast<size_t>(rowWidth[p] + 1));
}

}  // namespace

void PreserveDefaultQvParam(double t_start, double t_end, double dt, double dm, const double *y0) {
    tStart = t_start;
    tEnd = t_end;
    deltaT = dt;
    dtSave = dm;
    std::copy(y0, y0 + qv::kMaxVar, yOrigin);
    // (tEnd - tStart) / dtSave, truncated, plus the rows of repeated event times. A steady-state
    // run (no sampling interval) stores a handful of rows.
    const double span = (tEnd - tStart) / dtSave;
    rowsTooMany = false;
    numRow = kExtraRows;
    if (dtSave > 0.0 && std::isfinite(span) && span > 0.0) {
        rowsWanted = std::trunc(span) + kExtraRows;
        if (rowsWanted * (Param.n_var + 1) > kMaxMatrixDoubles)
            rowsTooMany = true;
        else
            numRow = static_cast<int>(rowsWanted);
    }
    defaultParam = Param;
    defaultParamT = ParamT;
    defaultParamP = ParamP;
    measureRows();
}

int AllocSolutionMatrix() {
    if (rowsTooMany) {
        log_sys(kMsgTooManyRows, rowsWanted, Param.n_var + 1);
        return -1;
    }
    FreeSolutionMatrix();
    SolutionMatrix = DoubleMatrixAlloc(numRow, Param.n_var + 1);
    if (SolutionMatrix == nullptr) return -1;
    // The driver never stores more rows than the matrix holds; the fitness gets the rows stored.
    SolutionRows = numRow;
    return 0;
}

void FreeSolutionMatrix() {
    if (SolutionMatrix) FreeDoubleMatrix(SolutionMatrix);
    SolutionMatrix = nullptr;
    SolutionRows = 0;
}

int SolutionMatrixRows() { return numRow; }

void set_param_default() {
    restoreRecord(Param, defaultParam);
    restoreRecord(ParamT, defaultParamT);
    restoreRecord(ParamP, defaultParamP);
}

int GaGene2QVParam(const double *x) {
    for (int k = 0; k < P_GaNum; ++k) ParamT.val[P_Ga[k].p_no][P_Ga[k].index] = x[k];
    return 0;
}

namespace {

// Steps 1.-5. of an evaluation: the snapshot restored, an empty time course, fresh initial states
// and the individual's values in ParamT.
void prepareEvaluation(const double *x) {
    // 1. Undo everything the previous evaluation changed.
    set_param_default();
    // 2. The record the driver starts from: Param as restored, which is the snapshot itself (the
    // driver only reads it), so no copy is needed.
    // 3.-4. An empty time course and fresh initial states.
    StepNum = 0;
    const int n = Param.n_var;
    std::copy(yOrigin, yOrigin + n + 1, yInit);
    std::copy(yOrigin, yOrigin + n + 1, yWork);
    std::copy(yOrigin, yOrigin + n + 1, yPre);
    // 5. The individual's values.
    GaGene2QVParam(x);
}

}  // namespace

int QvFitness(const double *x, int /*numVariable*/, int /*argc*/, char ** /*argv*/, double *fitness) {
    prepareEvaluation(x);
    // 6. One simulation in search mode (or the model's own objective, which simulates what it
    // needs).
    if (qv_model_objective != nullptr) return qv_model_objective(&ParamT, fitness);
    const int status = DoSolver(defaultParam, deltaT, tStart, tEnd, dtSave, yInit, yWork, yPre);
    // 7. The model's own score of the stored time course.
    return QvUsrFitness(SolutionMatrix, StepNum, Param.n_var, status, fitness);
}

int CheckConstantPlayer() {
    for (int k = 0; k < P_GaNum; ++k) {
        const char *name = Pno2Name(P_Ga[k].p_no);
        if (name != nullptr && std::strcmp(name, "constantPlayer") == 0) {
            log_sys(kMsgConstantPlayer);
            return -1;
        }
    }
    return 0;
}

bool QvRefineAvailable() { return qv_model_refine != nullptr; }

int QvRefine(double *x, int numVariable, long budget, double *fitness, qv_refine_count *count) {
    if (qv_model_refine == nullptr) {
        log_sys(kMsgNoRefine);
        return -1;
    }
    prepareEvaluation(x);
    return qv_model_refine(&ParamT, x, numVariable, budget, fitness, count);
}
