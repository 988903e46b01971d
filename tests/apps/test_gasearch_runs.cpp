// gasearch end to end: the program run under mpiexec in a temporary directory, read as a user reads
// it (exit status, log, progress lines, report file, result).
#include "gasearch_run_support.h"

namespace {

using namespace simtest;
using namespace gatest;

const std::string kNormalGa =
    "ENCODE;REAL;\nGATYPE;DGA;15;;2;12;RandomRing;4;0.25;\nDIGENESIS;NORMAL;2;Tournament;2;\n"
    "CROSSOVER;BLX;0.5;\nMUTATION;FixedNormal;0.2;0.3;\n";

class GaRun : public SimulatorRun {
protected:
    RunResult ga(const std::vector<std::string> &args, int nprocs = 1, const std::string &program = "gasearch_linear") {
        return run(program, nprocs, args);
    }
};

struct StartupCase {
    const char *name;
    std::vector<std::string> args;
    const char *model;     // written as model.in ("" for none)
    const char *gaFile;    // written as ga.txt ("" for none)
    const char *message;   // a line of the log
};

TEST_F(GaRun, StartupFailuresEndWithTheirMessageAndStatus255) {
    std::string tooMany = kLinearModel;
    for (int i = 0; i < 19; ++i) tooMany += "PARAM;k1;1;1.0;;;S;;0.1;10\n";
    const std::string constantPlayer =
        "SOLVER;1\nN_VAR;2\nG_VALUE;1\nT_START;0\nT_END;1\nDELTA_T;0.01\nDELTA_M;0.5\nPARAM_NAME;k1\n"
        "PARAM_NAME;constantPlayer\nPARAM;k1;1;1;;;S;;0.5;2\nPARAM;constantPlayer;1;1;;;S;;0.5;2\n";
    const std::string noSearch =
        "SOLVER;1\nN_VAR;2\nG_VALUE;1\nT_START;0\nT_END;1\nDELTA_T;0.01\nDELTA_M;0.5\nPARAM_NAME;k1\nPARAM;k1;1;1\n";
    const std::string longName(5000, 'x');
    const StartupCase cases[] = {
        {"no options", {}, "", "", " ## ERROR: Option -I cannot be omitted."},
        {"no -I", {"-p", "ga.txt"}, "", "", " ## ERROR: Option -I cannot be omitted."},
        {"no -p", {"-I", "model.in"}, "", "", " ## ERROR: Option -p cannot be omitted."},
        {"-s twice", {"-I", "model.in", "-p", "ga.txt", "-s", "a", "-s", "b"}, "", "", " ## Error: Duplicated option: 's'"},
        {"bad seed", {"-I", "model.in", "-p", "ga.txt", "-S", "-3"}, "", "",
         " ## Error: Invalid seed for option -S: '-3' (a whole number from 0 to 4294967295)."},
        {"long name", {"-I", "model.in", "-p", longName}, "", "",
         " ## Error: The file name of option -p is too long (at most 4094 characters)."},
        {"no parameter file", {"-I", "model.in", "-p", "missing.txt"}, kLinearModel.c_str(), "",
         " ## Error: Cannot open parmeter file:missing.txt"},
        {"GATYPE first", {"-I", "model.in", "-p", "ga.txt"}, kLinearModel.c_str(), "GATYPE;DGA;10;;2;12;OFF;\n",
         " ## Error: Describe \"ENCODE\" at top rank."},
        {"21 variables", {"-I", "model.in", "-p", "ga.txt"}, tooMany.c_str(), kNormalGa.c_str(),
         "## Too many parameter to run GAs!! Max:20"},
        {"constantPlayer", {"-I", "model.in", "-p", "ga.txt"}, constantPlayer.c_str(), kNormalGa.c_str(),
         " ## Error: constantPlayer cannot be set as subject to search."},
        {"nothing to search", {"-I", "model.in", "-p", "ga.txt"}, noSearch.c_str(), kNormalGa.c_str(),
         " ## Error: The model file has no search variables (PARAM lines of type S): nothing to fit."},
        {"report in a missing directory", {"-I", "model.in", "-p", "ga.txt", "-f", "no/such/report.csv"},
         kLinearModel.c_str(), kNormalGa.c_str(), " ## Error: The output file cannot open: 'no/such/report.csv'"},
        {"bad initial individuals", {"-I", "model.in", "-p", "ga.txt", "-s", "init.txt"}, kLinearModel.c_str(),
         kNormalGa.c_str(), " ## Error: Cannot open a file of initial individuals:init.txt"},
    };
    for (const StartupCase &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dir / "model.in");
        fs::remove(dir / "ga.txt");
        if (*c.model) writeFile("model.in", c.model);
        if (*c.gaFile) writeFile("ga.txt", c.gaFile);
        writeFile("report.csv", "an earlier report\n");
        std::vector<std::string> args = c.args;
        args.push_back("-f");
        args.push_back("report.csv");
        if (std::string(c.name) == "report in a missing directory") args.resize(args.size() - 2);
        const RunResult r = ga(args);
        EXPECT_EQ(r.status, 255) << r.log;
        EXPECT_NE(r.log.find(std::string(c.message) + "\n"), std::string::npos) << r.log;
        EXPECT_EQ(r.log.find("generation["), std::string::npos);
        // A run that cannot start leaves an earlier report as it was (except the initial-individuals
        // case, which fails after the run began writing).
        if (std::string(c.name) != "bad initial individuals") {
            EXPECT_EQ(file("report.csv"), "an earlier report\n");
        }
    }
}

// A start-up failure on several processes: the job ends with a non-zero status and the message,
// and no rank leaves its transferred copy of the model file ("<base name>_<rank>") behind.
TEST_F(GaRun, AStartupFailureOnThreeProcessesEndsEveryRankAndLeavesNoCopy) {
    constexpr int kRanks = 3;
    const std::string constantPlayer =
        "SOLVER;1\nN_VAR;2\nG_VALUE;1\nT_START;0\nT_END;1\nDELTA_T;0.01\nDELTA_M;0.5\nPARAM_NAME;k1\n"
        "PARAM_NAME;constantPlayer\nPARAM;k1;1;1;;;S;;0.5;2\nPARAM;constantPlayer;1;1;;;S;;0.5;2\n";
    struct Case {
        const char *name;
        std::string model;    // written as in/model.in
        const char *gaFile;   // written as ga.txt
        const char *message;
        size_t ranksReporting;   // how many ranks log the message
    };
    const Case cases[] = {
        // Rank 0 alone fails, after every rank has read its copy.
        {"bad parameter file", kLinearModel, "GATYPE;DGA;10;;2;12;OFF;\n", " ## Error: Describe \"ENCODE\" at top rank.\n", 1},
        // Every rank fails on its own reading of the model.
        {"constantPlayer", constantPlayer, kNormalGa.c_str(), " ## Error: constantPlayer cannot be set as subject to search.\n",
         kRanks},
        // Rank 0 cannot send the file: nothing is transferred.
        {"missing model file", "", kNormalGa.c_str(), " ## Error: Cannot open in/model.in\n", 1},
    };
    fs::create_directory(dir / "in");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dir / "in" / "model.in");
        if (!c.model.empty()) writeFile("in/model.in", c.model);
        writeFile("ga.txt", c.gaFile);
        const RunResult r = ga({"-I", "in/model.in", "-p", "ga.txt"}, kRanks);
        EXPECT_NE(r.status, 0) << r.log;
        EXPECT_EQ(count(r.log, c.message), c.ranksReporting) << r.log;
        EXPECT_EQ(r.log.find("generation["), std::string::npos);
        for (int rank = 1; rank < kRanks; ++rank) {
            const std::string copy = "model.in_" + std::to_string(rank);
            EXPECT_FALSE(exists(copy)) << copy;
            EXPECT_FALSE(exists("in/" + copy)) << copy;
        }
    }
}

TEST_F(GaRun, ASeededRunIsReproducibleAndItsReportsParse) {
    writeFile("model.in", kLinearModel);
    writeFile("ga.txt", kNormalGa);
    const RunResult a = ga({"-I", "model.in", "-p", "ga.txt", "-f", "a.csv", "-S", "4242", "-O", "x"});
    ASSERT_EQ(a.status, 0) << a.log;
    const RunResult b = ga({"-I", "model.in", "-p", "ga.txt", "-f", "b.csv", "-S", "4242"});
    ASSERT_EQ(b.status, 0) << b.log;
    EXPECT_NE(a.log.find(" ## Warning: -O option has no effect to GA.\n"), std::string::npos);
    EXPECT_NE(a.log.find("Random seed: 4242\n"), std::string::npos);
    // Bit for bit the same run: progress, result and report file.
    // (The process line "#####CPU ..." goes to standard error and may land anywhere in the log.)
    const auto stdoutPart = [](const std::string &log) {
        std::string out;
        for (const std::string &line : split_lines(log.substr(log.find("===GA PARAMETERS"))))
            if (line.rfind("#####CPU", 0) != 0) out += line + "\n";
        return out;
    };
    EXPECT_EQ(stdoutPart(a.log), stdoutPart(b.log));
    EXPECT_EQ(file("a.csv"), file("b.csv"));

    // One progress line per generation; the best only improves, and its generation is reported.
    const std::vector<Progress> p = progressLines(a.log);
    ASSERT_EQ(p.size(), 15u);
    for (size_t g = 0; g < p.size(); ++g) {
        EXPECT_EQ(p[g].generation, static_cast<int>(g));
        ASSERT_EQ(p[g].gene.size(), 2u);
        EXPECT_LE(p[g].fitness, 0.0);
        if (g > 0) {
            EXPECT_GE(p[g].fitness, p[g - 1].fitness);
        }
        EXPECT_LE(p[g].obtained, p[g].generation);
        EXPECT_TRUE(p[g].gene[0] >= 0.1 && p[g].gene[0] <= 10 && p[g].gene[1] >= 0.01 && p[g].gene[1] <= 1);
    }
    // The best is a real optimum of the model: X2(5) = 0.5 within 2 %.
    const double x2 = linearX2(5.0, 1.0, 0.5, p.back().gene[0], p.back().gene[1]);
    EXPECT_NEAR(x2, 0.5, 0.01) << p.back().gene[0] << " " << p.back().gene[1];
    EXPECT_NEAR(p.back().fitness, -(x2 - 0.5) * (x2 - 0.5), 1e-6);

    // The result block repeats the best.
    const auto result = block(a.log, "******Search Result******");
    ASSERT_GE(result.size(), 4u);
    EXPECT_EQ(result[1], "Obtained Generation : " + std::to_string(p.back().obtained));

    // The report file: the summary, then one block per generation with every individual.
    const std::string report = file("a.csv");
    EXPECT_EQ(report.rfind("===GA PARAMETERS========================\n", 0), 0u);
    const auto all = split_lines(report);
    int blocks = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] != "generation," + std::to_string(blocks)) continue;
        ASSERT_LT(i + 4 + 24, all.size() + 1);
        EXPECT_EQ(all[i + 1], "Best gene:");
        EXPECT_EQ(all[i + 2], "Obtained generation, fitness, variable[0], variable[1]");
        EXPECT_EQ(numbers(all[i + 3]).size(), 4u);
        EXPECT_EQ(all[i + 4], "ID, fitness, variable[0], variable[1]");
        double previous = HUGE_VAL;
        for (int k = 0; k < 24; ++k) {   // 2 islands of 12, each best first
            const std::string &row = all[i + 5 + k];
            std::string id = "[";
            id.append(std::to_string(k / 12)).append("][").append(std::to_string(k % 12)).append("], ");
            EXPECT_EQ(row.rfind(id, 0), 0u) << row;
            const double f = numbers(row.substr(row.find("], ") + 3))[0];
            if (k % 12 != 0) {
                EXPECT_LE(f, previous);
            }
            previous = f;
        }
        ++blocks;
    }
    EXPECT_EQ(blocks, 15);
}

TEST_F(GaRun, EveryOperatorFamilyRunsAndARestartFromTheReportKeepsTheBest) {
    writeFile("model.in", kLinearModel);
    struct Config {
        const char *name;
        const char *text;
    };
    const Config configs[] = {
        {"MGG UNDX RegionUni DIGA", "ENCODE;REAL;\nGATYPE;DIGA;12;;3;10;4;\nDIGENESIS;MGG;8;\n"
                                    "CROSSOVER;UNDX;1.0;0.35;\nMUTATION;RegionUni;0.05;\n"},
        {"MGG UNDXm, no mutation", "ENCODE;REAL;\nGATYPE;DGA;10;;2;10;RandomSwap;3;0.2;\nDIGENESIS;MGG;6;\n"
                                   "CROSSOVER;UNDXm;1.0;0.35;2;\nMUTATION;NONE;\n"},
        {"NORMAL SPX roulette VariableNormal", "ENCODE;REAL;\nGATYPE;DGA;10;;2;10;OFF;\n"
                                               "DIGENESIS;NORMAL;1;Roulette;\nCROSSOVER;SPX;;\n"
                                               "MUTATION;VariableNormal;0.1;\n"},
        {"GRAY MGG NPOINTS BitReverse", "ENCODE;GRAY;8;\nGATYPE;DGA;10;;2;11;RandomRing;2;0.2;\n"
                                        "DIGENESIS;MGG;7;\nCROSSOVER;NPOINTS;2;\nMUTATION;BitReverse;0.02;\n"},
        {"BINARY NORMAL random selection", "ENCODE;BINARY;6;\nGATYPE;DIGA;8;;2;9;3;\n"
                                           "DIGENESIS;NORMAL;2;Random;\nCROSSOVER;NPOINTS;1;\n"
                                           "MUTATION;BitReverse;0.05;\n"},
    };
    for (const Config &c : configs) {
        SCOPED_TRACE(c.name);
        writeFile("ga.txt", c.text);
        const RunResult r = ga({"-I", "model.in", "-p", "ga.txt", "-f", "report.csv", "-S", "99"});
        ASSERT_EQ(r.status, 0) << r.log;
        const std::vector<Progress> p = progressLines(r.log);
        ASSERT_FALSE(p.empty());
        for (size_t g = 1; g < p.size(); ++g) EXPECT_GE(p[g].fitness, p[g - 1].fitness);
        EXPECT_LT(p.back().fitness, 0.0);
    }

    // Restart: the last block of a report, islands separated by "**", as initial individuals.
    writeFile("ga.txt", kNormalGa);
    const RunResult first = ga({"-I", "model.in", "-p", "ga.txt", "-f", "report.csv", "-S", "7"});
    ASSERT_EQ(first.status, 0) << first.log;
    const auto all = split_lines(file("report.csv"));
    std::string init;
    size_t last = 0;
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i] == "generation,14") last = i;
    ASSERT_GT(last, 0u);
    for (int k = 0; k < 24; ++k) init += (k == 12 ? "**\n" : "") + all[last + 5 + k] + "\n";
    writeFile("init.txt", init);
    writeFile("ga1.txt", std::string(kNormalGa).replace(kNormalGa.find(";15;"), 4, ";1;"));
    const RunResult again = ga({"-I", "model.in", "-p", "ga1.txt", "-s", "init.txt", "-S", "8"});
    ASSERT_EQ(again.status, 0) << again.log;
    EXPECT_NE(again.log.find("Island[0], 12, 12, 0, 0\nIsland[1], 12, 12, 0, 0\n"), std::string::npos) << again.log;
    const std::vector<Progress> p1 = progressLines(first.log);
    const std::vector<Progress> p2 = progressLines(again.log);
    ASSERT_EQ(p2.size(), 1u);
    // The report prints values with 6 decimals, so the restarted best is as good to that precision.
    EXPECT_NEAR(p2[0].fitness, p1.back().fitness, 1e-4);
    EXPECT_NEAR(p2[0].gene[0], p1.back().gene[0], 1e-6);
}

// The delivered data-fitting example: with a fixed seed both alternations recover the true rate
// constants (Vmax 2, Km 1.5, k2 0.5) that produced the model's data, to within 2 %.
TEST_F(GaRun, TheFittingExampleRecoversItsTrueParameters) {
    const double truth[] = {2.0, 1.5, 0.5};
    for (const char *gaFile : {"fitting_normal.ga", "fitting_mgg.ga"}) {
        SCOPED_TRACE(gaFile);
        const RunResult r = ga({"-I", modelFile("fitting/fitting.in"), "-p", modelFile(std::string("fitting/") + gaFile),
                                "-S", "12345"},
                               1, "gasearch_fitting");
        ASSERT_EQ(r.status, 0) << r.log;
        const std::vector<Progress> p = progressLines(r.log);
        ASSERT_FALSE(p.empty());
        ASSERT_EQ(p.back().gene.size(), 3u);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(p.back().gene[k], truth[k], 0.02 * truth[k]) << k;
        EXPECT_GT(p.back().fitness, -1e-4);
    }
    // The oscillation example climbs from its random start to many counted oscillations.
    const RunResult r = ga({"-I", modelFile("oscillator/oscillator.in"), "-p", modelFile("oscillator/oscillator.ga"),
                            "-S", "12345"},
                           1, "gasearch_oscillator");
    ASSERT_EQ(r.status, 0) << r.log;
    const std::vector<Progress> p = progressLines(r.log);
    ASSERT_FALSE(p.empty());
    EXPECT_GE(p.back().fitness, 60.0);
    EXPECT_GT(p.back().fitness, p.front().fitness);
}

}  // namespace
