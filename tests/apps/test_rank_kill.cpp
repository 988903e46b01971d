// A survey on 4 processes in which one process is killed (SIGKILL) while it integrates: the job
// must end on its own within a bounded time, with a non-zero status, and nothing may claim success
// (no joined result file ending in END ALL, no END ALL line in the log).
#include <signal.h>

#include <chrono>
#include <map>

#include "mpi_job_support.h"
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
// After the kill the job must be over within this time.
constexpr auto kEndLimit = std::chrono::seconds(30);

class RankKill : public mpijob::WithMpiJob<TempDirTest>, public testing::WithParamInterface<int> {};

TEST_P(RankKill, JobEndsWithoutClaimingSuccess) {
    const int victim = GetParam();
    write_file(at("survey.in"), kLongSurvey);
    const std::string out = (dir / "out").string();
    ASSERT_TRUE(job.launch(dir, simulatorPath(), kRanks, {"-I" + (dir / "survey.in").string(), "-O" + out}));

    // Wait until all four ranks are at work.
    const std::map<int, pid_t> ranks = job.waitUntilBusy(0, kBusySeconds);
    if (ranks.empty()) return;
    ASSERT_EQ(kill(ranks.at(victim), SIGKILL), 0);

    ASSERT_NO_FATAL_FAILURE(job.expectFailedEnd(kEndLimit));
    const std::string log = job.log();
    EXPECT_FALSE(hasLine(log, "END ALL!!")) << log;
    if (exists("out")) {
        EXPECT_EQ(file("out").find("END ALL"), std::string::npos) << "a joined result claims success";
    }
}

INSTANTIATE_TEST_SUITE_P(KilledRank, RankKill, testing::Values(0, 2),
                         [](const testing::TestParamInfo<int> &i) { return "rank" + std::to_string(i.param); });

}  // namespace
