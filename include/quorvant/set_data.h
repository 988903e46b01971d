// The model input file: run settings, time events, survey and search entries.
#ifndef QUORVANT_SET_DATA_H
#define QUORVANT_SET_DATA_H

#include <cstdint>
#include <cstdio>

#include "quorvant/limits.h"

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

constexpr int kStartValCapacity = 65536;

extern int32_t SolverNo;
extern int32_t F_PSurvey;
extern int32_t F_Parallel;
extern int32_t F_Numerical_Jac;
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
extern qvga P_Ga[qv::kMaxGaSimulator];
extern int32_t P_GaNum;
extern int32_t P_GaMax;   // 20 in gasearch and rsearch; simulator raises it to 28 before loading

int Set_data(double *y, double *t_start, double *t_end, double *dt, double *dm, const char *fname);
int readInputData(const char *fname, double *y, double *t_start, double *t_end, double *dt,
                  double *dm, start_val *sv, int *svnum);
int getInputData(char fields[11][512], FILE *fp);
int makeline(char *buf, FILE *fp);
int checkControlData();
int checkInputData(double t_start, double t_end, double dt, double dm);
int setTEventData(char fields[11][512]);
int setParamData(int nfields, char fields[11][512], start_val *sv, int *svnum);
int getStartParam(char fields[11][512], int p_no, start_val *sv);
void setStartParam(const start_val *sv, int n);
int tcmp(const void *a, const void *b);

// Restores every global of this unit to its initial value (a fresh load; used by tests).
void resetInputData();

#endif
