// Line syntax of the model input file: physical lines of at most 511 characters, '#' comments,
// blanks and tabs removed everywhere, fields separated by ';'.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "quorvant/common/limits.h"
#include "quorvant/common/logUtil.h"
#include "quorvant/quorvant_baselib/input_line.h"

namespace {

constexpr int kMaxFields = 11;

constexpr char kMsgLine[] = "#  line : '%s'.\n";
constexpr char kMsgTooMany[] = "## ERROR!! Too many data in a line.\n";

// Removes every blank and tab in place.
void removeBlanks(char *s) {
    char *out = s;
    for (const char *in = s; *in != '\0'; ++in) {
        if (*in != ' ' && *in != '\t') *out++ = *in;
    }
    *out = '\0';
}

}  // namespace

int makeline(char *buf, FILE *fp) {
    // A longer physical line is left in the stream; its rest comes back as the next line.
    if (std::fgets(buf, qv::kLineLen, fp) == nullptr) return 9;
    if (buf[0] == '#' || buf[0] == '\n' || buf[0] == '\0') return 1;
    if (char *hash = std::strchr(buf, '#')) *hash = '\0';
    removeBlanks(buf);
    // Nothing left but (perhaps) the newline: a blank line or a line holding only a comment.
    if (buf[0] == '\0' || (buf[0] == '\n' && buf[1] == '\0')) return 1;
    return 0;
}

int getInputData(char fields[11][512], FILE *fp) {
    char line[qv::kLineLen];
    const int rc = makeline(line, fp);
    if (rc == 9) return -1;
    for (int i = 0; i < kMaxFields; ++i) fields[i][0] = '\0';
    if (rc != 0) return 0;

    // The newline ends the text; it is not part of the last field.
    int nf = 0;
    int len = 0;
    for (const char *p = line; *p != '\0' && *p != '\n'; ++p) {
        if (*p != ';') {
            fields[nf][len++] = *p;
            continue;
        }
        fields[nf][len] = '\0';
        len = 0;
        if (++nf == kMaxFields) {
            // A twelfth field would begin: the line cannot be stored, and the reader has no way
            // to skip it safely, so the process ends.
            log_sys(kMsgLine, line);
            log_sys(kMsgTooMany);
            std::exit(-1);
        }
    }
    fields[nf][len] = '\0';
    if (len > 0) ++nf;
    return nf;
}
