// Fuzzing harness for the simulator's input side: loads the model input file named on the command
// line into fresh model tables, as the simulator does at start-up, and then runs the parts of the
// simulator that work on what was loaded without integrating anything: the echo of the input, the
// division of the survey cases over processes and the survey values of the first and last case,
// and the eigenvalues of the model Jacobian at the initial state (small models only).
//
// The fuzzer runs this program as a process. The reader's fatal exit on a line with too many
// fields (status 255) is an ordinary outcome; sanitizer reports and signals are crashes.
//
//   fuzz_model_file <model file>
//
// Under AFL++ instrumentation the load is repeated in one process (persistent mode); every round
// starts from reset tables, so each round sees the file exactly as a fresh process would.
#include <cstdio>
#include <cstring>

#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "simulator.h"

#ifndef __AFL_LOOP
// Without AFL++ the harness loads the file once.
static bool firstRound = true;
#define __AFL_LOOP(n) (firstRound ? (firstRound = false, true) : false)
#endif

namespace {

// The eigenvalue report costs O(n^3); larger models would only slow the campaign down.
constexpr int kMaxEigenSize = 16;
// The compiled model (the linear chain) fills a 2 x 2 Jacobian whatever N_VAR says. The report
// sizes the Jacobian by N_VAR, so a smaller N_VAR lets the model write past it: a known fault of
// the report, kept out of the campaign so that it cannot hide others (the regression corpus
// keeps a case for it).
constexpr int kModelVariables = 2;
// Processes over which the survey cases are divided, as for mpiexec -n 4.
constexpr int kRanks = 4;

void loadOnce(const char *path) {
    resetParamTab();
    resetInputData();
    P_GaMax = qv::kMaxGaSimulator;

    static double y[qv::kStateSize];
    TimeSpan ts;
    if (Set_data(y, &ts.t_start, &ts.t_end, &ts.dt, &ts.dm, path) != 0) return;

    writeInputData(y, ts);
    if (F_PSurvey) {
        for (int rank = 0; rank < kRanks; ++rank) {
            const CaseRange cases = survey_pre(kRanks, rank);
            if (cases.total < 0) return;
            if (cases.last > cases.first) {
                setSurveyValue(cases.first);
                setSurveyValue(cases.last - 1);
            }
        }
    }
    if (Param.n_var >= kModelVariables && Param.n_var <= kMaxEigenSize) calc_eigenvalues(y, Fp_out, EigenForm::ResultFile);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <model file>\n", argv[0]);
        return 2;
    }
    // The reports go where a result file would be; their text is not what is tested here.
    Fp_out = std::fopen("/dev/null", "w");
    if (Fp_out == nullptr) return 2;
    while (__AFL_LOOP(1000)) loadOnce(argv[1]);
    return 0;
}
