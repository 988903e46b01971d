// In-place editing and splitting of the lines of the GA's text input files.
#include <cstring>

#include "quorvant/galib/utl_text.h"

namespace {

// Rest of the string that MyStrtok is splitting; an empty string until the first call.
char emptyToken[1] = {'\0'};
char *strtokRest = emptyToken;

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Characters that remain once blanks and tabs are removed.
int countNonBlank(const char *line) {
    int n = 0;
    for (const char *p = line; *p != '\0'; ++p) {
        if (!isBlank(*p)) ++n;
    }
    return n;
}

}  // namespace

// Compacts the line over its own storage. A line holds at most kGaLineMax characters afterwards
// (the size of the work buffer of a text line); anything beyond is cut, never written elsewhere.
char *DelSpaceTab(char *line) {
    int out = 0;
    for (const char *p = line; *p != '\0' && out < qv::kGaLineMax; ++p) {
        if (!isBlank(*p)) line[out++] = *p;
    }
    line[out] = '\0';
    return line;
}

void DelComment(char *line) {
    char *hash = std::strchr(line, '#');
    if (hash == nullptr) return;
    *hash++ = '\n';
    while (*hash != '\0') *hash++ = '\0';
}

int FindDelim(const char *s, char c) {
    for (int i = 0; s[i] != '\0'; ++i) {
        if (s[i] == c) return i;
    }
    return -1;
}

int MyStrtok(char *s, char delim, char **token) {
    if (s != nullptr) strtokRest = s;
    *token = strtokRest;
    const int k = FindDelim(*token, delim);
    if (k < 0) return -1;
    (*token)[k] = '\0';
    strtokRest = *token + k + 1;
    return k;
}

int IsCommentLine(char *line) {
    if (countNonBlank(line) > qv::kGaLineMax) return 0;
    DelSpaceTab(line);
    DelComment(line);
    return line[0] == '\n' ? 1 : 2;
}
