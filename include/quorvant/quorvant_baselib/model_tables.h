// Process-wide model tables: the parameter records, the run settings of the model input file with
// their defaults, and the tables of time events, survey entries and search ranges.
#ifndef QUORVANT_QUORVANT_BASELIB_MODEL_TABLES_H
#define QUORVANT_QUORVANT_BASELIB_MODEL_TABLES_H

#include <cstdint>

#include "quorvant/common/limits.h"
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

struct event {
    int32_t p_no;    // parameter number, including the four event names
    int32_t index;
    double time;
    double value;
};

struct survey {
    int32_t p_no;
    int32_t index;
    int32_t steps;            // number of survey values, >= 2
    int32_t f_isArithmetic;   // 1 arithmetic, 0 geometric
    double start_value;
    double change_value;      // difference or ratio
};

struct qvga {
    int32_t p_no;
    int32_t index;
    double min_value;
    double max_value;
};

struct start_val {
    int32_t p_no;
    int32_t index;
    double value;
};

namespace qv::defaults {

constexpr int32_t kNrTrial = 20;
constexpr double kNrTolF = 1e-12;
constexpr double kNrTolX = 1e-12;
constexpr double kNrRatio = 1.1;
constexpr double kNrSensCw = 0.001;
constexpr double kRkEps = 1e-12;
constexpr double kYDefault = 1.0;
constexpr double kNdfRtol = 1e-12;
constexpr double kNdfAtol = 1e-6;

}  // namespace qv::defaults

extern int32_t SolverNo;
extern int32_t F_PSurvey;
extern int32_t F_Parallel;
extern int32_t F_Numerical_Jac;

// NDF_POSITIVE: 1 (the default) makes the NDF solver reject every step that would make a variable
// negative, as concentrations cannot be; 0 lets variables go below zero (e.g. a parameter that a rate
// rule drives through zero in a model imported from SBML).
extern int32_t F_Ndf_Positive;

extern int32_t F_GA;
extern int32_t Nr_trial;
extern double Nr_tol_f;
extern double Nr_tol_x;
extern double Nr_ratio;
extern double Nr_sens_cw;
extern double Rk_eps;
extern double Y_default;
extern double Ndf_rtol;
extern double Ndf_atol;
extern double GeneConc;
extern event Events[qv::kMaxEvents];
extern int32_t EventsNum;
extern survey P_Survey[qv::kMaxSurvey];
extern int32_t P_SurveyNum;
extern qvga P_Ga[qv::kSearchTableSize];
extern int32_t P_GaNum;
extern int32_t P_GaMax;   // 20 in gasearch and rsearch; simulator raises it to 28 before loading

// The limit of search variables a program sets in P_GaMax before loading: its own (plain), or
// qv::kMaxSearchVariables for a model that defines its own objective.
int32_t search_variable_limit(int32_t plain);

#endif
