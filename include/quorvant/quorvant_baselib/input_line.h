// Reading the model input file line by line: comments cut, blanks removed, fields split at ';'.
#ifndef QUORVANT_QUORVANT_BASELIB_INPUT_LINE_H
#define QUORVANT_QUORVANT_BASELIB_INPUT_LINE_H

#include <cstdio>

// Next line split into fields: number of fields, 0 for a blank or comment line, -1 at end of
// file. A line with a twelfth field ends the process (status 255).
int getInputData(char fields[11][512], FILE *fp);

// Next physical line (buf of 512), comment cut and blanks removed: 0 content, 1 blank or
// comment, 9 end of file.
int makeline(char *buf, FILE *fp);

#endif
