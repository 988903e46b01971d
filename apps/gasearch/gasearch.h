// gasearch: fits a model's parameters with an island genetic algorithm.
#ifndef QUORVANT_APPS_GASEARCH_H
#define QUORVANT_APPS_GASEARCH_H

#include <string>

#include "quorvant/galib/ga_types.h"

// What the command line gives besides the fields of gaparam.
struct GaOptions {
    std::string modelFile;   // -I
    bool seedGiven = false;  // -S
    unsigned long seed = 0;
};

// Parses the command line into the record (-p, -f, -s names) and opts (-I, -S). 0 or -1 after the
// message. The report file is not opened here (see OpenReportFile).
int adm_argc_argv(gaparam *param, GaOptions *opts, int argc, char **argv);

// Opens the report file of -f, if one was named: 0, or -1 after the message.
int OpenReportFile(gaparam *param);

// Everything before the GA run, on every process: log, command line (rank 0), model file (the
// other ranks read a transferred copy and delete it), snapshot, search region, parameter file
// (rank 0, then sent to the others), seed base, summary. 0 or -1 after the message; a failed
// start leaves no transferred copy behind.
// kNoRefinement: the parameter file asks for refinements of a model that has none.
int my_init(gaparam *param, int argc, char **argv);
constexpr int kNoRefinement = 1;
void my_final(gaparam *param);

#endif
