// Cost per step of solver 1 as the searches use it (DoSolver, search mode, a row every 100 steps)
// against a minimal hand-written classical RK4 loop over the same model code. The ratio of the
// two "per_step" counters is the driver's overhead per step.
#include <benchmark/benchmark.h>

#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/dosolver.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/model.h"

namespace {

constexpr int kVars = 2;                 // the linear chain of models/linear
constexpr double kStep = 0.001;
constexpr int kSteps = 100000;           // per run
constexpr int kStepsPerRow = 100;
constexpr int kRows = kSteps / kStepsPerRow + 2;

struct Rows {
    std::vector<double> storage = std::vector<double>(static_cast<size_t>(kRows) * (kVars + 1));
    std::vector<double *> rows;
    Rows() {
        for (int r = 0; r < kRows; ++r) rows.push_back(storage.data() + static_cast<size_t>(r) * (kVars + 1));
    }
};

// Seconds per integration step (printed with an SI prefix, e.g. 50n = 50 ns).
void reportPerStep(benchmark::State &state) {
    state.counters["per_step"] = benchmark::Counter(
        kSteps, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The model tables as the model file of the linear chain leaves them.
void loadLinearModel() {
    resetParamTab();
    resetInputData();
    for (const char *name : {"k1", "k2", "y_force", "y_add", "time_start", "time_end"}) addParam2Tab(name);
    ParamT.n_var = kVars;
    ParamT.n_varNR = 0;
    ParamT.n_val[1] = ParamT.n_val[2] = 1;
    ParamT.val[1][1] = 1.0;
    ParamT.val[2][1] = 0.5;
    Param = ParamT;
    ParamP = ParamT;
    SolverNo = 1;
    GeneConc = 1.0;
    F_GA = 1;
}

void BM_DriverFixedStep(benchmark::State &state) {
    loadLinearModel();
    Rows rows;
    SolutionMatrix = rows.rows.data();
    SolutionRows = kRows;
    static parameter snap;
    snap = Param;
    double yInit[qv::kStateSize] = {0, 1.0, 0.5};
    double y[qv::kStateSize];
    double yPre[qv::kStateSize];
    for (auto _ : state) {
        StepNum = 0;
        DoSolver(snap, kStep, 0.0, kStep * kSteps, kStep * kStepsPerRow, yInit, y, yPre);
        benchmark::DoNotOptimize(rows.storage.data());
    }
    reportPerStep(state);
    SolutionMatrix = nullptr;
    SolutionRows = 0;
}

// The same integration written out directly: four right-hand sides per step, a row every 100.
void BM_BareRk4(benchmark::State &state) {
    loadLinearModel();
    Rows rows;
    for (auto _ : state) {
        double y[kVars + 1] = {0, 1.0, 0.5};
        double k1[kVars + 1], k2[kVars + 1], k3[kVars + 1], k4[kVars + 1], yt[kVars + 1];
        double t = 0.0;
        int stored = 0;
        for (int s = 1; s <= kSteps; ++s) {
            usr_fvec(k1, y, GeneConc, &Param);
            for (int i = 1; i <= kVars; ++i) yt[i] = y[i] + 0.5 * kStep * k1[i];
            usr_fvec(k2, yt, GeneConc, &Param);
            for (int i = 1; i <= kVars; ++i) yt[i] = y[i] + 0.5 * kStep * k2[i];
            usr_fvec(k3, yt, GeneConc, &Param);
            for (int i = 1; i <= kVars; ++i) yt[i] = y[i] + kStep * k3[i];
            usr_fvec(k4, yt, GeneConc, &Param);
            for (int i = 1; i <= kVars; ++i) y[i] += kStep / 6 * (k1[i] + 2 * k2[i] + 2 * k3[i] + k4[i]);
            t = s * kStep;
            if (s % kStepsPerRow == 0) {
                double *row = rows.rows[static_cast<size_t>(stored++)];
                row[0] = t;
                for (int i = 1; i <= kVars; ++i) row[i] = y[i] / GeneConc;
            }
        }
        benchmark::DoNotOptimize(rows.storage.data());
    }
    reportPerStep(state);
}

}  // namespace

BENCHMARK(BM_DriverFixedStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareRk4)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
