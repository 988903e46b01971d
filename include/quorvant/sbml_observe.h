/*
 * Symbols that a model generated from SBML defines besides usr_fvec, usr_fjac and QvUsrFitness.
 *
 * The model's state holds what the equations need (species amounts or concentrations, rate-rule
 * variables, time as the last variable); an SBML id can also name a species whose value an assignment
 * rule gives, a parameter or a compartment size. These symbols turn a state into the value of every such
 * id, so that tools report results under the model's own ids, in amounts or in concentrations.
 */
#ifndef QUORVANT_SBML_OBSERVE_H
#define QUORVANT_SBML_OBSERVE_H

#include "quorvant/model.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Number of observable ids and the ids themselves, [0 .. qv_sbml_observable_count - 1]. */
extern const int qv_sbml_observable_count;
extern const char *const qv_sbml_observable_ids[];

/* 1 when observable k is a species, 0 otherwise (parameter, compartment, rate-rule variable). */
extern const int qv_sbml_observable_is_species[];

/* Index of the time variable in the state y (1..n). */
extern const int qv_sbml_time_index;

/* Values of every observable at state y[1..n] with parameter record p. A species gives its amount in
 * amount[k] and its concentration (amount over the size of its compartment) in concentration[k]; any
 * other id gives its value in both. */
void qv_sbml_observe(const double *y, parameter *p, double *amount, double *concentration);

#ifdef __cplusplus
}
#endif

#endif /* QUORVANT_SBML_OBSERVE_H */
