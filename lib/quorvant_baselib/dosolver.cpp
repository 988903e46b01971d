// The simulation driver: one run of the loaded model, either a time course with the time events
// of the model file (Runge-Kutta paths) or a steady state (Newton-Raphson), with its output.
//
// Text mode (F_GA == 0) writes the rows to Fp_out; search mode (F_GA == 1) stores them in
// SolutionMatrix, which the caller sized, and counts them in StepNum.
#include "quorvant/dosolver.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "quorvant/limits.h"
#include "quorvant/log.h"
#include "quorvant/newton_raphson.h"
#include "quorvant/parameter.h"
#include "quorvant/runge_kutta.h"
#include "quorvant/set_data.h"

int32_t SolutionRows = 0;

namespace {

// A time-course run ends when the time left is below this fraction of the step: the step times
// are sums of Δt, and without the slack a sum that falls one rounding error short of t_end would
// take a whole extra step past the end (and write a row there).
constexpr double kEndSlack = 1e-6;

// Tolerance when placing t_start on the sampling grid Δm, 2Δm, ...: a start time that is a
// multiple of Δm up to rounding counts as on the grid.
constexpr double kGridSlack = 1e-9;

// Rows dropped in this run because SolutionMatrix was full (reported once per run).
bool rowsDropped = false;

bool textMode() { return F_GA == 0; }

void writeText(const char *s) {
    if (textMode() && Fp_out) std::fputs(s, Fp_out);
}

int stepFailed(bool fixedStep, double t) {
    log_sys(fixedStep ? "## Error at Time=%10.3E in NormalRungeKutta\n"
                      : "## Error at Time=%10.3E in AdaptiveRungeKutta\n",
            t);
    writeText("\n$$ Failure !!\n");
    log_sys("## Error!! in doSolver1_2\n");
    return -1;
}

}  // namespace

void copyParameter(parameter &dst, const parameter &src) {
    if (&dst == &src) return;
    const int rows = getEventParamNum();
    if (rows <= 0 || rows >= qv::kMaxParamNo) {
        dst = src;
        return;
    }
    dst.n_varNR = src.n_varNR;
    dst.n_var = src.n_var;
    std::memcpy(dst.n_val, src.n_val, sizeof dst.n_val);
    std::memcpy(dst.val, src.val, sizeof dst.val[0] * static_cast<size_t>(rows + 1));
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
    const int n = Param.n_var;
    std::fprintf(Fp_out, "%-10s", "Time");
    for (int i = 1; i <= n; ++i) std::fprintf(Fp_out, ",     y[%3d]", i);
    std::fputc('\n', Fp_out);
    emitRow(t_start, y);
}

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

int doSolver1_2(const parameter &snap, double dt, double t_start, double t_end, double dm,
                double *y_init, double *y, double *y_pre) {
    double rate[qv::kStateSize] = {};   // y_add rates, zero at the start of every run
    bool ratesActive = false;
    rowsDropped = false;

    if (initTimeSolver(snap, y_init, y, y_pre) != 0) {
        log_sys("## Error!! in doSolver1_2\n");
        return -1;
    }
    write_start(y, t_start);

    const bool fixedStep = SolverNo == 1;
    const int n = Param.n_var;
    double h = dt;
    double t = t_start;
    long steps = 0;
    // The sample grid is Δm, 2Δm, ... counted from time 0; the first sample is the first grid
    // time after t_start (t_start itself is the row of write_start).
    double samples = t_start > 0 && dm > 0 ? std::floor(t_start / dm + kGridSlack) : 0.0;
    double nextSample = std::min(dm * (samples + 1), t_end);

    const auto arrived = [&] { return !(t_end - t > kEndSlack * h); };
    bool first = true;
    while (!arrived()) {
        const int f_event = timeEvent(y, rate, t, h, first ? 1 : 0);
        first = false;
        if (f_event) ratesActive = std::any_of(rate + 1, rate + n + 1, [](double r) { return r != 0.0; });

        // One step; after events the integrator re-establishes the algebraic variables first.
        const double t0 = t;
        const int rc = fixedStep ? SolveDiffEqNormalRungeKutta(n, y, y_pre, &t, &h, f_event)
                                 : SolveDiffEqAdaptiveRungeKutta(n, y, y_pre, &t, &h, t_end, f_event);
        if (rc != 0) return stepFailed(fixedStep, t);
        // Fixed steps: the time is counted, not summed, so it does not drift over long runs.
        if (fixedStep) t = t_start + static_cast<double>(++steps) * h;
        // The amount added is rate times the step just taken (the adaptive integrator hands back
        // the size of the next step in h).
        if (ratesActive) applyAdditionRates(y, rate, t - t0);

        reportNegative(t, y);
        // A sample time is taken by the first step that passes its half-step test. The last
        // sample, t_end itself, is taken when the run has arrived there: an adaptive step is
        // clipped to land on t_end, and the step before it would otherwise take that sample too.
        const bool due = nextSample < t_end ? t + h / 2 > nextSample : arrived();
        if (due) {
            emitRow(t, y);
            samples += 1;
            nextSample = std::min(dm * (samples + 1), t_end);
        }
    }
    return 0;
}

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
    rowsDropped = false;
    emitRow(0.0, y);
    return 0;
}

int DoSolver(const parameter &snap, double dt, double t_start, double t_end, double dm,
             double *y_init, double *y, double *y_pre) {
    switch (SolverNo) {
    case 1:
    case 2:
        return doSolver1_2(snap, dt, t_start, t_end, dm, y_init, y, y_pre);
    case 3:
        return doSolver3(snap, dt, t_start, t_end, dm, y_init, y, y_pre);
    case 11:
        return doSolver11(y, y_pre);
    case 12:
        if (Qv_doSolver12) return Qv_doSolver12(y);
        break;
    default:
        break;
    }
    log_sys("## Wrong Solver!! No =%3d\n", SolverNo);
    std::exit(-1);
}
