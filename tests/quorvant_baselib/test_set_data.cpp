// Loading whole model files: run settings, time span, initial state, events and their order.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "test_set_data_fixture.h"

namespace {

const std::string kReadClose = "## Error!!  in readInputData.\n";
const std::string kSetClose = "## Error!!  in Set_data.\n";
const std::string kControlClose = "## Error!!  in checkControlData.\n";
const std::string kInputClose = "## Error!!  in checkInputData.\n";

using SetData = ModelFile;

TEST_F(SetData, LoadsATimeCourseModel) {
    const std::string good =
        "SOLVER;2\nN_VAR;3\nN_ALGEBR;1\nG_VALUE;2\nRK_EPS;1e-8\nNDF_RTOL;1e-5\nNDF_ATOL;1e-9\n"
        "PARAM_NAME;k1\nPARAM_NAME;k2\n"
        "T_START;0\nT_END;10\nDELTA_T;0.1\nDELTA_M;1\n"
        "Y_START;1;4;free enzyme\nY_START;2;0.5\nY_START;3;;x\n"
        "PARAM;k2;1;3;7\nPARAM;k1;1;5\nPARAM;k1;2;6;;;;;;;second value\n";
    ASSERT_EQ(load(good), 0) << log;
    EXPECT_EQ(log, "");
    EXPECT_EQ(SolverNo, 2);
    EXPECT_EQ(Rk_eps, 1e-8);
    EXPECT_EQ(Ndf_rtol, 1e-5);
    EXPECT_EQ(Ndf_atol, 1e-9);
    EXPECT_EQ(t_start, 0.0);
    EXPECT_EQ(t_end, 10.0);
    EXPECT_EQ(dt, 0.1);
    EXPECT_EQ(dm, 1.0);
    EXPECT_EQ(y[1], 8.0);
    EXPECT_EQ(y[2], 1.0);
    EXPECT_EQ(y[3], 2.0);  // empty value: Y_DEFAULT
    EXPECT_EQ(y[4], -99.0);  // beyond N_VAR untouched
    EXPECT_STREQ(getVarTag(1), "freeenzyme");  // blanks are removed everywhere
    EXPECT_STREQ(getVarTag(3), "x");
    EXPECT_EQ(ParamT.n_var, 3);
    EXPECT_EQ(ParamT.n_varNR, 1);
    EXPECT_EQ(ParamT.n_val[1], 2);
    EXPECT_EQ(ParamT.n_val[2], 1);
    EXPECT_EQ(ParamT.val[1][2], 6.0);
    EXPECT_STREQ(getParamTag(1, 2), "secondvalue");
    // The start value goes to Param and ParamP only.
    EXPECT_EQ(ParamT.val[2][1], 3.0);
    EXPECT_EQ(Param.val[2][1], 7.0);
    EXPECT_EQ(ParamP.val[2][1], 7.0);
    EXPECT_EQ(Param.val[1][1], 5.0);
    EXPECT_EQ(getParamNum(), 2);
    EXPECT_EQ(getEventParamNum(), 6);
    ASSERT_EQ(EventsNum, 2);
    EXPECT_EQ(Events[0].p_no, Name2Pno("time_start"));
    EXPECT_EQ(Events[1].p_no, Name2Pno("time_end"));
    EXPECT_EQ(Events[1].time, 10.0);
}

TEST_F(SetData, ControlDataRejections) {
    struct Case {
        const char *line;  // appended after a valid head, so it overrides
        const char *message;
    };
    const Case cases[] = {
        {"SOLVER;0", "## Data error!! in SOLVER\n"},
        {"SOLVER;21", "## Data error!! in SOLVER\n"},
        {"P_SURVEY;2", "## Data error!! in P_SURVEY\n"},
        {"PARALLEL;-1", "## Data error!! in PARALLEL\n"},
        {"NUMERICAL_JAC;2", "## Data error!! in NUMERICAL_JAC\n"},
        {"NDF_POSITIVE;2", "## Data error!! in NDF_POSITIVE\n"},
        {"NR_TRIAL;0", "## Data error!! in NR_TRIAL\n"},
        {"NR_TOL_F;1e-31", "## Data error!! in NR_TOL_F\n"},
        {"NR_TOL_X;0", "## Data error!! in NR_TOL_X\n"},
        {"RK_EPS;-1", "## Data error!! in RK_EPS\n"},
        {"NR_RATIO;1", "## Data error!! in NR_RATIO\n"},
        {"NR_RATIO;10.5", "## Data error!! in NR_RATIO\n"},
        {"Y_DEFAULT;0", "## Data error!! in Y_DEFAULT\n"},
        {"N_VAR;;3", "## Data error!! in N_VAR\n"},
        {"N_VAR;513", "## Data error!! in N_VAR\n"},
        {"N_VAR;4294967297", "## Data error!! in N_VAR\n"},  // must not wrap to 1
        {"N_ALGEBR;-1", "## Data error!! in N_ALGEBR\n"},
        {"N_ALGEBR;513", "## Data error!! in N_ALGEBR\n"},
        {"G_VALUE;0", "## Data error!! in G_Value\n"},
        {"G_VALUE;abc", "## Data error!! in G_Value\n"},
        {"SOLVER;0\nN_VAR;0", "## Data error!! in SOLVER\n"},  // the first failure in order
    };
    for (const Case &c : cases) {
        EXPECT_EQ(load(kTimeCourseHead + c.line + "\n"), -1) << c.line;
        EXPECT_EQ(log, c.message + kControlClose + kReadClose + kSetClose) << c.line;
    }
    // A file without G_VALUE.
    EXPECT_EQ(load("SOLVER;1\nN_VAR;1\n"), -1);
    EXPECT_EQ(log, "## Data error!! in G_Value\n" + kControlClose + kReadClose + kSetClose);
}

TEST_F(SetData, ControlDataBoundariesThatPass) {
    for (const char *line : {"NR_RATIO;1.0000001", "NR_RATIO;10", "NR_TOL_F;1e-30",
                             "N_VAR;512", "N_ALGEBR;3", "NR_TOL_F;nan", "NR_SENS_CW;-5"}) {
        EXPECT_EQ(load(kTimeCourseHead + line + "\n"), 0) << line << log;
    }
    EXPECT_EQ(Nr_sens_cw, -5.0);
}

TEST_F(SetData, TimeSpanChecks) {
    struct Case {
        const char *lines;
        const char *message;
    };
    const Case cases[] = {
        {"T_END;0", "## Data error!! in T_START or T_END\n"},
        {"T_START;10", "Start time is not 0.\n## Data error!! in T_START or T_END\n"},
        {"DELTA_T;1e-31", "## Data error!! in DELTA_T\n"},
        {"DELTA_M;0.05", "## Data error!! in DELTA_M\n"},
        {"N_ALGEBR;4", "## Data error!! in N_ALGEBR\n"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(load(kTimeCourseHead + c.lines + "\n"), -1) << c.lines;
        EXPECT_EQ(log, c.message + kInputClose + kSetClose) << c.lines;
    }
    EXPECT_EQ(load(kTimeCourseHead + "T_START;-1\n"), 0);
    EXPECT_EQ(log, "Start time is not 0.\n");
    EXPECT_EQ(t_start, -1.0);
    EXPECT_EQ(Events[0].time, -1.0);
}

TEST_F(SetData, MissingTimeKeywordsAreNamed) {
    const std::string head = "SOLVER;3\nN_VAR;1\nG_VALUE;1\nY_START;1;1\n";
    EXPECT_EQ(load(head + "T_START;0\nDELTA_T;0.1\n"), -1);
    EXPECT_EQ(log, "## Data error!! Missing T_END DELTA_M for a time-course solver.\n" +
                       kInputClose + kSetClose);
    EXPECT_EQ(load(head), -1);
    EXPECT_EQ(log,
              "## Data error!! Missing T_START T_END DELTA_T DELTA_M for a time-course solver.\n" +
                  kInputClose + kSetClose);
    EXPECT_EQ(load(head + "T_START;0\nT_END;1\nDELTA_T;0.1\nDELTA_M;0.1\n"), 0) << log;
}

TEST_F(SetData, SteadyStateSolverSkipsTimeLines) {
    const std::string text =
        "SOLVER;11\nN_VAR;2\nN_ALGEBR;1\nG_VALUE;1\nPARAM_NAME;k1\n"
        "T_START;5\nT_EVENT;nothing;0\nNDF_RTOL;7\nY_START;1;1\nY_START;2;1\n";
    ASSERT_EQ(load(text), 0) << log;
    EXPECT_EQ(log, "");
    EXPECT_EQ(ParamT.n_varNR, 2);  // every variable is solved for
    EXPECT_EQ(Param.n_varNR, 2);
    EXPECT_EQ(Ndf_rtol, 1e-12);
    EXPECT_EQ(t_start, 0.0);
    EXPECT_EQ(EventsNum, 2);  // only the closing events
}

TEST_F(SetData, InitialStateFromYStart) {
    const std::string head = "SOLVER;11\nN_VAR;3\nG_VALUE;2\nY_DEFAULT;0.5\n";
    ASSERT_EQ(load(head + "Y_START;3;4\nY_START;1;3\n"), 0) << log;
    EXPECT_EQ(log,
              "This case have   3 variables. Bat initial data has   2.\n"
              "fill with default value :  5.000E-01\n");
    EXPECT_EQ(y[1], 6.0);
    EXPECT_EQ(y[2], 1.0);
    EXPECT_EQ(y[3], 8.0);

    struct Case {
        const char *lines;
        const char *message;
    };
    const Case bad[] = {
        {"Y_START;0;1", "## Data error!! Iinappropriate index in Y_START.\n"},
        {"Y_START;4;1", "## Data error!! Iinappropriate index in Y_START.\n"},
        {"Y_START;-2147483648;1", "## Data error!! Iinappropriate index in Y_START.\n"},
        {"Y_START;x;1", "## Data error!! Iinappropriate index in Y_START.\n"},
        {"Y_START;2;1\nY_START;2;5", "## Data error!! Duplicate Y_START. Index = 2\n"},
    };
    for (const Case &c : bad) {
        EXPECT_EQ(load(head + c.lines + "\n"), -1) << c.lines;
        EXPECT_EQ(log, c.message + kReadClose + kSetClose) << c.lines;
    }
}

TEST_F(SetData, LineOrderDoesNotMatter) {
    // Settings and names may follow the lines that use them.
    const std::string text =
        "Y_START;2;3\nT_EVENT;y_add;2;1;1\nPARAM;k1;1;4\nT_END;5\nDELTA_M;1\nDELTA_T;0.5\n"
        "T_START;0\nY_START;1;1\nPARAM_NAME;k1\nN_VAR;2\nG_VALUE;10\nSOLVER;1\n";
    ASSERT_EQ(load(text), 0) << log;
    EXPECT_EQ(y[1], 10.0);
    EXPECT_EQ(y[2], 30.0);
    EXPECT_EQ(Events[1].value, 10.0);
    EXPECT_EQ(ParamT.val[1][1], 4.0);
}

TEST_F(SetData, EventCapacity) {
    auto withEvents = [](int n) {
        std::string text = kTimeCourseHead;
        for (int i = 0; i < n; ++i) text += "T_EVENT;k1;1;" + std::to_string(i % 7) + ";1\n";
        return text;
    };
    EXPECT_EQ(load(withEvents(48)), 0) << log;
    EXPECT_EQ(EventsNum, 50);
    for (int n : {49, 50}) {
        EXPECT_EQ(load(withEvents(n)), -1);
        EXPECT_EQ(log, "## Too many time events!! Max: 48\n" + kSetClose);
    }
    EXPECT_EQ(load(withEvents(51)), -1);
    EXPECT_EQ(log, "## Too many time events!! Max: 50\n## Error!!  in setTEventData.\n" +
                       kReadClose + kSetClose);
}

TEST_F(SetData, EventsSortedStably) {
    // Enough events at few distinct times that an unstable sort would reorder equal keys.
    constexpr int kN = 40;
    const double times[] = {2, 3, 0, 1};
    std::string text = kTimeCourseHead + "T_END;3\n";
    for (int i = 0; i < kN; ++i) {
        text += "T_EVENT;k1;1;" + std::to_string(times[i % 4]) + ";" + std::to_string(i) + "\n";
    }
    text += "T_EVENT;k1;1;nan;99\n";
    ASSERT_EQ(load(text), 0) << log;
    ASSERT_EQ(EventsNum, kN + 3);
    const int k1 = Name2Pno("k1");
    // Expected: by time; equal times in file order, then time_start, then time_end; NaN last.
    std::vector<std::pair<int, double>> want;  // (p_no, value)
    for (double t : {0.0, 1.0, 2.0, 3.0}) {
        for (int i = 0; i < kN; ++i) {
            if (times[i % 4] == t) want.emplace_back(k1, i);
        }
        if (t == 0.0) want.emplace_back(Name2Pno("time_start"), 0);
        if (t == 3.0) want.emplace_back(Name2Pno("time_end"), 0);
    }
    want.emplace_back(k1, 99);
    for (int i = 0; i < EventsNum; ++i) {
        EXPECT_EQ(Events[i].p_no, want[i].first) << i;
        EXPECT_EQ(Events[i].value, want[i].second) << i;
        if (i > 0 && i < EventsNum - 1) {
            EXPECT_LE(Events[i - 1].time, Events[i].time) << i;
        }
    }
    EXPECT_TRUE(std::isnan(Events[EventsNum - 1].time));
}

TEST_F(SetData, ParamNameTableLimits) {
    std::string text = "SOLVER;11\nN_VAR;1\nG_VALUE;1\nY_START;1;1\n";
    for (int i = 1; i <= 124; ++i) text += "PARAM_NAME;p" + std::to_string(i) + "\n";
    ASSERT_EQ(load(text), 0) << log;
    EXPECT_EQ(getParamNum(), 124);
    EXPECT_EQ(Name2Pno("time_end"), 128);

    EXPECT_EQ(load(text + "PARAM_NAME;p125\n"), -1);
    EXPECT_EQ(log, "ERROR: Too Many Param Names[p125] > [124]\n## Param error!!\n" + kReadClose +
                       kSetClose);
    EXPECT_EQ(load(kTimeCourseHead + "PARAM_NAME;k-2\n"), -1);
    EXPECT_EQ(log, "ERROR: Not Param Name[k-2]\n## Param error!!\n" + kReadClose + kSetClose);
    EXPECT_EQ(load(kTimeCourseHead + "PARAM_NAME;\n"), -1);
    EXPECT_EQ(log, "ERROR: No Param Name Def.\n## Param error!!\n" + kReadClose + kSetClose);
    // A carriage return stays in the name and is not a name character.
    EXPECT_EQ(load(kTimeCourseHead + "PARAM_NAME;k3\r\n"), -1);
    EXPECT_EQ(log, "ERROR: Not Param Name[k3\r]\n## Param error!!\n" + kReadClose + kSetClose);
}

TEST_F(SetData, UnreadableAndMalformedFiles) {
    resetParamTab();
    resetInputData();
    testing::internal::CaptureStdout();
    EXPECT_EQ(Set_data(y, &t_start, &t_end, &dt, &dm, "/nonexistent/dir/model.txt"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Cannot open /nonexistent/dir/model.txt\n" + kSetClose);

    EXPECT_EQ(load(""), -1);
    EXPECT_EQ(log, "## Data error!! in SOLVER\n" + kControlClose + kReadClose + kSetClose);

    std::string junk;
    for (int i = 0; i < 20000; ++i) junk.push_back(static_cast<char>((i * 131 + 7) % 251));
    for (char &c : junk) {
        if (c == ';') c = '\n';
    }
    EXPECT_EQ(load(junk), -1);

    // Huge and non-finite numbers load without harm; the checks decide.
    EXPECT_EQ(load(kTimeCourseHead + "PARAM;k1;1;-1e400\nY_DEFAULT;inf\n"), 0) << log;
    // A time span that overflows to infinity could never end: the time check refuses it.
    EXPECT_EQ(load(kTimeCourseHead + "T_END;1e999\n"), -1);
    EXPECT_EQ(log, "## Data error!! in T_START or T_END\n" + kInputClose + kSetClose);
}

TEST_F(SetData, ResetAllowsASecondLoad) {
    ASSERT_EQ(load(kTimeCourseHead + "P_SURVEY;1\nPARAM;k1;1;1;9;3;D;0.5\nT_EVENT;k1;1;1;2\n"),
              0)
        << log;
    EXPECT_EQ(P_SurveyNum, 1);
    EXPECT_EQ(EventsNum, 3);
    EXPECT_EQ(Param.val[1][1], 9.0);
    ASSERT_EQ(load("SOLVER;11\nN_VAR;1\nG_VALUE;1\nPARAM_NAME;a\nY_START;1;1\nPARAM;a;1;4\n"), 0)
        << log;
    EXPECT_EQ(F_PSurvey, 0);
    EXPECT_EQ(P_SurveyNum, 0);
    EXPECT_EQ(EventsNum, 2);
    EXPECT_EQ(Name2Pno("a"), 1);
    EXPECT_EQ(Name2Pno("k1"), 0);
    EXPECT_EQ(Param.val[1][1], 4.0);  // no start value carried over from the first load
    EXPECT_EQ(ParamT.n_val[1], 1);
}

}  // namespace
