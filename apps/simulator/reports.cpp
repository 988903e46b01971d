// Reports of the simulator: the echo of the input at the head of the result file, the restart
// file "initVal.txt" and the eigenvalues of the model Jacobian.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/nrlib/nr_eigen.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/row_output.h"
#include "quorvant/model.h"
#include "simulator.h"

namespace {

constexpr const char *kRestartFile = "initVal.txt";

bool hasAlgebraic() { return ParamT.n_varNR > 0; }
bool timeCourse() { return SolverNo <= 9; }
// The eigenvalues are reported when the Jacobian of the whole model is meaningful: no algebraic
// variables, or only algebraic ones (the steady-state solvers).
bool eigenReported() { return !F_PSurvey && (Param.n_varNR == 0 || Param.n_varNR == Param.n_var); }

const char *tagOrEmpty(const char *tag) { return tag ? tag : ""; }

// Number of values of parameter p that exist in the record (the count is a count of PARAM lines).
int valueCount(int p) { return std::min(ParamT.n_val[p], qv::kMaxValIndex); }

bool isMarkerEvent(int p_no) { return isPno("time_start", p_no) || isPno("time_end", p_no); }

}  // namespace

void writeEigenvalues(FILE *fp, EigenForm form, const double *wr, const double *wi, int n, int status) {
    if (form == EigenForm::ResultFile) {
        std::fputs("\n$$ Eigenvalues", fp);
        std::fputs(SolverNo > 9 ? "\n" : " (calc. with last y values)\n", fp);
        std::fputs("\n  No.,        Real,   Imaginary\n", fp);
    } else {
        std::fputs("\n##### Eigenvalues #####\n", fp);
        std::fputs("\n  No.        Real     Imaginary\n", fp);
    }
    const char *row = form == EigenForm::ResultFile ? "%5d,%12.3e,%12.3e\n" : "%5d %12.3e %12.3e\n";
    int found = 0;
    for (int i = 1; i <= n; ++i) {
        if (std::isnan(wr[i]) || std::isnan(wi[i])) continue;   // not found by the QR iteration
        std::fprintf(fp, row, i, wr[i], wi[i]);
        ++found;
    }
    if (status != 0)
        log_sys("## Eigenvalue iteration did not converge: %d of %d eigenvalues found.\n", found, n);
}

void calc_eigenvalues(double *y, FILE *fp, EigenForm form) {
    const int n = Param.n_var;
    std::vector<double> storage;
    std::vector<double *> rows;
    std::vector<double> wr;
    std::vector<double> wi;
    try {
        // Room for the largest model: model code written for more variables than N_VAR fills
        // its own size, and must not write past the matrix.
        storage.assign(static_cast<size_t>(qv::kStateSize) * qv::kStateSize, 0.0);
        rows.assign(static_cast<size_t>(qv::kStateSize), nullptr);
        wr.assign(static_cast<size_t>(qv::kStateSize), 0.0);
        wi.assign(static_cast<size_t>(qv::kStateSize), 0.0);
    } catch (const std::bad_alloc &) {
        log_sys("## Error in calc_eigenvalues.\n");
        return;
    }
    for (int i = 0; i < qv::kStateSize; ++i) rows[i] = storage.data() + static_cast<size_t>(i) * qv::kStateSize;
    usr_fjac(rows.data(), y, GeneConc, &Param);
    const int status = GetEigenvalues(rows.data(), wr.data(), wi.data(), n);
    writeEigenvalues(fp, form, wr.data(), wi.data(), n, status);
}

namespace {

// Settings are "label:value" lines; labels are left-aligned in the result file and right-aligned
// in the restart file.
enum class Align { Left, Right };

void label(FILE *fp, Align a, const char *text) { std::fprintf(fp, a == Align::Left ? "%-20s:" : "%20s:", text); }
void setting(FILE *fp, Align a, const char *text, int value) {
    label(fp, a, text);
    std::fprintf(fp, "%10d\n", value);
}
void settingE(FILE *fp, Align a, const char *text, double value) {
    label(fp, a, text);
    std::fprintf(fp, "%10.3E\n", value);
}
void settingF(FILE *fp, Align a, const char *text, double value) {
    label(fp, a, text);
    std::fprintf(fp, "%10.5f\n", value);
}

void newtonSettings(FILE *fp, Align a) {
    setting(fp, a, "NR_TRIAL", Nr_trial);
    settingE(fp, a, "NR_TOL_F", Nr_tol_f);
    settingE(fp, a, "NR_TOL_X", Nr_tol_x);
    settingF(fp, a, "NR_RATIO", Nr_ratio);
}

void timeSettings(FILE *fp, Align a, const TimeSpan &ts) {
    settingE(fp, a, "Start Time", ts.t_start);
    settingE(fp, a, "End Time", ts.t_end);
    settingE(fp, a, "(initial)Time Step", ts.dt);
    settingE(fp, a, "Monitoring interval", ts.dm);
    if (SolverNo == 2) settingE(fp, a, "RK_EPS", Rk_eps);
}

// Every value of every user parameter, as targets (ParamT), with its tag; rowFormat takes the
// name, the index, the value and the tag.
void parameterValues(FILE *fp, const char *rowFormat) {
    std::fputs("\n####### Parameters ######\n", fp);
    for (int p = 1; p <= getParamNum(); ++p)
        for (int k = 1; k <= valueCount(p); ++k)
            std::fprintf(fp, rowFormat, Pno2Name(p), k, ParamT.val[p][k], tagOrEmpty(getParamTag(p, k)));
}

}  // namespace

void writeInputData(const double *y, const TimeSpan &ts) {
    FILE *fp = Fp_out;
    const Align a = Align::Left;
    std::fprintf(fp, "##### %s #####\n\n", log_getCurrentTimeStr());
    setting(fp, a, "Solver No.", SolverNo);
    setting(fp, a, "Param Survey", F_PSurvey);
    if (hasAlgebraic() && SolverNo != 12) {
        newtonSettings(fp, a);
        settingF(fp, a, "NR_SENS_CW", Nr_sens_cw);
    }
    if (timeCourse()) {
        timeSettings(fp, a, ts);
        if (SolverNo == 3) {
            settingE(fp, a, "NDF_RTOL", Ndf_rtol);
            settingE(fp, a, "NDF_ATOL", Ndf_atol);
        }
    }
    settingE(fp, a, "G-Value", GeneConc);

    if (SolverNo != 12) {
        std::fputs("\n####### Starting Y Values ######\n", fp);
        for (int i = 1; i <= ParamT.n_var; ++i)
            std::fprintf(fp, "y[%2d]=%12.4e\t#%s\n", i, y[i] / GeneConc, getVarTag(i));
    }

    parameterValues(fp, "%s[%2d]    =%12.4e\t#%s\n");

    if (timeCourse() && EventsNum > 0) {
        std::fputs("\n####### Time Events ######\n", fp);
        for (int e = 0; e < EventsNum; ++e) {
            const event &ev = Events[e];
            const char *name = Pno2Name(ev.p_no);
            if (name == nullptr) {
                log_sys("## Unknown Param No. : %3d\n", ev.p_no);
                fatalExit();
            }
            if (isMarkerEvent(ev.p_no)) continue;
            std::fprintf(fp, "at %10.3E:%10s[%3d] => %10.3E\n", ev.time, name, ev.index, ev.value);
        }
    }
    std::fputs("\n\n$$ Results\n\n", fp);
}

void writeInitData(double *y, const TimeSpan &ts) {
    FILE *fp = std::fopen(kRestartFile, "w");
    if (fp == nullptr) {
        log_sys("Cannot open initial-data file!!\n");
        fatalExit();
    }
    const Align a = Align::Right;
    std::fprintf(fp, "##### %s #####\n\n", log_getCurrentTimeStr());
    setting(fp, a, "Solver No.", SolverNo);
    if (hasAlgebraic()) newtonSettings(fp, a);
    if (timeCourse()) timeSettings(fp, a, ts);
    settingE(fp, a, "G-Value", GeneConc);

    parameterValues(fp, "%s[%2d]    =%12.4e # %s\n");

    if (eigenReported()) calc_eigenvalues(y, fp, EigenForm::RestartFile);

    std::fputs("\n####### Last Y Values ######\n", fp);
    for (int i = 1; i <= Param.n_var; ++i)
        std::fprintf(fp, "Y_START\t;\t%2d;\t%12.4e; %s\t#\n", i, y[i] / GeneConc, getVarTag(i));
    // A restart file that could not be written is lost: as fatal as one that cannot be created.
    const bool written = !std::ferror(fp);
    if (std::fclose(fp) != 0 || !written) {
        log_sys("Cannot write initial-data file!!\n");
        fatalExit();
    }
}
