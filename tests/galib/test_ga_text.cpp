// Line editing and splitting of the GA's text files, the logging allocators and the argument
// vector copy.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "quorvant/galib/utl_alloc.h"
#include "quorvant/galib/utl_text.h"
#include "quorvant/searchlib/numeric_alloc.h"
#include "quorvant/searchlib/utl_arg.h"

namespace {

// A line in a buffer of exactly its own size plus the NUL, so that the sanitizer sees any write
// beyond the line.
std::vector<char> lineBuffer(const std::string &s) { return {s.c_str(), s.c_str() + s.size() + 1}; }

// Row i of a matrix starts cols elements after row i - 1, and every element can be written.
template <typename T, typename Free>
void expectContiguous(T **m, int rows, int cols, Free release) {
    ASSERT_NE(m, nullptr);
    for (int i = 0; i < rows; ++i) {
        ASSERT_EQ(m[i], m[0] + i * cols) << "row " << i;
        for (int j = 0; j < cols; ++j) m[i][j] = T{};
    }
    release(m);
}

}  // namespace

TEST(GaText, EditingAndSplittingLines) {
    struct Case {
        std::string in, out;
        int result;
    };
    const std::string longest = std::string(510, 'x') + "\n";   // 511 characters: accepted
    const std::string tooLong = std::string(511, 'y') + "\n";   // 512: refused, left as it was
    const std::string longComment = std::string(600, 'c') + "#" + std::string(10, 'd') + "\n";
    const Case cases[] = {
        {"\tGATYPE ;\tDGA ; 200; #comment\n", "GATYPE;DGA;200;\n", 2},
        {" \t #comment\n", "\n", 1},
        {" \t ", "", 2},                                   // a last line that held only blanks
        {"a#b#c", "a\n", 2},
        {longest, longest, 2},
        {std::string(700, ' ') + std::string(510, 'z') + "\t\n", std::string(510, 'z') + "\n", 2},
        {tooLong, tooLong, 0},
        {longComment, longComment, 0},                      // the comment counts too
    };
    for (const Case &c : cases) {
        std::vector<char> buf = lineBuffer(c.in);
        EXPECT_EQ(IsCommentLine(buf.data()), c.result) << '"' << c.in.substr(0, 40) << '"';
        EXPECT_EQ(std::string(buf.data()), c.out) << '"' << c.in.substr(0, 40) << '"';
    }
    // DelSpaceTab cuts in place at kGaLineMax.
    std::vector<char> huge = lineBuffer(std::string(3000, 'q'));
    EXPECT_EQ(DelSpaceTab(huge.data()), huge.data());
    EXPECT_EQ(std::strlen(huge.data()), static_cast<std::size_t>(qv::kGaLineMax));

    EXPECT_EQ(FindDelim("", ';'), -1);
    EXPECT_EQ(FindDelim("abc", '\0'), -1);   // the terminator is not a delimiter

    struct Split {
        std::string line;
        std::vector<std::pair<std::string, int>> tokens;   // token and result, the last is -1
    };
    const Split splits[] = {
        {"GATYPE;DGA;200;;2;\n", {{"GATYPE", 6}, {"DGA", 3}, {"200", 3}, {"", 0}, {"2", 1}, {"\n", -1}}},
        {"", {{"", -1}}},
        {";", {{"", 0}, {"", -1}}},
    };
    for (const Split &s : splits) {
        std::vector<char> buf = lineBuffer(s.line);
        char *token = nullptr;
        for (std::size_t i = 0; i < s.tokens.size(); ++i) {
            EXPECT_EQ(MyStrtok(i == 0 ? buf.data() : nullptr, ';', &token), s.tokens[i].second)
                << s.line << " token " << i;
            EXPECT_EQ(std::string(token), s.tokens[i].first) << s.line << " token " << i;
        }
        // The last token stays where it is on further calls.
        EXPECT_EQ(MyStrtok(nullptr, ';', &token), -1);
        EXPECT_EQ(std::string(token), s.tokens.back().first);
    }
}

TEST(GaAlloc, MatricesVectorsAndTheirFailures) {
    expectContiguous(IntMatrixAlloc(7, 5), 7, 5, FreeIntMatrix);
    expectContiguous(DoubleMatrixAlloc(3, 9), 3, 9, FreeDoubleMatrix);
    expectContiguous(GaGeneMatrixAlloc(4, 2), 4, 2, FreeGaGeneMatrix);
    expectContiguous(IntMatrixAlloc(0, 0), 0, 0, FreeIntMatrix);   // empty shapes can be released
    IntVectorPtr empty(IntVectorAlloc(0));
    EXPECT_NE(empty, nullptr);
    GaIslandVectorPtr islands(GaIslandVectorAlloc(2));
    ASSERT_NE(islands, nullptr);
    islands[1].population = 3;

    struct Case {
        const char *message;
        bool (*fails)();
    };
    const Case cases[] = {
        {" ## Error: Cannot allocate memory(In IntVectorAlloc).\n", [] { return IntVectorAlloc(-1) == nullptr; }},
        {" ## Error: Cannot allocate memory(In DoubleVectorAlloc).\n", [] { return DoubleVectorAlloc(-4) == nullptr; }},
        {" ## Error: Cannot allocate memory(In GaGeneVectorAlloc).\n", [] { return GaGeneVectorAlloc(INT_MIN) == nullptr; }},
        {" ## Error: Cannnot allocate memory(In GaIslandVectorAlloc).\n", [] { return GaIslandVectorAlloc(-1) == nullptr; }},
        {" ## Error: Cannot allocate memory(In IntMatrixAlloc 1).\n", [] { return IntMatrixAlloc(-1, 3) == nullptr; }},
        {" ## Error: Cannot allocate memory(In DoubleMatrixAlloc 1).\n", [] { return DoubleMatrixAlloc(2, -3) == nullptr; }},
        {" ## Error: Cannot allocate memory(In GaGeneMatrixAlloc 1).\n", [] { return GaGeneMatrixAlloc(-2, -2) == nullptr; }},
    };
    for (const Case &c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_TRUE(c.fails()) << c.message;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
    }
}

TEST(GaArgs, CopyArgvMakesIndependentStrings) {
    std::string a0 = "gasearch", a1 = "-p", a2 = "ga.txt";
    char *argv[] = {a0.data(), a1.data(), a2.data(), nullptr};
    char *copy[3] = {argv[0], argv[0], argv[0]};
    ASSERT_EQ(CopyArgv(3, argv, copy), 0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(copy[i], nullptr);
        EXPECT_NE(copy[i], argv[i]);
        EXPECT_STREQ(copy[i], argv[i]);
    }
    FreeCargv(3, copy);
    for (char *slot : copy) EXPECT_EQ(slot, nullptr);
    char *untouched[1] = {argv[1]};
    EXPECT_EQ(CopyArgv(0, argv, untouched), 0);
    EXPECT_EQ(untouched[0], argv[1]);
}
