// gasearch with the work dealt out per individual (PARALLEL;INDIVIDUAL;) and with refinements of
// chosen individuals (REFINE): the parallel run repeats the run of one process exactly, and the
// refinement reaches the optimum of a model that refines and counts its work in the log.
#include "gasearch_run_support.h"

namespace {

using namespace simtest;
using namespace gatest;

constexpr const char *kParallel = "PARALLEL;INDIVIDUAL;\n";

// What rank 0 writes about the run itself: the progress and refinement lines and the result (the
// other ranks' lines on standard error may fall anywhere between them).
std::vector<std::string> runPart(const std::string &log) {
    std::vector<std::string> out;
    for (const std::string &line : split_lines(withoutRankLines(log))) {
        for (const char *prefix : {"generation[", "refinement[", "*****", "Best gene", "Obtained Generation :",
                                   "Fitness             :", "Gene                :"}) {
            if (line.rfind(prefix, 0) == 0) {
                out.push_back(line);
                break;
            }
        }
    }
    return out;
}

// The first line where two runs differ, or "" when they are the same.
std::string firstDifference(const std::vector<std::string> &a, const std::vector<std::string> &b) {
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const std::string la = i < a.size() ? a[i] : "(none)", lb = i < b.size() ? b[i] : "(none)";
        if (la != lb) return "line " + std::to_string(i) + ": " + la + " | " + lb;
    }
    return "";
}

// The lines of a log that start with the prefix.
std::vector<std::string> linesWith(const std::string &log, const std::string &prefix) {
    std::vector<std::string> out;
    for (const std::string &line : split_lines(withoutRankLines(log)))
        if (line.rfind(prefix, 0) == 0) out.push_back(line);
    return out;
}

struct FarmCase {
    const char *name;
    const char *program;
    std::string model;   // model file
    std::string ga;      // GA parameter file without the PARALLEL line
};

TEST_F(SimulatorRun, PerIndividualRunsRepeatTheRunOfOneProcessOnAnyNumberOfProcesses) {
    const std::string fitting = modelFile("fitting/fitting.in");
    writeFile("linear.in", kLinearModel);
    const std::string normal = read_file(modelFile("fitting/fitting_normal.ga"));
    const std::string mgg = read_file(modelFile("fitting/fitting_mgg.ga"));
    const FarmCase cases[] = {
        {"NORMAL, the delivered file", "gasearch_fitting", fitting, normal},
        {"MGG, the delivered file", "gasearch_fitting", fitting, mgg},
        {"MGG DIGA with a mutation", "gasearch_fitting", fitting,
         "ENCODE;REAL;\nGATYPE;DIGA;60;-1e-8;3;12;30;\nDIGENESIS;MGG;6;\nCROSSOVER;UNDX;;;\n"
         "MUTATION;FixedNormal;0.1;0.05;\n"},
        {"GRAY genes, RandomSwap", "gasearch_linear", "linear.in",
         "ENCODE;GRAY;12;\nGATYPE;DGA;15;;3;9;RandomSwap;4;0.2;\nDIGENESIS;NORMAL;1;Roulette;\n"
         "CROSSOVER;NPOINTS;2;\nMUTATION;BitReverse;0.05;\n"},
    };
    for (const FarmCase &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile("plain.ga", c.ga);
        writeFile("individual.ga", c.ga + kParallel);
        const RunResult plain = run(c.program, 1, {"-I", c.model, "-p", "plain.ga", "-f", "plain.csv", "-S", "777"});
        ASSERT_EQ(plain.status, 0) << plain.log;
        ASSERT_FALSE(progressLines(plain.log).empty()) << plain.log;
        // The summary names the grain; apart from that, the report is the plain run's.
        const std::string expectedReport =
            replaced(file("plain.csv"), "\n\n===Searching", "\nParallel grain       : Individual\n\n\n===Searching");
        for (int nprocs : {1, 2, 3}) {
            SCOPED_TRACE(nprocs);
            const RunResult r =
                run(c.program, nprocs, {"-I", c.model, "-p", "individual.ga", "-f", "ind.csv", "-S", "777"});
            ASSERT_EQ(r.status, 0) << r.log;
            EXPECT_EQ(firstDifference(runPart(r.log), runPart(plain.log)), "");
            EXPECT_EQ(file("ind.csv"), expectedReport);
            EXPECT_EQ(count(r.log, "Random seed of rank"), 0u) << r.log;
        }
    }
}

// Two islands of 8, 12 generations, a target no fitness reaches; the best 2 of each island are
// refined after generations 5 and 10 with a budget of 7.
const std::string kRefineGa =
    "ENCODE;REAL;\nGATYPE;DGA;12;1;2;8;RandomRing;3;0.25;\nDIGENESIS;NORMAL;1;Tournament;2;\n"
    "CROSSOVER;BLX;0.5;\nMUTATION;NONE;\nREFINE;5;2;7;\n";
const std::string kRefineModel =
    "SOLVER;1\nN_VAR;1\nG_VALUE;1\nT_START;0\nT_END;1\nDELTA_T;0.1\nDELTA_M;0.5\n"
    "PARAM_NAME;u\nPARAM_NAME;v\nPARAM;u;1;0;;;S;;-3;5\nPARAM;v;1;0;;;S;;-1;4\nY_START;1;0\n";

TEST_F(SimulatorRun, RefinementReachesTheOptimumAndItsTotalsFollowTheGenerationLines) {
    writeFile("model.in", kRefineModel);
    writeFile("island.ga", kRefineGa);
    writeFile("individual.ga", kRefineGa + kParallel);
    struct Run {
        const char *ga;
        int nprocs;
    };
    std::string serialReport;
    std::vector<std::string> serialRun;
    for (const Run &c : {Run{"individual.ga", 1}, Run{"individual.ga", 3}, Run{"island.ga", 2}}) {
        SCOPED_TRACE(std::string(c.ga) + " on " + std::to_string(c.nprocs));
        const RunResult r = run("gasearch_refine", c.nprocs, {"-I", "model.in", "-p", c.ga, "-f", "r.csv", "-S", "31"});
        ASSERT_EQ(r.status, 0) << r.log;
        const std::vector<std::string> refinements = linesWith(r.log, "refinement[");
        EXPECT_EQ(refinements, (std::vector<std::string>{"refinement[5], refined: 4, evaluations: 28, gradients: 4",
                                                          "refinement[10], refined: 8, evaluations: 56, gradients: 8"}))
            << r.log;
        // Each follows its generation's progress line, which already shows the refined best.
        const std::vector<std::string> lines = split_lines(withoutRankLines(r.log));
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            if (lines[i + 1].rfind("refinement[", 0) == 0) {
                EXPECT_EQ(lines[i].rfind("generation[", 0), 0u) << lines[i];
            }
        }
        const std::vector<Progress> p = progressLines(r.log);
        ASSERT_EQ(p.size(), 12u) << r.log;
        EXPECT_LT(p[4].fitness, -1e-12);
        EXPECT_EQ(p[5].obtained, 5);
        EXPECT_GT(p[5].fitness, -1e-20);
        ASSERT_EQ(p[11].gene.size(), 2u);
        EXPECT_NEAR(p[11].gene[0], 2.0, 1e-6);
        EXPECT_NEAR(p[11].gene[1], 0.5, 1e-6);
        // In the report of generation 5 the two refined individuals of each island come first.
        const std::string report = file("r.csv");
        const size_t block = report.find("generation,5\n");
        ASSERT_NE(block, std::string::npos);
        for (const char *id : {"[0][0], ", "[0][1], ", "[1][0], ", "[1][1], "}) {
            const size_t at = report.find(std::string("\n") + id, block);
            ASSERT_NE(at, std::string::npos) << id;
            const std::string line = report.substr(at + 1, report.find('\n', at + 1) - at - 1);
            EXPECT_EQ(line.substr(line.size() - 18), "2.000000, 0.500000") << line;
        }
        if (std::string(c.ga) == "individual.ga") {
            if (serialReport.empty()) {
                serialReport = file("r.csv");
                serialRun = runPart(r.log);
            } else {
                EXPECT_EQ(file("r.csv"), serialReport);
                EXPECT_EQ(firstDifference(runPart(r.log), serialRun), "");
            }
        }
    }
}

// One more member of each island from across its ranking: two refined points per island, the
// same on one process and on three.
TEST_F(SimulatorRun, RefinementAcrossTheRankingRefinesOneMoreOfEachIsland) {
    writeFile("model.in", kRefineModel);
    writeFile("spread.ga", replaced(kRefineGa, "REFINE;5;2;7;", "REFINE;5;1;7;1;") + kParallel);
    std::vector<std::string> serialRun;
    for (int nprocs : {1, 3}) {
        SCOPED_TRACE(nprocs);
        const RunResult r = run("gasearch_refine", nprocs, {"-I", "model.in", "-p", "spread.ga", "-f", "r.csv", "-S", "31"});
        ASSERT_EQ(r.status, 0) << r.log;
        EXPECT_EQ(linesWith(r.log, "refinement["),
                  (std::vector<std::string>{"refinement[5], refined: 4, evaluations: 28, gradients: 4",
                                            "refinement[10], refined: 8, evaluations: 56, gradients: 8"}))
            << r.log;
        const std::string report = file("r.csv");
        const size_t block = report.find("generation,5\n");
        ASSERT_NE(block, std::string::npos);
        for (const char *id : {"[0][1], ", "[1][1], "}) {
            const size_t at = report.find(std::string("\n") + id, block);
            ASSERT_NE(at, std::string::npos) << id;
            const std::string line = report.substr(at + 1, report.find('\n', at + 1) - at - 1);
            EXPECT_EQ(line.substr(line.size() - 18), "2.000000, 0.500000") << line;
        }
        if (serialRun.empty()) serialRun = runPart(r.log);
        else EXPECT_EQ(firstDifference(runPart(r.log), serialRun), "");
    }
}

struct RefusalCase {
    const char *name;
    const char *program;
    const char *model;
    std::string ga;
    int nprocs;
    int status;
    const char *message;
};

TEST_F(SimulatorRun, TheNewLinesRefuseWhatCannotRunWithTheirMessage) {
    writeFile("linear.in", kLinearModel);
    writeFile("refine.in", kRefineModel);
    const std::string base = "ENCODE;REAL;\nGATYPE;DGA;5;;2;8;RandomRing;3;0.25;\nDIGENESIS;NORMAL;1;Tournament;2;\n"
                             "CROSSOVER;BLX;0.5;\nMUTATION;NONE;\n";
    const std::string gray = replaced(replaced(base, "ENCODE;REAL;", "ENCODE;GRAY;8;"), "CROSSOVER;BLX;0.5;",
                                      "CROSSOVER;NPOINTS;1;");
    const char *noRefine =
        " ## Error: The GA parameter file has a REFINE line, but the model does not define qv_model_refine.";
    const RefusalCase cases[] = {
        {"a model without refinement", "gasearch_linear", "linear.in", base + "REFINE;;;;\n", 1, 1, noRefine},
        {"the same on two processes", "gasearch_linear", "linear.in", base + "REFINE;2;\n", 2, 1, noRefine},
        {"bit strings", "gasearch_refine", "refine.in", gray + "REFINE;2;1;5;\n", 1, 255,
         " ## Error: REFINE needs real-coded genes (ENCODE;REAL;)."},
        {"interval 0", "gasearch_refine", "refine.in", base + "REFINE;0;\n", 1, 255,
         " ## Error: Refinement interval must be a positive integer."},
        {"more than the island", "gasearch_refine", "refine.in", base + "REFINE;1;9;\n", 1, 255,
         " ## Error: Number of refined individuals must be smaller than equal island population 8."},
        {"no budget", "gasearch_refine", "refine.in", base + "REFINE;1;1;-4;\n", 1, 255,
         " ## Error: Refinement budget must be a positive integer."},
        {"a negative spread", "gasearch_refine", "refine.in", base + "REFINE;1;1;5;-1;\n", 1, 255,
         " ## Error: Number of individuals refined across the ranking must be 0 or more."},
        {"twice", "gasearch_refine", "refine.in", base + "REFINE;1;\nREFINE;2;\n", 1, 255, " ## Error: Duplicate keyword:REFINE"},
        {"an unknown grain", "gasearch_linear", "linear.in", base + "PARALLEL;RANK;\n", 1, 255,
         " ## Error: Unknown parallel grain:RANK"},
        {"before GATYPE", "gasearch_linear", "linear.in", "ENCODE;REAL;\nPARALLEL;ISLAND;\n" + base.substr(13), 1, 255,
         " ## Error: Describe \"ENCODE\" at top rank, and \"GATYPE\" at second rank."},
    };
    for (const RefusalCase &c : cases) {
        SCOPED_TRACE(c.name);
        writeFile("ga.txt", c.ga);
        const RunResult r = run(c.program, c.nprocs, {"-I", c.model, "-p", "ga.txt"});
        EXPECT_EQ(r.status, c.status) << r.log;
        EXPECT_NE(r.log.find(std::string(c.message) + "\n"), std::string::npos) << r.log;
        EXPECT_EQ(r.log.find("generation["), std::string::npos) << r.log;
    }
    // A refining model with the lines at their defaults runs, and PARALLEL;ISLAND; is the island grain.
    writeFile("ga.txt", base + "REFINE;;;;\nPARALLEL;ISLAND;\n");
    const RunResult r = run("gasearch_refine", 2, {"-I", "refine.in", "-p", "ga.txt", "-S", "5"});
    ASSERT_EQ(r.status, 0) << r.log;
    EXPECT_EQ(count(r.log, "Random seed of rank 1: 6\n"), 1u) << r.log;
    EXPECT_NE(r.log.find("Refine interval      : 10\nRefined per island   : 1\nRefine budget        : 100\n"),
              std::string::npos)
        << r.log;
    EXPECT_EQ(linesWith(r.log, "refinement[").size(), 0u);
}

}  // namespace
