// Process-wide parameter records, the parameter-name table and the value/variable tags.
#ifndef QUORVANT_PARAMETER_H
#define QUORVANT_PARAMETER_H

#include "quorvant/model.h"

// Copies of the parameter record (all zero at start):
//   ParamT  target values as read, or as set by a search or survey case;
//   Param   working values: what the model code reads; time events change it during a run;
//   ParamP  values at which the last consistent state holds (continuation start);
//   ParamB  base copy from which each survey case (simulator) or random trial (rsearch) starts.
extern parameter Param;
extern parameter ParamT;
extern parameter ParamP;
extern parameter ParamB;

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

#endif
