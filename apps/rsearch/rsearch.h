// rsearch: estimates model parameters by pure random search. Every search draws one vector of the
// model file's search variables uniformly inside their ranges, simulates the model once with it,
// scores the time course with the model's QvUsrFitness and writes the result. On several MPI
// processes rank 0 deals out the searches and every other rank performs them.
#ifndef QUORVANT_APPS_RSEARCH_H
#define QUORVANT_APPS_RSEARCH_H

#include <cstdio>
#include <string>

#include "quorvant/common/limits.h"

namespace qv {
// Every file name, the suffixes the program appends included, fits in this many characters with
// its terminating zero.
constexpr int kRsNameSize = 4096;
}  // namespace qv

// The command line:
//   rsearch -I <model file> -O <output base name> -n <searches> [-j <searches per message>] [-S <seed>]
struct RsOptions {
    std::string modelFile;    // -I: the file rank 0 reads; the others read their received copy
    std::string outBase;      // -O
    int searches = 0;         // -n
    int perMessage = 1;       // -j
    bool seedGiven = false;   // -S: seeds rank 0's stream (and through it every slave's)
    unsigned long seed = 0;
};

// What the model file gives a search: the time span and the start values y[1 .. n_var].
struct RsModel {
    double tStart = 0.0;
    double tEnd = 0.0;
    double deltaT = 0.0;
    double dtSave = 0.0;
    double y[qv::kStateSize] = {};
};

// ---- Program frame (main.cpp) ---------------------------------------------------------------------
// Log, options, model file distribution and, on a searching process, the two result files; the
// name of the model file this process reads comes back in modelFile. 0, or -1 after the message.
int my_init(int argc, char **argv, int rank, int size, RsOptions *opts, std::string *modelFile);
void my_final();

// ---- Options (options.cpp) ------------------------------------------------------------------------
// Parses and checks the command line of a run on `size` processes: 0, or -1 after the message.
int ParseRsearchOptions(int argc, char **argv, int size, RsOptions *opts);

// ---- Message schedule (shared by the master and the tests) ----------------------------------------
// N searches in messages of at most J: ceil(N / J) messages, all of J but the last, which holds
// the remainder when there is one. Requires N >= 1 and J >= 1.
constexpr int RsMessageCount(int searches, int perMessage) {
    return searches / perMessage + (searches % perMessage != 0 ? 1 : 0);
}
constexpr int RsMessageSize(int searches, int perMessage, int k) {
    const int last = RsMessageCount(searches, perMessage) - 1;
    return k == last && searches % perMessage != 0 ? searches % perMessage : perMessage;
}

// ---- Result files (result_files.cpp) -------------------------------------------------------------
extern FILE *fpOutList;   // list file of this process (the results file is the driver's Fp_out)

// Opens "<base>_<rank>" as Fp_out and "<base>_list_<rank>" as fpOutList: 0, or -1 after the message.
int OpenResultFiles(const std::string &base, int rank);
void CloseResultFiles();
// The header of both files: run settings, start values, parameters, time events; then the column
// line of the list file.
void writeInputData(const double *y, double tStart, double tEnd, double deltaT, double dtSave);
// One search: its block in the results file and its line in the list file.
void printResultFile(const double *v, double fitness, int first, int second, int solverResult);

// ---- One search (search.cpp) ----------------------------------------------------------------------
// Takes the snapshot every search starts from (call right after the model file was read) and
// allocates the solution matrix: 0, or -1 after the message.
int PrepareSearches(const RsModel &model);
void ReleaseSearches();
// Draws one vector v[0 .. P_GaNum-1] uniformly inside the search ranges and installs it in ParamT.
void setRandomParam(double *v);
// One search numbered first-second: restore, draw, simulate, score, write. 0, or -1 when the
// fitness function reports an error (-1; on a slave any negative result), the search unwritten.
int RunOneSearch(int first, int second, bool anyNegativeFails);
// All searches of a run on one process, numbered 0-0, 0-1, ...: 0, or -1.
int do_search_single(int searches);

// ---- Distribution over MPI (master.cpp, slave.cpp) -------------------------------------------------
// Seeds every stream: rank 0 from -S or the clock; it then sends every slave a seed drawn from
// its own stream. 0, or -1 after the message.
int distribute_slave_seed(int rank, int size, const RsOptions &opts);
int ReceiveSlaveSeed(int rank);
int master_job(int searches, int perMessage, int size);
int slave_job(int rank);
// Rank 0 deals out the searches, the other ranks perform them: 0, or -1.
int do_search_mpi(int searches, int perMessage, int rank, int size);

#endif
