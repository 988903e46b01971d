// Streaming readers of the files the programs write: the simulator's result files (time courses,
// parameter surveys, steady states), gasearch's report file (-f) and rsearch's list files. Each reader
// goes through its file line by line and hands every row to a sink as it comes, so a file of any
// length is read in memory that does not grow with it. A reader stops at the first line that does not
// fit its format and says which line and why.
#ifndef QUORVANT_RESULTS_READ_H
#define QUORVANT_RESULTS_READ_H

#include <span>
#include <string>
#include <vector>

namespace quorvant::results {

enum class FileKind {
    Unknown,          // none of the files below
    Empty,            // no characters but blanks
    SimulatorResult,  // simulator -O file: time course, survey or steady state (joined or one rank's)
    GaReport,         // gasearch -f file: parameter summary, then one block per generation
    RsearchList,      // rsearch <base>_list_<rank>: one CSV line per search
    RsearchResult,    // rsearch <base>_<rank>: one block per search with its time course
    RestartFile,      // simulator initVal.txt: settings and the final state as Y_START lines
};

// The outcome of reading a file: on failure the 1-based line where the reader stopped (0 when the
// failure concerns the whole file) and the reason, without the file name.
struct ReadStatus {
    bool ok = true;
    long line = 0;
    std::string message;
    std::string note;   // a remark that does not stop the reading (e.g. a cut-off generation skipped)

    static ReadStatus failure(long line, std::string message) { return {false, line, std::move(message), {}}; }
};

// "FILE:LINE: message" (or "FILE: message" without a line): the one line shown to the user.
std::string describe(const std::string &path, const ReadStatus &status);

// What the file is, from its first lines. A file that cannot be opened is Unknown with `status` set.
FileKind recognise(const std::string &path, ReadStatus &status);
const char *kindName(FileKind kind);

// --- Simulator result files -------------------------------------------------------------------
struct SurveySetting {
    std::string name;   // "k1[1]"
    double value = 0;
};

struct SimulatorLayout {
    int solver = 0;                   // 0 when the file has no echo of the input (a rank's own file)
    int nVar = 0;
    std::vector<std::string> names;   // one per variable: its tag, or "y[i]" without one
    int cases = 0;                    // survey cases from the file's count line; 0 for a single run
    bool steady = false;              // steady-state blocks instead of time courses
    // rsearch result files: every search is a case whose settings are its rank, its number, its
    // fitness and its drawn values.
    bool searches = false;
};

class SimulatorSink {
public:
    virtual ~SimulatorSink() = default;
    // Once, before any case or row.
    virtual void start(const SimulatorLayout &) {}
    // Survey files only: the case number (1-based) and its survey values.
    virtual void beginCase(int, const std::vector<SurveySetting> &) {}
    virtual void timeRow(double, std::span<const double>) {}
    virtual void steadyState(std::span<const double>) {}
    virtual void endCase(bool /*succeeded*/) {}
};

ReadStatus readSimulatorResult(const std::string &path, SimulatorSink &sink);

// An rsearch result file (<base>_<rank>): one case per search block, its time course as the rows.
// A search whose simulation failed ("Solution not found.") ends as a failed case.
ReadStatus readRsearchResult(const std::string &path, SimulatorSink &sink);

// --- gasearch report files --------------------------------------------------------------------
struct GaLayout {
    int islands = 0;
    int population = 0;   // per island
    int total = 0;        // individuals per generation block
    int nVar = 0;
    std::vector<double> min, max;   // the search box as printed in the summary
};

class GaSink {
public:
    virtual ~GaSink() = default;
    virtual void start(const GaLayout &) {}
    virtual void beginGeneration(int) {}
    virtual void best(int /*obtained*/, double /*fitness*/, std::span<const double>) {}
    virtual void individual(int /*island*/, int /*rank*/, double /*fitness*/, std::span<const double>) {}
    // Only for a complete block (every individual of the generation present).
    virtual void endGeneration(int) {}
};

// With allowCutLast a last generation block that stops early (a run killed while writing) is left
// out with a note; without it such a file is refused.
ReadStatus readGaReport(const std::string &path, GaSink &sink, bool allowCutLast = false);

// --- rsearch list files -----------------------------------------------------------------------
class RsearchSink {
public:
    virtual ~RsearchSink() = default;
    virtual void start(const std::vector<std::string> & /*variable names*/) {}
    virtual void search(int /*rank*/, int /*number*/, double /*fitness*/, std::span<const double>) {}
};

// Several list files (the ranks of one run) are read one after the other as one table; their
// headers must name the same search variables. On failure `failedPath` names the file.
ReadStatus readRsearchLists(const std::vector<std::string> &paths, RsearchSink &sink, std::string &failedPath);

}  // namespace quorvant::results

#endif
