// The GA reports: the parameter summary of two opposite configurations and the sections of every
// operator, the population dump, the progress line and the result, each compared with its exact
// text. (The initial-individuals summary is checked with the file reader that prints it.)
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "quorvant/galib/ga_report.h"
#include "quorvant/galib/ga_types.h"

namespace {

// What a report writes to a stream.
std::string written(const std::function<void(FILE *)> &report) {
    char *buf = nullptr;
    size_t size = 0;
    FILE *fp = open_memstream(&buf, &size);
    report(fp);
    std::fclose(fp);
    std::string text(buf, size);
    std::free(buf);
    return text;
}

std::string summary(const gaparam &p) {
    return written([&](FILE *fp) { EXPECT_EQ(PrintExecuteParameters(&p, fp), 0); });
}

// Real-coded, DGA with ring migration, NORMAL with a tournament, BLX, FixedUni; 2 variables.
gaparam realConfig() {
    gaparam p{};
    p.gaEncodeParam = {EncodeType::Real, 2, 1, 2};
    p.gaTypeParam = {GaType::DGA, 200, 80, 2, 40, ImmigrationSwitch::RandomRing, 10, 8, 0, -1e-10, 0.2};
    p.digenesisParam = {DigenesisType::Normal, 2, SelectionType::Tournament, 3, 0};
    p.crossoverParam = {CrossoverType::BLX, 2, 0, 0.5, 0.0};
    p.mutationParam = {MutationType::FixedUni, 0.05, 20.0};
    p.variableRegion = {2, {0.0, -1.0}, {10.0, 1.0}, {}};
    return p;
}

// Gray-coded with 3 bits per variable, DIGA, MGG, 2-point crossover, no mutation; 2 variables
// on the grids 0, 1, ..., 7 and 2.0, 2.2, ..., 3.4.
gaparam grayConfig() {
    gaparam p{};
    p.gaEncodeParam = {EncodeType::Gray, 2, 3, 6};
    p.gaTypeParam = {GaType::DIGA, 50, 30, 3, 10, ImmigrationSwitch::Unset, 0, 0, 20, 1.5, 0.0};
    p.digenesisParam = {DigenesisType::MGG, 0, SelectionType::Random, 0, 8};
    p.crossoverParam = {CrossoverType::NPoints, 2, 2, 0.0, 0.0};
    p.mutationParam = {MutationType::None, 0.1, 0.0};
    p.variableRegion = {2, {0.0, 2.0}, {7.0, 3.4}, {1.0, 0.2}};
    return p;
}

// The section of the summary from the line beginning with head to the next empty line.
std::string section(const std::string &text, const std::string &head) {
    const auto from = text.find("\n" + head);
    if (from == std::string::npos) return "";
    return text.substr(from + 1, text.find("\n\n", from + 1) - from);
}

TEST(GaReport, ParameterSummaries) {
    EXPECT_EQ(summary(realConfig()),
              "===GA PARAMETERS========================\n"
              "Encode Type          : Real-coded\n"
              "\nGA type              : DGA\n"
              "Max Generation       : 200\n"
              "Fin value            : -1.000000e-10\n"
              "Total population     : 80\n"
              "Number of islands    : 2\n"
              "Island population    : 40\n"
              "\nDigenesis type       : NORMAL\n"
              "Number of elites     : 2\n"
              "Selection type       : Tournament\n"
              "Tournament Size      : 3\n"
              "\nCrossover type       : BLX\n"
              "BLX(alpha)           : 0.500000\n"
              "\nMutation type        : FixedUni\n"
              "Mutation rate        : 0.050000\n"
              "Fixed width          : 20.000000\n"
              "\nImmigration Switch   : Random Ring\n"
              "Immigration interval : 10\n"
              "Immigration rate     : 0.200000\n"
              "\n\n===Searching space information==========\n"
              "Number of Variable   : 2\n"
              "Domain variable[ 0]   : [0.000000, 10.000000]\n"
              "Domain variable[ 1]   : [-1.000000, 1.000000]\n"
              "========================================\n");
    EXPECT_EQ(summary(grayConfig()),
              "===GA PARAMETERS========================\n"
              "Encode Type          : Bit-string(Gray coding)\n"
              "Quantum number       : 3\n"
              "Gene length          : 6\n"
              "\nGA type              : DIGA\n"
              "Max Generation       : 50\n"
              "Fin value            : 1.500000e+00\n"
              "Total population     : 30\n"
              "Number of islands    : 3\n"
              "Island population    : 10\n"
              "\nDigenesis type       : MGG\n"
              "Number of children   : 8\n"
              "\nCrossover type       : N points crossover\n"
              "N points(n)          : 2\n"
              "\nMutation type        : None\n"
              "\nIntegrate Generation : 20\n"
              "\n\n===Searching space information==========\n"
              "Number of Variable   : 2\n"
              "Domain variable[0]  : [0.000000, 7.000000](1.000000)\n"
              "Domain variable[1]  : [2.000000, 3.400000](0.200000)\n"
              "========================================\n");

    // The sections of the other operators, each with its parameters only.
    struct Row {
        CrossoverType crossover;
        MutationType mutation;
        ImmigrationSwitch migration;
        std::string crossoverText, mutationText, migrationText;
    };
    const std::string rate = "Mutation rate        : 0.050000\n", off = "Immigration Switch   : OFF\n";
    const Row rows[] = {
        {CrossoverType::UNDX, MutationType::RegionUni, ImmigrationSwitch::Off,
         "Crossover type       : UNDX\nUNDX(alpha)          : 1.000000\nUNDX(beta)           : 0.350000\n",
         "Mutation type        : RegionUni\n" + rate, off},
        {CrossoverType::UNDXm, MutationType::FixedNormal, ImmigrationSwitch::RandomSwap,
         "Crossover type       : UNDXm\nUNDXm(alpha)         : 1.000000\nUNDXm(beta)          : 0.350000\n"
         "UNDXm(m)             : 4\n",
         "Mutation type        : FixedNormal\n" + rate + "SD for FixedNormal   : 20.000000\n",
         "Immigration Switch   : Random Swap\nImmigration interval : 10\nImmigration rate     : 0.200000\n"},
        {CrossoverType::SPX, MutationType::VariableUni, ImmigrationSwitch::Off,
         "Crossover type       : SPX\nSPX(epsilon)         : 1.000000\n",
         "Mutation type        : VariableUni\n" + rate, off},
        {CrossoverType::None, MutationType::VariableNormal, ImmigrationSwitch::Off, "Crossover type       : None\n",
         "Mutation type        : VariableNoraml\n" + rate, off},
        {CrossoverType::None, MutationType::BitReverse, ImmigrationSwitch::Off, "Crossover type       : None\n",
         "Mutation type        : BitReverse\n" + rate, off},
    };
    for (const Row &r : rows) {
        gaparam p = realConfig();
        p.crossoverParam = {r.crossover, 0, 4, 1.0, 0.35};
        p.mutationParam.mutationType = r.mutation;
        p.gaTypeParam.immigrationSwitch = r.migration;
        const std::string text = summary(p);
        EXPECT_EQ(section(text, "Crossover type"), r.crossoverText);
        EXPECT_EQ(section(text, "Mutation type"), r.mutationText);
        EXPECT_EQ(section(text, "Immigration Switch"), r.migrationText);
    }
    gaparam p = realConfig();
    p.gaEncodeParam.encodeType = EncodeType::Binary;
    p.digenesisParam.selectionType = SelectionType::Roulette;
    const std::string text = summary(p);
    EXPECT_NE(text.find("Encode Type          : Bit-string(Binary coding)\nQuantum number       : 1\n"),
              std::string::npos);
    EXPECT_EQ(section(text, "Digenesis type"),
              "Digenesis type       : NORMAL\nNumber of elites     : 2\nSelection type       : Roulette\n");
}

TEST(GaReport, PopulationDumpBestFirst) {
    gaparam p = realConfig();
    p.gaTypeParam.islandPopulation = 2;
    p.bestGene.obtainedGeneration = 4;
    p.bestGene.gaGene.fitness = 1.5;
    p.bestGene.gaGene.gene_r[0] = 1.0;
    p.bestGene.gaGene.gene_r[1] = 2.0;
    std::vector<gaisland> islands(2);
    for (int i = 0; i < 2; ++i) {
        islands[i].population = 2;
        for (int k = 0; k < 2; ++k) {
            islands[i].residents[k].fitness = 0.25 * (2 * i + k + 1);
            islands[i].residents[k].gene_r[0] = i + 0.1 * k;
            islands[i].residents[k].gene_r[1] = -k;
            islands[i].sortedIndex[k] = 1 - k;
        }
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(PrintFileAll(7, &p, islands.data()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " ## Error: File not opened.\n");
    EXPECT_EQ(written([&](FILE *fp) {
                  p.ioParam.outputFile = fp;
                  EXPECT_EQ(PrintFileAll(7, &p, islands.data()), 0);
              }),
              "generation,7\n"
              "Best gene:\n"
              "Obtained generation, fitness, variable[0], variable[1]\n"
              "4, 1.500000e+00, 1.000000, 2.000000\n"
              "ID, fitness, variable[0], variable[1]\n"
              "[0][0], 5.000000e-01, 0.100000, -1.000000\n"
              "[0][1], 2.500000e-01, 0.000000, 0.000000\n"
              "[1][0], 1.000000e+00, 1.100000, -1.000000\n"
              "[1][1], 7.500000e-01, 1.000000, 0.000000\n");
}

TEST(GaReport, ProgressLineAndResultDecodeBitStrings) {
    // Grid indices 5 and 3: binary 101 011, Gray 111 010.
    gaparam p = grayConfig();
    p.bestGene.obtainedGeneration = 4;
    p.bestGene.gaGene.fitness = 1.5;
    const char gray[] = {1, 1, 1, 0, 1, 0}, binary[] = {1, 0, 1, 0, 1, 1};
    std::copy(gray, gray + 6, p.bestGene.gaGene.gene_b);
    testing::internal::CaptureStdout();
    EXPECT_EQ(PrintResult(&p), 0);
    p.gaEncodeParam.encodeType = EncodeType::Binary;
    std::copy(binary, binary + 6, p.bestGene.gaGene.gene_b);
    EXPECT_EQ(PrintBestGeneAtPresent(12, &p), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "******Search Result******\n"
              "Best gene\n"
              "Obtained Generation : 4\n"
              "Fitness             : 1.500000e+00\n"
              "Gene                : (5.000000, 2.600000)\n"
              "*************************\n"
              "generation[12], Obtain: 4, Fitness: 1.500000e+00, Gene: (5.000000, 2.600000)\n");

    // An encoding without values prints nothing; a bit string that cannot be decoded neither.
    testing::internal::CaptureStdout();
    EXPECT_EQ(written([&](FILE *fp) {
                  p.gaEncodeParam.encodeType = EncodeType::Unset;
                  EXPECT_EQ(print_ga_gene(&p.bestGene.gaGene, &p, fp), 0);
                  p.gaEncodeParam = {EncodeType::Binary, 2, 3, 5};
                  EXPECT_EQ(print_ga_gene(&p.bestGene.gaGene, &p, fp), -1);
              }),
              "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " ## Error: Array size mismatched(in BinaryDecode).\n");
}

}  // namespace
