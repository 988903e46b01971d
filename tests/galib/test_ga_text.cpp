// Line editing and splitting of the GA's text files, the logging allocators and the argument
// vector copy.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "quorvant/ga_utils.h"

namespace {

// A line in a buffer of exactly its own size plus the NUL, so that the sanitizer sees any write
// beyond the line.
std::vector<char> lineBuffer(const std::string &s) { return {s.c_str(), s.c_str() + s.size() + 1}; }

}  // namespace

TEST(GaText, CommentLinesBlanksAndComments) {
    struct Case {
        std::string in;
        std::string out;
        int result;
    };
    const std::string longest = std::string(510, 'x') + "\n";             // 511 characters
    const std::string tooLong = std::string(511, 'y') + "\n";             // 512 characters
    const std::string blanksDoNotCount = std::string(700, ' ') + std::string(510, 'z') + "\t\n";
    const Case cases[] = {
        {"  pop = 5 #comment\n", "pop=5\n", 2},
        {"   #comment\n", "\n", 1},
        {"\n", "\n", 1},
        {"", "", 2},                                   // a last line that held only blanks
        {" \t ", "", 2},
        {"#\n", "\n", 1},
        {"\tGATYPE ;\tDGA ; 200;\n", "GATYPE;DGA;200;\n", 2},
        {"a#b#c\n", "a\n", 2},
        {"ENCODE;REAL;", "ENCODE;REAL;", 2},           // no newline: content without a line end
        {longest, longest, 2},
        {blanksDoNotCount, std::string(510, 'z') + "\n", 2},
        {tooLong, tooLong, 0},                         // refused, left as it was
        {std::string(600, 'c') + "#" + std::string(10, 'd') + "\n",
         std::string(600, 'c') + "#" + std::string(10, 'd') + "\n", 0},
    };
    for (const Case &c : cases) {
        std::vector<char> buf = lineBuffer(c.in);
        EXPECT_EQ(IsCommentLine(buf.data()), c.result) << '"' << c.in.substr(0, 40) << '"';
        EXPECT_EQ(std::string(buf.data()), c.out) << '"' << c.in.substr(0, 40) << '"';
    }
}

TEST(GaText, DelCommentClearsEverythingAfterTheHash) {
    std::vector<char> buf = lineBuffer("ab#cd#ef\n");
    DelComment(buf.data());
    const char expected[] = {'a', 'b', '\n', 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(buf.size(), sizeof expected);
    EXPECT_EQ(std::memcmp(buf.data(), expected, sizeof expected), 0);

    std::vector<char> none = lineBuffer("no comment\n");
    DelComment(none.data());
    EXPECT_STREQ(none.data(), "no comment\n");
}

TEST(GaText, DelSpaceTabNeverGrowsBeyondItsBuffer) {
    // Longer lines are cut at kGaLineMax characters in place; nothing is written past the line.
    std::vector<char> buf = lineBuffer(std::string(3000, 'q'));
    EXPECT_EQ(DelSpaceTab(buf.data()), buf.data());
    EXPECT_EQ(std::strlen(buf.data()), static_cast<std::size_t>(qv::kGaLineMax));

    std::vector<char> mixed = lineBuffer(" a\tb c \t\td e\n");
    EXPECT_STREQ(DelSpaceTab(mixed.data()), "abcde\n");
}

TEST(GaText, FindDelimAndMyStrtok) {
    struct Find {
        const char *s;
        char c;
        int index;
    };
    const Find finds[] = {{"", ';', -1}, {"", '\0', -1}, {"abc", 'c', 2}, {"abc", '\0', -1},
                          {"a;b;", ';', 1}, {";", ';', 0}, {"abc", 'x', -1}};
    for (const Find &f : finds) EXPECT_EQ(FindDelim(f.s, f.c), f.index) << f.s << " / " << f.c;

    struct Split {
        std::string line;
        char delim;
        std::vector<std::pair<std::string, int>> tokens;   // token and result, the last is -1
    };
    const Split splits[] = {
        {"a,,b", ',', {{"a", 1}, {"", 0}, {"b", -1}}},
        {"GATYPE;DGA;200;;2;\n", ';',
         {{"GATYPE", 6}, {"DGA", 3}, {"200", 3}, {"", 0}, {"2", 1}, {"\n", -1}}},
        {"ENCODE;BINARY;12\n", ';', {{"ENCODE", 6}, {"BINARY", 6}, {"12\n", -1}}},
        {"keyword", ';', {{"keyword", -1}}},
        {"", ';', {{"", -1}}},
        {";", ';', {{"", 0}, {"", -1}}},
    };
    for (const Split &s : splits) {
        std::vector<char> buf = lineBuffer(s.line);
        char *token = nullptr;
        for (std::size_t i = 0; i < s.tokens.size(); ++i) {
            const int r = MyStrtok(i == 0 ? buf.data() : nullptr, s.delim, &token);
            EXPECT_EQ(r, s.tokens[i].second) << s.line << " token " << i;
            EXPECT_EQ(std::string(token), s.tokens[i].first) << s.line << " token " << i;
        }
        // The last token stays where it is on further calls.
        EXPECT_EQ(MyStrtok(nullptr, s.delim, &token), -1);
        EXPECT_EQ(std::string(token), s.tokens.back().first);
    }
}

TEST(GaAlloc, MatricesAreContiguousRows) {
    constexpr int rows = 7, cols = 5;
    int **im = IntMatrixAlloc(rows, cols);
    double **dm = DoubleMatrixAlloc(rows, cols);
    gagene **gm = GaGeneMatrixAlloc(rows, cols);
    ASSERT_NE(im, nullptr);
    ASSERT_NE(dm, nullptr);
    ASSERT_NE(gm, nullptr);
    for (int i = 0; i < rows; ++i) {
        EXPECT_EQ(im[i], im[0] + i * cols);
        EXPECT_EQ(dm[i], dm[0] + i * cols);
        EXPECT_EQ(gm[i], gm[0] + i * cols);
        for (int j = 0; j < cols; ++j) {
            im[i][j] = i * cols + j;
            dm[i][j] = i - j;
            gm[i][j].fitness = j;
        }
    }
    EXPECT_EQ(im[0][rows * cols - 1], rows * cols - 1);
    FreeIntMatrix(im);
    FreeDoubleMatrix(dm);
    FreeGaGeneMatrix(gm);

    // Empty shapes still give releasable results.
    int **empty = IntMatrixAlloc(0, 0);
    ASSERT_NE(empty, nullptr);
    FreeIntMatrix(empty);
    int *v = IntVectorAlloc(0);
    ASSERT_NE(v, nullptr);
    FreeIntVector(v);
    GaIslandVectorPtr islands(GaIslandVectorAlloc(2));
    ASSERT_NE(islands, nullptr);
    islands[1].population = 3;
    EXPECT_EQ(islands[1].population, 3);
}

TEST(GaAlloc, FailuresLogTheirLineAndReturnNull) {
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
        const bool failed = c.fails();
        EXPECT_TRUE(failed) << c.message;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
    }
}

TEST(GaArgs, CopyArgvMakesIndependentStrings) {
    std::string a0 = "gasearch", a1 = "-p", a2 = "ga.txt";
    char *argv[] = {a0.data(), a1.data(), a2.data(), nullptr};
    char *copy[3] = {reinterpret_cast<char *>(1), reinterpret_cast<char *>(1), reinterpret_cast<char *>(1)};
    ASSERT_EQ(CopyArgv(3, argv, copy), 0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(copy[i], nullptr);
        EXPECT_NE(copy[i], argv[i]);
        EXPECT_STREQ(copy[i], argv[i]);
    }
    copy[2][0] = 'X';
    EXPECT_EQ(a2, "ga.txt");
    FreeCargv(3, copy);
    for (char *slot : copy) EXPECT_EQ(slot, nullptr);

    char *untouched[1] = {reinterpret_cast<char *>(1)};
    EXPECT_EQ(CopyArgv(0, argv, untouched), 0);
    EXPECT_EQ(untouched[0], reinterpret_cast<char *>(1));
}
