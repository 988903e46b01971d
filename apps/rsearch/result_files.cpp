// The two files every searching process writes: the results file (run settings, then one block
// per search with its fitness, its drawn values and its time course) and the list file (one
// comma-separated line per search, easy to collect from all processes and sort by fitness).
#include <algorithm>
#include <cstdlib>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "rsearch.h"

FILE *fpOutList = nullptr;

namespace {

constexpr char kMsgOpen[] = "my_init: outputfile[%s] open err!!\n";
constexpr char kMsgUnknownParam[] = "## Unknown Param No. : %3d\n";
// Exit status of a header that names an event parameter without a name.
constexpr int kStatusUnknownParam = 255;

const char *orEmpty(const char *s) { return s ? s : ""; }

// The name of search variable k as the column headers show it.
const char *searchName(int k) { return orEmpty(Pno2Name(P_Ga[k].p_no)); }

void settingInt(const char *label, int value) { std::fprintf(Fp_out, "%-20s:%10d\n", label, value); }
void settingE(const char *label, double value) { std::fprintf(Fp_out, "%-20s:%10.3E\n", label, value); }
void settingF(const char *label, double value) { std::fprintf(Fp_out, "%-20s:%10.5f\n", label, value); }

FILE *openFile(const std::string &name) {
    FILE *fp = std::fopen(name.c_str(), "w");
    if (fp == nullptr) log_sys(kMsgOpen, name.c_str());
    return fp;
}

}  // namespace

int OpenResultFiles(const std::string &base, int rank) {
    Fp_out = openFile(base + "_" + std::to_string(rank));
    if (Fp_out == nullptr) return -1;
    fpOutList = openFile(base + "_list_" + std::to_string(rank));
    return fpOutList == nullptr ? -1 : 0;
}

void CloseResultFiles() {
    if (Fp_out) std::fclose(Fp_out);
    if (fpOutList) std::fclose(fpOutList);
    Fp_out = nullptr;
    fpOutList = nullptr;
}

void writeInputData(const double *y, double tStart, double tEnd, double deltaT, double dtSave) {
    std::fprintf(Fp_out, "##### %s #####\n\n", log_getCurrentTimeStr());
    settingInt("Solver No.", SolverNo);
    settingInt("Param Survey", F_PSurvey);
    if (Param.n_varNR > 0) {
        settingInt("NR_TRIAL", Nr_trial);
        settingE("NR_TOL_F", Nr_tol_f);
        settingE("NR_TOL_X", Nr_tol_x);
        settingF("NR_RATIO", Nr_ratio);
        settingF("NR_SENS_CW", Nr_sens_cw);
    }
    const bool timeCourse = SolverNo <= 9;
    if (timeCourse) {
        settingE("Start Time", tStart);
        settingE("End Time", tEnd);
        settingE("(initial)Time Step", deltaT);
        settingE("Monitoring interval", dtSave);
        if (SolverNo == 2) settingE("RK_EPS", Rk_eps);
        if (SolverNo == 3) {
            settingE("NDF_RTOL", Ndf_rtol);
            settingE("NDF_ATOL", Ndf_atol);
        }
    }
    settingE("G-Value", GeneConc);

    std::fputs("\n####### Starting Y Values ######\n", Fp_out);
    for (int i = 1; i <= Param.n_var; ++i)
        std::fprintf(Fp_out, "y[%2d]=%e\t#%s\n", i, y[i] / GeneConc, getVarTag(i));

    std::fputs("\n####### Parameters ######\n", Fp_out);
    for (int p = 1; p <= getParamNum(); ++p) {
        const int values = std::min(ParamT.n_val[p], qv::kMaxValIndex);
        for (int j = 1; j <= values; ++j)
            std::fprintf(Fp_out, "%s[%2d]    =%e\t#%s\n", orEmpty(Pno2Name(p)), j, ParamT.val[p][j],
                         orEmpty(getParamTag(p, j)));
    }

    if (timeCourse && EventsNum > 0) {
        std::fputs("\n####### Time Events ######\n", Fp_out);
        for (int e = 0; e < EventsNum; ++e) {
            const event &ev = Events[e];
            const char *name = Pno2Name(ev.p_no);
            if (name == nullptr) {
                log_sys(kMsgUnknownParam, ev.p_no);
                std::fflush(nullptr);
                std::exit(kStatusUnknownParam);
            }
            if (isPno("time_start", ev.p_no) || isPno("time_end", ev.p_no)) continue;
            std::fprintf(Fp_out, "at %10.3E:%10s[%3d] => %10.3E\n", ev.time, name, ev.index, ev.value);
        }
    }
    std::fputs("\n\n$$ Results\n\n", Fp_out);

    std::fputs("No, fitness", fpOutList);
    for (int k = 0; k < P_GaNum; ++k) std::fprintf(fpOutList, ", %s[%d]", searchName(k), P_Ga[k].index);
    std::fputs("\n", fpOutList);
}

void printResultFile(const double *v, double fitness, int first, int second, int solverResult) {
    std::fprintf(Fp_out, "\n\n$$ Random Search No%d-%d\n", first, second);
    std::fputs("fitness", Fp_out);
    for (int k = 0; k < P_GaNum; ++k) std::fprintf(Fp_out, ", %s[%d]", searchName(k), P_Ga[k].index);
    std::fputs("\n", Fp_out);
    std::fprintf(Fp_out, "%e", fitness);
    for (int k = 0; k < P_GaNum; ++k) std::fprintf(Fp_out, ", %e", v[k]);
    std::fputs("\n", Fp_out);

    if (StepNum > 0) {
        const int n = Param.n_var;
        std::fputs("Time", Fp_out);
        for (int i = 1; i <= n; ++i) std::fprintf(Fp_out, ", y[%d]", i);
        std::fputs("\n", Fp_out);
        for (int row = 0; row < StepNum; ++row) {
            const double *r = SolutionMatrix[row];
            for (int c = 0; c <= n; ++c) std::fprintf(Fp_out, c == 0 ? "%10.3E" : ", %10.3E", r[c]);
            std::fputs("\n", Fp_out);
        }
    }
    if (solverResult == -1) std::fputs("Solution not found.\n", Fp_out);

    std::fprintf(fpOutList, "No%d-%d, %e", first, second, fitness);
    for (int k = 0; k < P_GaNum; ++k) std::fprintf(fpOutList, ", %e", v[k]);
    std::fputs("\n", fpOutList);
}
