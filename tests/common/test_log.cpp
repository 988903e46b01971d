#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "quorvant/common/logUtil.h"

namespace {

// Runs log_dbginit on a command line and returns the level it set.
int levelFor(std::vector<std::string> args) {
    std::vector<char *> argv;
    for (auto &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    Dbg_Level = -1;
    testing::internal::CaptureStdout();
    log_dbginit(static_cast<int>(args.size()), argv.data());
    testing::internal::GetCapturedStdout();
    log_dbgfinalize();
    const int level = Dbg_Level;
    Dbg_Level = -1;
    return level;
}

}  // namespace

TEST(Log, StartLineUsesBaseNameOfProgram) {
    std::string prog = "/usr/local/bin/simulator";
    char *argv[] = {prog.data(), nullptr};
    testing::internal::CaptureStdout();
    ASSERT_EQ(log_sysinit(1, argv), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find(" : Start!! : simulator\n"), std::string::npos) << out;
    EXPECT_EQ(out.size(), 24u + std::strlen(" : Start!! : simulator\n"));

    std::string bare = "rsearch";
    char *argv2[] = {bare.data(), nullptr};
    testing::internal::CaptureStdout();
    log_sysinit(1, argv2);
    EXPECT_NE(testing::internal::GetCapturedStdout().find(" : Start!! : rsearch\n"), std::string::npos);
}

TEST(Log, DebugOptionForms) {
    EXPECT_EQ(levelFor({"p", "-d", "30"}), 30);
    EXPECT_EQ(levelFor({"p", "-d30"}), 30);
    EXPECT_EQ(levelFor({"p", "-d"}), 0);
    EXPECT_EQ(levelFor({"p", "-dx"}), 0);
    EXPECT_EQ(levelFor({"p", "-d", "5", "-d7"}), 7);
}

TEST(Log, TimeStringHasNoNewlineAndIs24Chars) {
    const std::string s = log_getCurrentTimeStr();
    EXPECT_EQ(s.size(), 24u);
    EXPECT_EQ(s.find('\n'), std::string::npos);
}

TEST(Log, WritingKeepsErrnoAndReportsLength) {
    errno = ENOENT;
    testing::internal::CaptureStdout();
    const int n = log_sys("abc %d\n", 12);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "abc 12\n");
    EXPECT_EQ(n, 7);
    EXPECT_EQ(errno, ENOENT);
}

TEST(Log, ElapsedTimeIsMeasuredFromFirstInit) {
    std::string prog = "x";
    char *argv[] = {prog.data(), nullptr};
    testing::internal::CaptureStdout();
    log_sysinit(1, argv);
    testing::internal::GetCapturedStdout();
    const double e = log_getElapseTime();
    EXPECT_GE(e, 0.0);
    EXPECT_LT(e, 3600.0);   // not the time since the epoch
}
