// gasearch on several processes: the master/worker island GA run end to end under mpiexec, read as
// a user reads it (status, progress lines, result, report file), and a worker killed mid-run.
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <thread>

#include "test_simulator_support.h"

namespace {

using namespace simtest;

// The linear chain with both rate constants searched; its fitness -(X2(5) - 0.5)^2 is at most 0.
const std::string kLinearModel =
    "SOLVER;1\nN_VAR;2\nG_VALUE;1\nT_START;0\nT_END;5\nDELTA_T;0.01\nDELTA_M;0.5\n"
    "PARAM_NAME;k1\nPARAM_NAME;k2\n"
    "PARAM;k1;1;1.0;;;S;;0.1;10\nPARAM;k2;1;0.5;;;S;;0.01;1\n"
    "Y_START;1;1.0\nY_START;2;0.5\n";

// Three islands, so that 5 processes leave one worker without an island.
const std::string kLinearGa =
    "ENCODE;REAL;\nGATYPE;DGA;12;;3;10;RandomRing;3;0.2;\nDIGENESIS;NORMAL;2;Tournament;2;\n"
    "CROSSOVER;BLX;0.5;\nMUTATION;FixedNormal;0.2;0.3;\n";

struct Progress {
    int generation;
    double fitness;
    std::vector<double> gene;
};

std::vector<Progress> progressLines(const std::string &log) {
    std::vector<Progress> out;
    for (const std::string &line : lines(log)) {
        Progress p{};
        int obtained = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "generation[%d], Obtain: %d, Fitness: %le, Gene: (%n", &p.generation, &obtained,
                        &p.fitness, &used) != 3 ||
            used == 0 || line.back() != ')')
            continue;
        p.gene = numbers(line.substr(used, line.size() - used - 1));
        out.push_back(p);
    }
    return out;
}

// The generation numbers of the report file's blocks, in file order.
std::vector<int> reportBlocks(const std::string &report) {
    std::vector<int> g;
    for (const std::string &line : lines(report))
        if (line.rfind("generation,", 0) == 0) g.push_back(std::atoi(line.c_str() + 11));
    return g;
}

std::string gaFileWith(const std::string &name, const std::string &from, const std::string &to) {
    std::string text = readFile(modelFile("fitting/" + name));
    return from.empty() ? text : replaced(text, from, to);
}

struct RunCase {
    const char *name;
    int nprocs;
    const char *program;   // gasearch_fitting: the fitting example, else the linear chain
    std::string ga;        // text of the GA parameter file
    int generations;       // progress lines expected; 0: the run may stop early at its target
    bool repeat;           // run a second time: the same log lines and report file
};

TEST_F(SimulatorRun, ParallelRunsReportEveryGenerationOnceAndRecoverTheParameters) {
    const double truth[] = {2.0, 1.5, 0.5};   // Vmax, Km, k2 of the fitting example
    // DIGA: the three (two) islands merge into one after a third of the generations.
    const std::string normalDiga = gaFileWith("fitting_normal.ga", "GATYPE;DGA;  300;         -1e-8;  3;       40;"
                                              "         RandomRing; 10;      0.1;",
                                              "GATYPE;DIGA;300;-1e-8;3;40;100;");
    const std::string mggDiga = gaFileWith("fitting_mgg.ga", "GATYPE;DGA;  3000;        -1e-8;  2;       30;"
                                           "         RandomRing; 50;      0.1;",
                                           "GATYPE;DIGA;3000;-1e-8;2;30;1000;");
    const std::string normal = gaFileWith("fitting_normal.ga", "", "");
    const std::string mgg = gaFileWith("fitting_mgg.ga", "", "");
    const std::string beatenAtOnce = replaced(kLinearGa, "DGA;12;;", "DGA;12;-1e300;");
    const RunCase cases[] = {
        {"NORMAL DGA, one worker", 2, "gasearch_fitting", normal, 0, false},
        {"MGG DGA, two workers", 3, "gasearch_fitting", mgg, 0, false},
        {"NORMAL DIGA, four workers for three islands", 5, "gasearch_fitting", normalDiga, 0, false},
        {"MGG DIGA, one worker", 2, "gasearch_fitting", mggDiga, 0, false},
        {"NORMAL DGA, four workers", 5, "gasearch_fitting", normal, 0, false},
        {"linear, seeded twice on one worker", 2, "gasearch_linear", kLinearGa, 12, true},
        {"linear, four workers for three islands", 5, "gasearch_linear", kLinearGa, 12, false},
        {"linear, generation 0 beats the target", 3, "gasearch_linear", beatenAtOnce, 1, false},
    };
    writeFile("linear.in", kLinearModel);
    for (const RunCase &c : cases) {
        SCOPED_TRACE(c.name);
        const bool fitting = std::string(c.program) == "gasearch_fitting";
        writeFile("ga.txt", c.ga);
        const std::vector<std::string> args = {"-I", fitting ? modelFile("fitting/fitting.in") : "linear.in", "-p",
                                               "ga.txt", "-f", "a.csv", "-S", "12345"};
        const RunResult r = run(c.program, c.nprocs, args);
        ASSERT_EQ(r.status, 0) << r.log;

        // Every rank seeds its own stream from the base seed.
        EXPECT_EQ(count(r.log, "Random seed: 12345\n"), 1u) << r.log;
        for (int rank = 1; rank < c.nprocs; ++rank)
            EXPECT_EQ(count(r.log, "Random seed of rank " + std::to_string(rank) + ": " +
                                       std::to_string(12345 + rank) + "\n"),
                      1u)
                << r.log;

        // One progress line and one report block per generation, in order from 0; one result.
        const std::vector<Progress> p = progressLines(r.log);
        ASSERT_FALSE(p.empty()) << r.log;
        if (c.generations > 0) {
            EXPECT_EQ(p.size(), static_cast<size_t>(c.generations)) << r.log;
        }
        const std::vector<int> blocks = reportBlocks(file("a.csv"));
        ASSERT_EQ(blocks.size(), p.size());
        for (size_t g = 0; g < p.size(); ++g) {
            EXPECT_EQ(p[g].generation, static_cast<int>(g));
            EXPECT_EQ(blocks[g], static_cast<int>(g));
            if (g > 0) {
                EXPECT_GE(p[g].fitness, p[g - 1].fitness);
            }
        }
        EXPECT_EQ(count(r.log, "******Search Result******"), 1u);

        if (fitting) {
            ASSERT_EQ(p.back().gene.size(), 3u);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(p.back().gene[k], truth[k], 0.02 * truth[k]) << k;
        } else {
            ASSERT_EQ(p.back().gene.size(), 2u);
            EXPECT_LE(p.back().fitness, 0.0);
        }

        if (c.repeat) {
            const RunResult again = run(c.program, c.nprocs, {"-I", "linear.in", "-p", "ga.txt", "-f", "b.csv",
                                                              "-S", "12345"});
            ASSERT_EQ(again.status, 0) << again.log;
            // The ranks' lines interleave freely; as sets the two logs are equal (but for the
            // clock time of each rank's start line), and rank 0's output (progress, result) and
            // the report file are equal in order too.
            const auto untimed = [](const std::string &log) {
                std::vector<std::string> v;
                for (const std::string &line : lines(log))
                    if (line.find(" : Start!! : ") == std::string::npos) v.push_back(line);
                return v;
            };
            std::vector<std::string> la = untimed(r.log), lb = untimed(again.log);
            std::sort(la.begin(), la.end());
            std::sort(lb.begin(), lb.end());
            std::vector<std::string> onlyOne;
            std::set_symmetric_difference(la.begin(), la.end(), lb.begin(), lb.end(), std::back_inserter(onlyOne));
            EXPECT_TRUE(onlyOne.empty()) << "first line in one log only: " << (onlyOne.empty() ? "" : onlyOne[0]);
            EXPECT_EQ(r.log.substr(r.log.find("generation[0]")), again.log.substr(again.log.find("generation[0]")));
            EXPECT_EQ(file("a.csv"), file("b.csv"));
        }
    }
}

// A worker killed with SIGKILL while it evaluates: the job ends by itself within a bounded time,
// with a non-zero status, and nothing claims a result.
class WorkerKill : public SimulatorRun {
protected:
    static constexpr int kRanks = 3;
    static constexpr double kBusySeconds = 0.3;   // CPU each worker has used before the kill
    static constexpr auto kStartLimit = std::chrono::seconds(120);
    static constexpr auto kEndLimit = std::chrono::seconds(30);
    static constexpr auto kPoll = std::chrono::milliseconds(100);

    pid_t launcher = 0;

    static std::string program() { return std::string(QV_BINARY_DIR) + "/bin/gasearch_fitting"; }

    void TearDown() override {
        if (launcher > 0) {
            kill(-launcher, SIGKILL);
            waitpid(launcher, nullptr, 0);
        }
        for (pid_t pid : ranks()) {
            ADD_FAILURE() << "pid " << pid << " outlived the job";
            kill(pid, SIGKILL);
        }
        SimulatorRun::TearDown();
    }

    // Our gasearch processes (argv[0] is the program; the arguments name our directory), with
    // their rank from the launcher's environment.
    std::vector<pid_t> ranks(std::vector<int> *rankOf = nullptr) {
        std::vector<pid_t> found;
        for (const auto &e : fs::directory_iterator("/proc")) {
            const std::string pid = e.path().filename().string();
            if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
            const std::string cmd = readFile("/proc/" + pid + "/cmdline");
            if (cmd.rfind(program() + '\0', 0) != 0 || cmd.find(dir.string()) == std::string::npos) continue;
            found.push_back(static_cast<pid_t>(std::stol(pid)));
            if (rankOf) {
                const std::string env = readFile("/proc/" + pid + "/environ");
                int rank = -1;
                for (const char *key : {"OMPI_COMM_WORLD_RANK=", "PMI_RANK="}) {
                    const size_t at = env.find(key);
                    if (at != std::string::npos && (at == 0 || env[at - 1] == '\0')) {
                        rank = std::atoi(env.c_str() + at + std::strlen(key));
                        break;
                    }
                }
                rankOf->push_back(rank);
            }
        }
        return found;
    }

    static double cpuSeconds(pid_t pid) {
        const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos) return 0;
        std::istringstream in(stat.substr(close + 2));
        std::string field;
        long ticks = 0;
        for (int i = 3; i <= 15 && in >> field; ++i)   // utime and stime are fields 14 and 15
            if (i >= 14) ticks += std::atol(field.c_str());
        return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
    }

    // The launcher's exit status, or -1 if it still runs after `limit`.
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

TEST_F(WorkerKill, TheJobEndsWithoutAResult) {
    // The fitting example with an unreachable target and many generations: minutes of work.
    writeFile("model.in", readFile(modelFile("fitting/fitting.in")));
    writeFile("ga.txt", gaFileWith("fitting_normal.ga", "300;         -1e-8;", "100000; 1;"));
    std::string cmd = "cd " + quote(dir.string()) + " && exec timeout -k 10 300 " + QV_MPIEXEC + " -n " +
                      std::to_string(kRanks) + " " + quote(program()) + " -I " + quote((dir / "model.in").string()) +
                      " -p ga.txt > run.log 2>&1";
    launcher = fork();
    ASSERT_GE(launcher, 0);
    if (launcher == 0) {
        setpgid(0, 0);
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    setpgid(launcher, launcher);

    // Wait until both workers compute (the master sleeps while it waits, so its CPU time is small).
    pid_t victim = 0;
    const auto startEnd = std::chrono::steady_clock::now() + kStartLimit;
    for (;;) {
        std::vector<int> rankOf;
        const std::vector<pid_t> pids = ranks(&rankOf);
        int busy = 0;
        victim = 0;
        for (size_t i = 0; i < pids.size(); ++i) {
            if (rankOf[i] >= 1 && cpuSeconds(pids[i]) >= kBusySeconds) ++busy;
            if (rankOf[i] == 1) victim = pids[i];
        }
        if (busy == kRanks - 1 && victim != 0) break;
        ASSERT_LT(std::chrono::steady_clock::now(), startEnd) << "the workers did not start\n" << file("run.log");
        ASSERT_EQ(waitLauncher(std::chrono::seconds(0)), -1) << "the job ended early\n" << file("run.log");
        std::this_thread::sleep_for(kPoll);
    }
    ASSERT_EQ(kill(victim, SIGKILL), 0);

    const int status = waitLauncher(kEndLimit);
    const std::string log = file("run.log");
    ASSERT_NE(status, -1) << "the job did not end within 30 s of the kill\n" << log;
    EXPECT_NE(status, 0) << log;
    EXPECT_NE(status, 124) << "ended by the time limit\n" << log;
    EXPECT_EQ(log.find("Search Result"), std::string::npos) << log;
}

}  // namespace
