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

// Values of the run settings before any model file is read (and after resetInputData).
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
extern qvga P_Ga[qv::kMaxGaSimulator];
extern int32_t P_GaNum;
extern int32_t P_GaMax;   // 20 in gasearch and rsearch; simulator raises it to 28 before loading

// The whole load: reads and checks the file, sets Param/ParamT/ParamP, appends the time_start and
// time_end events and sorts the events by time. y must hold qv::kStateSize doubles; y[1..N_VAR]
// receive the initial state in G_VALUE units. Returns 0, or -1 after the messages.
int Set_data(double *y, double *t_start, double *t_end, double *dt, double *dm, const char *fname);
// The two passes over the file. sv has room for kStartValCapacity entries; *svnum receives the
// running count of start values. The four times are 0 unless given in the file.
int readInputData(const char *fname, double *y, double *t_start, double *t_end, double *dt,
                  double *dm, start_val *sv, int *svnum);
// Next line split into fields: number of fields, 0 for a blank or comment line, -1 at end of
// file. A line with a twelfth field ends the process (status 255).
int getInputData(char fields[11][512], FILE *fp);
// Next physical line (buf of 512), comment cut and blanks removed: 0 content, 1 blank or
// comment, 9 end of file.
int makeline(char *buf, FILE *fp);
int checkControlData();   // the first-pass settings
int checkInputData(double t_start, double t_end, double dt, double dm);   // time span, N_ALGEBR
int setTEventData(char fields[11][512]);   // one T_EVENT line
int setParamData(int nfields, char fields[11][512], start_val *sv, int *svnum);   // one PARAM line
// Appends the start value of a PARAM line; returns the running count, -1 when the table is full.
int getStartParam(char fields[11][512], int p_no, start_val *sv);
void setStartParam(const start_val *sv, int n);   // writes the start values into Param
int tcmp(const void *a, const void *b);   // events by time; a NaN time after all numbers

// Field values as the reader takes them: the leading decimal integer (saturated to the int32
// range, so a huge number cannot wrap into an accepted one) or the leading real number; an empty
// or non-numeric field gives 0.
int32_t readIntField(const char *field);
double readRealField(const char *field);

// Restores the run settings, events, survey and search entries and the running count of start
// values to their initial state (a fresh load; used by tests). P_GaMax is the program's choice
// and is left as it is.
void resetInputData();
void resetStartParamCount();

#endif
