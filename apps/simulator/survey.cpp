// Parameter survey of the simulator: the cases, their values, how they are spread over the MPI
// processes, and the end of the run (success count and the final result file).
#include <mpi.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "simulator.h"

int surveyCaseCount(const survey *entries, int count) {
    long long total = 1;
    for (int i = 0; i < count; ++i) {
        total *= entries[i].steps;
        if (total > INT_MAX || total < 1) return -1;
    }
    return static_cast<int>(total);
}

CaseRange divideCases(int total, int nprocs, int rank, bool spread) {
    CaseRange r;
    r.total = total;
    if (!spread || total < nprocs) {
        r.first = 0;
        r.last = total;
        r.split = false;
        return r;
    }
    const int q = total / nprocs;
    const int rem = total % nprocs;
    // The rem surplus cases go one each to the highest ranks.
    r.first = rank * q + std::max(0, rank + rem - nprocs);
    r.last = r.first + q + (nprocs - rank <= rem ? 1 : 0);
    r.split = nprocs > 1;
    return r;
}

int surveyDigit(const survey *entries, int entry, int c, bool backAndForth) {
    long long below = 1;   // cases per step of this entry: product of the faster entries' steps
    for (int i = 0; i < entry; ++i) below *= entries[i].steps;
    const int steps = entries[entry].steps;
    const long long raw = c / below;
    const int d = static_cast<int>(raw % steps);
    // Up and down alternately: the direction turns each time the digit wraps round to 0,
    // i.e. after every complete run of this entry's steps.
    if (backAndForth && (raw / steps) % 2 == 1) return steps - 1 - d;
    return d;
}

double surveyValue(const survey &entry, int digit) {
    if (entry.f_isArithmetic) return entry.start_value + digit * entry.change_value;
    return entry.start_value * std::pow(entry.change_value, digit);
}

CaseRange survey_pre(int nprocs, int rank) {
    if (!F_PSurvey) return CaseRange{};   // one case, run by every process
    const int total = surveyCaseCount(P_Survey, P_SurveyNum);
    if (total < 0) {
        log_sys("## Too many parameter survey cases (more than %d).\n", INT_MAX);
        CaseRange none;
        none.total = -1;
        return none;
    }
    std::fprintf(Fp_out, "##### Parameter Survey : %d data sets.\n", total);
    log_sys("\n##### Parameter Survey : %d data sets.\n", total);
    return divideCases(total, nprocs, rank, F_Parallel == 1);
}

void setSurveyValue(int c) {
    std::fprintf(Fp_out, "\n$$ PARAMETER SURVEY No. %d : ", c + 1);
    const bool backAndForth = SolverNo > 10;
    for (int i = 0; i < P_SurveyNum; ++i) {
        const survey &s = P_Survey[i];
        const char *name = Pno2Name(s.p_no);
        if (name == nullptr || s.index < 1 || s.index > qv::kMaxValIndex) {
            log_sys("## Fatal Error!! in setSurveyValue\n");
            fatalExit();
        }
        const double x = surveyValue(s, surveyDigit(P_Survey, i, c, backAndForth));
        ParamB.val[s.p_no][s.index] = x;
        const double shown = std::strcmp(name, "constantPlayer") == 0 ? x / GeneConc : x;
        std::fprintf(Fp_out, "%s[%d] = %10.3E  ", name, s.index, shown);
    }
    std::fputs("\n\n", Fp_out);
}

namespace {

// Closing line of this process's result file. On success the file is complete and closed; with
// no successful case it stays open for the abort line.
int finishResultFile(int success, const std::string &name) {
    if (success) {
        std::fputs("\n$$ END ALL!!\n", Fp_out);
        const bool written = !std::ferror(Fp_out);
        const bool closed = std::fclose(Fp_out) == 0;
        Fp_out = nullptr;
        if (written && closed) return 0;
        log_sys("Cannot write %s!!\n", name.c_str());
        return -1;
    }
    std::fputs("\n$$ END ALL, BUT THERE IS NO SUCCESS CASE!!\n", Fp_out);
    std::fflush(Fp_out);
    return -1;
}

int reportEnd(int result) {
    if (result == 0)
        log_sys("\nEND ALL!!\n\n\n");
    else
        log_sys("\n ## END ALL, BUT THERE IS NO SUCCESS CASE!!\n\n\n");
    return result;
}

}  // namespace

int survey_post(int success, const CaseRange &cases, int nprocs, int rank, const std::string &output,
                double *y, const TimeSpan &ts) {
    if (!F_PSurvey && rank == 0) writeInitData(y, ts);

    // The other ranks judge by their own flag and complete their files before the reduction:
    // rank 0 can only leave the reduction after every rank entered it, so the files it joins
    // afterwards are complete.
    int result = 0;
    if (rank != 0) result = finishResultFile(success, rankFileName(output, rank));

    int sum = 0;
    MPI_Reduce(&success, &sum, 1, MPI_INT, MPI_SUM, 0, MPI_COMM_WORLD);
    if (rank != 0) return reportEnd(result);

    if (finishResultFile(sum, rankFileName(output, 0)) != 0) return reportEnd(-1);
    if (makeFinalFile(nprocs, cases.split, output) != 0) return -1;
    return reportEnd(0);
}
