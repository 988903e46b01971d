// Start-up and clean-up of gasearch: the log, the command line, the model file (on rank 0 read in
// place, on every other rank from a transferred copy that is deleted once read), the model
// snapshot the evaluations start from, the search region, the GA parameter file (rank 0, then sent
// to the others), the base of the random seeds and the summary.
#include <libgen.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "gasearch.h"
#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/galib/ga_mpi.h"
#include "quorvant/galib/ga_param.h"
#include "quorvant/galib/ga_region.h"
#include "quorvant/galib/ga_report.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/searchlib/qv_interface.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/searchlib/mpi_wait.h"
#include "quorvant/searchlib/utl_mpi_ft.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

constexpr int kTagFileName = 0;
// Seed used when the clock cannot give one: the generator's own default.
constexpr unsigned long kFallbackSeed = 5489UL;

constexpr char kMsgNoSearch[] =
    " ## Error: The model file has no search variables (PARAM lines of type S): nothing to fit.\n";
constexpr char kMsgSend[] = " ## Error: MPI_Send(In my_init).\n";
constexpr char kMsgRecv[] = " ## Error: MPI_Recv(In my_init).\n";
constexpr char kMsgUnlink[] = " ## Error: unlink(In my_init).\n";
constexpr char kMsgAgree[] = " ## Error: MPI_Allreduce(In my_init).\n";
constexpr char kMsgSeedBcast[] = " ## Error: MPI_Bcast(In my_init).\n";
constexpr char kMsgSeedFailed[] = " ## Warning. Fail to initialize a random seed.\n";
constexpr char kMsgCheckpointGrain[] =
    " ## Error: CHECKPOINT and -R need one process or PARALLEL;INDIVIDUAL;.\n";
constexpr char kMsgNoRefine[] =
    " ## Error: The GA parameter file has a REFINE line, but the model does not define qv_model_refine.\n";

GaOptions Options;
MPI_Datatype ParamType = MPI_DATATYPE_NULL;

// The transferred copy of the model file of this rank while it exists ("" when there is none).
std::string TransferredCopy;

int removeTransferredCopy() {
    if (TransferredCopy.empty()) return 0;
    const int rc = unlink(TransferredCopy.c_str());
    TransferredCopy.clear();
    if (rc != 0) {
        log_sys(kMsgUnlink);
        return -1;
    }
    return 0;
}

// Rank 0: the model file's name (with its NUL) to every other rank in rank order, then its bytes.
int sendModelFile(const std::string &name, int numProcs) {
    for (int rank = 1; rank < numProcs; ++rank) {
        if (MPI_Send(name.c_str(), static_cast<int>(name.size()) + 1, MPI_CHAR, rank, kTagFileName,
                     MPI_COMM_WORLD) != MPI_SUCCESS) {
            log_sys(kMsgSend);
            return -1;
        }
    }
    return BcastFileSend(name.c_str());
}

// Every other rank: the name from rank 0 (of whatever length: its size is probed first). The local
// copy is "<base name>_<rank>" in the working directory; an empty name gives an empty local name,
// which the transfer refuses after its broadcasts.
int receiveModelName(int rank, std::string *localName) {
    MPI_Status status;
    int count = 0;
    if (PoliteProbe(0, kTagFileName, MPI_COMM_WORLD, &status) != MPI_SUCCESS ||
        MPI_Get_count(&status, MPI_CHAR, &count) != MPI_SUCCESS || count < 0) {
        log_sys(kMsgRecv);
        return -1;
    }
    std::vector<char> name(static_cast<size_t>(count) + 1, '\0');
    if (MPI_Recv(name.data(), count, MPI_CHAR, 0, kTagFileName, MPI_COMM_WORLD, MPI_STATUS_IGNORE) != MPI_SUCCESS) {
        log_sys(kMsgRecv);
        return -1;
    }
    localName->clear();
    if (name[0] != '\0') *localName = std::string(basename(name.data())) + "_" + std::to_string(rank);
    return 0;
}

// Every other rank: the model file's bytes, written under the local name.
int receiveModelCopy(const std::string &localName) {
    if (BcastFileRecv(localName.c_str()) != 0) return -1;
    TransferredCopy = localName;
    return 0;
}

// Reads the model file and everything that follows from it on this rank alone. A transferred
// copy is deleted as soon as it has been read, whether the reading succeeded or not.
int readModel(gaparam *param, const std::string &path) {
    double y[qv::kStateSize] = {};
    double tStart = 0, tEnd = 0, deltaT = 0, dtSave = 0;
    P_GaMax = search_variable_limit(qv::kMaxGaSearch);
    const int read = Set_data(y, &tStart, &tEnd, &deltaT, &dtSave, path.c_str());
    if (removeTransferredCopy() != 0 || read < 0) return -1;
    if (P_GaNum == 0) {
        log_sys(kMsgNoSearch);
        return -1;
    }
    PreserveDefaultQvParam(tStart, tEnd, deltaT, dtSave, y);
    if (AllocSolutionMatrix() != 0) return -1;
    if (ReadRegionFromQV(param) != 0) return -1;
    return CheckConstantPlayer();
}

// Several processes: every rank reports whether its model start-up went well and all learn the
// worst. A rank never aborts the job while another may still hold its transferred copy.
int agree(int ok) {
    std::fflush(stdout);   // this rank's message is out before any rank can abort the job
    int all = 0;
    if (MPI_Allreduce(&ok, &all, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD) != MPI_SUCCESS) {
        log_sys(kMsgAgree);
        return -1;
    }
    return all ? 0 : -1;
}

// The base of the random seeds of a parallel run, chosen by rank 0 (-S, else its clock) and
// broadcast, so that rank r seeds base + r on every machine, whatever its clock says.
int shareSeedBase(int rank) {
    unsigned long base = Options.seed;
    if (rank == 0 && !Options.seedGiven) {
        const std::time_t now = std::time(nullptr);
        if (now == static_cast<std::time_t>(-1)) log_sys(kMsgSeedFailed);
        base = now == static_cast<std::time_t>(-1) ? kFallbackSeed : static_cast<unsigned long>(now);
    }
    if (MPI_Bcast(&base, 1, MPI_UNSIGNED_LONG, 0, MPI_COMM_WORLD) != MPI_SUCCESS) {
        log_sys(kMsgSeedBcast);
        return -1;
    }
    SetFixedSeed(base);
    return 0;
}

int initSteps(gaparam *param, int argc, char **argv) {
    // 1. The system log.
    if (log_sysinit(argc, argv) != 0) {
        std::fputs("Cannot open sysLog file!!", stdout);
        return -1;
    }
    // 2. The record, the command line record, this process, the configuration datatype.
    InitializeParam(param);
    SetCommandLineInfo(&param->comLine, argc, argv);
    if (GetMpiProcInfo(&param->mpiInfo) != 0) return -1;
    if (TypeParamStruct(param, &ParamType) != 0) return -1;
    const int rank = param->mpiInfo.myProcRank;
    const int numProcs = param->mpiInfo.numProcs;

    // 3.-4. Rank 0: the options, and the model file to the other ranks; they receive a copy.
    Options = GaOptions{};
    std::string modelPath;
    int ok = 1;
    if (rank == 0) {
        if (adm_argc_argv(param, &Options, argc, argv) != 0) return -1;
        if (Options.seedGiven)
            SetFixedSeed(Options.seed);
        else
            ClearFixedSeed();
        if (numProcs > 1 && sendModelFile(Options.modelFile, numProcs) != 0) return -1;
        modelPath = Options.modelFile;
    } else {
        // A failure before the broadcasts ends the job at once: nothing has been written yet.
        if (receiveModelName(rank, &modelPath) != 0) return -1;
        ok = receiveModelCopy(modelPath) == 0;
    }

    // 5.-7. Every rank: the model file, the snapshot, the solution matrix, the search region;
    // constantPlayer is not searched.
    if (ok) ok = readModel(param, modelPath) == 0;
    if (numProcs > 1) {
        if (agree(ok) != 0) return -1;
    } else if (!ok) {
        return -1;
    }

    if (rank == 0) {
        // 8. The GA parameter file, the grid steps, the configuration to the others, the report
        // file and the summary. The report file is opened only once the configuration is known to
        // be good, so that a start-up error never empties the report of an earlier run.
        if (SetParamsFromFile(param) != 0) return -1;
        if (param->refineParam.interval > 0 && !QvRefineAvailable()) {
            log_sys(kMsgNoRefine);
            return kNoRefinement;
        }
        // The islands of the other ranks cannot be written down: a checkpoint needs rank 0 to hold
        // the whole state.
        const checkpointparam &ck = param->checkpointParam;
        if (numProcs > 1 && param->parallelParam.grain != ParallelGrain::Individual &&
            (ck.fileName[0] != '\0' || ck.resumeFileName[0] != '\0')) {
            log_sys(kMsgCheckpointGrain);
            return -1;
        }
        SetDelta(param);
        if (numProcs > 1 && (DistributeParams(param, ParamType) != 0 || ShareOptionalParams(param) != 0 ||
                             shareSeedBase(rank) != 0))
            return -1;
        if (OpenReportFile(param) != 0) return -1;
        PrintExecuteParameters(param, stdout);
        if (param->ioParam.outputFile) PrintExecuteParameters(param, param->ioParam.outputFile);
        std::fflush(stdout);
    } else {
        // 9. The configuration from rank 0, the grid steps, the seed base.
        if (AcceptParams(param, ParamType) != 0 || ShareOptionalParams(param) != 0) return -1;
        SetDelta(param);
        if (shareSeedBase(rank) != 0) return -1;
    }
    return 0;
}

}  // namespace

int my_init(gaparam *param, int argc, char **argv) {
    const int result = initSteps(param, argc, argv);
    // A failed start never leaves the transferred copy behind.
    if (result != 0) removeTransferredCopy();
    return result;
}

void my_final(gaparam *param) {
    if (param->ioParam.outputFile) {
        std::fclose(param->ioParam.outputFile);
        param->ioParam.outputFile = nullptr;
    }
    if (ParamType != MPI_DATATYPE_NULL) MPI_Type_free(&ParamType);
    removeTransferredCopy();
    FreeSolutionMatrix();
    freeParamTag();
    log_sysfinalize();
}
