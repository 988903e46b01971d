// T_EVENT and PARAM lines: checks with their messages, scaling, survey and search entries.
#include <algorithm>
#include <string>
#include <vector>

#include "quorvant/quorvant_baselib/set_data_lines.h"
#include "test_set_data_fixture.h"

namespace {

const std::string kTail = "## Error!!  in readInputData.\n## Error!!  in Set_data.\n";

using EventLines = ModelFile;
using ParamLines = ModelFile;

TEST_F(EventLines, Rejections) {
    const std::string head = kTimeCourseHead + "N_ALGEBR;1\n";
    struct Case {
        const char *line;
        const char *message;
    };
    const Case cases[] = {
        {"T_EVENT;y_force;2;1", "## Data error!! in T_EVENT.\n"},
        {"T_EVENT;y_force;;1;1", "## Data error!! in T_EVENT.\n"},
        {"T_EVENT;kx;1;1;1", "## Wrong input data!! In :T_EVENT, kx\n"},
        {"T_EVENT;k1;0;1;1",
         "## Data error!! in T_EVENT. Inappropriate index.\n##\t parameter: k1  index: 0 \n"},
        {"T_EVENT;y_force;1;1;1",  // algebraic variable
         "## Data error!! in T_EVENT. Index of y must be between N_ALGEBR+1 and N_VAR.\n"
         "##\t y_force  index: 1 \n"},
        {"T_EVENT;y_add;4;1;1",
         "## Data error!! in T_EVENT. Index of y must be between N_ALGEBR+1 and N_VAR.\n"
         "##\t y_add  index: 4 \n"},
        {"T_EVENT;k1;512;1;1",
         "## Data error!! in T_EVENT. Inappropriate index. Max:511\n"
         "##\t parameter: k1  index: 512 \n"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(load(head + c.line + "\n"), -1) << c.line;
        EXPECT_EQ(log, c.message + std::string("## Error!!  in setTEventData.\n") + kTail)
            << c.line;
    }
}

TEST_F(EventLines, ValuesInGValueUnits) {
    const std::string text = kTimeCourseHead + "N_ALGEBR;1\n"
                             "T_EVENT;y_force;2;1;3\n"
                             "T_EVENT;y_add;3;2;0.5\n"
                             "T_EVENT;constantPlayer;1;3;5\n"
                             "T_EVENT;k1;511;4;5\n";
    ASSERT_EQ(load(text), 0) << log;
    ASSERT_EQ(EventsNum, 6);
    const event want[] = {{Name2Pno("time_start"), 0, 0, 0},
                          {Name2Pno("y_force"), 2, 1, 6},
                          {Name2Pno("y_add"), 3, 2, 1},
                          {Name2Pno("constantPlayer"), 1, 3, 10},
                          {Name2Pno("k1"), 511, 4, 5},
                          {Name2Pno("time_end"), 0, 10, 0}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Events[i].p_no, want[i].p_no) << i;
        EXPECT_EQ(Events[i].index, want[i].index) << i;
        EXPECT_EQ(Events[i].time, want[i].time) << i;
        EXPECT_EQ(Events[i].value, want[i].value) << i;
    }
}

TEST_F(ParamLines, Rejections) {
    struct Case {
        const char *head;  // extra first-pass lines
        const char *line;
        const char *message;
    };
    const char *const kArith =
        "## Data error!! in PARAM. Inappropriate parameter survey value.\n"
        "##\tWhen you specify arithmetic type, the diff-value must not be 0.\n";
    const char *const kGeom =
        "## Data error!! in PARAM. Inappropriate parameter survey value.\n"
        "##\tWhen you specify geometric type, the ratio must be plus( <>1).\n";
    const Case cases[] = {
        {"", "PARAM;k1;0;1",
         "## Data error!! Inappropriate index in PARAM.\n##\t parameter: k1  index: 0 \n"},
        {"", "PARAM;k1;512;1",
         "## Data error!! Inappropriate index in PARAM. Max:511\n"
         "##\t parameter: k1  index: 512 \n"},
        {"", "PARAM;k1;1", "## Data error!! in PARAM. Missing value.\n"},
        {"", "PARAM;kx;1;1", "## Data error!! In :PARAM, kx\n"},
        {"", "PARAM;y_add;1;1", "## Data error!! In :PARAM, y_add\n"},
        {"", "PARAM;k1;1;1;;1;D;0.5",
         "## Data error!! Inappropriate parameter survey steps in PARAM.\n"},
        {"", "PARAM;k1;1;1;;-3;D;0.5",
         "## Data error!! Inappropriate parameter survey steps in PARAM.\n"},
        {"", "PARAM;k1;1;1;;3;X;0.5",
         "## Data error!! in PARAM.\n   Parameter survey type:'X' is inappropriate.\n"
         "   It must be 'D' or 'R'. (D:Arithmetic, R:Geometric)\n"},
        {"", "PARAM;k1;1;1;;3;S;0.5",
         "## Data error!! in PARAM.\n   Parameter survey type:'S' is inappropriate.\n"
         "   It must be 'D' or 'R'. (D:Arithmetic, R:Geometric)\n"},
        {"", "PARAM;k1;1;1;;3;D",
         "## Data error!! in PARAM. Lack of parameter survey value.\n"},
        {"", "PARAM;k1;1;1;;3;D;0", kArith},
        {"", "PARAM;k1;1;1;;3;R;1", kGeom},
        {"", "PARAM;k1;1;1;;3;R;-2", kGeom},
        {"", "PARAM;k1;1;0;;3;R;10", kGeom},
        {"", "PARAM;k1;1;1;;;S;;;2", "## Region's min(max) value cannot be omitted.\n"},
        {"", "PARAM;k1;1;1;;;S;;1", "## Region's min(max) value cannot be omitted.\n"},
        {"P_SURVEY;1\n", "PARAM;k1;1;1;;;S;;1;2",
         "## Parameter survey and GAs cannot concurrent use.\n"},
        {"P_SURVEY;1\n", "PARAM;k1;1;1;;3;D;0",
         "#Survey:             k1; Base= 1.000e+00, Difference= 0.000e+00, num=3\n"
         "## Data error!! in PARAM. Inappropriate parameter survey value.\n"
         "##\tWhen you specify arithmetic type, the diff-value must not be 0.\n"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(load(kTimeCourseHead + c.head + c.line + "\n"), -1) << c.line;
        // The failing line is echoed field by field.
        std::vector<std::string> f(10);
        std::string line = c.line;
        for (size_t k = 0, pos = 0; k < 10 && pos <= line.size(); ++k) {
            const size_t semi = std::min(line.find(';', pos), line.size());
            f[k] = line.substr(pos, semi - pos);
            pos = semi + 1;
        }
        std::string echo = f[0] + "\t;\t";
        for (size_t k = 1; k < 10; ++k) echo += f[k] + (k < 9 ? ";\t" : ";\n");
        EXPECT_EQ(log, c.message + echo + "## Error!!  in setParamData.\n" + kTail)
            << c.line;
    }
}

TEST_F(ParamLines, SurveyEntries) {
    const std::string text = kTimeCourseHead + "P_SURVEY;1\n"
                             "PARAM;k1;1;1;;3;D;0.5\n"
                             "PARAM;constantPlayer;1;1;;2;Difference;0.5\n"
                             "PARAM;constantPlayer;2;3;;4;R;10\n";
    ASSERT_EQ(load(text), 0) << log;
    EXPECT_EQ(log,
              "#Survey:             k1; Base= 1.000e+00, Difference= 5.000e-01, num=3\n"
              "#Survey: constantPlayer; Base= 1.000e+00, Difference= 5.000e-01, num=2\n"
              "#Survey: constantPlayer; Base= 3.000e+00,      Ratio= 1.000e+01, num=4\n");
    ASSERT_EQ(P_SurveyNum, 3);
    const survey want[] = {{1, 1, 3, 1, 1.0, 0.5}, {2, 1, 2, 1, 2.0, 1.0}, {2, 2, 4, 0, 6.0, 10.0}};
    for (int i = 0; i < 3; ++i) {
        const survey &s = P_Survey[i];
        EXPECT_EQ(s.p_no, want[i].p_no) << i;
        EXPECT_EQ(s.index, want[i].index) << i;
        EXPECT_EQ(s.steps, want[i].steps) << i;
        EXPECT_EQ(s.f_isArithmetic, want[i].f_isArithmetic) << i;
        EXPECT_EQ(s.start_value, want[i].start_value) << i;
        EXPECT_EQ(s.change_value, want[i].change_value) << i;
    }
    // The arithmetic survey of k1 visits 1, 1.5, 2.
    for (int d = 0; d < 3; ++d) {
        EXPECT_EQ(P_Survey[0].start_value + d * P_Survey[0].change_value, 1.0 + 0.5 * d);
    }
    EXPECT_EQ(ParamT.val[2][1], 2.0);  // constantPlayer values are held in G_VALUE units

    // Without P_SURVEY the entries are kept but not echoed; a sixth entry is refused.
    std::string six = kTimeCourseHead;
    for (int i = 1; i <= 6; ++i) six += "PARAM;k1;" + std::to_string(i) + ";1;;2;D;1\n";
    EXPECT_EQ(load(six), -1);
    EXPECT_EQ(log.substr(0, 44), "## Too many parameter survey sets!! Max: 5\nP");
    EXPECT_EQ(P_SurveyNum, 5);
}

TEST_F(ParamLines, SearchRangesAndTheirLimit) {
    ASSERT_EQ(load(kTimeCourseHead + "PARAM;constantPlayer;1;1;;0;S;;0.1;10\n"), 0) << log;
    EXPECT_EQ(F_GA, 1);
    ASSERT_EQ(P_GaNum, 1);
    EXPECT_EQ(P_Ga[0].p_no, 2);
    EXPECT_EQ(P_Ga[0].min_value, 0.1);  // search ranges are not scaled
    EXPECT_EQ(P_Ga[0].max_value, 10.0);

    auto ranges = [](int n) {
        std::string text = kTimeCourseHead;
        for (int i = 1; i <= n; ++i) text += "PARAM;k1;" + std::to_string(i) + ";1;;;S;;0;1\n";
        return text;
    };
    struct Case {
        int gaMax, lines, rc;
        const char *message;  // start of the log
    };
    const Case cases[] = {
        {20, 20, 0, ""},
        {20, 21, -1, "## Too many parameter to run GAs!! Max:20\n"},
        {28, 28, 0, ""},
        {28, 29, -1, "## Too many parameter to run GAs!! Max:28\n"},
        {300, 257, -1, "## Too many parameter to run GAs!! Max:256\n"},  // never past the table
    };
    for (const Case &c : cases) {
        P_GaMax = c.gaMax;
        EXPECT_EQ(load(ranges(c.lines)), c.rc) << c.gaMax << " " << c.lines;
        EXPECT_EQ(log.substr(0, std::string(c.message).size()), c.message);
    }
}

TEST_F(ParamLines, ValueCountStartValuesAndTags) {
    std::string text = kTimeCourseHead;
    for (int i = 1; i <= 511; ++i) {
        text += "PARAM;k1;" + std::to_string(i) + ";" + std::to_string(i) + "\n";
    }
    text += "PARAM;constantPlayer;1;3;4;;;;;;a tag\nPARAM;constantPlayer;1;3;4;;;;;;later tag\n";
    ASSERT_EQ(load(text), 0) << log;
    EXPECT_EQ(ParamT.n_val[1], 511);
    EXPECT_EQ(ParamT.val[1][511], 511.0);
    EXPECT_EQ(ParamT.val[2][1], 6.0);
    EXPECT_EQ(Param.val[2][1], 4.0);  // start values are taken as written
    EXPECT_STREQ(getParamTag(2, 1), "latertag");

    EXPECT_EQ(load(text + "PARAM;k1;1;1\n"), -1);
    EXPECT_EQ(log.substr(0, 57), "## Data error!! Too many values of k1 in PARAM. Max:511\nP");
}

TEST_F(ParamLines, StartValueTableNeverOverflows) {
    resetInputData();
    std::vector<start_val> sv(kStartValCapacity);
    char fields[11][512] = {"PARAM", "k1", "1", "1", "2"};
    for (int i = 1; i <= kStartValCapacity; ++i) ASSERT_EQ(getStartParam(fields, 1, sv.data()), i);
    EXPECT_EQ(getStartParam(fields, 1, sv.data()), -1);
    EXPECT_EQ(sv.back().value, 2.0);
    resetInputData();
    EXPECT_EQ(getStartParam(fields, 1, sv.data()), 1);
}

}  // namespace
