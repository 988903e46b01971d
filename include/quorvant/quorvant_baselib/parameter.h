// The parameter-name table (name <-> parameter number), the tags of values and variables, and the
// copy of a parameter record.
#ifndef QUORVANT_QUORVANT_BASELIB_PARAMETER_H
#define QUORVANT_QUORVANT_BASELIB_PARAMETER_H

#include "quorvant/model.h"

// Name table: entry k holds the name of parameter number k+1.
int addParam2Tab(const char *name);           // 0, or -1 with a message

int Name2Pno(const char *name);               // first number with that name, 0 if none
const char *Pno2Name(int no);                 // null outside 1..getEventParamNum()
int isPno(const char *name, int no);          // 1 if entry `no` equals name
int isparam(int c);                           // letter, digit or '_'
int getParamNum();                            // user parameters (names less the four event names)
int getEventParamNum();                       // all names

// Tags: free-text labels, at most 63 characters kept.
int putParamTag(int no, int index, const char *text);

const char *getParamTag(int no, int index);   // most recently added tag, or null
void freeParamTag();
int putVarTag(int index, const char *text);   // -1 outside 1..512
const char *getVarTag(int index);             // "" when never set

// Clears the name table, the tags and the four records (a fresh load; used by tests).
void resetParamTab();

// Copies a parameter record: sizes, counts and the value rows of every named parameter (the
// only rows that anything writes). Same effect as dst = src at a fraction of the 512 KiB.
void copyParameter(parameter &dst, const parameter &src);

#endif
