// End-to-end runs of rsearch built for the linear chain X1 -k1-> X2 -k2->, on one process and as a
// master with slaves: the files every rank writes, the count and numbering of the searches, the
// drawn values against their ranges, every fitness recomputed from the closed-form solution, the
// message schedule, the refused command lines, repeatable runs with -S, and a killed slave.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <map>
#include <thread>

#include "mpi_job_support.h"
#include "rsearch.h"
#include "test_simulator_support.h"

using namespace simtest;

namespace {

const char *const kProgram = "rsearch_linear";

// k1 and k2 searched; k2[2] (unused by the model) has an empty range and must always be 0.3.
const std::string kModel =
    "SOLVER;1\nN_VAR;2\nG_VALUE;1\nT_START;0\nT_END;5\nDELTA_T;0.01\nDELTA_M;0.5\n"
    "PARAM_NAME;k1\nPARAM_NAME;k2\n"
    "PARAM;k1;1;1.0;;;S;;0.1;10\nPARAM;k2;1;0.5;;;S;;0.01;1\nPARAM;k2;2;0.3;;;S;;0.3;0.3\n"
    "Y_START;1;1.0\nY_START;2;0.5\n";
constexpr double kLow[] = {0.1, 0.01, 0.3};
constexpr double kHigh[] = {10, 1, 0.3};
const char *const kListHeader = "No, fitness, k1[1], k2[1], k2[2]";

struct ListLine {
    int rank = -1;
    int number = -1;
    double fitness = 0;
    std::vector<double> values;
};

ListLine parseListLine(const std::string &line) {
    ListLine l;
    int used = 0;
    if (std::sscanf(line.c_str(), "No%d-%d, %n", &l.rank, &l.number, &used) != 2 || used == 0) return l;
    const std::vector<double> v = numbers(line.substr(static_cast<size_t>(used)));
    if (v.empty()) return l;
    l.fitness = v[0];
    l.values.assign(v.begin() + 1, v.end());
    return l;
}

class RsearchRun : public SimulatorRun {
protected:
    RunResult rsearch(int nprocs, const std::vector<std::string> &args) {
        writeFile("model.in", kModel);
        return run(kProgram, nprocs, args);
    }

    // The list file of one rank: its header, then its searches numbered rank-0, rank-1, ... in
    // order, each inside the ranges and with the fitness of its printed values. Returns the count.
    int checkRank(int rank) {
        SCOPED_TRACE("rank " + std::to_string(rank));
        const auto list = split_lines(file("out_list_" + std::to_string(rank)));
        EXPECT_FALSE(list.empty());
        if (list.empty()) return 0;
        EXPECT_EQ(list[0], kListHeader);
        for (size_t i = 1; i < list.size(); ++i) {
            const ListLine l = parseListLine(list[i]);
            EXPECT_EQ(l.rank, rank) << list[i];
            EXPECT_EQ(l.number, static_cast<int>(i - 1)) << list[i];
            EXPECT_EQ(l.values.size(), 3u) << list[i];
            if (l.values.size() != 3u) continue;
            for (size_t k = 0; k < 3; ++k) {
                EXPECT_GE(l.values[k], kLow[k]) << list[i];
                EXPECT_LE(l.values[k], kHigh[k]) << list[i];
            }
            // The model's fitness is -(X2(5) - 0.5)^2 at the last sample.
            const double d = linearX2(5.0, 1.0, 0.5, l.values[0], l.values[1]) - 0.5;
            EXPECT_NEAR(l.fitness, -d * d, 2e-5 * std::fabs(d) + 1e-10) << list[i];
        }
        const std::string results = file("out_" + std::to_string(rank));
        EXPECT_EQ(count(results, "\n\n$$ Results\n\n"), 1u);
        EXPECT_EQ(count(results, "$$ Random Search No"), list.size() - 1);
        EXPECT_EQ(count(results, "Time, y[1], y[2]\n"), list.size() - 1);
        EXPECT_EQ(count(results, "Solution not found."), 0u);
        return static_cast<int>(list.size()) - 1;
    }
};

// The master's message schedule: ceil(N / J) messages, the remainder last.
TEST(RsearchSchedule, MessagesOfAtMostJ) {
    struct Case {
        int searches, perMessage;
        std::vector<int> sizes;
    } const cases[] = {
        {10, 3, {3, 3, 3, 1}}, {9, 3, {3, 3, 3}}, {1, 1, {1}}, {2, 5, {2}}, {5, 1, {1, 1, 1, 1, 1}},
    };
    for (const Case &c : cases) {
        std::vector<int> got;
        for (int k = 0; k < RsMessageCount(c.searches, c.perMessage); ++k)
            got.push_back(RsMessageSize(c.searches, c.perMessage, k));
        EXPECT_EQ(got, c.sizes) << c.searches << " / " << c.perMessage;
    }
    // Huge counts neither overflow nor need a table.
    EXPECT_EQ(RsMessageCount(INT_MAX, 1), INT_MAX);
    EXPECT_EQ(RsMessageCount(INT_MAX, 2), INT_MAX / 2 + 1);
    EXPECT_EQ(RsMessageSize(INT_MAX, 2, INT_MAX / 2), 1);
    EXPECT_EQ(RsMessageSize(INT_MAX, 2, INT_MAX / 2 - 1), 2);
}

// One process, one slave, three slaves (10 searches in messages of 3, 3, 3, 1), and more slaves
// than messages: every rank's files, every search accounted for once.
TEST_F(RsearchRun, EverySearchOnceInsideItsRanges) {
    struct Case {
        int nprocs, searches, perMessage;
        std::vector<int> counts;   // searches per searching rank, sorted
    } const cases[] = {
        {1, 7, 1, {7}}, {2, 10, 3, {10}}, {4, 10, 3, {3, 3, 4}}, {4, 2, 1, {0, 1, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.nprocs) + " processes, -n " + std::to_string(c.searches));
        for (const auto &e : fs::directory_iterator(dir)) fs::remove(e.path());
        const RunResult r = rsearch(c.nprocs, {"-I", "model.in", "-O", "out", "-n", std::to_string(c.searches),
                                               "-j", std::to_string(c.perMessage), "-S", "4242"});
        ASSERT_EQ(r.status, 0) << r.log;
        EXPECT_EQ(count(r.log, "Finish Successfully.\n"), 1u) << r.log;
        EXPECT_EQ(count(r.log, "Random seed: 4242\n"), 1u) << r.log;
        EXPECT_EQ(count(r.log, "##### CPU "), static_cast<size_t>(c.nprocs)) << r.log;
        std::vector<int> counts;
        if (c.nprocs == 1) {
            counts.push_back(checkRank(0));
        } else {
            EXPECT_FALSE(exists("out_0") || exists("out_list_0")) << "the master writes no results";
            EXPECT_EQ(count(r.log, "Random seed of rank "), static_cast<size_t>(c.nprocs - 1)) << r.log;
            for (int rank = 1; rank < c.nprocs; ++rank) {
                counts.push_back(checkRank(rank));
                EXPECT_FALSE(exists("model.in_" + std::to_string(rank))) << "received copy left behind";
            }
        }
        std::sort(counts.begin(), counts.end());
        EXPECT_EQ(counts, c.counts);
    }
}

// With -S a run on one process, or on a master with one slave, draws the same vectors again.
TEST_F(RsearchRun, SeedRepeatsTheRun) {
    for (int nprocs : {1, 2}) {
        const std::string list = "out_list_" + std::to_string(nprocs - 1);
        std::string first;
        for (const char *seed : {"77", "77", "78"}) {
            const RunResult r = rsearch(nprocs, {"-I", "model.in", "-O", "out", "-n", "5", "-j", "2", "-S", seed});
            ASSERT_EQ(r.status, 0) << r.log;
            const std::string text = file(list);
            EXPECT_EQ(split_lines(text).size(), 6u) << text;
            if (first.empty())
                first = text;
            else if (std::strcmp(seed, "77") == 0)
                EXPECT_EQ(text, first) << nprocs << " processes";
            else
                EXPECT_NE(text, first) << nprocs << " processes";
        }
    }
}

// Counts a run on several processes cannot serve are refused on every rank with status 255; a
// single process keeps -n 0 (a header, no search).
TEST_F(RsearchRun, RefusedCommandLines) {
    struct Case {
        int nprocs;
        std::vector<std::string> args;
        const char *message;
    } const cases[] = {
        {2, {"-n", "0"}, " ## Error: rsearch on several processes needs at least one search (-n 0).\n"},
        {4, {"-n", "-2"}, " ## Error: rsearch on several processes needs at least one search (-n -2).\n"},
        {1, {"-n", "3", "-j", "0"}, " ## Error: The searches per message must be at least 1 (-j 0).\n"},
        {3, {"-n", "3", "-j", "-1"}, " ## Error: The searches per message must be at least 1 (-j -1).\n"},
        {1, {"-j", "2"}, "my_init: number of search not specified.\n"},
        {2, {"-n", "2", "-O", "again"}, " ## Error: Duplicated option: 'O'\n"},
        {1, {"-n", "3x"}, " ## Error: Invalid number for option -n: '3x' (a whole number).\n"},
        {1, {"-n", "1", "-S", "-5"}, " ## Error: Invalid seed for option -S: '-5' (a whole number from 0 to 4294967295).\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> args = {"-I", "model.in", "-O", "out"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult r = rsearch(c.nprocs, args);
        EXPECT_EQ(r.status, 255) << r.log;
        EXPECT_NE(r.log.find(c.message), std::string::npos) << r.log;
        EXPECT_EQ(r.log.find("Finish Successfully."), std::string::npos) << r.log;
        for (int rank = 0; rank < c.nprocs; ++rank) {
            EXPECT_FALSE(exists("out_list_" + std::to_string(rank)));
            EXPECT_FALSE(exists("model.in_" + std::to_string(rank)));
        }
    }

    const RunResult r = rsearch(1, {"-I", "model.in", "-O", "out", "-n", "0"});
    ASSERT_EQ(r.status, 0) << r.log;
    EXPECT_EQ(file("out_list_0"), std::string(kListHeader) + "\n");
    const std::string results = file("out_0");
    EXPECT_NE(results.find("\n\n$$ Results\n\n"), std::string::npos) << results;
    EXPECT_EQ(results.find("Random Search"), std::string::npos) << results;
}

// ---- A slave killed while it searches --------------------------------------------------------------

// Each search is 10^8 fixed steps: seconds, far longer than the test needs to see the slaves at work.
const char *const kLongModel =
    "SOLVER;1\nN_VAR;2\nG_VALUE;1\nT_START;0\nT_END;10000\nDELTA_T;0.0001\nDELTA_M;10000\n"
    "PARAM_NAME;k1\nPARAM_NAME;k2\nPARAM;k1;1;1.0;;;S;;0.1;1\nPARAM;k2;1;0.5\nY_START;1;1.0\nY_START;2;0.5\n";
constexpr int kKillRanks = 3;
constexpr int kVictim = 1;
constexpr double kBusySeconds = 0.5;
constexpr auto kEndLimit = std::chrono::seconds(30);

class RsearchKill : public mpijob::WithMpiJob<SimulatorRun> {};

// The job ends on its own, not successfully; the waiting master meanwhile has not spun a core.
TEST_F(RsearchKill, KilledSlaveEndsTheJob) {
    writeFile("model.in", kLongModel);
    ASSERT_TRUE(job.launch(dir, std::string(QV_BINARY_DIR) + "/bin/" + kProgram, kKillRanks,
                           {"-I", "model.in", "-O", (dir / "out").string(), "-n", "20"}));

    const std::map<int, pid_t> ranks = job.waitUntilBusy(1, kBusySeconds);
    if (ranks.empty()) return;
    // Over a window while the slaves compute (start-up costs, large under the sanitizers, excluded).
    const pid_t master = ranks.at(0), victim = ranks.at(kVictim);
    const double master0 = mpijob::cpuSeconds(master);
    const double victim0 = mpijob::cpuSeconds(victim);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LT(mpijob::cpuSeconds(master) - master0, 0.5 * (mpijob::cpuSeconds(victim) - victim0))
        << "the master busy-waits";
    ASSERT_EQ(kill(victim, SIGKILL), 0);

    ASSERT_NO_FATAL_FAILURE(job.expectFailedEnd(kEndLimit));
    const std::string log = job.log();
    EXPECT_EQ(log.find("Finish Successfully."), std::string::npos) << log;
}

}  // namespace
