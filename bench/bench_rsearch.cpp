// What rsearch costs beyond the simulations it makes, and what two slaves gain over one process.
//
// 1. Overhead: rsearch on one process performs N searches of the linear chain (each restores the
//    model, draws, simulates, scores and writes a block and a line). The same N simulations are
//    then made in a bare in-process loop that only writes the drawn values into ParamT, simulates
//    and scores. The start-up of the program (MPI, the model file, the header) is measured with
//    -n 0 and taken off: overhead = (searches time - bare time) / searches time; aim <= 5 %. These
//    are CPU times (the processes rsearch ran, and this process), so that other load on the machine
//    does not count.
// 2. Speed-up: the same N searches on a master with two slaves (3 processes) against one process,
//    wall time with and without the start-up.
//
// Usage: bench_rsearch [searches, default 2000] [repetitions, default 3] (the fastest repetition
// counts). The machine needs at least two free cores for a meaningful speed-up.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "quorvant/common/limits.h"
#include "quorvant/searchlib/qv_interface.h"
#include "quorvant/quorvant_baselib/dosolver.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/searchlib/utl_rand.h"
#include "quorvant/model.h"

namespace {

namespace fs = std::filesystem;

// ---- Settings ----------------------------------------------------------------------------------
constexpr int kDefaultSearches = 2000;
constexpr int kDefaultRepetitions = 3;
constexpr int kPerMessage = 10;    // searches per message of the master
constexpr unsigned long kSeed = 20240611;
// The linear chain over 50 time units in steps of 0.001: 50000 Runge-Kutta steps per search.
const char *const kModel =
    "SOLVER;1\nN_VAR;2\nG_VALUE;1\nT_START;0\nT_END;50\nDELTA_T;0.001\nDELTA_M;0.5\n"
    "PARAM_NAME;k1\nPARAM_NAME;k2\n"
    "PARAM;k1;1;1.0;;;S;;0.1;10\nPARAM;k2;1;0.5;;;S;;0.01;1\n"
    "Y_START;1;1.0\nY_START;2;0.5\n";

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double seconds(const timeval &tv) { return static_cast<double>(tv.tv_sec) + 1e-6 * static_cast<double>(tv.tv_usec); }

// CPU seconds of every process this one has started and waited for (the launcher and the ranks).
double childrenCpu() {
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    return seconds(ru.ru_utime) + seconds(ru.ru_stime);
}

double processCpu() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

struct Timing {
    double wall = -1.0;
    double cpu = -1.0;
};

// Wall and CPU time of one rsearch run in dir; negative times when it fails.
Timing timeRsearch(const fs::path &dir, int nprocs, int searches) {
    const std::string cmd = "cd '" + dir.string() + "' && " + QV_MPIEXEC + " -n " + std::to_string(nprocs) +
                            " '" + QV_RSEARCH + "' -I model.in -O out -n " + std::to_string(searches) +
                            " -j " + std::to_string(kPerMessage) + " -S " + std::to_string(kSeed) +
                            " > run.log 2>&1";
    const double c0 = childrenCpu();
    const double t0 = now();
    const int rc = std::system(cmd.c_str());
    Timing t;
    if (rc != 0) return t;
    t.wall = now() - t0;
    t.cpu = childrenCpu() - c0;
    return t;
}

// The fastest of the repetitions, wall and CPU time each.
Timing best(const fs::path &dir, int nprocs, int searches, int repetitions) {
    Timing b{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
    for (int r = 0; r < repetitions; ++r) {
        const Timing t = timeRsearch(dir, nprocs, searches);
        if (t.wall < 0) return Timing{};
        b.wall = std::min(b.wall, t.wall);
        b.cpu = std::min(b.cpu, t.cpu);
    }
    return b;
}

// The bare loop: N draws, simulations and scores, nothing else. CPU time, or negative on failure.
parameter snapshot;
double y0[qv::kStateSize], yInit[qv::kStateSize], yWork[qv::kStateSize], yPre[qv::kStateSize];

double bareSimulations(const fs::path &model, int searches, double *checksum) {
    double tStart = 0, tEnd = 0, deltaT = 0, dtSave = 0;
    if (Set_data(y0, &tStart, &tEnd, &deltaT, &dtSave, model.c_str()) != 0) return -1.0;
    PreserveDefaultQvParam(tStart, tEnd, deltaT, dtSave, y0);
    if (AllocSolutionMatrix() != 0) return -1.0;
    snapshot = Param;
    SetRandSeed(kSeed);
    const int n = Param.n_var;
    double sum = 0.0;
    const double t0 = processCpu();
    for (int s = 0; s < searches; ++s) {
        std::copy(y0, y0 + n + 1, yInit);
        std::copy(y0, y0 + n + 1, yWork);
        std::copy(y0, y0 + n + 1, yPre);
        for (int i = 0; i < P_GaNum; ++i)
            ParamT.val[P_Ga[i].p_no][P_Ga[i].index] = GenUniformRand(P_Ga[i].min_value, P_Ga[i].max_value);
        StepNum = 0;
        const int r = DoSolver(snapshot, deltaT, tStart, tEnd, dtSave, yInit, yWork, yPre);
        double fitness = 0.0;
        QvUsrFitness(SolutionMatrix, StepNum, n, r, &fitness);
        sum += fitness;
    }
    const double t = processCpu() - t0;
    FreeSolutionMatrix();
    *checksum = sum;
    return t;
}

}  // namespace

int main(int argc, char **argv) {
    const int searches = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultSearches;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : kDefaultRepetitions;
    char tmpl[] = "/tmp/qv_bench_rsearch_XXXXXX";
    if (mkdtemp(tmpl) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path dir = tmpl;
    std::ofstream(dir / "model.in") << kModel;

    const Timing start1 = best(dir, 1, 0, repetitions);
    const Timing run1 = best(dir, 1, searches, repetitions);
    const Timing start3 = best(dir, 3, 1, repetitions);
    const Timing run3 = best(dir, 3, searches, repetitions);
    double bare = std::numeric_limits<double>::infinity();
    double checksum = 0.0;
    for (int r = 0; r < repetitions && bare >= 0; ++r)
        bare = std::min(bare, bareSimulations(dir / "model.in", searches, &checksum));
    fs::remove_all(dir);
    if (start1.wall < 0 || run1.wall < 0 || start3.wall < 0 || run3.wall < 0 || bare < 0) {
        std::printf("a run failed\n");
        return 1;
    }

    const double searching1 = run1.cpu - start1.cpu;
    std::printf("rsearch, linear chain, %d searches of 50000 RK4 steps, best of %d\n", searches, repetitions);
    std::printf("  one process, CPU s: run %.3f, start-up (-n 0) %.3f, searching %.3f = %.0f searches/s\n",
                run1.cpu, start1.cpu, searching1, searches / searching1);
    std::printf("  bare simulations in-process, CPU s: %.3f = %.0f simulations/s (fitness sum %.6g)\n", bare,
                searches / bare, checksum);
    std::printf("  overhead (searching - bare) / searching: %.1f %% (aim <= 5 %%)\n",
                100.0 * (searching1 - bare) / searching1);
    std::printf("  wall s: one process %.3f (start-up %.3f); master + 2 slaves (-j %d) %.3f (start-up %.3f)\n",
                run1.wall, start1.wall, kPerMessage, run3.wall, start3.wall);
    std::printf("  speed-up over one process: %.2f whole run, %.2f without start-up (ideal 2)\n",
                run1.wall / run3.wall, (run1.wall - start1.wall) / std::max(run3.wall - start3.wall, 1e-9));
    return 0;
}
