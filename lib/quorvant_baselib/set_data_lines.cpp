// The model-file lines that carry entries: T_EVENT (time events) and PARAM (parameter values,
// start values, survey and search ranges, tags), and the start values they collect.
#include <climits>
#include <cstdlib>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/parameter.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/quorvant_baselib/set_data_lines.h"

namespace {

// Field positions of a T_EVENT line.
constexpr int kEvName = 1, kEvIndex = 2, kEvTime = 3, kEvValue = 4;
// Field positions of a PARAM line.
constexpr int kPName = 1, kPIndex = 2, kPValue = 3, kPStart = 4, kPSteps = 5, kPType = 6,
              kPChange = 7, kPMin = 8, kPMax = 9, kPTag = 10;

constexpr char kConstantPlayer[] = "constantPlayer";  // a parameter held in G_VALUE units
constexpr char kYForce[] = "y_force";
constexpr char kYAdd[] = "y_add";

// T_EVENT messages.
constexpr char kMsgEvMissing[] = "## Data error!! in T_EVENT.\n";
constexpr char kMsgEvName[] = "## Wrong input data!! In :%s, %s\n";
constexpr char kMsgEvIndex[] = "## Data error!! in T_EVENT. Inappropriate index.\n";
constexpr char kMsgEvIndexMax[] = "## Data error!! in T_EVENT. Inappropriate index. Max:%3d\n";
constexpr char kMsgEvParamIndex[] = "##\t parameter: %s  index: %d \n";
constexpr char kMsgEvYIndex[] =
    "## Data error!! in T_EVENT. Index of y must be between N_ALGEBR+1 and N_VAR.\n";
constexpr char kMsgEvYName[] = "##\t %s  index: %d \n";
constexpr char kMsgEvTooMany[] = "## Too many time events!! Max:%3d\n";
constexpr char kMsgEvClose[] = "## Error!!  in setTEventData.\n";

// PARAM messages.
constexpr char kMsgPIndex[] = "## Data error!! Inappropriate index in PARAM.\n";
constexpr char kMsgPIndexMax[] = "## Data error!! Inappropriate index in PARAM. Max:%3d\n";
constexpr char kMsgPParamIndex[] = "##\t parameter: %s  index: %d \n";
constexpr char kMsgPNoValue[] = "## Data error!! in PARAM. Missing value.\n";
constexpr char kMsgPName[] = "## Data error!! In :%s, %s\n";
constexpr char kMsgPTooManyValues[] = "## Data error!! Too many values of %s in PARAM. Max:%3d\n";
constexpr char kMsgPTooManyStart[] = "## Too many start values!! Max:%d\n";
constexpr char kMsgPSteps[] = "## Data error!! Inappropriate parameter survey steps in PARAM.\n";
constexpr char kMsgPType1[] = "## Data error!! in PARAM.\n";
constexpr char kMsgPType2[] = "   Parameter survey type:'%s' is inappropriate.\n";
constexpr char kMsgPType3[] = "   It must be 'D' or 'R'. (D:Arithmetic, R:Geometric)\n";
constexpr char kMsgPNoChange[] = "## Data error!! in PARAM. Lack of parameter survey value.\n";
constexpr char kMsgPSurvey[] = "#Survey: %14s; Base=%10.3e, %10s=%10.3e, num=%d\n";
constexpr char kMsgPBadChange[] =
    "## Data error!! in PARAM. Inappropriate parameter survey value.\n";
constexpr char kMsgPBadDiff[] =
    "##\tWhen you specify arithmetic type, the diff-value must not be 0.\n";
constexpr char kMsgPBadRatio[] =
    "##\tWhen you specify geometric type, the ratio must be plus( <>1).\n";
constexpr char kMsgPTooManySurvey[] = "## Too many parameter survey sets!! Max:%2d\n";
constexpr char kMsgPSurveyAndGa[] = "## Parameter survey and GAs cannot concurrent use.\n";
constexpr char kMsgPNoRegion[] = "## Region's min(max) value cannot be omitted.\n";
constexpr char kMsgPTooManyGa[] = "## Too many parameter to run GAs!! Max:%2d\n";
constexpr char kMsgPTag[] = "## putParamTag(%s) Failed\n";
constexpr char kMsgPLine[] = "%s\t;\t%s;\t%s;\t%s;\t%s;\t%s;\t%s;\t%s;\t%s;\t%s;\n";
constexpr char kMsgPClose[] = "## Error!!  in setParamData.\n";

// Start values collected so far (all loads of this process, until resetStartParamCount).
int StartValNum = 0;

bool empty(const char *field) { return field[0] == '\0'; }

int failEvent() {
    log_sys(kMsgEvClose);
    return -1;
}

int failParam(char fields[11][512]) {
    log_sys(kMsgPLine, fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6],
            fields[7], fields[8], fields[9]);
    log_sys(kMsgPClose);
    return -1;
}

// The survey part of a PARAM line (steps given and not 0).
int addSurvey(char fields[11][512], int p_no, int index, int steps, double value, bool scaled) {
    if (steps < 2) {
        log_sys(kMsgPSteps);
        return -1;
    }
    const char type = fields[kPType][0];
    if (type != 'D' && type != 'R') {
        log_sys(kMsgPType1);
        log_sys(kMsgPType2, fields[kPType]);
        log_sys(kMsgPType3);
        return -1;
    }
    if (empty(fields[kPChange])) {
        log_sys(kMsgPNoChange);
        return -1;
    }
    const bool arithmetic = (type == 'D');
    double change = readRealField(fields[kPChange]);
    if (F_PSurvey != 0) {
        log_sys(kMsgPSurvey, fields[kPName], readRealField(fields[kPValue]),
                arithmetic ? "Difference" : "Ratio", change, steps);
    }
    if (arithmetic) {
        if (scaled) change *= GeneConc;
        if (change == 0.0) {
            log_sys(kMsgPBadChange);
            log_sys(kMsgPBadDiff);
            return -1;
        }
    } else if (change == 1.0 || change <= 0.0 || value == 0.0) {
        log_sys(kMsgPBadChange);
        log_sys(kMsgPBadRatio);
        return -1;
    }
    if (P_SurveyNum >= qv::kMaxSurvey) {
        log_sys(kMsgPTooManySurvey, qv::kMaxSurvey);
        return -1;
    }
    P_Survey[P_SurveyNum++] = survey{p_no, index, steps, arithmetic ? 1 : 0, value, change};
    return 0;
}

// The search-range part of a PARAM line (type S).
int addSearchRange(char fields[11][512], int p_no, int index) {
    F_GA = 1;
    if (F_PSurvey != 0) {
        log_sys(kMsgPSurveyAndGa);
        return -1;
    }
    if (empty(fields[kPMin]) || empty(fields[kPMax])) {
        log_sys(kMsgPNoRegion);
        return -1;
    }
    // P_GaMax is the program's limit; the table itself never holds more than its size.
    const int limit = P_GaMax < qv::kSearchTableSize ? P_GaMax : qv::kSearchTableSize;
    if (P_GaNum >= limit) {
        log_sys(kMsgPTooManyGa, limit);
        return -1;
    }
    P_Ga[P_GaNum++] =
        qvga{p_no, index, readRealField(fields[kPMin]), readRealField(fields[kPMax])};
    return 0;
}

}  // namespace

int32_t readIntField(const char *field) {
    const long v = std::strtol(field, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

double readRealField(const char *field) { return std::strtod(field, nullptr); }

int setTEventData(char fields[11][512]) {
    // 1. Name, index, time and value are all required.
    for (int f = kEvName; f <= kEvValue; ++f) {
        if (empty(fields[f])) {
            log_sys(kMsgEvMissing);
            return failEvent();
        }
    }
    // 2. The name: a parameter or one of the event names.
    const int p_no = Name2Pno(fields[kEvName]);
    if (p_no == 0) {
        log_sys(kMsgEvName, fields[0], fields[kEvName]);
        return failEvent();
    }
    // 3. The index.
    const int index = readIntField(fields[kEvIndex]);
    if (index < 1) {
        log_sys(kMsgEvIndex);
        log_sys(kMsgEvParamIndex, fields[kEvName], index);
        return failEvent();
    }
    // 4. y_force and y_add act on differential variables; any other name addresses a value.
    const bool onVariable = isPno(kYForce, p_no) || isPno(kYAdd, p_no);
    if (onVariable) {
        if (index <= ParamT.n_varNR || index > ParamT.n_var) {
            log_sys(kMsgEvYIndex);
            log_sys(kMsgEvYName, fields[kEvName], index);
            return failEvent();
        }
    } else if (index > qv::kMaxValIndex) {
        log_sys(kMsgEvIndexMax, qv::kMaxValIndex);
        log_sys(kMsgEvParamIndex, fields[kEvName], index);
        return failEvent();
    }
    // 5. Room in the event table.
    if (EventsNum >= qv::kMaxEvents) {
        log_sys(kMsgEvTooMany, qv::kMaxEvents);
        return failEvent();
    }
    // 6. Concentrations are held in G_VALUE units.
    double value = readRealField(fields[kEvValue]);
    if (onVariable || isPno(kConstantPlayer, p_no)) value *= GeneConc;
    Events[EventsNum++] = event{p_no, index, readRealField(fields[kEvTime]), value};
    return 0;
}

int setParamData(int nfields, char fields[11][512], start_val *sv, int *svnum) {
    (void)nfields;  // fields missing at the end of the line are empty
    // 1. The value index.
    const int index = readIntField(fields[kPIndex]);
    if (index < 1) {
        log_sys(kMsgPIndex);
        log_sys(kMsgPParamIndex, fields[kPName], index);
        return failParam(fields);
    }
    if (index > qv::kMaxValIndex) {
        log_sys(kMsgPIndexMax, qv::kMaxValIndex);
        log_sys(kMsgPParamIndex, fields[kPName], index);
        return failParam(fields);
    }
    // 2. The value.
    if (empty(fields[kPValue])) {
        log_sys(kMsgPNoValue);
        return failParam(fields);
    }
    // 3. The name: a user parameter (the event names carry no values).
    const int p_no = Name2Pno(fields[kPName]);
    if (p_no == 0 || p_no > getParamNum()) {
        log_sys(kMsgPName, fields[0], fields[kPName]);
        return failParam(fields);
    }
    // 4. The value itself; n_val counts the lines of this parameter.
    if (ParamT.n_val[p_no] >= qv::kMaxValIndex) {
        log_sys(kMsgPTooManyValues, fields[kPName], qv::kMaxValIndex);
        return failParam(fields);
    }
    const bool scaled = isPno(kConstantPlayer, p_no) != 0;
    double value = readRealField(fields[kPValue]);
    if (scaled) value *= GeneConc;
    ParamT.val[p_no][index] = value;
    ParamT.n_val[p_no] += 1;
    // 5. A start value, applied to Param once the whole file is read.
    if (!empty(fields[kPStart])) {
        const int count = getStartParam(fields, p_no, sv);
        if (count < 0) {
            log_sys(kMsgPTooManyStart, kStartValCapacity);
            return failParam(fields);
        }
        *svnum = count;
    }
    // 6. A parameter survey.
    const int steps = readIntField(fields[kPSteps]);
    if (steps != 0 && addSurvey(fields, p_no, index, steps, value, scaled) != 0) {
        return failParam(fields);
    }
    // 7. A search range.
    if (fields[kPType][0] == 'S' && addSearchRange(fields, p_no, index) != 0) {
        return failParam(fields);
    }
    // 8. The tag (every PARAM line adds one, possibly empty).
    if (putParamTag(p_no, index, fields[kPTag]) != 0) {
        log_sys(kMsgPTag, fields[kPName]);
        return failParam(fields);
    }
    return 0;
}

int getStartParam(char fields[11][512], int p_no, start_val *sv) {
    if (StartValNum >= kStartValCapacity) return -1;
    sv[StartValNum++] =
        start_val{p_no, readIntField(fields[kPIndex]), readRealField(fields[kPStart])};
    return StartValNum;
}

void setStartParam(const start_val *sv, int n) {
    for (int k = 0; k < n; ++k) {
        const start_val &s = sv[k];
        // Entries come from checked PARAM lines; anything else is skipped, never written.
        if (s.p_no < 1 || s.p_no >= qv::kMaxParamNo || s.index < 1 || s.index > qv::kMaxValIndex) {
            continue;
        }
        Param.val[s.p_no][s.index] = s.value;
    }
}

void resetStartParamCount() { StartValNum = 0; }
