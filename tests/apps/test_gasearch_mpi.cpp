// gasearch on several processes: the master/worker island GA run end to end under mpiexec, read as
// a user reads it (status, progress lines, result, report file), and a worker killed mid-run.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <map>

#include "gasearch_run_support.h"
#include "mpi_job_support.h"

namespace {

using namespace simtest;
using namespace gatest;

// Three islands, so that 5 processes leave one worker without an island.
const std::string kLinearGa =
    "ENCODE;REAL;\nGATYPE;DGA;12;;3;10;RandomRing;3;0.2;\nDIGENESIS;NORMAL;2;Tournament;2;\n"
    "CROSSOVER;BLX;0.5;\nMUTATION;FixedNormal;0.2;0.3;\n";

// The generation numbers of the report file's blocks, in file order.
std::vector<int> reportBlocks(const std::string &report) {
    std::vector<int> g;
    for (const std::string &line : split_lines(report))
        if (line.rfind("generation,", 0) == 0) g.push_back(std::atoi(line.c_str() + 11));
    return g;
}

std::string gaFileWith(const std::string &name, const std::string &from, const std::string &to) {
    std::string text = read_file(modelFile("fitting/" + name));
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
                for (const std::string &line : split_lines(log))
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
class WorkerKill : public mpijob::WithMpiJob<SimulatorRun> {
protected:
    static constexpr int kRanks = 3;
    static constexpr double kBusySeconds = 0.3;   // CPU each worker has used before the kill
    static constexpr auto kEndLimit = std::chrono::seconds(30);
};

TEST_F(WorkerKill, TheJobEndsWithoutAResult) {
    // The fitting example with an unreachable target and many generations: minutes of work.
    writeFile("model.in", read_file(modelFile("fitting/fitting.in")));
    writeFile("ga.txt", gaFileWith("fitting_normal.ga", "300;         -1e-8;", "100000; 1;"));
    ASSERT_TRUE(job.launch(dir, std::string(QV_BINARY_DIR) + "/bin/gasearch_fitting", kRanks,
                           {"-I", (dir / "model.in").string(), "-p", "ga.txt"}));

    // Wait until both workers compute (the master sleeps while it waits, so its CPU time is small).
    const std::map<int, pid_t> ranks = job.waitUntilBusy(1, kBusySeconds);
    if (ranks.empty()) return;
    ASSERT_EQ(kill(ranks.at(1), SIGKILL), 0);

    ASSERT_NO_FATAL_FAILURE(job.expectFailedEnd(kEndLimit));
    const std::string log = job.log();
    EXPECT_EQ(log.find("Search Result"), std::string::npos) << log;
}

}  // namespace
