// One random search: restore the model as it was read, draw a vector inside the search ranges,
// simulate once, score the time course with the model's QvUsrFitness and write the result.
#include <algorithm>

#include "quorvant/common/limits.h"
#include "quorvant/searchlib/qv_interface.h"
#include "quorvant/quorvant_baselib/dosolver.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/searchlib/utl_rand.h"
#include "quorvant/model.h"
#include "rsearch.h"

namespace {

// The model as read (times, start values) and the record every search starts from. The record is
// large (512 KiB): it lives here, not on the stack.
RsModel start;
parameter saved;

// Work storage of one search, kept for the whole run: the three state vectors.
double yInit[qv::kStateSize];
double yWork[qv::kStateSize];
double yPre[qv::kStateSize];

}  // namespace

int PrepareSearches(const RsModel &model) {
    start = model;
    saved = Param;
    // The snapshot restores only the rows a search can change, so a search costs a simulation and
    // not three copies of the whole record.
    PreserveDefaultQvParam(model.tStart, model.tEnd, model.deltaT, model.dtSave, model.y);
    if (AllocSolutionMatrix() != 0) return -1;
    // Nothing in a search writes the base copy: it is set once.
    ParamB = saved;
    return 0;
}

void ReleaseSearches() { FreeSolutionMatrix(); }

void setRandomParam(double *v) {
    for (int i = 0; i < P_GaNum; ++i) {
        v[i] = GenUniformRand(P_Ga[i].min_value, P_Ga[i].max_value);
        ParamT.val[P_Ga[i].p_no][P_Ga[i].index] = v[i];
    }
}

int RunOneSearch(int first, int second, bool anyNegativeFails) {
    // 1. The model as read: time events of the previous search may have changed Param.
    set_param_default();
    // 2. Fresh start values.
    const int n = Param.n_var;
    std::copy(start.y, start.y + n + 1, yInit);
    std::copy(start.y, start.y + n + 1, yWork);
    std::copy(start.y, start.y + n + 1, yPre);
    // 3.-5. Draw, then simulate from the saved record (the driver only reads it).
    double v[qv::kSearchTableSize] = {};   // P_GaMax keeps P_GaNum within the table
    setRandomParam(v);
    StepNum = 0;
    const int r = DoSolver(saved, start.deltaT, start.tStart, start.tEnd, start.dtSave, yInit, yWork, yPre);
    // 6. The model's score; its error ends the searches of this process.
    double fitness = 0.0;
    const int rc = QvUsrFitness(SolutionMatrix, StepNum, n, r, &fitness);
    if (rc == -1 || (anyNegativeFails && rc < 0)) return -1;
    // 7. The result.
    printResultFile(v, fitness, first, second, r);
    return 0;
}

int do_search_single(int searches) {
    for (int k = 0; k < searches; ++k) {
        if (RunOneSearch(0, k, false) != 0) return -1;
    }
    return 0;
}
