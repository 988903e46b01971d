// Start-up and clean-up of gasearch on one process: the log, the command line, the model file,
// the model snapshot the evaluations start from, the search region, the GA parameter file and its
// summary.
#include <cstdio>

#include "gasearch.h"
#include "quorvant/dosolver.h"
#include "quorvant/ga_config.h"
#include "quorvant/ga_encode.h"
#include "quorvant/ga_engine.h"
#include "quorvant/ga_random.h"
#include "quorvant/ga_report.h"
#include "quorvant/limits.h"
#include "quorvant/log.h"
#include "quorvant/parameter.h"
#include "quorvant/set_data.h"

namespace {

constexpr char kMsgNoSearch[] =
    " ## Error: The model file has no search variables (PARAM lines of type S): nothing to fit.\n";

GaOptions Options;

}  // namespace

int my_init(gaparam *param, int argc, char **argv) {
    // 1. The system log.
    if (log_sysinit(argc, argv) != 0) {
        std::fputs("Cannot open sysLog file!!", stdout);
        return -1;
    }
    // 2. The record, the command line record.
    InitializeParam(param);
    SetCommandLineInfo(&param->comLine, argc, argv);
    param->mpiInfo.myProcRank = 0;
    param->mpiInfo.numProcs = 1;

    // 3. The options.
    Options = GaOptions{};
    if (adm_argc_argv(param, &Options, argc, argv) != 0) return -1;
    if (Options.seedGiven)
        SetFixedSeed(Options.seed);
    else
        ClearFixedSeed();

    // 5. The model file.
    double y[qv::kStateSize] = {};
    double tStart = 0, tEnd = 0, deltaT = 0, dtSave = 0;
    if (Set_data(y, &tStart, &tEnd, &deltaT, &dtSave, Options.modelFile.c_str()) < 0) return -1;
    if (P_GaNum == 0) {
        log_sys(kMsgNoSearch);
        return -1;
    }

    // 6.-7. The snapshot, the solution matrix, the search region; constantPlayer is not searched.
    PreserveDefaultQvParam(tStart, tEnd, deltaT, dtSave, y);
    if (AllocSolutionMatrix() != 0) return -1;
    if (ReadRegionFromQV(param) != 0) return -1;
    if (CheckConstantPlayer() != 0) return -1;

    // 8. The GA parameter file, the grid steps, the report file and the summary. The report file
    // is opened only once the configuration is known to be good, so that a start-up error never
    // empties the report of an earlier run.
    if (SetParamsFromFile(param) != 0) return -1;
    SetDelta(param);
    if (OpenReportFile(param) != 0) return -1;
    PrintExecuteParameters(param, stdout);
    if (param->ioParam.outputFile) PrintExecuteParameters(param, param->ioParam.outputFile);
    std::fflush(stdout);
    return 0;
}

void my_final(gaparam *param) {
    if (param->ioParam.outputFile) {
        std::fclose(param->ioParam.outputFile);
        param->ioParam.outputFile = nullptr;
    }
    FreeSolutionMatrix();
    freeParamTag();
    log_sysfinalize();
}
