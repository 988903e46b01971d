// Process-wide model tables: the parameter records and the run settings of the model input file,
// with their initial values (a fresh process before any model file was read).
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/common/limits.h"
#include "quorvant/model.h"

parameter Param;
parameter ParamT;
parameter ParamP;
parameter ParamB;

int32_t SolverNo = 0;
int32_t F_PSurvey = 0;
int32_t F_Parallel = 0;
int32_t F_Numerical_Jac = 0;
int32_t F_Ndf_Positive = 1;
int32_t F_GA = 0;
int32_t Nr_trial = qv::defaults::kNrTrial;
double Nr_tol_f = qv::defaults::kNrTolF;
double Nr_tol_x = qv::defaults::kNrTolX;
double Nr_ratio = qv::defaults::kNrRatio;
double Nr_sens_cw = qv::defaults::kNrSensCw;
double Rk_eps = qv::defaults::kRkEps;
double Y_default = qv::defaults::kYDefault;
double Ndf_rtol = qv::defaults::kNdfRtol;
double Ndf_atol = qv::defaults::kNdfAtol;
double GeneConc = 0.0;

event Events[qv::kMaxEvents];
int32_t EventsNum = 0;
survey P_Survey[qv::kMaxSurvey];
int32_t P_SurveyNum = 0;
qvga P_Ga[qv::kSearchTableSize];
int32_t P_GaNum = 0;
int32_t P_GaMax = qv::kMaxGaSearch;

// Defined only by models that score a record by themselves (quorvant/model_objective.h).
extern "C" int qv_model_objective(parameter *p, double *fitness) __attribute__((weak));

int32_t search_variable_limit(int32_t plain) {
    return qv_model_objective != nullptr && plain < qv::kMaxSearchVariables ? qv::kMaxSearchVariables : plain;
}
