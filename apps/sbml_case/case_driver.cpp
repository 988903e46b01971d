// Case driver: linked with one model generated from SBML, it loads the model input file, simulates
// in-process and writes the time course of the requested ids as CSV.
//
//   case_driver MODEL.in OUT.csv T0 T1 STEPS a:ID|c:ID ...
//
// Rows are written at T0 + i (T1 - T0) / STEPS, i = 0..STEPS; each must be an output time of the
// simulation or its start. Where the simulation has rows before and after events at a time, the
// last one is taken. "a:" asks for the id's amount, "c:" for its concentration (the two are
// equal for ids that are not species). Exit status 0 when OUT.csv was written, 1 otherwise (message on stderr).
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/dosolver.h"
#include "quorvant/quorvant_baselib/model_event_machine.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/model.h"
#include "quorvant/sbml_observe.h"

namespace {

constexpr int kExitFailed = 1;
// Rows kept per requested row: the solver may write an event time twice or extra points.
constexpr int kRowsPerOutput = 4;
constexpr int kSpareRows = 64;
// Rows kept besides for a model with events: each stop writes its time twice.
constexpr int kEventRows = 20000;
// A simulation row stands for grid time t when it is this fraction of an interval away.
constexpr double kGridMatch = 1e-6;

struct Column {
    int observable;   // index into the observer's ids
    bool amount;
};

int fail(const std::string &message) {
    std::fprintf(stderr, "case driver: %s\n", message.c_str());
    return kExitFailed;
}

bool parseReal(const char *s, double *out) {
    errno = 0;
    char *end = nullptr;
    *out = std::strtod(s, &end);
    return errno == 0 && end != s && *end == '\0' && std::isfinite(*out);
}

int findObservable(const char *id) {
    for (int k = 0; k < qv_sbml_observable_count; ++k)
        if (std::strcmp(qv_sbml_observable_ids[k], id) == 0) return k;
    return -1;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: %s MODEL.in OUT.csv T0 T1 STEPS a:ID|c:ID ...\n", argv[0]);
        return kExitFailed;
    }
    double t0 = 0, t1 = 0, stepsReal = 0;
    if (!parseReal(argv[3], &t0) || !parseReal(argv[4], &t1) || !parseReal(argv[5], &stepsReal) ||
        !(t1 > t0) || stepsReal < 1 || stepsReal != std::floor(stepsReal) || stepsReal > 1e7)
        return fail("bad time grid (T0 T1 STEPS)");
    const int steps = static_cast<int>(stepsReal);

    std::vector<Column> columns;
    for (int a = 6; a < argc; ++a) {
        const char *request = argv[a];
        if ((request[0] != 'a' && request[0] != 'c') || request[1] != ':')
            return fail(std::string("bad column '") + request + "' (a:ID or c:ID)");
        const int k = findObservable(request + 2);
        if (k < 0) return fail(std::string("the model has no id '") + (request + 2) + "'");
        columns.push_back(Column{k, request[0] == 'a'});
    }

    // 1. Load the model input file as the simulator does.
    static double y[qv::kStateSize], yInit[qv::kStateSize], yPre[qv::kStateSize];
    double tStart = 0, tEnd = 0, dt = 0, dm = 0;
    P_GaMax = qv::kMaxGaSimulator;
    std::atexit(freeParamTag);   // the tags of the PARAM lines are the only heap the load keeps
    if (Set_data(y, &tStart, &tEnd, &dt, &dm, argv[1]) != 0) return fail(std::string("cannot load ") + argv[1]);
    const int n = Param.n_var;

    // 2. Simulate in search mode: the rows go to SolutionMatrix, nothing to a result file.
    const int capacity = (steps + 1) * kRowsPerOutput + kSpareRows + (modelHasEvents() ? kEventRows : 0);
    std::vector<double> storage(static_cast<size_t>(capacity) * static_cast<size_t>(n + 1));
    std::vector<double *> rows(static_cast<size_t>(capacity));
    for (int r = 0; r < capacity; ++r) rows[r] = storage.data() + static_cast<size_t>(r) * (n + 1);
    SolutionMatrix = rows.data();
    SolutionRows = capacity;
    StepNum = 0;
    F_GA = 1;
    Fp_out = stdout;
    const parameter *snapshot = new parameter(Param);   // 512 KiB: not on the stack
    std::copy(y, y + qv::kStateSize, yInit);
    std::copy(y, y + qv::kStateSize, yPre);
    const int rc = DoSolver(*snapshot, dt, tStart, tEnd, dm, yInit, y, yPre);
    delete snapshot;
    if (rc != 0) return fail(std::string("the simulation of ") + argv[1] + " failed");

    // 3. One CSV row per grid time, from the first simulation row at that time.
    FILE *out = std::fopen(argv[2], "w");
    if (!out) return fail(std::string("cannot write ") + argv[2]);
    std::fputs("time", out);
    for (int a = 6; a < argc; ++a) std::fprintf(out, ",%s", argv[a] + 2);
    std::fputc('\n', out);
    const int count = qv_sbml_observable_count;
    std::vector<double> amount(static_cast<size_t>(count) + 1), conc(static_cast<size_t>(count) + 1);
    std::vector<double> state(static_cast<size_t>(n) + 1);
    const double match = kGridMatch * (t1 - t0) / steps;
    int r = 0;
    for (int i = 0; i <= steps; ++i) {
        const double t = i == steps ? t1 : t0 + (t1 - t0) * i / steps;
        while (r < StepNum && rows[r][0] < t - match) ++r;
        // Of the rows at t (before and after events there) the last one: the state at t.
        while (r + 1 < StepNum && rows[r + 1][0] <= t + match) ++r;
        const bool found = r < StepNum && rows[r][0] <= t + match;
        // The Runge-Kutta paths store no row for the start time: the start state is y_init.
        const bool start = !found && std::fabs(t - tStart) <= match;
        if (!found && !start) {
            std::fclose(out);
            char when[40];
            std::snprintf(when, sizeof when, "%.17g", t);
            return fail(std::string("the simulation has no output at t=") + when);
        }
        for (int v = 1; v <= n; ++v) state[v] = found ? rows[r][v] * GeneConc : yInit[v];
        qv_sbml_observe(state.data(), &Param, amount.data(), conc.data());
        std::fprintf(out, "%.17g", t);
        for (const Column &c : columns)
            std::fprintf(out, ",%.17g", c.amount ? amount[c.observable] : conc[c.observable]);
        std::fputc('\n', out);
    }
    if (std::ferror(out) != 0 || std::fclose(out) != 0) return fail(std::string("cannot write ") + argv[2]);
    return 0;
}
