// Running the simulator built for the hardening tests (bin/simulator_corpus, the linear chain
// model) as a user would: under mpiexec, in a temporary directory, with a time limit, and reading
// its log and the files it leaves.
#ifndef QUORVANT_TEST_CORPUS_SUPPORT_H
#define QUORVANT_TEST_CORPUS_SUPPORT_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "text_files.h"

// A test that shows a known fault in code that is fixed elsewhere: reported as skipped with the
// fault's description, and run for real when QV_KNOWN_FAULTS is set (to check a fix).
#define QV_KNOWN_FAULT(note)                                                                  \
    do {                                                                                      \
        if (std::getenv("QV_KNOWN_FAULTS") == nullptr) GTEST_SKIP() << "known fault: " << (note); \
    } while (0)

namespace hardening {

namespace fs = std::filesystem;

// Status that `timeout` gives a command it had to stop.
constexpr int kTimedOut = 124;

inline std::string quote(const std::string &s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Environment of the launched programs:
// - Open MPI waits 2 s after a process ended with a non-zero status before it kills the others;
//   the hundreds of failing runs here need no grace period (other MPI implementations ignore it);
// - in the sanitizer tree the leak checker must see the MPI library's frames to apply the
//   suppressions for what it keeps until exit; the fast unwinder stops at its first frame, which
//   belongs to a library without frame pointers (ignored by programs built without sanitizers).
//   That slow unwinding of every allocation triples the cost of a short run, so a caller that
//   expects the run to end on a fatal error may do without the leak check (`leaks` false): what
//   a process that exits there still holds is not lost in any run that goes on.
inline std::string launchEnv(bool leaks = true) {
    const char *asan = std::getenv("ASAN_OPTIONS");
    std::string opts = asan != nullptr && asan[0] != '\0' ? std::string(asan) + ":" : std::string();
    // The slow unwinder is needed only to attribute leaks; without leak checks the fast one does.
    opts += leaks ? "fast_unwind_on_malloc=0" : "detect_leaks=0:fast_unwind_on_malloc=1";
    return "env OMPI_MCA_odls_base_sigkill_timeout=0 ASAN_OPTIONS=" + quote(opts) + " ";
}

using qv::test::read_file;
using qv::test::split_lines;
using qv::test::write_file;

// The whole line `want` is in the log.
inline bool hasLine(const std::string &log, const std::string &want) {
    for (const std::string &l : split_lines(log)) {
        if (l == want) return true;
    }
    return false;
}

inline std::string simulatorPath() { return std::string(QV_BINARY_DIR) + "/bin/simulator_corpus"; }

// A report of the address, leak or undefined-behaviour sanitizer in a log, or "".
inline std::string sanitizerReport(const std::string &log) {
    for (const char *mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"}) {
        const size_t p = log.find(mark);
        if (p != std::string::npos) return log.substr(p, 400);
    }
    return "";
}

struct RunResult {
    int status = -1;   // exit status; kTimedOut when the time limit stopped it
    std::string log;   // standard output and error
};

class TempDirTest : public testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        char tmpl[] = "/tmp/qv_hard_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override {
        if (!HasFailure()) {
            std::error_code ec;
            fs::remove_all(dir, ec);
        }
    }

    // Runs a shell command line in the temporary directory, stopped after `seconds`.
    RunResult shell(const std::string &command, int seconds) {
        const std::string cmd = "cd " + quote(dir.string()) + " && timeout -k 10 " +
                                std::to_string(seconds) + " " + command + " > run.log 2>&1";
        const int rc = std::system(cmd.c_str());
        RunResult r;
        r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        r.log = read_file(dir / "run.log");
        return r;
    }

    // The simulator on `nprocs` processes with the given arguments (`leaks`: see launchEnv).
    RunResult simulate(const std::vector<std::string> &args, int nprocs = 1, int seconds = 120, bool leaks = true) {
        std::string cmd = launchEnv(leaks) + QV_MPIEXEC + " -n " + std::to_string(nprocs) + " " +
                          quote(simulatorPath());
        for (const auto &a : args) cmd.append(" ").append(quote(a));
        return shell(cmd, seconds);
    }

    fs::path at(const std::string &name) const { return dir / name; }
    bool exists(const std::string &name) const { return fs::exists(dir / name); }
    std::string file(const std::string &name) const { return read_file(dir / name); }
};

}  // namespace hardening

#endif
