// The simulator program: units shared by its driver (main.cpp) and its tests.
#ifndef QUORVANT_APPS_SIMULATOR_H
#define QUORVANT_APPS_SIMULATOR_H

#include <cstdio>
#include <string>

#include "quorvant/quorvant_baselib/model_tables.h"

// Time values of the model file.
struct TimeSpan {
    double t_start = 0;
    double t_end = 0;
    double dt = 0;   // integration step (initial step of the adaptive and NDF solvers)
    double dm = 0;   // sampling interval
};

// ---- Command line (options.cpp) ----

struct SimOptions {
    std::string input;    // -I<file>: model input file
    std::string output;   // -O<file>: base name of the result files
};

// Reads the options (each value glued to its letter). Returns 0, or -1 after logging
// "initialize: invalid argument !!" or "initialize: invarid file name!!".
int parseOptions(int argc, char **argv, SimOptions &opt);

// Name of the result file of one rank: "<output>_<rank>".
std::string rankFileName(const std::string &output, int rank);

// ---- Survey cases (survey.cpp) ----

// The cases one process runs: first .. last-1 of total.
struct CaseRange {
    int total = 1;
    int first = 0;
    int last = 1;
    bool split = false;   // true when the cases were spread over the processes
};

// Number of cases of a survey: the product of the steps of its entries (1 without entries).
int surveyCaseCount(const survey *entries, int count);

// Share of rank `rank` among `nprocs` processes. With `spread` and total >= nprocs, each process
// gets total/nprocs consecutive cases and the highest ranks one more each for the remainder;
// otherwise every process runs every case.
CaseRange divideCases(int total, int nprocs, int rank, bool spread);

// Digit of entry `entry` in case `c`: a mixed-radix counter with the first entry fastest. With
// backAndForth (steady-state solvers) each digit runs up and down alternately, so that
// neighbouring cases differ by one step of one entry; the digit depends on c alone, whichever
// process runs the case.
int surveyDigit(const survey *entries, int entry, int c, bool backAndForth);

// Value of a survey entry at a digit: start + d*change (arithmetic) or start * change^d.
double surveyValue(const survey &entry, int digit);

// Decides this process's cases; with a survey writes the case count to Fp_out and the log.
CaseRange survey_pre(int nprocs, int rank);

// Writes the survey values of case c into ParamB and describes them on Fp_out.
void setSurveyValue(int c);

// End of the run: restart file (rank 0, without survey), sum of the success flags, closing line
// of every result file and the join on rank 0. Returns 0, or -1 when the run must abort.
int survey_post(int success, const CaseRange &cases, int nprocs, int rank, const std::string &output,
                double *y, const TimeSpan &ts);

// ---- Final result file (final_file.cpp) ----

// Makes the result file `output` from the per-rank files "<output>_<k>". When the cases were not
// spread over several processes (every process ran every case) rank 0's file becomes the result;
// otherwise the files are joined in rank order. Returns 0 or -1.
int makeFinalFile(int nprocs, bool split, const std::string &output);

// ---- Reports (reports.cpp) ----

enum class EigenForm { ResultFile, RestartFile };

// Echo of the run settings at the head of the result file (rank 0).
void writeInputData(const double *y, const TimeSpan &ts);
// Restart file "initVal.txt": settings, parameters, eigenvalues and the final state as Y_START lines.
void writeInitData(double *y, const TimeSpan &ts);
// Eigenvalues of the model Jacobian at y, written to fp in the given form.
void calc_eigenvalues(double *y, FILE *fp, EigenForm form);
// Writes computed eigenvalues; when the QR iteration did not converge (status != 0) only the
// eigenvalues found are written and the log says so.
void writeEigenvalues(FILE *fp, EigenForm form, const double *wr, const double *wi, int n, int status);

// Current local time (as in the system log), in a buffer of this program.

// Ends the process after a fatal input condition (exit status 255), shutting MPI down first.
[[noreturn]] void fatalExit();

#endif
