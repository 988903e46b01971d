// Running the importer, the compiler and a case program as child processes, and the temporary
// work directory of a case.
#ifndef QUORVANT_SBML_CASE_SUBPROCESS_H
#define QUORVANT_SBML_CASE_SUBPROCESS_H

#include <string>
#include <vector>

namespace qv::sbml_case {

struct ProcessResult {
    bool started = false;    // false: the program could not be started (reason in `error`)
    bool timedOut = false;   // killed after the time limit
    int exitCode = -1;       // exit status when it exited normally, else -1
    int signal = 0;          // the signal that ended it, else 0
    std::string error;
    bool ok() const { return started && !timedOut && exitCode == 0; }
};

// Runs argv[0] with the arguments argv[1..] (no shell), standard input from /dev/null, standard
// output and standard error both into logPath. Kills the child after timeoutSeconds.
ProcessResult runProcess(const std::vector<std::string> &argv, const std::string &logPath,
                         double timeoutSeconds);

// The same in the directory cwd (empty: this one). At the time limit the child first gets
// SIGTERM (an MPI launcher passes it on to its ranks) and graceSeconds later SIGKILL.
ProcessResult runProcessIn(const std::vector<std::string> &argv, const std::string &logPath, double timeoutSeconds,
                           const std::string &cwd, double graceSeconds);

// A directory made under the system's temporary directory, removed with its contents when the
// object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    bool ok() const { return !path_.empty(); }
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

// Text of a file ("" when it cannot be read).
std::string readText(const std::string &path);

}  // namespace qv::sbml_case

#endif
