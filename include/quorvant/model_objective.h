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

#ifdef __cplusplus
}
#endif

#endif /* QUORVANT_MODEL_OBJECTIVE_H */
