// gasearch stopped and resumed: a run to generation 40 that writes its state there, resumed with
// -R to generation 79, repeats the uninterrupted run from generation 41 on, line for line and
// block for block, on one process or dealing out individuals; checkpoints that do not fit are
// refused.
#include <algorithm>
#include <filesystem>

#include "gasearch_run_support.h"

namespace {

using namespace simtest;
using namespace gatest;

// The lines of a log that start with one of the prefixes, from the one with `from` on.
std::vector<std::string> linesFrom(const std::string &log, const std::string &from) {
    std::vector<std::string> out;
    bool on = false;
    for (const std::string &line : split_lines(withoutRankLines(log))) {
        on = on || line.rfind(from, 0) == 0;
        if (!on) continue;
        for (const char *prefix : {"generation[", "refinement[", "Obtained Generation :", "Fitness   ", "Gene   "})
            if (line.rfind(prefix, 0) == 0) out.push_back(line);
    }
    return out;
}

// The report file from the block of the generation on.
std::string blocksFrom(const std::string &report, int generation) {
    const size_t at = report.find("generation," + std::to_string(generation) + "\n");
    return at == std::string::npos ? std::string() : report.substr(at);
}

struct ResumeCase {
    const char *name;
    const char *program;
    std::string model;
    std::string ga;   // 80 generations; the first run gets 41 and the CHECKPOINT line
    int resumeProcs;
    const char *resumeLine;   // added to the GA file of the resumed run
};

TEST_F(SimulatorRun, AResumedRunRepeatsTheUninterruptedOne) {
    const std::string fitting = modelFile("fitting/fitting.in");
    writeFile("refine.in",
              "SOLVER;1\nN_VAR;1\nG_VALUE;1\nT_START;0\nT_END;1\nDELTA_T;0.1\nDELTA_M;0.5\n"
              "PARAM_NAME;u\nPARAM_NAME;v\nPARAM;u;1;0;;;S;;-3;5\nPARAM;v;1;0;;;S;;-1;4\nY_START;1;0\n");
    const ResumeCase cases[] = {
        {"NORMAL with migration and a normal mutation", "gasearch_fitting", fitting,
         "ENCODE;REAL;\nGATYPE;DGA;80;1;3;20;RandomRing;7;0.2;\nDIGENESIS;NORMAL;2;Tournament;3;\n"
         "CROSSOVER;UNDX;1.0;0.35;\nMUTATION;VariableNormal;0.1;\n",
         1, ""},
        {"MGG merged before the checkpoint, resumed on three processes", "gasearch_fitting", fitting,
         "ENCODE;REAL;\nGATYPE;DIGA;80;1;3;12;30;\nDIGENESIS;MGG;6;\nCROSSOVER;UNDX;1.0;0.35;\n"
         "MUTATION;FixedNormal;0.1;0.05;\n",
         3, "PARALLEL;INDIVIDUAL;\n"},
        {"refinements counted on", "gasearch_refine", "refine.in",
         "ENCODE;REAL;\nGATYPE;DGA;80;1;2;8;RandomSwap;5;0.25;\nDIGENESIS;NORMAL;1;Tournament;2;\n"
         "CROSSOVER;BLX;0.5;\nMUTATION;FixedNormal;0.3;0.5;\nREFINE;15;1;3;\n",
         1, ""},
    };
    for (const ResumeCase &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile("full.ga", c.ga);
        writeFile("half.ga", replaced(c.ga, ";80;1;", ";41;1;") + "CHECKPOINT;state.bin;20;\n");
        writeFile("rest.ga", c.ga + c.resumeLine);
        const RunResult full = run(c.program, 1, {"-I", c.model, "-p", "full.ga", "-f", "full.csv", "-S", "4711"});
        ASSERT_EQ(full.status, 0) << full.log;
        const RunResult half = run(c.program, 1, {"-I", c.model, "-p", "half.ga", "-f", "half.csv", "-S", "4711"});
        ASSERT_EQ(half.status, 0) << half.log;
        EXPECT_TRUE(exists("state.bin"));
        EXPECT_FALSE(exists("state.bin.tmp"));
        // Written at 20 and replaced at 40: the resumed run starts after 40.
        const RunResult rest = run(c.program, c.resumeProcs, {"-I", c.model, "-p", "rest.ga", "-R", "state.bin", "-f", "rest.csv"});
        ASSERT_EQ(rest.status, 0) << rest.log;
        EXPECT_NE(rest.log.find("Resumed from 'state.bin' after generation 40.\n"), std::string::npos) << rest.log;
        EXPECT_EQ(rest.log.find("generation[40]"), std::string::npos);
        const std::vector<std::string> expected = linesFrom(full.log, "generation[41]");
        ASSERT_EQ(expected.size(), 39u + 3u + (std::string(c.program) == "gasearch_refine" ? 3u : 0u)) << full.log;
        const std::vector<std::string> got = linesFrom(rest.log, "generation[41]");
        for (size_t i = 0; i < std::min(got.size(), expected.size()); ++i) {
            if (got[i] != expected[i]) {
                ADD_FAILURE() << "line " << i << ": " << got[i] << " | " << expected[i] << "\n" << rest.log;
                break;
            }
        }
        EXPECT_EQ(got.size(), expected.size());
        EXPECT_EQ(blocksFrom(file("rest.csv"), 41), blocksFrom(file("full.csv"), 41));
        EXPECT_FALSE(blocksFrom(file("full.csv"), 41).empty());
        std::filesystem::remove(dir / "state.bin");
    }
}

TEST_F(SimulatorRun, CheckpointsThatDoNotFitAreRefused) {
    writeFile("linear.in", kLinearModel);
    const std::string ga = "ENCODE;REAL;\nGATYPE;DGA;6;1;2;8;RandomRing;3;0.25;\nDIGENESIS;NORMAL;1;Tournament;2;\n"
                           "CROSSOVER;BLX;0.5;\nMUTATION;NONE;\n";
    writeFile("write.ga", ga + "CHECKPOINT;state.bin;5;\n");
    ASSERT_EQ(run("gasearch_linear", 1, {"-I", "linear.in", "-p", "write.ga", "-S", "3"}).status, 0);
    const std::string state = file("state.bin");
    writeFile("cut.bin", state.substr(0, state.size() - 9));
    writeFile("longer.bin", state + "x");
    writeFile("other.ga", replaced(ga, ";2;8;", ";2;9;"));
    writeFile("diga.ga", replaced(ga, "DGA;6;1;2;8;RandomRing;3;0.25;", "DIGA;6;1;2;8;3;"));
    writeFile("ga.txt", ga);
    struct Refusal {
        const char *name;
        std::vector<std::string> args;
        int nprocs;
        const char *message;
    };
    const Refusal cases[] = {
        {"no such file", {"-p", "ga.txt", "-R", "none.bin"}, 1, " ## Error: Cannot read the checkpoint file 'none.bin'."},
        {"cut short", {"-p", "ga.txt", "-R", "cut.bin"}, 1, " ## Error: Cannot read the checkpoint file 'cut.bin'."},
        {"bytes after its end", {"-p", "ga.txt", "-R", "longer.bin"}, 1,
         " ## Error: Cannot read the checkpoint file 'longer.bin'."},
        {"not a checkpoint", {"-p", "ga.txt", "-R", "ga.txt"}, 1, " ## Error: Cannot read the checkpoint file 'ga.txt'."},
        {"another population", {"-p", "other.ga", "-R", "state.bin"}, 1,
         " ## Error: The checkpoint file 'state.bin' was written for another configuration."},
        {"another GA type", {"-p", "diga.ga", "-R", "state.bin"}, 1,
         " ## Error: The checkpoint file 'state.bin' was written for another configuration."},
        {"islands dealt out", {"-p", "ga.txt", "-R", "state.bin"}, 2,
         " ## Error: CHECKPOINT and -R need one process or PARALLEL;INDIVIDUAL;."},
        {"no file name", {"-p", "noname.ga"}, 1, " ## Error: CHECKPOINT needs the name of its file."},
    };
    writeFile("noname.ga", ga + "CHECKPOINT;;5;\n");
    for (const Refusal &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"-I", "linear.in"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult r = run("gasearch_linear", c.nprocs, args);
        EXPECT_EQ(r.status, 255) << r.log;
        EXPECT_NE(r.log.find(std::string(c.message) + "\n"), std::string::npos) << r.log;
        EXPECT_EQ(r.log.find("generation["), std::string::npos) << r.log;
    }
}

}  // namespace
