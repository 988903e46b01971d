/*
 * Optional part of a model: its own objective.
 *
 * A model that scores a parameter record by itself, such as an estimation problem whose
 * experimental conditions are each simulated on their own, defines qv_model_objective besides the
 * three functions of quorvant/model.h. The searches then call it for every evaluation, with the
 * record that holds the individual's values, instead of simulating the model input file's time
 * course and scoring it with QvUsrFitness. A model without it behaves as before.
 */
#ifndef QUORVANT_MODEL_OBJECTIVE_H
#define QUORVANT_MODEL_OBJECTIVE_H

#include "quorvant/model.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Fitness of the values in p (larger is better). Returns 0 on success, -1 after a message. */
int qv_model_objective(parameter *p, double *fitness);

/*
 * Optional as well: a local refinement of one individual. x[0..n-1] are the search variables in
 * the order of the model input file's search table, within their search bounds, and p holds them
 * as qv_model_objective would see them. The model improves x in place within the bounds, using at
 * most about `budget` objective evaluations (a gradient counts as one), and
 * returns the fitness of the x it leaves, which is never worse than that of the x it was given.
 * It adds what it spent to the counters. Returns 0 on success, -1 after a message.
 */
typedef struct {
    long refinements; /* refinements run */
    long evaluations; /* objective evaluations they made */
    long gradients;   /* gradients (or Jacobians of residuals) they computed */
} qv_refine_count;

int qv_model_refine(parameter *p, double *x, int n, long budget, double *fitness, qv_refine_count *count);

#ifdef __cplusplus
}
#endif

#endif /* QUORVANT_MODEL_OBJECTIVE_H */
