// The evaluations and refinements of individuals, done on this process or dealt out by the master
// of a per-individual parallel run to the workers.
#ifndef QUORVANT_GALIB_EVALUATION_FARM_H
#define QUORVANT_GALIB_EVALUATION_FARM_H

#include "quorvant/galib/ga_types.h"

// The fitness of every gene in genes[0 .. count-1], written into the gene. On one process, or
// before the farm is open, in order on this process; while it is open, in contiguous chunks on the
// workers and the master (the last chunk), with the same values. 0, or -1 after the message.
int EvaluateGenes(const gaparam *param, gagene *const *genes, int count);

// The model's refinement of every (real-coded) gene in genes[0 .. count-1]: genes and fitness
// replaced in place, what they cost added to param->refineTotals. While the farm is open, one
// refinement per message on the workers, the last on the master. 0, or -1 after the message.
int RefineGenes(gaparam *param, gagene *const *genes, int count);

// The master's farm of a run: from construction the two functions above deal their work out to
// ranks 1 .. numProcs-1; close() (or the destructor) sends every worker its stop.
class EvaluationFarm {
public:
    explicit EvaluationFarm(const gaparam *param);
    ~EvaluationFarm();
    EvaluationFarm(const EvaluationFarm &) = delete;
    EvaluationFarm &operator=(const EvaluationFarm &) = delete;

    int close();   // 0, or -1 after the message

private:
    bool open_;
};

// A worker's side: evaluates and refines what the master sends until it sends the stop. 0, or -1
// after the message (the master is told that the work failed).
int EvaluationWorker(const gaparam *param);

#endif
