// In-place line editing and splitting for the GA's text files.
#ifndef QUORVANT_GALIB_UTL_TEXT_H
#define QUORVANT_GALIB_UTL_TEXT_H

namespace qv {

constexpr int kGaLineMax = 511;        // characters of a text line once blanks are removed
constexpr int kGaReadBuffer = 8192;    // buffer of one physical line of the GA's text files

}  // namespace qv

// Text (all in place on a NUL-terminated line).
char *DelSpaceTab(char *line);               // removes blanks and tabs; keeps at most kGaLineMax

void DelComment(char *line);                 // '#' becomes '\n', the rest is cut
int FindDelim(const char *s, char c);        // index of c, -1 if none or s empty
int MyStrtok(char *s, char delim, char **token);   // length of the token, -1 for the last one

// DelSpaceTab then DelComment: 1 if nothing but the newline is left, 2 if the line has content,
// 0 if the line holds more than kGaLineMax characters once blanks are removed, its newline
// included (then the line is left untouched: callers refuse it with a message).
int IsCommentLine(char *line);

#endif
