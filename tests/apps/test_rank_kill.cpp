// A survey on 4 processes in which one process is killed (SIGKILL) while it integrates: the job
// must end on its own within a bounded time, with a non-zero status, and nothing may claim success
// (no joined result file ending in END ALL, no END ALL line in the log).
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "test_corpus_support.h"

using namespace hardening;

namespace {

constexpr int kRanks = 4;
// Each rank runs two cases of 10^8 fixed steps: seconds each, far longer than the test needs to
// see every rank at work.
const char *const kLongSurvey = R"(SOLVER ; 1
P_SURVEY ; 1
PARALLEL ; 1
N_VAR ; 2
G_VALUE ; 1
T_START ; 0
T_END ; 10000
DELTA_T ; 0.0001
DELTA_M ; 10000
PARAM_NAME ; k1
PARAM_NAME ; k2
PARAM ; k1 ; 1 ; 1.0 ;; 8 ; D ; 0.1
PARAM ; k2 ; 1 ; 0.5
)";

// CPU time every rank must have used before one is killed: well past loading the model.
constexpr double kBusySeconds = 0.3;
constexpr auto kStartLimit = std::chrono::seconds(120);
// After the kill the job must be over within this time.
constexpr auto kEndLimit = std::chrono::seconds(30);
constexpr auto kPoll = std::chrono::milliseconds(100);

struct Rank {
    pid_t pid = 0;
    int rank = -1;
};

std::string slurp(const std::string &path) { return readFile(path); }

// Our simulator processes: their command line holds the result name, which holds our unique
// temporary directory. Their rank is in the environment the launcher gives them.
std::vector<Rank> findRanks(const std::string &marker) {
    std::vector<Rank> found;
    for (const auto &e : fs::directory_iterator("/proc")) {
        const std::string pid = e.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        // The program itself (argv[0]), not the launcher or `timeout` that name it in their arguments.
        const std::string cmd = slurp("/proc/" + pid + "/cmdline");
        if (cmd.rfind(simulatorPath() + '\0', 0) != 0 || cmd.find(marker) == std::string::npos) continue;
        Rank r;
        r.pid = static_cast<pid_t>(std::stol(pid));
        const std::string env = slurp("/proc/" + pid + "/environ");
        for (const char *key : {"OMPI_COMM_WORLD_RANK=", "PMI_RANK="}) {
            const size_t p = env.find(key);
            if (p != std::string::npos && (p == 0 || env[p - 1] == '\0')) {
                r.rank = std::atoi(env.c_str() + p + std::strlen(key));
                break;
            }
        }
        found.push_back(r);
    }
    return found;
}

// User and system CPU seconds of a process (0 when it is gone).
double cpuSeconds(pid_t pid) {
    const std::string stat = slurp("/proc/" + std::to_string(pid) + "/stat");
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

class RankKill : public TempDirTest, public testing::WithParamInterface<int> {
protected:
    pid_t launcher = 0;

    void TearDown() override {
        // Nothing of ours may outlive the test.
        if (launcher > 0) {
            kill(-launcher, SIGKILL);
            waitpid(launcher, nullptr, 0);
        }
        for (const Rank &r : findRanks(dir.string())) {
            ADD_FAILURE() << "rank " << r.rank << " (pid " << r.pid << ") outlived the job";
            kill(r.pid, SIGKILL);
        }
        TempDirTest::TearDown();
    }

    // Starts mpiexec in its own process group; the time limit is a last resort.
    void launch(const std::vector<std::string> &args) {
        std::string cmd = "cd " + quote(dir.string()) + " && exec timeout -k 10 300 " + QV_MPIEXEC +
                          " -n " + std::to_string(kRanks) + " " + quote(simulatorPath());
        for (const auto &a : args) cmd += " " + quote(a);
        cmd += " > run.log 2>&1";
        launcher = fork();
        ASSERT_GE(launcher, 0);
        if (launcher == 0) {
            setpgid(0, 0);
            execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        setpgid(launcher, launcher);
    }

    // Waits for the launcher up to `limit`; returns its exit status, or -1 if it is still running.
    int waitLauncher(std::chrono::steady_clock::duration limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            int st = 0;
            if (waitpid(launcher, &st, WNOHANG) == launcher) {
                launcher = 0;
                return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            }
            if (std::chrono::steady_clock::now() >= end) return -1;
            std::this_thread::sleep_for(kPoll);
        }
    }
};

TEST_P(RankKill, JobEndsWithoutClaimingSuccess) {
    const int victim = GetParam();
    writeFile(at("survey.in"), kLongSurvey);
    const std::string out = (dir / "out").string();
    launch({"-I" + (dir / "survey.in").string(), "-O" + out});

    // Wait until all four ranks are at work.
    std::vector<Rank> ranks;
    const auto startEnd = std::chrono::steady_clock::now() + kStartLimit;
    for (;;) {
        ranks = findRanks(dir.string());
        bool busy = ranks.size() == static_cast<size_t>(kRanks);
        for (const Rank &r : ranks) busy = busy && cpuSeconds(r.pid) >= kBusySeconds;
        if (busy) break;
        ASSERT_LT(std::chrono::steady_clock::now(), startEnd)
            << "the ranks did not start: " << ranks.size() << " found\n" << file("run.log");
        ASSERT_EQ(waitLauncher(std::chrono::seconds(0)), -1) << "the job ended early\n" << file("run.log");
        std::this_thread::sleep_for(kPoll);
    }
    pid_t target = 0;
    for (const Rank &r : ranks) {
        if (r.rank == victim) target = r.pid;
    }
    ASSERT_NE(target, 0) << "no process with rank " << victim;
    ASSERT_EQ(kill(target, SIGKILL), 0);

    const int status = waitLauncher(kEndLimit);
    const std::string log = file("run.log");
    ASSERT_NE(status, -1) << "the job did not end within " << kEndLimit.count() << " s of the kill\n" << log;
    EXPECT_NE(status, 0) << log;
    EXPECT_NE(status, kTimedOut) << log;
    EXPECT_FALSE(hasLine(log, "END ALL!!")) << log;
    if (exists("out")) {
        EXPECT_EQ(file("out").find("END ALL"), std::string::npos) << "a joined result claims success";
    }
}

INSTANTIATE_TEST_SUITE_P(KilledRank, RankKill, testing::Values(0, 2),
                         [](const testing::TestParamInfo<int> &i) { return "rank" + std::to_string(i.param); });

}  // namespace
