// Encodings of the search variables, the grid search, the search region, the random initial
// population and the file of initial individuals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "quorvant/ga_encode.h"
#include "quorvant/ga_random.h"
#include "quorvant/set_data.h"

namespace {

std::string bitString(const char *bits, int n) {
    std::string s;
    for (int j = 0; j < n; ++j) s += static_cast<char>('0' + bits[j]);
    return s;
}

// A file in the temporary directory, removed when the test ends.
class TempFile {
public:
    explicit TempFile(const std::string &text) {
        static int serial = 0;
        path_ = (std::filesystem::temp_directory_path() /
                 ("qv_initial_" + std::to_string(::getpid()) + "_" + std::to_string(serial++)))
                    .string();
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

// Three variables in [0, 1], [0, 2] and [-1, 1].
void setRegion(gaparam *p, EncodeType type, int q) {
    p->gaEncodeParam = {type, 3, q, 3 * q};
    p->variableRegion.arraySize = 3;
    const double mins[] = {0.0, 0.0, -1.0}, maxs[] = {1.0, 2.0, 1.0};
    for (int k = 0; k < 3; ++k) {
        p->variableRegion.minArray[k] = mins[k];
        p->variableRegion.maxArray[k] = maxs[k];
    }
    SetDelta(p);
}

}  // namespace

TEST(GaEncode, EveryValueRoundTripsForAllWidths) {
    for (int q = 1; q <= 8; ++q) {
        const int values = 1 << q;
        std::vector<std::string> gray(static_cast<std::size_t>(values));
        for (int v = 0; v < values; ++v) {
            char bits[10];
            std::fill(std::begin(bits), std::end(bits), 7);   // guards after the q bits
            ASSERT_EQ(b_encode(v, bits, q), 0);
            EXPECT_EQ(bits[q], 7) << "q " << q;
            EXPECT_EQ(b_decode(bits, q), v) << "q " << q;
            ASSERT_EQ(g_encode(v, bits, q), 0);
            EXPECT_EQ(bits[q], 7) << "q " << q;
            EXPECT_EQ(g_decode(bits, q), v) << "q " << q;
            gray[static_cast<std::size_t>(v)] = bitString(bits, q);
        }
        // Neighbouring grid points differ in exactly one Gray bit, also across the wrap-around.
        for (int v = 0; v < values; ++v) {
            const std::string &a = gray[static_cast<std::size_t>(v)];
            const std::string &b = gray[static_cast<std::size_t>((v + 1) % values)];
            int differ = 0;
            for (int j = 0; j < q; ++j) differ += a[static_cast<std::size_t>(j)] != b[static_cast<std::size_t>(j)];
            EXPECT_EQ(differ, 1) << "q " << q << ", value " << v;
        }
    }

    struct Known {
        int value, q;
        const char *binary, *gray;
    };
    const Known known[] = {{5, 3, "101", "111"}, {10, 4, "1010", "1111"}, {1, 1, "1", "1"},
                           {0, 1, "0", "0"}, {255, 8, "11111111", "10000000"},
                           {6, 5, "00110", "00101"}};
    for (const Known &k : known) {
        char bits[8];
        b_encode(k.value, bits, k.q);
        EXPECT_EQ(bitString(bits, k.q), k.binary);
        g_encode(k.value, bits, k.q);
        EXPECT_EQ(bitString(bits, k.q), k.gray);
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
}

TEST(GaEncode, VariablesOccupyConsecutiveBlocks) {
    const int ints[] = {5, 0, 7};
    char bits[9];
    ASSERT_EQ(BinaryEncode(ints, 3, bits, 9, 3), 0);
    EXPECT_EQ(bitString(bits, 9), "101000111");
    int back[3] = {-1, -1, -1};
    ASSERT_EQ(BinaryDecode(bits, 9, 3, 3, back), 0);
    EXPECT_EQ(std::vector<int>(back, back + 3), std::vector<int>({5, 0, 7}));
    ASSERT_EQ(GrayEncode(ints, 3, bits, 9, 3), 0);
    EXPECT_EQ(bitString(bits, 9), "111000100");
    ASSERT_EQ(GrayDecode(bits, 9, 3, 3, back), 0);
    EXPECT_EQ(std::vector<int>(back, back + 3), std::vector<int>({5, 0, 7}));

    // A value that does not fit stops the encoding at its block.
    const int tooLarge[] = {1, 8, 2};
    std::fill(std::begin(bits), std::end(bits), 7);
    testing::internal::CaptureStdout();
    EXPECT_EQ(BinaryEncode(tooLarge, 3, bits, 9, 3), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " ## Error: Too large value to binary encode.\n");
    EXPECT_EQ(bitString(bits, 3), "001");
    EXPECT_EQ(bits[6], 7);

    struct Bad {
        int numVariable, geneLength, q;
        const char *binaryMessage;   // message of the size check, or the quantum message
    };
    const Bad bad[] = {
        {3, 8, 3, "size"}, {3, 10, 3, "size"}, {21, 21, 1, "size"}, {1, 401, 401, "size"},
        {1, 31, 31, " ## Error: Quantum number must be in region [1, 30].\n"},
        {2, 0, 0, " ## Error: Quantum number must be in region [1, 30].\n"},
    };
    const char *sizeMessages[] = {" ## Error: Array size mismatched(in BinaryEncode).\n",
                                  " ## Error: Array size mismatched(in BinaryDecode).\n",
                                  " ## Error: Array size mismatched(in GrayEncode).\n",
                                  " ## Error: Array size mismatched(in GrayDecode).\n"};
    for (const Bad &b : bad) {
        char gene[qv::kGaMaxBits] = {};
        int values[qv::kGaMaxVariable] = {};
        std::string expected;
        for (const char *m : sizeMessages) expected += std::string(b.binaryMessage) == "size" ? m : b.binaryMessage;
        testing::internal::CaptureStdout();
        EXPECT_EQ(BinaryEncode(values, b.numVariable, gene, b.geneLength, b.q), -1);
        EXPECT_EQ(BinaryDecode(gene, b.geneLength, b.q, b.numVariable, values), -1);
        EXPECT_EQ(GrayEncode(values, b.numVariable, gene, b.geneLength, b.q), -1);
        EXPECT_EQ(GrayDecode(gene, b.geneLength, b.q, b.numVariable, values), -1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected)
            << b.numVariable << " x " << b.q << " vs " << b.geneLength;
    }
}

TEST(GaEncode, GridSearchFindsTheNearestPoint) {
    struct Case {
        double x, min, delta;
        int q, index;   // -1: no grid point within half a step
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {0.0, 0.0, 1.0, 3, 0},   {7.0, 0.0, 1.0, 3, 7},   {5.0, 0.0, 1.0, 3, 5},
        {-0.5, 0.0, 1.0, 3, 0},  {7.5, 0.0, 1.0, 3, 7},   {4.49, 0.0, 1.0, 3, 4},
        {4.51, 0.0, 1.0, 3, 5},  {-0.51, 0.0, 1.0, 3, -1}, {7.51, 0.0, 1.0, 3, -1},
        {nan, 0.0, 1.0, 3, -1},  {-2.0, -2.0, 4.0, 1, 0}, {2.0, -2.0, 4.0, 1, 1},
        {0.1, -2.0, 4.0, 1, 1},  {3.0, 3.0, 0.0, 4, 7},   {3.5, 3.0, 0.0, 4, -1},
    };
    for (const Case &c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(binary_search(c.x, c.min, c.delta, c.q), c.index) << "x " << c.x;
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  c.index == -1 ? " ## Error: In binary_search\n" : "")
            << "x " << c.x;
    }
    // Exactly half-way between two points: either neighbour.
    for (double x : {2.5, 0.5, 6.5}) {
        const int i = binary_search(x, 0.0, 1.0, 3);
        EXPECT_TRUE(i == static_cast<int>(x) || i == static_cast<int>(x) + 1) << x;
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
}

TEST(GaEncode, GeneValuesInEveryEncoding) {
    gaparam p{};
    setRegion(&p, EncodeType::Binary, 3);
    EXPECT_DOUBLE_EQ(p.variableRegion.delta[0], 1.0 / 7.0);
    EXPECT_DOUBLE_EQ(p.variableRegion.delta[1], 2.0 / 7.0);
    const int ints[] = {7, 0, 3};
    const double expected[] = {1.0, 0.0, -1.0 + 6.0 / 7.0};
    gagene gene{};
    ASSERT_EQ(BinaryEncode(ints, 3, gene.gene_b, 9, 3), 0);
    double x[3] = {};
    ASSERT_EQ(GeneToValues(&p, &gene, x), 0);
    for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(x[k], expected[k]);
    int back[3];
    ASSERT_EQ(Double2Int(&p.gaEncodeParam, &p.variableRegion, x, back, 3), 0);
    EXPECT_EQ(std::vector<int>(back, back + 3), std::vector<int>(ints, ints + 3));

    setRegion(&p, EncodeType::Gray, 3);
    ASSERT_EQ(GrayEncode(ints, 3, gene.gene_b, 9, 3), 0);
    ASSERT_EQ(GeneToValues(&p, &gene, x), 0);
    for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(x[k], expected[k]);

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

    // Double2Int stops at the first value off the grid.
    setRegion(&p, EncodeType::Binary, 3);
    const double off[] = {0.5 + 1e-3, 5.0, 0.0};
    int partial[3] = {-7, -7, -7};
    testing::internal::CaptureStdout();
    EXPECT_EQ(Double2Int(&p.gaEncodeParam, &p.variableRegion, off, partial, 3), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " ## Error: In binary_search\n");
    EXPECT_EQ(partial[0], 4);
    EXPECT_EQ(partial[2], -7);
}

TEST(GaRegion, RangesOfTheModelFileBecomeTheRegion) {
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
            EXPECT_GE(g.gene_r[k], lo);
            EXPECT_LE(g.gene_r[k], hi);
        }
    }
    EXPECT_EQ(island->residents[10].fitness, 0.0);   // beyond the population: untouched

    setRegion(&p, EncodeType::Gray, 7);
    island->population = 4;
    SetRandSeed(32);
    ASSERT_EQ(GenerateInitialPopulation(island.get(), &p.gaEncodeParam, &p.variableRegion), 0);
    std::mt19937 bits(32);
    int ones = 0;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 21; ++j) {
            ASSERT_EQ(island->residents[i].gene_b[j], static_cast<char>(bits() % 2));
            ones += island->residents[i].gene_b[j];
        }
    }
    EXPECT_GT(ones, 0);
    EXPECT_LT(ones, 84);
    ResetRandomStream();
}

TEST(GaInitialIndividuals, FileCases) {
    constexpr double kMark = 9.0;   // gene value of a resident the file did not touch
    struct Case {
        const char *what;
        std::string text;
        EncodeType encoding;
        int result;
        std::string output;   // the whole output for a failure, a part of it for a success
        std::vector<double> first;   // values of island 0, resident 0 afterwards
    };
    const std::vector<double> untouched = {kMark, kMark, kMark};
    const std::string tooLong(600, '1');
    const Case cases[] = {
        {"one record", "0, -1.5, 0.5, 1.0, 0.0\n", EncodeType::Real, 0,
         "Island[0], 3, 1, 2, 0\nIsland[1], 3, 0, 3, 0\n", {0.5, 1.0, 0.0}},
        {"bounds themselves", "1,0,0,0,-1\n2,0,1,2,1\n", EncodeType::Real, 0,
         "Island[0], 3, 2, 1, 0\n", {0.0, 0.0, -1.0}},
        {"comments and blank lines", "# header\n\n  0 , 0 , 0.25 , 0.5 , 0.75 # first\n\t\n",
         EncodeType::Real, 0, "Island[0], 3, 1, 2, 0\n", {0.25, 0.5, 0.75}},
        {"four values", "0,0,0.5,1,0,0.3\n", EncodeType::Real, -1,
         " ## Error: Invalid dimensions of a file of initial individuales.\n", untouched},
        {"two values", "0,0,0.5,1\n", EncodeType::Real, -1,
         " ## Error: Invalid dimensions of a file of initial individuales.\n", untouched},
        {"above the region", "0,0,1.0000001,1,0\n", EncodeType::Real, -1,
         " ## Error: Out of region in a file of initial individuals.\n", untouched},
        {"below the region", "0,0,0.5,1,-1.5\n", EncodeType::Real, -1,
         " ## Error: Out of region in a file of initial individuals.\n", untouched},
        {"not a number", "0,0,0.5,nan,0\n", EncodeType::Real, -1,
         " ## Error: Out of region in a file of initial individuals.\n", untouched},
        {"no fitness", "7,\n", EncodeType::Real, -1,
         " ## Error: Invalid records in a file of initial individuals.\n", untouched},
        {"error after a good record", "0,0,0.5,1,0\n0,0,0.5\n", EncodeType::Real, -1,
         " ## Error: Invalid dimensions of a file of initial individuales.\n", {0.5, 1.0, 0.0}},
        {"surplus records and islands",
         "0,0,0.1,0.2,0.3\n0,0,0,0,0\n0,0,0,0,0\njunk\n0,0,99,99,99\n**\n0,0,1,1,1\n**\njunk\njunk\n",
         EncodeType::Real, 0,
         "\n===Initial Generation File==============\nFile name:@\n"
         "Island, Population, # of read, Random, Redundant\n"
         "Island[0], 3, 5, 0, 2\nIsland[1], 3, 1, 2, 0\nNumber of redundant islands: 1\n"
         "========================================\n",
         {0.1, 0.2, 0.3}},
        {"separators only", "**\n  **  \n**", EncodeType::Real, 0,
         "Island[0], 3, 0, 3, 0\nIsland[1], 3, 0, 3, 0\n", untouched},
        {"line too long without blanks", "0,0," + tooLong + "\n", EncodeType::Real, -1,
         " ## Error: Too long line in a file of initial individuals (more than 511 characters "
         "without blanks).\n",
         untouched},
        {"physical line longer than the buffer", "0,0,0.5," + std::string(9000, ' ') + "1,0\n",
         EncodeType::Real, -1,
         " ## Error: Too long line in a file of initial individuals (more than 511 characters "
         "without blanks).\n",
         untouched},
        {"binary grid", "0,0,0.6,1.1,-1\n", EncodeType::Binary, 0, "Island[0], 3, 1, 2, 0\n",
         {4.0 / 7.0, 8.0 / 7.0, -1.0}},
        {"gray grid", "0,0,0.6,1.1,-1\n", EncodeType::Gray, 0, "Island[0], 3, 1, 2, 0\n",
         {4.0 / 7.0, 8.0 / 7.0, -1.0}},
        {"no encoding", "0,0,0.5,1,0\n", EncodeType::Unset, -1,
         " ## System Error: In SetIndividualFromFile.\n", untouched},
    };
    for (const Case &c : cases) {
        TempFile file(c.text);
        gaparam p{};
        setRegion(&p, c.encoding, c.encoding == EncodeType::Real ? 1 : 3);
        p.gaTypeParam.numIsland = 2;
        p.gaTypeParam.islandPopulation = 3;
        std::snprintf(p.ioParam.individualFileName, qv::kGaNameSize, "%s", file.path().c_str());
        std::vector<gaisland> islands(2);
        for (gaisland &is : islands) {
            for (gagene &g : is.residents) {
                g.fitness = 123.0;
                for (double &v : g.gene_r) v = kMark;
            }
        }
        if (c.encoding != EncodeType::Real) {
            for (gaisland &is : islands) {
                for (gagene &g : is.residents) std::fill(std::begin(g.gene_b), std::end(g.gene_b), 0);
            }
        }
        testing::internal::CaptureStdout();
        EXPECT_EQ(SetIndividualFromFile(&p, islands.data()), c.result) << c.what;
        std::string out = testing::internal::GetCapturedStdout();
        std::string expected = c.output;
        if (const auto at = expected.find('@'); at != std::string::npos) {
            expected.replace(at, 1, file.path());
        }
        if (c.result == -1) {
            EXPECT_EQ(out, expected) << c.what;
        } else {
            EXPECT_NE(out.find(expected), std::string::npos) << c.what << ":\n" << out;
        }
        double x[3];
        ASSERT_EQ(GeneToValues(&p, &islands[0].residents[0], x), c.encoding == EncodeType::Unset ? -1 : 0);
        if (c.encoding == EncodeType::Unset) continue;
        if (c.encoding != EncodeType::Real && c.first == untouched) continue;
        for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(x[k], c.first[static_cast<std::size_t>(k)]) << c.what;
        EXPECT_EQ(islands[0].residents[0].fitness, 123.0) << c.what;   // evaluated later, not read
    }

    // A missing file is reported with its path.
    testing::internal::CaptureStdout();
    gaparam p{};
    setRegion(&p, EncodeType::Real, 1);
    p.gaTypeParam.numIsland = 1;
    p.gaTypeParam.islandPopulation = 3;
    std::snprintf(p.ioParam.individualFileName, qv::kGaNameSize, "/nonexistent/dir/initial.txt");
    std::vector<gaisland> islands(1);
    EXPECT_EQ(SetIndividualFromFile(&p, islands.data()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " ## Error: Cannot open a file of initial individuals:/nonexistent/dir/initial.txt\n");
}
