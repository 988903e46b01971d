// The bridge from a search to the model: the snapshot of the loaded model, the genes written into
// ParamT, one simulation and its score.
#ifndef QUORVANT_SEARCHLIB_QV_INTERFACE_H
#define QUORVANT_SEARCHLIB_QV_INTERFACE_H

#include "quorvant/model_objective.h"

// Snapshot of the loaded model: times, initial state (y0[1..n_var]) and Param/ParamT/ParamP.
void PreserveDefaultQvParam(double tStart, double tEnd, double deltaT, double dtSave, const double *y0);

int AllocSolutionMatrix();    // SolutionMatrix of numRow rows; -1 after a message
void FreeSolutionMatrix();
int SolutionMatrixRows();     // numRow
void set_param_default();     // restores the snapshot into Param, ParamT, ParamP
int GaGene2QVParam(const double *x);

// One simulation with the values x of the search variables, scored by QvUsrFitness.
int QvFitness(const double *x, int numVariable, int argc, char **argv, double *fitness);

// Whether the model defines qv_model_refine (quorvant/model_objective.h).
bool QvRefineAvailable();

// The model's refinement of the values x[0 .. numVariable-1], started as an evaluation of them is
// (snapshot restored, x written into ParamT): x is improved in place within the search bounds,
// *fitness is its fitness and the model adds what it spent to *count. 0, or -1 after a message
// (also when the model has no refinement).
int QvRefine(double *x, int numVariable, long budget, double *fitness, qv_refine_count *count);

// 0 if no GA range names the parameter "constantPlayer", else -1 after the message.
int CheckConstantPlayer();

#endif
