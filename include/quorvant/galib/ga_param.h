// The GA configuration: defaults, the command-line record and the GA parameter file (option -p).
#ifndef QUORVANT_GALIB_GA_PARAM_H
#define QUORVANT_GALIB_GA_PARAM_H

#include "quorvant/galib/ga_types.h"

int InitializeParam(gaparam *param);
int SetCommandLineInfo(comline *line, int argc, char **argv);

// Reads ioParam.paramFileName. numVariable and variableRegion must be filled already.
int SetParamsFromFile(gaparam *param);

// The readers of one parameter-file line each, called after the keyword was split off the line with
// MyStrtok (separator ';'): each reads the line's remaining fields with MyStrtok(nullptr, ...) into
// its sub-record, checking them against the records it depends on. 0, or -1 after the message.
int set_encode_param(gaencodeparam *encode);

int set_gatype_param(gatypeparam *type, const gaencodeparam *encode);

int set_digenesis_param(digenesisparam *digenesis, const gaencodeparam *encode,
                        const gatypeparam *type);

int set_crossover_param(crossoverparam *crossover, const gaencodeparam *encode);
int set_mutation_param(mutationparam *mutation, const gaencodeparam *encode);

// The optional lines: PARALLEL;grain; and REFINE;interval;count;budget; (real-coded genes only).
int set_parallel_param(parallelparam *parallel, const gaencodeparam *encode);
int set_refine_param(refineparam *refine, const gaencodeparam *encode, const gatypeparam *type);
// CHECKPOINT;file;interval;
int set_checkpoint_param(checkpointparam *checkpoint);

#endif
