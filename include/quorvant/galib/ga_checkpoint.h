// The whole state of a GA run on rank 0 in a file (the CHECKPOINT line), and a run that goes on
// from it (option -R).
#ifndef QUORVANT_GALIB_GA_CHECKPOINT_H
#define QUORVANT_GALIB_GA_CHECKPOINT_H

#include "quorvant/galib/ga_types.h"

// After generation g, when the CHECKPOINT line asks for it (every interval-th generation from 1
// on): the generation, the islands in use, the best so far, the refinement totals and the random
// stream, written to a temporary file that then replaces the checkpoint file. 0, or -1 after the
// message.
int WriteCheckpointIfDue(const gaparam *param, const gaisland *islands, int numIsland, int generation);

// The state of -R for a run of the same configuration: islands, best so far, refinement totals
// and random stream restored, *numIsland (1 after a DIGA merge, with the configuration adjusted as
// the merge does) and *generation the generation it was written after. 0, or -1 after the message.
int ReadCheckpoint(gaparam *param, gaisland *islands, int *numIsland, int *generation);

#endif
