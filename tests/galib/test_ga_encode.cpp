// Encodings of the search variables, the grid search, the search region, the random initial
// population and the file of initial individuals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "quorvant/galib/ga_region.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/initial_individuals.h"
#include "quorvant/galib/initial_population.h"
#include "quorvant/galib/utl_encode.h"
#include "quorvant/galib/utl_i2d.h"
#include "quorvant/quorvant_baselib/model_tables.h"
#include "quorvant/quorvant_baselib/set_data.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

constexpr char kQuantum[] = " ## Error: Quantum number must be in region [1, 30].\n";
constexpr char kSearch[] = " ## Error: In binary_search\n";
constexpr char kDims[] = " ## Error: Invalid dimensions of a file of initial individuales.\n";
constexpr char kRegion[] = " ## Error: Out of region in a file of initial individuals.\n";
constexpr char kTooLong[] = " ## Error: Too long line in a file of initial individuals (more "
                            "than 511 characters without blanks).\n";

std::string bitString(const char *bits, int n) {
    std::string s;
    for (int j = 0; j < n; ++j) s += static_cast<char>('0' + bits[j]);
    return s;
}

// Three variables in [0, 1], [0, 2] and [-1, 1].
void setRegion(gaparam *p, EncodeType type, int q) {
    p->gaEncodeParam = {type, 3, q, 3 * q};
    p->variableRegion = {3, {0.0, 0.0, -1.0}, {1.0, 2.0, 1.0}, {}};
    SetDelta(p);
}

}  // namespace

TEST(GaEncode, BitStringsOfGridIndices) {
    for (int q = 1; q <= 8; ++q) {
        for (int v = 0; v < (1 << q); ++v) {
            char bits[10];
            std::fill(std::begin(bits), std::end(bits), 7);   // guards after the q bits
            ASSERT_EQ(b_encode(v, bits, q), 0);
            EXPECT_EQ(b_decode(bits, q), v) << "q " << q;
            ASSERT_EQ(g_encode(v, bits, q), 0);
            EXPECT_EQ(g_decode(bits, q), v) << "q " << q;
            EXPECT_EQ(bits[q], 7) << "q " << q;
        }
    }
    for (int bad : {8, 9, -1}) {
        char bits[3];
        testing::internal::CaptureStdout();
        EXPECT_EQ(b_encode(bad, bits, 3), -1);
        EXPECT_EQ(g_encode(bad, bits, 3), -1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  " ## Error: Too large value to binary encode.\n"
                  " ## Error: Too large value to gray encode.\n");
    }

    // Variables occupy consecutive blocks of q bits, the most significant bit first.
    const int ints[] = {6, 0, 3};
    char bits[9];
    int back[3] = {-1, -1, -1};
    ASSERT_EQ(BinaryEncode(ints, 3, bits, 9, 3), 0);
    EXPECT_EQ(bitString(bits, 9), "110000011");
    ASSERT_EQ(BinaryDecode(bits, 9, 3, 3, back), 0);
    EXPECT_EQ(std::vector<int>(back, back + 3), std::vector<int>({6, 0, 3}));
    ASSERT_EQ(GrayEncode(ints, 3, bits, 9, 3), 0);
    EXPECT_EQ(bitString(bits, 9), "101000010");
    ASSERT_EQ(GrayDecode(bits, 9, 3, 3, back), 0);
    EXPECT_EQ(std::vector<int>(back, back + 3), std::vector<int>({6, 0, 3}));
    // A value that does not fit refuses the whole gene.
    const int tooLarge[] = {1, 8, 2};
    testing::internal::CaptureStdout();
    EXPECT_EQ(BinaryEncode(tooLarge, 3, bits, 9, 3), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " ## Error: Too large value to binary encode.\n");

    struct Bad {
        int numVariable, geneLength, q;
        bool quantum;   // refused for its quantum number, not for the size
    };
    const Bad bad[] = {{3, 8, 3, false},   {3, 10, 3, false}, {21, 21, 1, false},
                       {1, 401, 401, false}, {1, 31, 31, true}, {2, 0, 0, true}};
    for (const Bad &b : bad) {
        char gene[qv::kGaMaxBits] = {};
        int values[qv::kGaMaxVariable] = {};
        std::string expected;
        for (const char *f : {"BinaryEncode", "BinaryDecode", "GrayEncode", "GrayDecode"}) {
            expected += b.quantum ? kQuantum : std::string(" ## Error: Array size mismatched(in ") + f + ").\n";
        }
        testing::internal::CaptureStdout();
        EXPECT_EQ(BinaryEncode(values, b.numVariable, gene, b.geneLength, b.q), -1);
        EXPECT_EQ(BinaryDecode(gene, b.geneLength, b.q, b.numVariable, values), -1);
        EXPECT_EQ(GrayEncode(values, b.numVariable, gene, b.geneLength, b.q), -1);
        EXPECT_EQ(GrayDecode(gene, b.geneLength, b.q, b.numVariable, values), -1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected)
            << b.numVariable << " x " << b.q << " vs " << b.geneLength;
    }
}

TEST(GaEncode, GridSearchRegionAndGeneValues) {
    struct Case {
        double x, min, delta;
        int q, index;   // -1: no grid point within half a step (inclusive), or a bad quantum number
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {-0.5, 0.0, 1.0, 3, 0},   {7.5, 0.0, 1.0, 3, 7},   {4.49, 0.0, 1.0, 3, 4},
        {4.51, 0.0, 1.0, 3, 5},   {-0.51, 0.0, 1.0, 3, -1}, {7.51, 0.0, 1.0, 3, -1},
        {nan, 0.0, 1.0, 3, -1},   {-2.0, -2.0, 4.0, 1, 0},  {2.0, -2.0, 4.0, 1, 1},
        {0.1, -2.0, 4.0, 1, 1},   {3.0, 3.0, 0.0, 4, 7},    {3.5, 3.0, 0.0, 4, -1},
        {0.0, 0.0, 1.0, 0, -1},   {0.0, 0.0, 1.0, 31, -1},
    };
    for (const Case &c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(binary_search(c.x, c.min, c.delta, c.q), c.index) << "x " << c.x << ", q " << c.q;
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  c.index != -1 ? "" : (c.q < 1 || c.q > 30 ? kQuantum : kSearch))
            << "x " << c.x << ", q " << c.q;
    }
    // Every point of every grid of [-1, 1], and points just inside half a step around them.
    for (int q = 1; q <= 8; ++q) {
        const int top = (1 << q) - 1;
        const double delta = 2.0 / top;
        for (int i = 0; i <= top; ++i) {
            const double v = -1.0 + delta * i;
            ASSERT_EQ(binary_search(v, -1.0, delta, q), i) << "q " << q;
            ASSERT_EQ(binary_search(v - 0.49 * delta, -1.0, delta, q), i) << "q " << q;
            ASSERT_EQ(binary_search(v + 0.49 * delta, -1.0, delta, q), i) << "q " << q;
        }
    }

    // The model file's GA ranges become the region; a grid step is the range over 2^q - 1.
    resetInputData();
    const qvga ranges[] = {{1, 1, 0.5, 2.5}, {2, 3, -4.0, 4.0}, {7, 1, 1e-3, 1e3}};
    for (const qvga &r : ranges) P_Ga[P_GaNum++] = r;
    gaparam p{};
    ASSERT_EQ(ReadRegionFromQV(&p), 0);
    EXPECT_EQ(p.variableRegion.arraySize, 3);
    EXPECT_EQ(p.gaEncodeParam.numVariable, 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(p.variableRegion.minArray[k], ranges[k].min_value);
        EXPECT_EQ(p.variableRegion.maxArray[k], ranges[k].max_value);
    }
    p.gaEncodeParam.quantumNumber = 10;
    SetDelta(&p);
    EXPECT_DOUBLE_EQ(p.variableRegion.delta[1], 8.0 / 1023.0);
    P_GaNum = qv::kGaMaxVariable;
    EXPECT_EQ(ReadRegionFromQV(&p), 0);
    P_GaNum = qv::kGaMaxVariable + 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ReadRegionFromQV(&p), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " ## Error: Number of variables must be smaller than equal 20\n");
    resetInputData();

    // The values of a gene in each encoding, and back to the grid.
    const int ints[] = {7, 0, 3};
    const double expected[] = {1.0, 0.0, -1.0 + 6.0 / 7.0};
    gagene gene{};
    double x[3] = {};
    for (EncodeType type : {EncodeType::Binary, EncodeType::Gray}) {
        setRegion(&p, type, 3);
        EXPECT_DOUBLE_EQ(p.variableRegion.delta[1], 2.0 / 7.0);
        auto encode = type == EncodeType::Binary ? BinaryEncode : GrayEncode;
        ASSERT_EQ(encode(ints, 3, gene.gene_b, 9, 3), 0);
        ASSERT_EQ(GeneToValues(&p, &gene, x), 0);
        for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(x[k], expected[k]);
        int grid[3];
        ASSERT_EQ(Double2Int(&p.gaEncodeParam, &p.variableRegion, x, grid, 3), 0);
        EXPECT_EQ(std::vector<int>(grid, grid + 3), std::vector<int>(ints, ints + 3));
    }
    // A value off the grid (5 in [0, 2]) refuses the conversion.
    const double off[] = {0.5 + 1e-3, 5.0, 0.0};
    int grid[3];
    testing::internal::CaptureStdout();
    EXPECT_EQ(Double2Int(&p.gaEncodeParam, &p.variableRegion, off, grid, 3), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kSearch);

    setRegion(&p, EncodeType::Real, 1);
    EXPECT_DOUBLE_EQ(p.variableRegion.delta[1], 2.0);   // real-coded: the width of the range
    gene.gene_r[0] = 0.25;
    gene.gene_r[1] = 1.5;
    gene.gene_r[2] = -0.75;
    ASSERT_EQ(GeneToValues(&p, &gene, x), 0);
    EXPECT_EQ(std::vector<double>(x, x + 3), std::vector<double>({0.25, 1.5, -0.75}));
    p.gaEncodeParam.encodeType = EncodeType::Unset;
    double untouched[3] = {9.0, 9.0, 9.0};
    testing::internal::CaptureStdout();
    EXPECT_EQ(GeneToValues(&p, &gene, untouched), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(untouched[0], 9.0);
}

TEST(GaInitialPopulation, DrawsInResidentOrderInsideTheRegion) {
    auto island = std::make_unique<gaisland>();
    gaparam p{};
    setRegion(&p, EncodeType::Real, 1);
    island->population = 10;
    ResetRandomStream();
    SetRandSeed(31);
    ASSERT_EQ(GenerateInitialPopulation(island.get(), &p.gaEncodeParam, &p.variableRegion), 0);
    std::mt19937 ref(31);
    for (int i = 0; i < 10; ++i) {
        const gagene &g = island->residents[i];
        EXPECT_EQ(g.fitness, std::numeric_limits<double>::lowest());
        EXPECT_EQ(island->sortedIndex[i], i);
        for (int k = 0; k < 3; ++k) {
            const double lo = p.variableRegion.minArray[k], hi = p.variableRegion.maxArray[k];
            EXPECT_DOUBLE_EQ(g.gene_r[k], lo + ref() / 4294967295.0 * (hi - lo)) << i << "," << k;
        }
    }
    EXPECT_EQ(island->residents[10].fitness, 0.0);   // beyond the population: untouched

    setRegion(&p, EncodeType::Gray, 7);
    island->population = 4;
    SetRandSeed(32);
    ASSERT_EQ(GenerateInitialPopulation(island.get(), &p.gaEncodeParam, &p.variableRegion), 0);
    std::mt19937 bits(32);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 21; ++j) {
            ASSERT_EQ(island->residents[i].gene_b[j], static_cast<char>(bits() % 2)) << i << "," << j;
        }
    }
    ResetRandomStream();
}

TEST(GaInitialIndividuals, FileCasesAndTheirSummary) {
    constexpr double kMark = 9.0;   // gene value of a resident the file did not touch
    struct Case {
        const char *what;
        std::string text;
        EncodeType encoding;
        int result;
        std::string output;          // with '@' for the file's path
        std::vector<double> first;   // values of island 0, resident 0 afterwards
    };
    const std::vector<double> untouched = {kMark, kMark, kMark};
    const auto summary = [](const std::string &rows) {
        return "\n===Initial Generation File==============\nFile name:@\n"
               "Island, Population, # of read, Random, Redundant\n" +
               rows + "========================================\n";
    };
    const Case cases[] = {
        {"one record", "0, -1.5, 0.5, 1.0, 0.0\n", EncodeType::Real, 0,
         summary("Island[0], 3, 1, 2, 0\nIsland[1], 3, 0, 3, 0\n"), {0.5, 1.0, 0.0}},
        {"bounds themselves, two islands", "1,0,0,0,-1\n**\n2,0,1,2,1\n", EncodeType::Real, 0,
         summary("Island[0], 3, 1, 2, 0\nIsland[1], 3, 1, 2, 0\n"), {0.0, 0.0, -1.0}},
        {"comments and blank lines", "# header\n\n  0 , 0 , 0.25 , 0.5 , 0.75 # first\n\t\n", EncodeType::Real,
         0, summary("Island[0], 3, 1, 2, 0\nIsland[1], 3, 0, 3, 0\n"), {0.25, 0.5, 0.75}},
        {"four values", "0,0,0.5,1,0,0.3\n", EncodeType::Real, -1, kDims, untouched},
        {"two values", "0,0,0.5,1\n", EncodeType::Real, -1, kDims, untouched},
        {"above the region", "0,0,1.0000001,1,0\n", EncodeType::Real, -1, kRegion, untouched},
        {"below the region", "0,0,0.5,1,-1.5\n", EncodeType::Real, -1, kRegion, untouched},
        {"not a number", "0,0,0.5,nan,0\n", EncodeType::Real, -1, kRegion, untouched},
        {"no fitness", "7,\n", EncodeType::Real, -1,
         " ## Error: Invalid records in a file of initial individuals.\n", untouched},
        {"surplus records and islands",
         "0,0,0.1,0.2,0.3\n0,0,0,0,0\n0,0,0,0,0\njunk\n0,0,99,99,99\n**\n0,0,1,1,1\n**\njunk\njunk\n",
         EncodeType::Real, 0,
         summary("Island[0], 3, 5, 0, 2\nIsland[1], 3, 1, 2, 0\nNumber of redundant islands: 1\n"),
         {0.1, 0.2, 0.3}},
        {"separators only", "**\n  **  \n**", EncodeType::Real, 0,
         summary("Island[0], 3, 0, 3, 0\nIsland[1], 3, 0, 3, 0\nNumber of redundant islands: 2\n"), untouched},
        {"line too long without blanks", "0,0," + std::string(600, '1') + "\n", EncodeType::Real, -1,
         kTooLong, untouched},
        {"physical line longer than the buffer", "0,0,0.5," + std::string(9000, ' ') + "1,0\n",
         EncodeType::Real, -1, kTooLong, untouched},
        {"binary grid", "0,0,0.6,1.1,-1\n", EncodeType::Binary, 0,
         summary("Island[0], 3, 1, 2, 0\nIsland[1], 3, 0, 3, 0\n"), {4.0 / 7.0, 8.0 / 7.0, -1.0}},
        {"gray grid", "0,0,0.6,1.1,-1\n", EncodeType::Gray, 0,
         summary("Island[0], 3, 1, 2, 0\nIsland[1], 3, 0, 3, 0\n"), {4.0 / 7.0, 8.0 / 7.0, -1.0}},
        {"no encoding", "0,0,0.5,1,0\n", EncodeType::Unset, -1,
         " ## System Error: In SetIndividualFromFile.\n", untouched},
        {"missing file", "", EncodeType::Real, -1,
         " ## Error: Cannot open a file of initial individuals:@\n", untouched},
    };
    const std::string dir = (std::filesystem::temp_directory_path() /
                             ("qv_initial_" + std::to_string(::getpid()))).string();
    std::filesystem::create_directory(dir);
    for (const Case &c : cases) {
        const std::string path = dir + "/" + c.what;
        if (!c.text.empty()) std::ofstream(path, std::ios::binary) << c.text;
        gaparam p{};
        setRegion(&p, c.encoding, c.encoding == EncodeType::Real ? 1 : 3);
        p.gaTypeParam.numIsland = 2;
        p.gaTypeParam.islandPopulation = 3;
        std::snprintf(p.ioParam.individualFileName, qv::kGaNameSize, "%s", path.c_str());
        std::vector<gaisland> islands(2);
        for (gagene &g : islands[0].residents) {
            g.fitness = 123.0;
            std::fill(std::begin(g.gene_r), std::end(g.gene_r), kMark);
        }
        testing::internal::CaptureStdout();
        EXPECT_EQ(SetIndividualFromFile(&p, islands.data()), c.result) << c.what;
        std::string expected = c.output;
        if (const auto at = expected.find('@'); at != std::string::npos) expected.replace(at, 1, path);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected) << c.what;
        // Bit strings that the file did not touch hold no grid values.
        if (c.encoding != EncodeType::Real && c.result != 0) continue;
        double x[3] = {};
        EXPECT_EQ(GeneToValues(&p, &islands[0].residents[0], x), 0) << c.what;
        for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(x[k], c.first[static_cast<std::size_t>(k)]) << c.what;
        EXPECT_EQ(islands[0].residents[0].fitness, 123.0) << c.what;   // evaluated later, not read
    }
    std::filesystem::remove_all(dir);
}
