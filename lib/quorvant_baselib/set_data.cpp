// Loading the model input file: two passes over the file, the checks of the run settings and of
// the time span, the parameter copies and the sorted time events.
//
// The first pass reads the run settings and the parameter names, so that the second pass can
// resolve every name and check every variable index against N_VAR and N_ALGEBR.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "quorvant/common/file_owner.h"
#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/quorvant_baselib/input_line.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/quorvant_baselib/set_data_lines.h"

namespace {

// Limits of the run settings.
constexpr double kMinPositive = 1e-30;  // tolerances, steps and Y_DEFAULT must reach this
constexpr double kMaxNrRatio = 10.0;    // one continuation step changes a parameter by at most 10x
constexpr int kMaxSolverNo = 20;
constexpr int kLastTimeCourseSolver = 9;   // SOLVER <= 9 integrates over time
constexpr int kFirstSteadyStateSolver = 11;  // SOLVER > 10 solves for a steady state
constexpr int kClosingEvents = 2;          // time_start and time_end

constexpr const char *kEventNames[] = {"y_force", "y_add", "time_start", "time_end"};

// Messages of the reader.
constexpr char kMsgCannotOpen[] = "Cannot open %s\n";
constexpr char kMsgCannotRead[] = "Cannot read %s\n";
constexpr char kMsgParamError[] = "## Param error!!\n";
constexpr char kMsgTooManyNames[] = "ERROR: Too Many Param Names[%s] > [%d]\n";
constexpr char kMsgReadClose[] = "## Error!!  in readInputData.\n";
constexpr char kMsgYIndex[] = "## Data error!! Iinappropriate index in Y_START.\n";
constexpr char kMsgYDuplicate[] = "## Data error!! Duplicate Y_START. Index = %d\n";
constexpr char kMsgYTag[] = "## Data error!! Tag Index = %d\n";
constexpr char kMsgYFewer1[] = "This case have %3d variables. Bat initial data has %3d.\n";
constexpr char kMsgYFewer2[] = "fill with default value : %10.3E\n";
constexpr char kMsgYTooMany[] = "## Data error!! too many Y_START.\n";
constexpr char kMsgControlClose[] = "## Error!!  in checkControlData.\n";
constexpr char kMsgStartNotZero[] = "Start time is not 0.\n";
constexpr char kMsgTimeMissing[] = "## Data error!! Missing%s for a time-course solver.\n";
constexpr char kMsgTEnd[] = "## Data error!! in T_START or T_END\n";
constexpr char kMsgDeltaT[] = "## Data error!! in DELTA_T\n";
constexpr char kMsgDeltaM[] = "## Data error!! in DELTA_M\n";
constexpr char kMsgNAlgebr[] = "## Data error!! in N_ALGEBR\n";
constexpr char kMsgInputClose[] = "## Error!!  in checkInputData.\n";
constexpr char kMsgTooManyEvents[] = "## Too many time events!! Max:%3d\n";
constexpr char kMsgSetDataClose[] = "## Error!!  in Set_data.\n";

enum class Key {
    Solver, PSurvey, Parallel, NumericalJac, NdfPositive, NrTrial, NrTolF, NrTolX, RkEps, NrRatio, NrSensCw,
    YDefault, NVar, NAlgebr, GValue, ParamName,                  // first pass
    TStart, TEnd, DeltaT, DeltaM, TEvent, NdfRtol, NdfAtol,     // second pass, time course only
    Param, YStart,                                              // second pass, all solvers
    Unknown,
};

struct Keyword {
    const char *word;
    Key key;
};

constexpr Keyword kKeywords[] = {
    {"SOLVER", Key::Solver},         {"P_SURVEY", Key::PSurvey},
    {"PARALLEL", Key::Parallel},     {"NUMERICAL_JAC", Key::NumericalJac},
    {"NR_TRIAL", Key::NrTrial},      {"NR_TOL_F", Key::NrTolF},
    {"NR_TOL_X", Key::NrTolX},       {"RK_EPS", Key::RkEps},
    {"NR_RATIO", Key::NrRatio},      {"NR_SENS_CW", Key::NrSensCw},
    {"Y_DEFAULT", Key::YDefault},    {"N_VAR", Key::NVar},
    {"N_ALGEBR", Key::NAlgebr},      {"G_VALUE", Key::GValue},
    {"PARAM_NAME", Key::ParamName},  {"T_START", Key::TStart},
    {"T_END", Key::TEnd},            {"DELTA_T", Key::DeltaT},
    {"DELTA_M", Key::DeltaM},        {"T_EVENT", Key::TEvent},
    {"NDF_RTOL", Key::NdfRtol},      {"NDF_ATOL", Key::NdfAtol},
    {"NDF_POSITIVE", Key::NdfPositive},
    {"PARAM", Key::Param},           {"Y_START", Key::YStart},
};

Key keyOf(const char *word) {
    for (const Keyword &k : kKeywords) {
        if (std::strcmp(k.word, word) == 0) return k.key;
    }
    return Key::Unknown;
}

// The four time values of a time-course run have no default: remember which were given.
enum TimeKey { kTStart, kTEnd, kDeltaT, kDeltaM, kTimeKeys };
constexpr const char *kTimeWords[kTimeKeys] = {"T_START", "T_END", "DELTA_T", "DELTA_M"};
bool TimeGiven[kTimeKeys] = {};
static_assert(static_cast<int>(Key::TEnd) - static_cast<int>(Key::TStart) == kTEnd &&
                  static_cast<int>(Key::DeltaM) - static_cast<int>(Key::TStart) == kDeltaM,
              "the time keywords and their slots must be in the same order");

using qv::File;

using Fields = char[11][512];

// Initial values of the variables from the Y_START lines; index 0 unused.
struct StartState {
    double value[qv::kStateSize] = {};
    bool given[qv::kStateSize] = {};
    int count = 0;
};

// One first-pass line. Returns 0, or -1 after its message (PARAM_NAME only).
int applyFirstPass(Key key, Fields fields) {
    const char *f1 = fields[1];
    switch (key) {
        case Key::Solver: SolverNo = readIntField(f1); break;
        case Key::PSurvey: F_PSurvey = readIntField(f1); break;
        case Key::Parallel: F_Parallel = readIntField(f1); break;
        case Key::NumericalJac: F_Numerical_Jac = readIntField(f1); break;
        case Key::NdfPositive: F_Ndf_Positive = readIntField(f1); break;
        case Key::NrTrial: Nr_trial = readIntField(f1); break;
        case Key::NrTolF: Nr_tol_f = readRealField(f1); break;
        case Key::NrTolX: Nr_tol_x = readRealField(f1); break;
        case Key::RkEps: Rk_eps = readRealField(f1); break;
        case Key::NrRatio: Nr_ratio = readRealField(f1); break;
        case Key::NrSensCw: Nr_sens_cw = readRealField(f1); break;
        case Key::YDefault: Y_default = readRealField(f1); break;
        case Key::NVar: ParamT.n_var = readIntField(f1); break;
        case Key::NAlgebr: ParamT.n_varNR = readIntField(f1); break;
        case Key::GValue: GeneConc = readRealField(f1); break;
        case Key::ParamName:
            // The table also holds the four event names; the rest is for the user's names.
            if (getEventParamNum() >= qv::kMaxUserParams) {
                log_sys(kMsgTooManyNames, f1, qv::kMaxUserParams);
                log_sys(kMsgParamError);
                return -1;
            }
            if (addParam2Tab(f1) != 0) {
                log_sys(kMsgParamError);
                return -1;
            }
            break;
        default: break;
    }
    return 0;
}

// One Y_START line.
int applyYStart(Fields fields, StartState &st) {
    const int index = readIntField(fields[1]);
    if (index < 1 || index > ParamT.n_var || index > qv::kMaxVar) {
        log_sys(kMsgYIndex);
        return -1;
    }
    if (st.given[index]) {
        log_sys(kMsgYDuplicate, index);
        return -1;
    }
    st.given[index] = true;
    st.value[index] = fields[2][0] != '\0' ? readRealField(fields[2]) : Y_default;
    ++st.count;
    if (putVarTag(index, fields[3]) != 0) {
        log_sys(kMsgYTag, index);
        return -1;
    }
    return 0;
}

// One second-pass line. Returns 0, or -1 after its message.
int applySecondPass(Key key, int nfields, Fields fields, double *times[kTimeKeys], start_val *sv,
                    int *svnum, StartState &st) {
    const bool timeCourse = SolverNo <= kLastTimeCourseSolver;
    switch (key) {
        case Key::TStart:
        case Key::TEnd:
        case Key::DeltaT:
        case Key::DeltaM: {
            if (!timeCourse) break;
            const int t = static_cast<int>(key) - static_cast<int>(Key::TStart);
            *times[t] = readRealField(fields[1]);
            TimeGiven[t] = true;
            break;
        }
        case Key::NdfRtol:
            if (timeCourse) Ndf_rtol = readRealField(fields[1]);
            break;
        case Key::NdfAtol:
            if (timeCourse) Ndf_atol = readRealField(fields[1]);
            break;
        case Key::TEvent:
            if (timeCourse) return setTEventData(fields);
            break;
        case Key::Param: return setParamData(nfields, fields, sv, svnum);
        case Key::YStart: return applyYStart(fields, st);
        default: break;
    }
    return 0;
}

int readFail() {
    log_sys(kMsgReadClose);
    return -1;
}

}  // namespace

int readInputData(const char *fname, double *y, double *t_start, double *t_end, double *dt,
                  double *dm, start_val *sv, int *svnum) {
    // 1. Open the file.
    File fp(fname != nullptr ? std::fopen(fname, "r") : nullptr);
    // The file is read twice, so it must be a regular file: a directory reads as nothing, a
    // device such as /dev/zero never ends, and a pipe cannot be read a second time.
    struct stat st_file;
    if (!fp || fstat(fileno(fp.get()), &st_file) != 0 || !S_ISREG(st_file.st_mode)) {
        log_sys(kMsgCannotOpen, fname != nullptr ? fname : "(null)");
        return -1;
    }
    // A read error ends a pass like the end of the file would; it must not pass for one.
    auto readError = [&]() {
        if (!std::ferror(fp.get())) return false;
        log_sys(kMsgCannotRead, fname);
        return true;
    };
    double *times[kTimeKeys] = {t_start, t_end, dt, dm};
    for (int t = 0; t < kTimeKeys; ++t) {
        *times[t] = 0.0;  // a missing time is reported by checkInputData, never read as garbage
        TimeGiven[t] = false;
    }

    // 2. First pass: run settings and parameter names.
    Fields fields;
    int nf;
    while ((nf = getInputData(fields, fp.get())) >= 0) {
        if (nf == 0) continue;
        if (applyFirstPass(keyOf(fields[0]), fields) != 0) return readFail();
    }
    if (readError()) return readFail();
    // 3. The event names follow the user's names.
    for (const char *name : kEventNames) {
        if (addParam2Tab(name) != 0) {
            log_sys(kMsgParamError);
            return readFail();
        }
    }
    // 4. The run settings.
    if (checkControlData() != 0) return readFail();

    // 5. Second pass: values, initial state, time span and events.
    std::rewind(fp.get());
    auto st = std::make_unique<StartState>();
    while ((nf = getInputData(fields, fp.get())) >= 0) {
        if (nf == 0) continue;
        if (applySecondPass(keyOf(fields[0]), nf, fields, times, sv, svnum, *st) != 0) {
            return readFail();
        }
    }
    if (readError()) return readFail();

    // 6. Variables without Y_START take Y_DEFAULT.
    const int n = ParamT.n_var;
    if (st->count < n) {
        log_sys(kMsgYFewer1, n, st->count);
        log_sys(kMsgYFewer2, Y_default);
    } else if (st->count > n) {
        log_sys(kMsgYTooMany);
        return readFail();
    }
    // 7. The initial state, in G_VALUE units.
    for (int i = 1; i <= n; ++i) y[i] = GeneConc * (st->given[i] ? st->value[i] : Y_default);
    return 0;
}

int checkControlData() {
    // Checks in a fixed order; the first failure is reported. The real-valued checks are written
    // so that a NaN passes them.
    struct Check {
        bool bad;
        const char *message;
    };
    const int nVar = ParamT.n_var;
    const int nAlg = ParamT.n_varNR;
    const Check checks[] = {
        {SolverNo < 1 || SolverNo > kMaxSolverNo, "## Data error!! in SOLVER\n"},
        {F_PSurvey != 0 && F_PSurvey != 1, "## Data error!! in P_SURVEY\n"},
        {F_Parallel != 0 && F_Parallel != 1, "## Data error!! in PARALLEL\n"},
        {F_Numerical_Jac != 0 && F_Numerical_Jac != 1, "## Data error!! in NUMERICAL_JAC\n"},
        {F_Ndf_Positive != 0 && F_Ndf_Positive != 1, "## Data error!! in NDF_POSITIVE\n"},
        {Nr_trial <= 0, "## Data error!! in NR_TRIAL\n"},
        {Nr_tol_f < kMinPositive, "## Data error!! in NR_TOL_F\n"},
        {Nr_tol_x < kMinPositive, "## Data error!! in NR_TOL_X\n"},
        {Rk_eps < kMinPositive, "## Data error!! in RK_EPS\n"},
        {Nr_ratio <= 1.0 || Nr_ratio > kMaxNrRatio, "## Data error!! in NR_RATIO\n"},
        {Y_default < kMinPositive, "## Data error!! in Y_DEFAULT\n"},
        {nVar < 1 || nVar > qv::kMaxVar, "## Data error!! in N_VAR\n"},
        {nAlg < 0 || nAlg > qv::kMaxVar, "## Data error!! in N_ALGEBR\n"},
        {GeneConc <= 0.0, "## Data error!! in G_Value\n"},
    };
    for (const Check &c : checks) {
        if (c.bad) {
            log_sys("%s", c.message);
            log_sys(kMsgControlClose);
            return -1;
        }
    }
    return 0;
}

int checkInputData(double t_start, double t_end, double dt, double dm) {
    auto fail = [](const char *message) {
        log_sys("%s", message);
        log_sys(kMsgInputClose);
        return -1;
    };
    if (SolverNo <= kLastTimeCourseSolver) {
        // The time values have no default: a time course without them cannot be run.
        std::string missing;
        for (int t = 0; t < kTimeKeys; ++t) {
            if (!TimeGiven[t]) missing += std::string(" ") + kTimeWords[t];
        }
        if (!missing.empty()) {
            log_sys(kMsgTimeMissing, missing.c_str());
            log_sys(kMsgInputClose);
            return -1;
        }
        if (t_start != 0.0) log_sys(kMsgStartNotZero);
        // Every time value must be a finite number: a NaN would pass a plain comparison, and an
        // infinite span never ends (its time course would fill the disk).
        if (!std::isfinite(t_start) || !std::isfinite(t_end) || !(t_end > t_start)) {
            return fail(kMsgTEnd);
        }
        if (!std::isfinite(dt) || !(dt >= kMinPositive)) return fail(kMsgDeltaT);
        if (!std::isfinite(dm) || !(dm >= dt)) return fail(kMsgDeltaM);
    }
    if (ParamT.n_varNR < 0 || ParamT.n_varNR > ParamT.n_var) return fail(kMsgNAlgebr);
    return 0;
}

int tcmp(const void *a, const void *b) {
    // Ascending time; a NaN time sorts after every number, so the order stays strict and weak.
    const double ta = static_cast<const event *>(a)->time;
    const double tb = static_cast<const event *>(b)->time;
    const bool na = ta != ta, nb = tb != tb;
    if (na || nb) return na == nb ? 0 : (na ? 1 : -1);
    return ta < tb ? -1 : (ta > tb ? 1 : 0);
}

int Set_data(double *y, double *t_start, double *t_end, double *dt, double *dm, const char *fname) {
    auto fail = []() {
        log_sys(kMsgSetDataClose);
        return -1;
    };
    std::vector<start_val> sv(kStartValCapacity);
    int svnum = 0;
    if (readInputData(fname, y, t_start, t_end, dt, dm, sv.data(), &svnum) != 0) return fail();
    if (checkInputData(*t_start, *t_end, *dt, *dm) != 0) return fail();

    // Steady-state solvers solve for every variable.
    if (SolverNo >= kFirstSteadyStateSolver) ParamT.n_varNR = ParamT.n_var;

    Param = ParamT;
    setStartParam(sv.data(), svnum);
    ParamP = Param;

    // The run's start and end are events too; they must fit next to the file's events.
    if (EventsNum > qv::kMaxEvents - kClosingEvents) {
        log_sys(kMsgTooManyEvents, qv::kMaxEvents - kClosingEvents);
        return fail();
    }
    Events[EventsNum++] = event{Name2Pno("time_start"), 0, *t_start, 0.0};
    Events[EventsNum++] = event{Name2Pno("time_end"), 0, *t_end, 0.0};
    // Events at equal times keep their order: file order, then time_start, then time_end.
    std::stable_sort(Events, Events + EventsNum,
                     [](const event &a, const event &b) { return tcmp(&a, &b) < 0; });
    return 0;
}

void resetInputData() {
    SolverNo = 0;
    F_PSurvey = 0;
    F_Parallel = 0;
    F_Numerical_Jac = 0;
    F_Ndf_Positive = 1;
    F_GA = 0;
    Nr_trial = qv::defaults::kNrTrial;
    Nr_tol_f = qv::defaults::kNrTolF;
    Nr_tol_x = qv::defaults::kNrTolX;
    Nr_ratio = qv::defaults::kNrRatio;
    Nr_sens_cw = qv::defaults::kNrSensCw;
    Rk_eps = qv::defaults::kRkEps;
    Y_default = qv::defaults::kYDefault;
    Ndf_rtol = qv::defaults::kNdfRtol;
    Ndf_atol = qv::defaults::kNdfAtol;
    GeneConc = 0.0;
    std::fill(std::begin(Events), std::end(Events), event{});
    EventsNum = 0;
    std::fill(std::begin(P_Survey), std::end(P_Survey), survey{});
    P_SurveyNum = 0;
    std::fill(std::begin(P_Ga), std::end(P_Ga), qvga{});
    P_GaNum = 0;
    std::fill(std::begin(TimeGiven), std::end(TimeGiven), false);
    resetStartParamCount();
}
