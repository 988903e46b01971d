// The lines of the model input file that carry values: T_EVENT and PARAM lines, start values, and the
// reading of numeric fields.
#ifndef QUORVANT_QUORVANT_BASELIB_SET_DATA_LINES_H
#define QUORVANT_QUORVANT_BASELIB_SET_DATA_LINES_H

#include <cstdint>

#include "quorvant/quorvant_baselib/model_tables.h"

int setTEventData(char fields[11][512]);   // one T_EVENT line
int setParamData(int nfields, char fields[11][512], start_val *sv, int *svnum);   // one PARAM line

// Appends the start value of a PARAM line; returns the running count, -1 when the table is full.
int getStartParam(char fields[11][512], int p_no, start_val *sv);

void setStartParam(const start_val *sv, int n);   // writes the start values into Param

// Field values as the reader takes them: the leading decimal integer (saturated to the int32
// range, so a huge number cannot wrap into an accepted one) or the leading real number; an empty
// or non-numeric field gives 0.
int32_t readIntField(const char *field);

double readRealField(const char *field);
void resetStartParamCount();

#endif
