// The model input file: the whole load, its two passes over the file and the checks of the settings.
#ifndef QUORVANT_QUORVANT_BASELIB_SET_DATA_H
#define QUORVANT_QUORVANT_BASELIB_SET_DATA_H

#include "quorvant/quorvant_baselib/model_tables.h"

constexpr int kStartValCapacity = 65536;

// The whole load: reads and checks the file, sets Param/ParamT/ParamP, appends the time_start and
// time_end events and sorts the events by time. y must hold qv::kStateSize doubles; y[1..N_VAR]
// receive the initial state in G_VALUE units. Returns 0, or -1 after the messages.
int Set_data(double *y, double *t_start, double *t_end, double *dt, double *dm, const char *fname);

// The two passes over the file. sv has room for kStartValCapacity entries; *svnum receives the
// running count of start values. The four times are 0 unless given in the file.
int readInputData(const char *fname, double *y, double *t_start, double *t_end, double *dt,
                  double *dm, start_val *sv, int *svnum);

int checkControlData();   // the first-pass settings
int checkInputData(double t_start, double t_end, double dt, double dm);   // time span, N_ALGEBR
int tcmp(const void *a, const void *b);   // events by time; a NaN time after all numbers

// Restores the run settings, events, survey and search entries and the running count of start
// values to their initial state (a fresh load; used by tests). P_GaMax is the program's choice
// and is left as it is.
void resetInputData();

#endif
