// rsearch: estimates model parameters by pure random search.
//
//   rsearch -I <model file> -O <output base name> -n <searches> [-j <searches per message>] [-S <seed>]
//
// On one process it performs every search and writes <base>_0 and <base>_list_0. Under mpiexec on
// several processes rank 0 sends the model file to the others, seeds them and deals out the
// searches; every other rank k performs its share and writes <base>_k and <base>_list_k.
#include <mpi.h>
#include <unistd.h>

#include <cstdio>

#include "quorvant/common/logUtil.h"
#include "quorvant/common/limits.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/searchlib/utl_mpi_ft.h"
#include "rsearch.h"

namespace {

constexpr char kMsgSysLog[] = "Cannot open sysLog file!!";
constexpr char kMsgCpu[] = "##### CPU %d/%d (%s)\n";
constexpr char kMsgFinish[] = "Finish Successfully.\n";
constexpr char kMsgExitError[] = "Exit Error!!\n";
constexpr int kFailureCode = -1;   // MPI_Abort code: the job ends with status 255

RsOptions Options;
RsModel Model;
bool filesOpen = false;

// The name under which a rank other than 0 keeps its copy of the model file.
std::string receivedName(const std::string &name, int rank) { return name + "_" + std::to_string(rank); }

}  // namespace

// Log, options, model file distribution and, on a searching process, the two result files.
int my_init(int argc, char **argv, int rank, int size, RsOptions *opts, std::string *modelFile) {
    if (log_sysinit(argc, argv) != 0) {
        std::fputs(kMsgSysLog, stdout);
        return -1;
    }
    if (ParseRsearchOptions(argc, argv, size, opts) != 0) return -1;

    // Rank 0 reads the file named with -I and sends it to every other rank, which writes it under
    // its own name: the ranks need not share a file system.
    if (rank == 0) {
        *modelFile = opts->modelFile;
        if (SendFileAllSlave(modelFile->c_str()) != 0) return -1;
    } else {
        *modelFile = receivedName(opts->modelFile, rank);
        if (RecvFile(modelFile->c_str()) != 0) return -1;
    }
    // The master of a run on several processes writes no result files.
    if (rank == 0 && size > 1) return 0;
    if (OpenResultFiles(opts->outBase, rank) != 0) {
        if (rank != 0) unlink(modelFile->c_str());   // no received copy outlives a failed start
        return -1;
    }
    filesOpen = true;
    return 0;
}

void my_final() {
    ReleaseSearches();
    freeParamTag();
    CloseResultFiles();
    std::fflush(nullptr);
    log_sysfinalize();
    log_dbgfinalize();
}

int main(int argc, char **argv) {
    MPI_Init(&argc, &argv);
    int size = 1;
    int rank = 0;
    MPI_Comm_size(MPI_COMM_WORLD, &size);
    MPI_Comm_rank(MPI_COMM_WORLD, &rank);
    char host[MPI_MAX_PROCESSOR_NAME] = {};
    int hostLen = 0;
    MPI_Get_processor_name(host, &hostLen);
    // Errors come back as codes, so that every failure is reported with its own message before
    // the job is ended.
    MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);

    std::string modelFile;
    int result = my_init(argc, argv, rank, size, &Options, &modelFile);
    if (result == 0) {
        const bool received = rank != 0;
        P_GaMax = search_variable_limit(qv::kMaxGaSearch);
        result = Set_data(Model.y, &Model.tStart, &Model.tEnd, &Model.deltaT, &Model.dtSave, modelFile.c_str()) < 0
                     ? -1
                     : 0;
        // A received copy has served its purpose once read, whether or not it could be read.
        if (received) unlink(modelFile.c_str());
        if (result == 0) result = PrepareSearches(Model);
        if (result == 0) result = distribute_slave_seed(rank, size, Options);
        if (result == 0) {
            if (filesOpen)
                writeInputData(Model.y, Model.tStart, Model.tEnd, Model.deltaT, Model.dtSave);
            log_sys(kMsgCpu, rank + 1, size, host);
            result = size == 1 ? do_search_single(Options.searches)
                               : do_search_mpi(Options.searches, Options.perMessage, rank, size);
            result = result == -1 ? -1 : 0;
        }
    }
    if (rank == 0) log_sys(result == 0 ? kMsgFinish : kMsgExitError);
    my_final();
    if (result == -1) MPI_Abort(MPI_COMM_WORLD, kFailureCode);
    MPI_Finalize();
    return result;
}
