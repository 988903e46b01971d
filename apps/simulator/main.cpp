// simulator: runs a model as its model input file describes it: one simulation, or a parameter
// survey with the cases spread over the MPI processes. Each process writes "<output>_<rank>";
// rank 0 makes the result file <output> from them and, for a single run, the restart file
// "initVal.txt".
//
//   mpiexec -n <P> simulator -I<model file> -O<result file>
#include <mpi.h>

#include <algorithm>
#include <cstdio>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/quorvant_baselib/dosolver.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/solverlib/s_std_solver.h"
#include "quorvant/model.h"
#include "simulator.h"

namespace {

// Program state for the whole run.
int Rank = 0;
int Size = 1;
char ProcName[MPI_MAX_PROCESSOR_NAME + 1];
SimOptions Options;
TimeSpan Times;
parameter Snapshot;   // Param right after loading (start values applied): start of every time course
double Y[qv::kStateSize];
double YInit[qv::kStateSize];
double YPre[qv::kStateSize];

// Optional solver units register themselves here before the run.
void registerSolverUnits() {
    Qv_doSolver12 = doSolver12;   // S-system analysis (SOLVER 12)
}

int my_init(int argc, char **argv) {
    if (log_sysinit(argc, argv) != 0) {
        std::puts("Cannot open sysLog file!!");
        return -1;
    }
    if (parseOptions(argc, argv, Options) != 0) return -1;
    // The per-rank result file is opened (and an older one replaced) only once the options are
    // known to be right.
    const std::string name = rankFileName(Options.output, Rank);
    Fp_out = std::fopen(name.c_str(), "w");
    if (Fp_out == nullptr) {
        log_sys("initialize: outputfile[%s] open err!!\n", name.c_str());
        return -1;
    }
    return 0;
}

void my_final() {
    freeParamTag();
    if (Fp_out) {
        std::fclose(Fp_out);
        Fp_out = nullptr;
    }
    log_dbgfinalize();
    log_sysfinalize();
}

// Ends a failed run. Before the final reduction the other processes may still be running (or be
// waiting for this one), so with several processes the whole job is aborted.
int abortRun(bool othersMayWait) {
    if (Fp_out) std::fputs("\n$$ ABORT!!\n", Fp_out);
    log_sys("\nABORT!!\n");
    my_final();
    if (othersMayWait && Size > 1) MPI_Abort(MPI_COMM_WORLD, -1);
    MPI_Finalize();
    return -1;
}

int loadModel() {
    P_GaMax = search_variable_limit(qv::kMaxGaSimulator);
    if (Set_data(Y, &Times.t_start, &Times.t_end, &Times.dt, &Times.dm, Options.input.c_str()) != 0)
        return -1;
    if (F_GA) {
        // The simulator has no search: it runs the model at the values of the PARAM lines.
        log_sys("Notice: the search ranges (PARAM type S) are ignored; simulating with the file's values.\n");
        F_GA = 0;
    }
    return 0;
}

// After a successful case: the messages, and for a single run the eigenvalue report. A case
// whose rows could not all be written to the result file is no success: false, with a message.
bool caseSucceeded() {
    // The sensitivity report leaves its last perturbed state in Y; the steady state is in YPre.
    if (SolverNo == 11) std::copy(YPre + 1, YPre + Param.n_var + 1, Y + 1);
    log_sys("Elapse time : %12.6f\n", log_getElapseTime());
    std::fputs("\n$$ Finish Successfully!!\n", Fp_out);
    if (std::fflush(Fp_out) != 0 || std::ferror(Fp_out)) {
        log_sys("Cannot write %s!!\n", rankFileName(Options.output, Rank).c_str());
        return false;
    }
    log_sys("Finish Successfully!!\n");
    if (!F_PSurvey && Rank == 0 && (Param.n_varNR == 0 || Param.n_varNR == Param.n_var))
        calc_eigenvalues(Y, Fp_out, EigenForm::ResultFile);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    MPI_Init(&argc, &argv);
    MPI_Comm_size(MPI_COMM_WORLD, &Size);
    MPI_Comm_rank(MPI_COMM_WORLD, &Rank);
    int nameLen = 0;
    MPI_Get_processor_name(ProcName, &nameLen);
    registerSolverUnits();

    // 1. Start-up and load.
    if (my_init(argc, argv) != 0) return abortRun(true);
    if (loadModel() != 0) return abortRun(true);
    if (Rank == 0) writeInputData(Y, Times);

    Snapshot = Param;
    // Survey cases start from the target values as read (the start values of PARAM field 4 are
    // where a run begins, not values to run at).
    ParamB = ParamT;
    std::copy(Y, Y + qv::kStateSize, YInit);
    std::copy(Y, Y + qv::kStateSize, YPre);
    std::fprintf(Fp_out, "##### CPU %d/%d (%s)\n", Rank + 1, Size, ProcName);

    // 2. This process's cases.
    const CaseRange cases = survey_pre(Size, Rank);
    if (cases.total < 0) return abortRun(true);
    int success = 0;
    for (int c = cases.first; c < cases.last; ++c) {
        if (F_PSurvey) {
            setSurveyValue(c);
            log_sys("\nP_Survey No.%d\n", c + 1);
            // The case's values are the run's working and target values.
            Param = ParamB;
            ParamT = ParamB;
        }
        if (DoSolver(Snapshot, Times.dt, Times.t_start, Times.t_end, Times.dm, YInit, Y, YPre) == 0) {
            success = 1;
            if (!caseSucceeded()) return abortRun(true);
        } else if (F_PSurvey) {
            std::fputs("\n$$ Failed!!\n", Fp_out);
            log_sys("Failed!!\n");
        } else {
            return abortRun(true);
        }
    }

    // 3. Restart file, success count, final result file.
    if (survey_post(success, cases, Size, Rank, Options.output, Y, Times) != 0) return abortRun(false);
    my_final();
    MPI_Finalize();
    return 0;
}
