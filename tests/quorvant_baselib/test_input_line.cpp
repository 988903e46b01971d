// Line syntax of the model input file: comments, blanks, fields, long lines, too many fields.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "quorvant/quorvant_baselib/input_line.h"

namespace {

struct Parsed {
    int nf;
    std::vector<std::string> fields;  // the first nf fields (all 11 for a blank line)
};

// Reads every line of text with getInputData.
std::vector<Parsed> parseAll(const std::string &text) {
    std::vector<Parsed> out;
    FILE *fp = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    EXPECT_NE(fp, nullptr);
    char fields[11][512];
    int nf;
    while ((nf = getInputData(fields, fp)) >= 0) {
        Parsed p{nf, {}};
        for (int i = 0; i < 11; ++i) p.fields.emplace_back(fields[i]);
        out.push_back(p);
    }
    std::fclose(fp);
    return out;
}

TEST(InputLine, FieldSplitting) {
    struct Case {
        const char *line;
        int nf;
        std::vector<std::string> fields;
    };
    const Case cases[] = {
        {"SOLVER;2\n", 2, {"SOLVER", "2"}},
        {"SOL VER ; 2   # solver number\n", 2, {"SOLVER", "2"}},
        {" \tSOLVER\t;\t2\t\n", 2, {"SOLVER", "2"}},
        {"N_VAR;3;\n", 2, {"N_VAR", "3", ""}},
        {"N_VAR;;3\n", 3, {"N_VAR", "", "3"}},
        {"PARAM;k 1;1;2.5e-3\n", 4, {"PARAM", "k1", "1", "2.5e-3"}},
        {"KEY\n", 1, {"KEY", ""}},
        {";\n", 1, {"", ""}},
        {"X;1\r\n", 2, {"X", "1\r"}},  // carriage returns stay
        {"NO_NEWLINE;7", 2, {"NO_NEWLINE", "7"}},
        {"A;1;2;3;4;5;6;7;8;9;10\n", 11, {"A", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
        {"A;1;2;3;4;5;6;7;8;9;\n", 10, {"A", "1", "2", "3", "4", "5", "6", "7", "8", "9", ""}},
        {"# a comment line\n", 0, {"", "", ""}},
        {"\n", 0, {""}},
        {"   \t \n", 0, {""}},
        {"   # comment after blanks\n", 0, {""}},
    };
    for (const Case &c : cases) {
        const auto parsed = parseAll(c.line);
        ASSERT_EQ(parsed.size(), 1u) << c.line;
        EXPECT_EQ(parsed[0].nf, c.nf) << c.line;
        for (size_t i = 0; i < c.fields.size(); ++i) {
            EXPECT_EQ(parsed[0].fields[i], c.fields[i]) << c.line << " field " << i;
        }
    }
}

TEST(InputLine, EndOfFileAndStatusCodes) {
    const std::string text = "# c\n\nA;1\n";
    FILE *fp = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
    char buf[512];
    EXPECT_EQ(makeline(buf, fp), 1);
    EXPECT_EQ(makeline(buf, fp), 1);
    EXPECT_EQ(makeline(buf, fp), 0);
    EXPECT_STREQ(buf, "A;1\n");
    EXPECT_EQ(makeline(buf, fp), 9);
    std::fclose(fp);
    EXPECT_TRUE(parseAll("").empty());
}

TEST(InputLine, LongLineContinuesAsNextLine) {
    // 511 characters fill one physical line; the rest is read as a line of its own.
    const std::string first = "A;" + std::string(509, '1');
    const auto parsed = parseAll(first + "B;2\n");
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[0].nf, 2);
    EXPECT_EQ(parsed[0].fields[1].size(), 509u);
    EXPECT_EQ(parsed[1].nf, 2);
    EXPECT_EQ(parsed[1].fields[0], "B");
    // Many ';' beyond the first 511 characters are split across lines and never overflow.
    const auto many = parseAll(std::string(505, 'x') + ";;;;;;" + ";;;;;;;;\n");
    ASSERT_EQ(many.size(), 2u);
    EXPECT_EQ(many[0].nf, 6);
    EXPECT_EQ(many[1].nf, 8);
}

TEST(InputLine, BinaryGarbageDoesNotOverflow) {
    std::string junk;
    for (int i = 0; i < 5000; ++i) junk.push_back(static_cast<char>((i * 37 + 11) % 256));
    for (char &c : junk) {
        if (c == ';') c = ',';  // keep the line count of fields legal
    }
    const auto parsed = parseAll(junk);
    for (const Parsed &p : parsed) {
        for (const std::string &f : p.fields) EXPECT_LT(f.size(), 512u);
    }
}

TEST(InputLineDeathTest, TwelveFieldsEndTheProcess) {
    const std::string line = "A ;1;2;3;4;5;6;7;8;9;10;\n";
    EXPECT_EXIT(
        {
            dup2(2, 1);  // the messages go to the system log on standard output
            parseAll(line);
        },
        testing::ExitedWithCode(255),
        "#  line : 'A;1;2;3;4;5;6;7;8;9;10;\n'\\.\n## ERROR!! Too many data in a line\\.\n");
}

}  // namespace
