// A deep copy of an argument vector.
#ifndef QUORVANT_SEARCHLIB_UTL_ARG_H
#define QUORVANT_SEARCHLIB_UTL_ARG_H

// Argument vectors: copy has argc slots; every slot is set (null first), then duplicated.
int CopyArgv(int argc, char **argv, char **copy);

void FreeCargv(int argc, char **copy);

#endif
