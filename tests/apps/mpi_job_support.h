// An MPI job run in the background, for the tests that kill one of its processes while it works:
// mpiexec starts in its own process group under a time limit, with its output in run.log of the
// test's directory; the job's processes are found in /proc by their program and by the directory
// their arguments name; and whatever outlives the job is reported as a failure and killed.
#ifndef QUORVANT_TEST_MPI_JOB_SUPPORT_H
#define QUORVANT_TEST_MPI_JOB_SUPPORT_H

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "text_files.h"

namespace mpijob {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kTimedOut = 124;                              // status `timeout` gives a job it stopped
constexpr const char *kTimeLimit = "timeout -k 10 300 ";    // a last resort: the tests end jobs sooner
constexpr auto kStartLimit = std::chrono::seconds(120);     // for every rank to get to work
constexpr auto kPoll = std::chrono::milliseconds(100);
constexpr const char *kLogName = "run.log";

using qv::test::read_file;

inline std::string shellQuoted(const std::string &s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct Rank {
    pid_t pid = 0;
    int rank = -1;   // -1: the launcher's environment names none
};

// The rank the launcher gave a process, from its environment (Open MPI's or MPICH's variable).
inline int rankInEnvironment(const std::string &environ) {
    for (const char *key : {"OMPI_COMM_WORLD_RANK=", "PMI_RANK="}) {
        const size_t p = environ.find(key);
        if (p != std::string::npos && (p == 0 || environ[p - 1] == '\0'))
            return std::atoi(environ.c_str() + p + std::strlen(key));
    }
    return -1;
}

// User and system CPU seconds of a process (0 when it is gone).
inline double cpuSeconds(pid_t pid) {
    const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream in(stat.substr(close + 2));
    std::string field;
    long ticks = 0;
    // Fields after the command: state is 3rd overall; utime and stime are the 14th and 15th.
    for (int i = 3; i <= 15 && in >> field; ++i) {
        if (i >= 14) ticks += std::atol(field.c_str());
    }
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

class MpiJob {
public:
    MpiJob() = default;
    MpiJob(const MpiJob &) = delete;
    MpiJob &operator=(const MpiJob &) = delete;
    ~MpiJob() { killLauncher(); }

    // Starts `mpiexec -n nprocs program args...` in dir. The arguments must name dir: that is how
    // the job's processes are told from those of other tests. false after a failure.
    bool launch(const fs::path &dir, const std::string &program, int nprocs, const std::vector<std::string> &args) {
        dir_ = dir;
        program_ = program;
        nprocs_ = nprocs;
        status_ = -1;
        std::string cmd = "cd " + shellQuoted(dir.string()) + " && exec " + kTimeLimit + QV_MPIEXEC + " -n " +
                          std::to_string(nprocs) + " " + shellQuoted(program);
        bool named = false;
        for (const auto &a : args) {
            cmd.append(" ").append(shellQuoted(a));
            named = named || a.find(dir.string()) != std::string::npos;
        }
        cmd += " > " + std::string(kLogName) + " 2>&1";
        if (!named) {
            ADD_FAILURE() << "no argument names " << dir << ": the job's processes could not be found";
            return false;
        }
        launcher_ = fork();
        if (launcher_ < 0) {
            ADD_FAILURE() << "fork: " << std::strerror(errno);
            launcher_ = 0;
            return false;
        }
        if (launcher_ == 0) {
            setpgid(0, 0);
            execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        setpgid(launcher_, launcher_);
        return true;
    }

    std::string log() const { return read_file(dir_ / kLogName); }

    // The job's processes now: argv[0] is the program (not the launcher or `timeout`, which name it
    // in their arguments) and an argument names our directory.
    std::vector<Rank> ranks() const {
        std::vector<Rank> found;
        if (program_.empty()) return found;
        for (const auto &e : fs::directory_iterator("/proc")) {
            const std::string pid = e.path().filename().string();
            if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
            const std::string cmd = read_file("/proc/" + pid + "/cmdline");
            if (cmd.rfind(program_ + '\0', 0) != 0 || cmd.find(dir_.string()) == std::string::npos) continue;
            found.push_back({static_cast<pid_t>(std::stol(pid)), rankInEnvironment(read_file("/proc/" + pid + "/environ"))});
        }
        return found;
    }

    // The launcher's exit status (128 + the signal when one ended it), or -1 while it still runs
    // after `limit` (or was never started).
    int wait(Clock::duration limit) {
        const auto end = Clock::now() + limit;
        for (;;) {
            int st = 0;
            if (launcher_ <= 0) return status_;
            if (waitpid(launcher_, &st, WNOHANG) == launcher_) {
                launcher_ = 0;
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                return status_;
            }
            if (Clock::now() >= end) return -1;
            std::this_thread::sleep_for(kPoll);
        }
    }

    // Waits until every rank runs and ranks firstBusy and up have each used busySeconds of CPU
    // (well past loading the model). The pid of every rank; empty after a failure (the ranks did
    // not get to work within kStartLimit, or the job ended first).
    std::map<int, pid_t> waitUntilBusy(int firstBusy, double busySeconds) {
        const auto end = Clock::now() + kStartLimit;
        for (;;) {
            std::map<int, pid_t> byRank;
            for (const Rank &r : ranks()) {
                if (r.rank >= 0) byRank[r.rank] = r.pid;
            }
            int busy = 0;
            for (int k = firstBusy; k < nprocs_; ++k) {
                if (byRank.count(k) && cpuSeconds(byRank[k]) >= busySeconds) ++busy;
            }
            if (byRank.size() == static_cast<size_t>(nprocs_) && busy == nprocs_ - firstBusy) return byRank;
            if (Clock::now() >= end) {
                ADD_FAILURE() << "the ranks did not get to work: " << byRank.size() << " of " << nprocs_
                              << " found, " << busy << " busy\n" << log();
                return {};
            }
            if (wait(std::chrono::seconds(0)) != -1) {
                ADD_FAILURE() << "the job ended early\n" << log();
                return {};
            }
            std::this_thread::sleep_for(kPoll);
        }
    }

    // Waits up to `limit` for the job to end by itself, and checks that it failed: a non-zero
    // status that is not the time limit's.
    void expectFailedEnd(std::chrono::seconds limit) {
        const int status = wait(limit);
        ASSERT_NE(status, -1) << "the job did not end within " << limit.count() << " s of the kill\n" << log();
        EXPECT_NE(status, 0) << log();
        EXPECT_NE(status, kTimedOut) << "ended by the time limit\n" << log();
    }

    // For TearDown: ends the launcher's process group, then reports and kills every process of the
    // job that outlived it.
    void stop() {
        killLauncher();
        for (const Rank &r : ranks()) {
            ADD_FAILURE() << "rank " << r.rank << " (pid " << r.pid << ") outlived the job";
            kill(r.pid, SIGKILL);
        }
    }

private:
    void killLauncher() {
        if (launcher_ <= 0) return;
        kill(-launcher_, SIGKILL);
        waitpid(launcher_, nullptr, 0);
        launcher_ = 0;
    }

    fs::path dir_;
    std::string program_;
    int nprocs_ = 0;
    pid_t launcher_ = 0;
    int status_ = -1;   // the launcher's, once it has been waited for
};

// A test fixture (DirTest: one with a temporary directory `dir`) with a job that TearDown ends,
// failing the test for every process that outlived it, before the directory goes.
template <class DirTest>
class WithMpiJob : public DirTest {
protected:
    MpiJob job;

    void TearDown() override {
        job.stop();
        DirTest::TearDown();
    }
};

}  // namespace mpijob

#endif
