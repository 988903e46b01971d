// The parameter-name table (name <-> parameter number) and the free-text tags of parameter values
// and variables. Names and tags are read from the model input file; the model code addresses
// parameters by number in the order of their names.
#include "quorvant/quorvant_baselib/parameter.h"

#include <cstring>
#include <forward_list>
#include <new>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/model.h"

namespace {

constexpr int kTableSize = qv::kMaxParamNo;     // names, user and event names together
constexpr int kMaxNameChars = qv::kNameLen - 1;  // the 16th byte is the terminating NUL
constexpr int kEventNames = 4;                   // y_force, y_add, time_start, time_end

// Name table: entry k holds the name of parameter number k+1.
char ParamTab[kTableSize][qv::kNameLen];
int Param_num = 0;

// One tag of a parameter value. Nodes are pushed at the head of their parameter's list, so a walk
// from the head meets the most recent tag of an index first.
struct _q_tag {
    int index = 0;
    char tag[qv::kTagLen] = {};
};
std::forward_list<_q_tag> ParamTagTab[kTableSize];

// Tag of variable y[k+1] in entry k.
char VarTagTab[qv::kMaxVar][qv::kTagLen];

// Copies at most 63 characters of text; the last byte always stays NUL.
void copyTag(char (&dst)[qv::kTagLen], const char *text) {
    std::memset(dst, 0, sizeof dst);
    if (text != nullptr) std::strncpy(dst, text, qv::kTagLen - 1);
}

}  // namespace

int isparam(int c) {
    // Plain ASCII tests: the result must not depend on the locale or on the sign of char.
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

int addParam2Tab(const char *name) {
    if (name == nullptr || name[0] == '\0') {
        log_sys("ERROR: No Param Name Def.\n");
        return -1;
    }
    if (Param_num >= kTableSize) {
        log_sys("ERROR: Param Name Table Full[%s] > [%d]\n", name, kTableSize);
        return -1;
    }
    // Build the entry aside so that a rejected name leaves the table unchanged.
    char entry[qv::kNameLen] = {};
    int len = 0;
    for (; len < qv::kNameLen && name[len] != '\0'; ++len) {
        if (!isparam(static_cast<unsigned char>(name[len]))) {
            log_sys("ERROR: Not Param Name[%s]\n", name);
            return -1;
        }
        entry[len] = name[len];
    }
    if (len > kMaxNameChars) {
        log_sys("ERROR: Too Long Param Name[%s] > [%d]\n", name, kMaxNameChars);
        return -1;
    }
    std::memcpy(ParamTab[Param_num], entry, sizeof entry);
    ++Param_num;
    return 0;
}

int Name2Pno(const char *name) {
    if (name == nullptr) return 0;
    for (int k = 0; k < Param_num; ++k) {
        if (std::strcmp(ParamTab[k], name) == 0) return k + 1;
    }
    return 0;
}

const char *Pno2Name(int no) {
    if (no < 1 || no > Param_num) return nullptr;
    return ParamTab[no - 1];
}

int isPno(const char *name, int no) {
    const char *entry = Pno2Name(no);
    return (entry != nullptr && name != nullptr && std::strcmp(entry, name) == 0) ? 1 : 0;
}

int getParamNum() { return Param_num - kEventNames; }

int getEventParamNum() { return Param_num; }

int putParamTag(int no, int index, const char *text) {
    if (no < 1 || no > kTableSize) return -1;
    try {
        _q_tag &node = ParamTagTab[no - 1].emplace_front();
        node.index = index;
        copyTag(node.tag, text);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return 0;
}

const char *getParamTag(int no, int index) {
    if (no < 1 || no > kTableSize) return nullptr;
    for (const _q_tag &node : ParamTagTab[no - 1]) {
        if (node.index == index) return node.tag;
    }
    return nullptr;
}

void freeParamTag() {
    for (auto &list : ParamTagTab) list.clear();
}

int putVarTag(int index, const char *text) {
    if (index < 1 || index > qv::kMaxVar) return -1;
    copyTag(VarTagTab[index - 1], text);
    return 0;
}

const char *getVarTag(int index) {
    if (index < 1 || index > qv::kMaxVar) return "";
    return VarTagTab[index - 1];
}

void resetParamTab() {
    std::memset(ParamTab, 0, sizeof ParamTab);
    Param_num = 0;
    freeParamTag();
    std::memset(VarTagTab, 0, sizeof VarTagTab);
    Param = parameter{};
    ParamT = parameter{};
    ParamP = parameter{};
    ParamB = parameter{};
}

void copyParameter(parameter &dst, const parameter &src) {
    if (&dst == &src) return;
    const int rows = getEventParamNum();
    if (rows <= 0 || rows >= qv::kMaxParamNo) {
        dst = src;
        return;
    }
    dst.n_varNR = src.n_varNR;
    dst.n_var = src.n_var;
    std::memcpy(dst.n_val, src.n_val, sizeof dst.n_val);
    std::memcpy(dst.val, src.val, sizeof dst.val[0] * static_cast<size_t>(rows + 1));
}
