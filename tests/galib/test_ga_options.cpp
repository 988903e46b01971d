// The command-line pieces the search programs share: the getopt pass (order, duplicates, passed-over
// options, a stop on the first refusal, a clean restart, the caller's vector untouched), the
// required options, the -S seed at its bounds and the file-name length check at its bound, each
// with its exact message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorvant/searchlib/utl_options.h"

namespace {

struct Scan {
    int result;
    std::string taken;    // "<letter>=<argument>;" for every option handed over
    std::string output;   // the messages
    OptionLetters seen;
};

// Scans a command line with the letters of a search program: -a, -b and -x once, -w any number of
// times; the handler refuses the argument "bad".
Scan scan(std::vector<std::string> args) {
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    Scan s{};
    const auto take = [&s](int c, const char *arg) {
        s.taken += std::string(1, static_cast<char>(c)) + "=" + (arg ? arg : "") + ";";
        return std::string(arg ? arg : "") == "bad" ? -1 : 0;
    };
    testing::internal::CaptureStdout();
    s.result = ScanOptions(static_cast<int>(args.size()), argv.data(), "a:b:w:x", "abx", &s.seen, take);
    s.output = testing::internal::GetCapturedStdout();
    for (size_t i = 0; i < args.size(); ++i) EXPECT_EQ(argv[i], args[i].data()) << "argv was permuted";
    return s;
}

TEST(GaOptions, ScanHandsOverTheOptionsInOrderAndRefusesRepeats) {
    struct Case {
        std::vector<std::string> args;
        int result;
        const char *taken;
        const char *output;
    } const cases[] = {
        {{"prog", "-a", "1", "free", "-b2", "-w", "3", "-w", "4"}, 0, "a=1;b=2;w=3;w=4;", ""},
        {{"prog", "-a", "1", "-q", "-x", "-b"}, 0, "a=1;x=;", ""},   // unknown -q, -b without its argument
        {{"prog", "-a", "1", "-w", "5", "-a", "2", "-b", "3"}, -1, "a=1;w=5;", " ## Error: Duplicated option: 'a'\n"},
        {{"prog", "-a", "bad", "-b", "3"}, -1, "a=bad;", ""},
        {{"prog", "-xxa", "1"}, -1, "x=;", " ## Error: Duplicated option: 'x'\n"},   // stops inside a group
        {{"prog", "-b", "7"}, 0, "b=7;", ""},   // ... and the next scan starts afresh
        {{"prog"}, 0, "", ""},
    };
    for (const Case &c : cases) {
        const Scan s = scan(c.args);
        EXPECT_EQ(s.result, c.result) << c.taken;
        EXPECT_EQ(s.taken, c.taken);
        EXPECT_EQ(s.output, c.output) << c.taken;
    }
    const Scan s = scan({"prog", "-w", "1", "-b", "2", "-x"});
    EXPECT_TRUE(s.seen['b'] && s.seen['x']);
    EXPECT_FALSE(s.seen['a'] || s.seen['w']) << "only the once-letters are marked";

    // Required options: the message of the first one missing, in table order.
    testing::internal::CaptureStdout();
    EXPECT_EQ(CheckRequiredOptions(s.seen, {{'b', "no b\n"}}), 0);
    EXPECT_EQ(CheckRequiredOptions(s.seen, {{'b', "no b\n"}, {'w', "no w\n"}, {'a', "no a\n"}}), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "no w\n");
}

TEST(GaOptions, SeedIsAWholeNumberOfThirtyTwoBits) {
    const std::string refused = " ## Error: Invalid seed for option -S: '%' (a whole number from 0 to 4294967295).\n";
    const struct {
        const char *text;
        bool ok;
        unsigned long value;
    } cases[] = {
        {"0", true, 0}, {"007", true, 7}, {"4294967295", true, 4294967295UL}, {"4294967296", false, 0},
        {"99999999999999999999999", false, 0}, {"-5", false, 0}, {"+5", false, 0}, {" 5", false, 0},
        {"5x", false, 0}, {"", false, 0},
    };
    for (const auto &c : cases) {
        unsigned long seed = 12345;
        testing::internal::CaptureStdout();
        const int result = ParseSeedOption(c.text, &seed);
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(result, c.ok ? 0 : -1) << c.text;
        EXPECT_EQ(seed, c.ok ? c.value : 12345UL) << c.text;
        const std::string message = std::string(refused).replace(refused.find('%'), 1, c.text);
        EXPECT_EQ(output, c.ok ? "" : message) << c.text;
    }
}

TEST(GaOptions, NameLengthBound) {
    const std::string longest(4079, 'n');
    testing::internal::CaptureStdout();
    EXPECT_EQ(CheckOptionName(longest.c_str(), 'O', 4079), 0);
    EXPECT_EQ(CheckOptionName((longest + "n").c_str(), 'O', 4079), -1);
    EXPECT_EQ(CheckOptionName("", 'p', 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " ## Error: The file name of option -O is too long (at most 4079 characters).\n");
}

}  // namespace
