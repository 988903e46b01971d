// What a serial GA run costs beyond the simulations it asks for. A run of NormalExecute or
// MGGExecute evaluates N individuals; every evaluation is one DoSolver call and one call of the
// model's fitness function. The same N parameter vectors are then replayed in a bare loop that
// only writes the values into ParamT, simulates and scores. The difference of the two times is
// the GA's own work: restoring the model snapshot, selection, crossover, mutation, sorting,
// migration and the progress lines. Overhead = (run time - bare time) / run time; the aim is at
// most 5 %.
//
// Two models: Robertson's stiff reaction system on the NDF solver (SOLVER 3) and the data-fitting
// pathway of models/fitting on classical Runge-Kutta (SOLVER 1). Both are linked into this one
// program under their own names (see ga.cmake); the model functions the library calls dispatch to
// the model of the current case.
//
// Usage: bench_ga_overhead [repetitions, default 5] [model name]
// (the fastest of the repetitions counts; with a model name only that model runs, e.g. to profile)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/galib/digenesis_mgg.h"
#include "quorvant/galib/digenesis_normal.h"
#include "quorvant/galib/ga_param.h"
#include "quorvant/galib/ga_region.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/searchlib/qv_interface.h"
#include "quorvant/quorvant_baselib/dosolver.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/searchlib/utl_rand.h"
#include "quorvant/model.h"

// The two models, compiled with their functions renamed.
extern "C" {
void robertson_fvec(double *dydt, double *y, double g, parameter *p);
void robertson_fjac(double **jac, double *y, double g, parameter *p);
int robertson_fitness(double **solution, int numSteps, int numVar, int status, double *fitness);
void fitting_fvec(double *dydt, double *y, double g, parameter *p);
void fitting_fjac(double **jac, double *y, double g, parameter *p);
int fitting_fitness(double **solution, int numSteps, int numVar, int status, double *fitness);
}

namespace {

// ---- Settings of the GA runs ------------------------------------------------------------------
constexpr unsigned long kSeed = 20240611;   // every repetition evaluates the same individuals
constexpr int kIslands = 2;
constexpr int kPopulation = 30;
constexpr int kElites = 2;                  // NORMAL
constexpr int kTournament = 2;              // NORMAL
constexpr int kMggChildren = 10;            // MGG: children per family
constexpr int kMigrationInterval = 10;
constexpr double kMigrationRate = 0.1;
constexpr double kMutationRate = 0.1;       // NORMAL: VariableNormal
constexpr double kBlxAlpha = 0.5;
constexpr double kUndxAlpha = 1.0;
constexpr double kUndxBeta = 0.35;
constexpr int kDefaultRepetitions = 5;

// ---- The models --------------------------------------------------------------------------------
// Search-mode model files (PARAM lines of type S), written to a temporary file for the reader.
constexpr char kRobertsonInput[] = R"(
SOLVER   ; 3
NDF_RTOL ; 1e-6
NDF_ATOL ; 1e-12
N_VAR    ; 3
G_VALUE  ; 1.0
T_START  ; 0
T_END    ; 40
DELTA_T  ; 1e-6
DELTA_M  ; 4
PARAM_NAME ; k1
PARAM_NAME ; k2
PARAM_NAME ; k3
PARAM ; k1 ; 1 ; 0.04 ;;; S ;; 0.01 ; 0.1
PARAM ; k2 ; 1 ; 3e7  ;;; S ;; 1e7  ; 1e8
PARAM ; k3 ; 1 ; 1e4  ;;; S ;; 3e3  ; 3e4
Y_START ; 1 ; 1.0
Y_START ; 2 ; 0.0
Y_START ; 3 ; 0.0
)";

constexpr char kFittingInput[] = R"(
SOLVER  ; 1
N_VAR   ; 3
G_VALUE ; 1.0
T_START ; 0
T_END   ; 6
DELTA_T ; 0.01
DELTA_M ; 0.5
PARAM_NAME ; Vmax
PARAM_NAME ; Km
PARAM_NAME ; k2
PARAM ; Vmax ; 1 ; 2.0 ;;; S ;; 0.4 ; 10.0
PARAM ; Km   ; 1 ; 1.5 ;;; S ;; 0.3 ; 7.5
PARAM ; k2   ; 1 ; 0.5 ;;; S ;; 0.1 ; 2.5
Y_START ; 1 ; 5.0
Y_START ; 2 ; 0.0
Y_START ; 3 ; 0.0
)";

using Fvec = void (*)(double *, double *, double, parameter *);
using Fjac = void (*)(double **, double *, double, parameter *);
using Score = int (*)(double **, int, int, int, double *);

struct ModelCase {
    const char *name;
    const char *solver;
    const char *input;
    Fvec fvec;
    Fjac fjac;
    Score fitness;
    CrossoverType crossover;   // BLX or UNDX
    int normalGenerations;     // sized so that a run takes about a second
    int mggGenerations;
};

// Robertson's search variables span 0.01 to 1e8. UNDX spreads a child across the line of its
// parents by the same absolute amount in every variable, so nearly every child lands outside the
// box and is made again (hundreds of tries per child): BLX, which works variable by variable, is
// the crossover for such a box.
constexpr ModelCase kCases[] = {
    {"robertson (stiff)", "3 NDF", kRobertsonInput, robertson_fvec, robertson_fjac, robertson_fitness,
     CrossoverType::BLX, 150, 400},
    {"fitting", "1 RK4", kFittingInput, fitting_fvec, fitting_fjac, fitting_fitness, CrossoverType::UNDX, 400, 1200},
};

// ---- What the GA evaluated -------------------------------------------------------------------
// The fitness hook counts the evaluations and keeps each one's search values and score, so that
// the bare loop replays exactly the same simulations. The storage is reserved before the run.
struct Evaluations {
    const ModelCase *model = nullptr;
    bool recording = false;
    long count = 0;
    std::vector<double> values;   // numVariable values per evaluation
    std::vector<double> scores;
};
Evaluations Evals;

// State of the loaded model for the bare loop.
double Y0[qv::kStateSize];
double TStart, TEnd, DeltaT, DeltaM;
parameter Snapshot;

}  // namespace

extern "C" void usr_fvec(double *dydt, double *y, double g, parameter *p) { Evals.model->fvec(dydt, y, g, p); }
extern "C" void usr_fjac(double **jac, double *y, double g, parameter *p) { Evals.model->fjac(jac, y, g, p); }

extern "C" int QvUsrFitness(double **solution, int numSteps, int numVar, int status, double *fitness) {
    const int result = Evals.model->fitness(solution, numSteps, numVar, status, fitness);
    ++Evals.count;
    if (Evals.recording && Evals.values.size() + P_GaNum <= Evals.values.capacity()) {
        for (int k = 0; k < P_GaNum; ++k) Evals.values.push_back(ParamT.val[P_Ga[k].p_no][P_Ga[k].index]);
        Evals.scores.push_back(*fitness);
    }
    return result;
}

namespace {

// CPU time of this process in seconds: other processes on the machine slow the wall clock of a
// run down, but hardly its CPU time.
double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// Loads a model file given as text into the model tables, as gasearch does at start-up.
bool loadModel(const ModelCase &model) {
    char path[] = "/tmp/bench_ga_modelXXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return false;
    const std::string text = model.input;
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    resetParamTab();
    resetInputData();
    std::fill(std::begin(Y0), std::end(Y0), 0.0);
    const bool loaded = written && Set_data(Y0, &TStart, &TEnd, &DeltaT, &DeltaM, path) == 0;
    unlink(path);
    if (!loaded) return false;
    Evals.model = &model;
    PreserveDefaultQvParam(TStart, TEnd, DeltaT, DeltaM, Y0);
    copyParameter(Snapshot, Param);
    return AllocSolutionMatrix() == 0;
}

// The configuration of a run, as a GA parameter file would give it: real-coded genes, two islands
// with ring migration, no target fitness (every generation runs).
bool configure(gaparam &param, DigenesisType type, CrossoverType crossover, int generations) {
    InitializeParam(&param);
    if (ReadRegionFromQV(&param) != 0) return false;
    gaencodeparam &enc = param.gaEncodeParam;
    enc.encodeType = EncodeType::Real;
    enc.quantumNumber = 1;
    enc.geneLength = enc.numVariable;
    gatypeparam &ga = param.gaTypeParam;
    ga.gaType = GaType::DGA;
    ga.maxGeneration = generations;
    ga.finValue = std::numeric_limits<double>::max();
    ga.numIsland = kIslands;
    ga.islandPopulation = kPopulation;
    ga.totalPopulation = kIslands * kPopulation;
    ga.immigrationSwitch = ImmigrationSwitch::RandomRing;
    ga.immigrationInterval = kMigrationInterval;
    ga.immigrationRate = kMigrationRate;
    ga.numImmigrants = static_cast<int>(kMigrationRate * kPopulation);
    digenesisparam &dig = param.digenesisParam;
    dig.digenesisType = type;
    if (type == DigenesisType::Normal) {
        dig.numElite = kElites;
        dig.selectionType = SelectionType::Tournament;
        dig.tournamentSize = kTournament;
        param.mutationParam.mutationType = MutationType::VariableNormal;
        param.mutationParam.mutationRate = kMutationRate;
    } else {
        dig.numMGGChildren = kMggChildren;
        dig.selectionType = SelectionType::Random;
        param.mutationParam.mutationType = MutationType::None;
    }
    crossoverparam &cx = param.crossoverParam;
    cx.crossoverType = crossover;
    if (crossover == CrossoverType::BLX) {
        cx.numParent = 2;
        cx.alpha = kBlxAlpha;
    } else {
        cx.numParent = 3;
        cx.m = 1;
        cx.alpha = kUndxAlpha;
        cx.beta = kUndxBeta;
    }
    SetDelta(&param);
    return true;
}

// Evaluations a run makes: generation 0 evaluates everybody, later ones the non-elites (NORMAL)
// or one family per island (MGG).
long plannedEvaluations(DigenesisType type, int generations) {
    const long perGeneration = type == DigenesisType::Normal ? kIslands * (kPopulation - kElites)
                                                             : kIslands * kMggChildren;
    return kIslands * kPopulation + (generations - 1) * perGeneration;
}

// Standard output goes to /dev/null while a run prints its progress lines, so that the speed of
// the terminal does not enter the measurement (the lines are still formatted and written).
class QuietStdout {
public:
    QuietStdout() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            close(null);
        }
    }
    ~QuietStdout() {
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
        }
    }
    QuietStdout(const QuietStdout &) = delete;
    QuietStdout &operator=(const QuietStdout &) = delete;

private:
    int saved_ = -1;
};

gaparam Param_ga;   // large: kept out of the stack

// One whole GA run; its time in seconds, or a negative value if it failed.
double timeRun(DigenesisType type, CrossoverType crossover, int generations) {
    if (!configure(Param_ga, type, crossover, generations)) return -1.0;
    SetFixedSeed(kSeed);
    Evals.count = 0;
    int rc;
    const double start = cpuSeconds();
    {
        QuietStdout quiet;
        rc = type == DigenesisType::Normal ? NormalExecute(&Param_ga) : MGGExecute(&Param_ga);
    }
    const double t = cpuSeconds() - start;
    return rc == 0 ? t : -1.0;
}

// The recorded evaluations once more, without the GA: values into ParamT, simulate, score. The
// number of scores that differ from the run's is returned in *mismatches (0: same simulations).
double timeBare(long *mismatches) {
    static double yInit[qv::kStateSize], y[qv::kStateSize], yPre[qv::kStateSize];
    const long n = static_cast<long>(Evals.scores.size());
    const int nv = P_GaNum;
    const int nVar = Param.n_var;
    *mismatches = 0;
    const double start = cpuSeconds();
    for (long e = 0; e < n; ++e) {
        const double *x = &Evals.values[static_cast<size_t>(e * nv)];
        for (int k = 0; k < nv; ++k) ParamT.val[P_Ga[k].p_no][P_Ga[k].index] = x[k];
        std::copy(Y0, Y0 + nVar + 1, yInit);
        std::copy(Y0, Y0 + nVar + 1, y);
        std::copy(Y0, Y0 + nVar + 1, yPre);
        StepNum = 0;
        const int status = DoSolver(Snapshot, DeltaT, TStart, TEnd, DeltaM, yInit, y, yPre);
        double f = 0.0;
        Evals.model->fitness(SolutionMatrix, StepNum, nVar, status, &f);
        if (f != Evals.scores[static_cast<size_t>(e)]) ++*mismatches;
    }
    const double t = cpuSeconds() - start;
    set_param_default();
    return t;
}

// The part of the overhead that restoring the model for every evaluation takes: the bridge copies
// the three saved parameter records back and takes one more copy for the driver.
double timeRestore(long evaluations) {
    static parameter scratch;
    const double start = cpuSeconds();
    for (long e = 0; e < evaluations; ++e) {
        set_param_default();
        copyParameter(scratch, Param);
    }
    return cpuSeconds() - start;
}

}  // namespace

int main(int argc, char **argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRepetitions;
    std::printf("GA overhead: (serial run - bare simulations of the same individuals) / run, in CPU time;"
                " best of %d\n", repetitions);
    std::printf("%-18s %-6s %-7s %-5s %8s %9s %9s %9s %10s %9s %9s\n", "model", "solver", "digen.", "cross",
                "evals", "run[s]", "bare[s]", "sim[us]", "evals/s", "overhead", "restore");
    int failures = 0;
    const std::string only = argc > 2 ? argv[2] : "";
    for (const ModelCase &model : kCases) {
        if (!only.empty() && std::string(model.name).rfind(only, 0) != 0) continue;
        if (!loadModel(model)) {
            std::printf("%-18s cannot load the model file\n", model.name);
            ++failures;
            continue;
        }
        for (DigenesisType type : {DigenesisType::Normal, DigenesisType::MGG}) {
            const int generations = type == DigenesisType::Normal ? model.normalGenerations : model.mggGenerations;
            const long planned = plannedEvaluations(type, generations);
            Evals.values.clear();
            Evals.scores.clear();
            Evals.values.reserve(static_cast<size_t>(planned * P_GaNum));
            Evals.scores.reserve(static_cast<size_t>(planned));
            double run = std::numeric_limits<double>::infinity();
            double bare = std::numeric_limits<double>::infinity();
            double restore = std::numeric_limits<double>::infinity();
            long mismatches = 0;
            bool failed = false;
            for (int r = 0; r < repetitions && !failed; ++r) {
                Evals.recording = r == 0;
                const double t = timeRun(type, model.crossover, generations);
                Evals.recording = false;
                if (t < 0.0) {
                    failed = true;
                    break;
                }
                run = std::min(run, t);
                bare = std::min(bare, timeBare(&mismatches));
                restore = std::min(restore, timeRestore(Evals.count));
            }
            const char *digenesis = type == DigenesisType::Normal ? "NORMAL" : "MGG";
            const char *cross = model.crossover == CrossoverType::BLX ? "BLX" : "UNDX";
            if (failed || Evals.count != static_cast<long>(Evals.scores.size())) {
                std::printf("%-18s %-6s %-7s %-5s run failed or evaluations not recorded\n", model.name,
                            model.solver, digenesis, cross);
                ++failures;
                continue;
            }
            const double perSim = bare / static_cast<double>(Evals.count);
            std::printf("%-18s %-6s %-7s %-5s %8ld %9.3f %9.3f %9.1f %10.0f %8.1f%% %8.1f%%%s\n", model.name,
                        model.solver, digenesis, cross, Evals.count, run, bare, perSim * 1e6,
                        static_cast<double>(Evals.count) / run, 100.0 * (run - bare) / run, 100.0 * restore / run,
                        mismatches ? "  (replay differs!)" : "");
        }
        FreeSolutionMatrix();
    }
    std::printf("restore: the share of the run spent restoring the model's parameter records per evaluation\n");
    std::printf("aim: overhead <= 5 %%\n");
    return failures == 0 ? 0 : 1;
}
