// Faults around the simulator's files: inputs that cannot be read, result names that cannot be
// created, a full disk. Every case must end within its time limit with a message and status 255,
// never present a partial result as complete, and leave an earlier result file alone unless the
// new run succeeded.
//
// The tests run as root, for whom permission bits do not stop a write. Unwritable places are made
// otherwise: a path below a regular file (ENOTDIR), /proc (no new files), /dev/full (every write
// fails with ENOSPC), and a small tmpfs mounted in a private mount namespace (unshare -m), which
// disappears with the namespace.
#include "test_corpus_support.h"

using namespace hardening;

namespace {

const char *const kModel = R"(SOLVER ; 1
N_VAR ; 2
G_VALUE ; 1
T_START ; 0
T_END ; 1
DELTA_T ; 0.1
DELTA_M ; 0.5
PARAM_NAME ; k1
PARAM_NAME ; k2
PARAM ; k1 ; 1 ; 1.0
PARAM ; k2 ; 1 ; 0.5
Y_START ; 1 ; 1.0
Y_START ; 2 ; 0.0
)";

// The model over a longer span with a row every 0.01: about 36 bytes a row.
std::string modelWithRows(int rows) {
    std::string text = kModel;
    text.replace(text.find("T_END ; 1"), 9, "T_END ; " + std::to_string(rows / 100.0));
    text.replace(text.find("DELTA_T ; 0.1"), 13, "DELTA_T ; 0.01");
    text.replace(text.find("DELTA_M ; 0.5"), 13, "DELTA_M ; 0.01");
    return text;
}

const std::string kEarlier = "earlier result\n";

class FileFaults : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        write_file(at("model.in"), kModel);
        write_file(at("regular.txt"), "a regular file\n");
        write_file(at("out"), kEarlier);
    }

    // Files "out.*" would be the join's temporary files left behind.
    std::vector<std::string> strayFiles(const fs::path &where) const {
        std::vector<std::string> stray;
        for (const auto &f : fs::directory_iterator(where)) {
            const std::string n = f.path().filename().string();
            if (n.rfind("out.", 0) == 0) stray.push_back(n);
        }
        return stray;
    }

    void expectFailedRun(const RunResult &r, const std::string &message) {
        ASSERT_NE(r.status, kTimedOut) << "the run did not end within its time limit\n" << r.log;
        EXPECT_EQ(sanitizerReport(r.log), "");
        EXPECT_EQ(r.status, 255) << r.log;
        if (!message.empty()) {
            EXPECT_TRUE(hasLine(r.log, message)) << "missing: " << message << "\n" << r.log;
        }
        EXPECT_FALSE(hasLine(r.log, "END ALL!!")) << r.log;
        EXPECT_EQ(file("out"), kEarlier) << "the earlier result was replaced";
        EXPECT_EQ(strayFiles(dir), std::vector<std::string>{});
    }
};

TEST_F(FileFaults, UnreadableInputEndsWithAClearMessage) {
    fs::create_directory(at("adir"));
    struct Case {
        std::string input;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"missing.in", {"Cannot open missing.in"}},
        {"regular.txt/model.in", {"Cannot open regular.txt/model.in"}},
        // A directory opens for reading but reads as nothing.
        {"adir", {"Cannot open adir"}},
        // A device that never ends: the reader would read it for ever.
        {"/dev/zero", {"Cannot open /dev/zero"}},
        // A regular file whose reading fails (the process's own unmapped memory at offset 0).
        {"/proc/self/mem", {"Cannot read /proc/self/mem", "## Error!!  in readInputData."}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input);
        const RunResult r = simulate({"-I" + c.input, "-Oout"}, 1, 60);
        expectFailedRun(r, c.lines[0]);
        for (const std::string &line : c.lines) EXPECT_TRUE(hasLine(r.log, line)) << line << "\n" << r.log;
        EXPECT_TRUE(hasLine(r.log, "## Error!!  in Set_data.")) << r.log;
    }
}

TEST_F(FileFaults, ResultNameThatCannotBeCreatedEndsEveryRank) {
    const std::vector<std::string> names = {"no/such/dir/out", "regular.txt/out", "/proc/qv_out"};
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        const RunResult r = simulate({"-Imodel.in", "-O" + name}, 2, 60);
        expectFailedRun(r, "");
        // The first rank to fail aborts the job, which may end the other before it says so.
        EXPECT_TRUE(hasLine(r.log, "initialize: outputfile[" + name + "_0] open err!!") ||
                    hasLine(r.log, "initialize: outputfile[" + name + "_1] open err!!"))
            << r.log;
    }
}

TEST_F(FileFaults, FailedRunsLeaveTheEarlierResultAlone) {
    std::string noGValue = kModel;
    noGValue.erase(noGValue.find("G_VALUE ; 1\n"), 12);
    write_file(at("no_g_value.in"), noGValue);
    // Every case of this survey fails: the adaptive step control cannot work with an accuracy
    // that is not a number (which passes the setting checks).
    std::string failing = kModel;
    failing.replace(0, 10, "SOLVER ; 2");
    write_file(at("all_cases_fail.in"),
              failing + "RK_EPS ; nan\nP_SURVEY ; 1\nPARALLEL ; 1\nPARAM ; k1 ; 1 ; 1.0 ;; 4 ; D ; 0.5\n");
    struct Case {
        std::string input;
        int ranks;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"no_g_value.in", 1, "## Data error!! in G_Value"},
        {"no_g_value.in", 3, "## Data error!! in G_Value"},
        {"all_cases_fail.in", 2, " ## END ALL, BUT THERE IS NO SUCCESS CASE!!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.input + " on " + std::to_string(c.ranks) + " ranks");
        expectFailedRun(simulate({"-I" + c.input, "-Oout"}, c.ranks, 60), c.message);
    }
    // A run that succeeds does replace it.
    const RunResult ok = simulate({"-Imodel.in", "-Oout"});
    ASSERT_EQ(ok.status, 0) << ok.log;
    EXPECT_NE(file("out"), kEarlier);
}

TEST_F(FileFaults, ResultFileOnAFullDeviceIsNoSuccess) {
    fs::create_symlink("/dev/full", at("out_0"));
    const RunResult r = simulate({"-Imodel.in", "-Oout"}, 1, 60);
    expectFailedRun(r, "");
    EXPECT_NE(r.log.find("out_0"), std::string::npos) << "the message names the file\n" << r.log;
    EXPECT_FALSE(hasLine(r.log, "Finish Successfully!!")) << r.log;
}

TEST_F(FileFaults, RestartFileOnAFullDeviceEndsWithStatus255) {
    fs::create_symlink("/dev/full", at("initVal.txt"));
    const RunResult r = simulate({"-Imodel.in", "-Oout"}, 1, 60);
    ASSERT_NE(r.status, kTimedOut) << r.log;
    EXPECT_EQ(r.status, 255) << r.log;
    EXPECT_NE(r.log.find("initial-data file"), std::string::npos) << r.log;
    EXPECT_FALSE(hasLine(r.log, "END ALL!!")) << r.log;
}

// A full file system: a tmpfs of 64 KiB in a private mount namespace, holding the result files.
class FullDisk : public FileFaults {
protected:
    static constexpr const char *kSize = "64k";

    // Runs the simulator with its result files on the small file system; afterwards the file
    // system's files are in <dir>/after.
    RunResult simulateOnFullDisk(const std::string &model) {
        write_file(at("disk_model.in"), model);
        fs::create_directory(at("fs"));
        fs::create_directory(at("after"));
        const std::string script =
            "mount -t tmpfs -o size=" + std::string(kSize) + " qv_full fs || exit 99; cd fs; printf '" +
            "earlier result\\n' > out; " + launchEnv() + QV_MPIEXEC + " -n 1 " + quote(simulatorPath()) +
            " -I../disk_model.in -Oout; rc=$?; cp -a . ../after/; exit $rc";
        return shell("unshare -m sh -c " + quote(script), 120);
    }

    void SetUp() override {
        FileFaults::SetUp();
        fs::create_directory(at("probe"));
        const std::string probe = "unshare -m sh -c " +
                                  quote("mount -t tmpfs -o size=4k qv_probe " + quote(at("probe").string())) +
                                  " >/dev/null 2>&1";
        if (std::system(probe.c_str()) != 0) {
            GTEST_SKIP() << "no private mount namespace with tmpfs here (unshare -m, mount)";
        }
    }

    void expectFailedOnDisk(const RunResult &r) {
        ASSERT_NE(r.status, 99) << "mount failed\n" << r.log;
        ASSERT_NE(r.status, kTimedOut) << r.log;
        EXPECT_EQ(sanitizerReport(r.log), "");
        EXPECT_EQ(r.status, 255) << r.log;
        EXPECT_FALSE(hasLine(r.log, "END ALL!!")) << r.log;
        EXPECT_EQ(read_file(dir / "after" / "out"), kEarlier) << "the earlier result was replaced";
        EXPECT_EQ(strayFiles(dir / "after"), std::vector<std::string>{});
    }
};

// About 40 KB of rows: the per-rank file fits, its copy into the joined file does not.
constexpr int kRowsThatFitOnce = 1100;

TEST_F(FullDisk, JoinThatDoesNotFitKeepsTheEarlierResult) {
    expectFailedOnDisk(simulateOnFullDisk(modelWithRows(kRowsThatFitOnce)));
}

TEST_F(FullDisk, JoinThatDoesNotFitSaysSo) {
    const RunResult r = simulateOnFullDisk(modelWithRows(kRowsThatFitOnce));
    EXPECT_TRUE(hasLine(r.log, "Cannot write out!!")) << r.log;
}

TEST_F(FullDisk, PerRankFileThatDoesNotFitIsNoSuccess) {
    // About 360 KB of rows: far more than the file system holds.
    const RunResult r = simulateOnFullDisk(modelWithRows(10000));
    expectFailedOnDisk(r);
    EXPECT_FALSE(hasLine(r.log, "Finish Successfully!!")) << r.log;
    EXPECT_NE(r.log.find("out_0"), std::string::npos) << "the message names the file\n" << r.log;
}

}  // namespace
