// Regression corpus of hostile GA input files (tests/corpus_ga/): parameter files (.ga) read for a
// model with 3 search variables, files of initial individuals (.ind) read for runs of 2 islands of
// 5. Each case states the reader's result and its first message line (the first line of the log
// beginning with " ## " or "Error"; empty when there is none). Every file in the directory must
// have its case, so that a file added after a fuzzing campaign cannot go unchecked.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "quorvant/galib/ga_param.h"
#include "quorvant/galib/ga_region.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/initial_individuals.h"
#include "quorvant/quorvant_baselib/model_tables.h"

namespace {

const std::string kDir = QV_SOURCE_DIR "/tests/corpus_ga/";

// How a file is read: as a parameter file, or as initial individuals of a real-coded or a
// binary-coded run (8 bits per variable).
enum class Reader { Param, RealIndividuals, BinaryIndividuals };

struct Case {
    const char *file;
    Reader reader;
    int rc;
    std::string line;
};

const std::string kOmitted =
    " ## Error. All keywords(GATYPE, DIGENESIS, CROSSOVER, MUTATION) cannot be omitted.";
const std::string kTooLong =
    " ## Error: Too long line in parameter file (more than 511 characters without blanks).";
const std::string kInvalidRecord = " ## Error: Invalid records in a file of initial individuals.";
const std::string kOutOfRegion = " ## Error: Out of region in a file of initial individuals.";
const std::string kDimensions = " ## Error: Invalid dimensions of a file of initial individuales.";

constexpr Reader P = Reader::Param;
constexpr Reader R = Reader::RealIndividuals;
constexpr Reader B = Reader::BinaryIndividuals;

// clang-format off
const Case kCases[] = {
    {"example.ga",                   P,  0, ""},
    {"empty.ga",                     P, -1, kOmitted},
    {"only_comments.ga",             P, -1, kOmitted},
    {"blank_lines_tabs.ga",          P, -1, kOmitted},
    {"binary_garbage.ga",            P, -1, " ## Error: Unknown keyword:\xff\xfe"},
    {"nul_in_field.ga",              P, -1, " ## Error: Shortage of parameters for BGA."},
    {"overlong_line.ga",             P, -1, kTooLong},
    {"overlong_physical_line.ga",    P, -1, kTooLong},
    {"line_of_511.ga",               P,  0, ""},
    {"huge_numbers.ga",              P, -1, " ## Error: Total population (number of islands * island "
                                            "population) must be smaller than equal 2147483647."},
    {"nan_rate.ga",                  P, -1, " ## Error: Immigration rate must be in region [0,1]"},
    {"infinite_values.ga",           P,  0, ""},
    {"twelve_fields.ga",             P,  0, " ## Warning: Redundant parameters for DGA(immigration on)."},
    {"hundreds_of_fields.ga",        P,  0, " ## Warning: Redundant parameters for RGA."},
    {"every_keyword_twice.ga",       P, -1, " ## Error: Duplicate keyword:ENCODE"},
    {"keywords_without_fields.ga",   P, -1, " ## Error: No selected choice: GATYPE"},
    {"no_semicolons.ga",             P, -1, " ## Error: Unknown keyword:ENCODEREAL"},
    {"crlf_blank_line.ga",           P, -1, " ## Error: Unknown keyword:\r"},
    {"reversed_order.ga",            P, -1, " ## Error: Describe \"ENCODE\" at top rank, and \"GATYPE\" at second rank."},
    {"long_type_word.ga",            P, -1, " ## Error: Unknown encode type:" + std::string(500, 'X')},
    {"gene_length_402.ga",           P, -1, " ## Error: Quantum number must be smaller than equal 30."},
    {"hex_numbers.ga",               P, -1, " ## Error: Max generation must be a positive interger."},
    {"hex_float_alpha.ga",           P,  0, ""},
    {"byte_order_mark.ga",           P, -1, " ## Error: Unknown keyword:\xef\xbb\xbf" "ENCODE"},
    {"tournament_too_large.ga",      P, -1, " ## Error. Tournament size is too large. Set value <= 39."},

    {"valid.ind",                    R,  0, ""},
    {"empty.ind",                    R,  0, ""},
    {"separators_only.ind",          R,  0, ""},
    {"binary_garbage.ind",           R, -1, kInvalidRecord},
    {"overlong_line.ind",            R, -1, " ## Error: Too long line in a file of initial individuals "
                                            "(more than 511 characters without blanks)."},
    {"nan_value.ind",                R, -1, kOutOfRegion},
    {"huge_value.ind",               R, -1, kOutOfRegion},
    {"twelve_values.ind",            R, -1, kDimensions},
    {"two_values.ind",               B, -1, kDimensions},
    {"id_only.ind",                  R, -1, kInvalidRecord},
    {"commas_only.ind",              R, -1, kInvalidRecord},
    {"surplus_records.ind",          R,  0, ""},
    {"bounds_exact.ind",             B,  0, ""},
    {"crlf_blank_line.ind",          R, -1, kInvalidRecord},
    {"three_stars.ind",              R, -1, kInvalidRecord},
};
// clang-format on

void PrintTo(const Case &c, std::ostream *os) { *os << c.file; }

std::string firstMessage(const std::string &log) {
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(" ## ", 0) == 0 || line.rfind("Error", 0) == 0) return line;
    }
    return "";
}

// The region of the search variables: 3 variables of very different scales.
gaparam config(const std::string &path, Reader reader) {
    gaparam p;
    InitializeParam(&p);
    p.gaEncodeParam.numVariable = 3;
    p.variableRegion = {3, {0.0, -1.0, 1e-3}, {1.0, 1.0, 1e3}, {}};
    std::snprintf(p.ioParam.paramFileName, sizeof p.ioParam.paramFileName, "%s", path.c_str());
    std::snprintf(p.ioParam.individualFileName, sizeof p.ioParam.individualFileName, "%s", path.c_str());
    if (reader == Reader::Param) return p;
    const int bits = reader == Reader::BinaryIndividuals ? 8 : 1;
    p.gaEncodeParam.encodeType = bits == 1 ? EncodeType::Real : EncodeType::Binary;
    p.gaEncodeParam.quantumNumber = bits;
    p.gaEncodeParam.geneLength = 3 * bits;
    SetDelta(&p);
    p.gaTypeParam.numIsland = 2;
    p.gaTypeParam.islandPopulation = 5;
    p.gaTypeParam.totalPopulation = 10;
    return p;
}

class GaCorpus : public ::testing::TestWithParam<Case> {};

TEST_P(GaCorpus, ResultAndFirstMessage) {
    const Case &c = GetParam();
    const std::string path = kDir + c.file;
    ASSERT_EQ(access(path.c_str(), R_OK), 0) << path;
    gaparam p = config(path, c.reader);
    std::vector<gaisland> islands(2);

    testing::internal::CaptureStdout();
    const int rc = c.reader == Reader::Param ? SetParamsFromFile(&p) : SetIndividualFromFile(&p, islands.data());
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, c.rc) << log;
    EXPECT_EQ(firstMessage(log), c.line) << log;
}

INSTANTIATE_TEST_SUITE_P(Files, GaCorpus, ::testing::ValuesIn(kCases), [](const auto &info) {
    std::string name = info.param.file;
    for (char &ch : name) {
        if (ch == '.') ch = '_';
    }
    return name;
});

TEST(GaCorpusFiles, EveryFileHasItsCase) {
    std::set<std::string> listed;
    for (const Case &c : kCases) listed.insert(c.file);
    DIR *dir = opendir(kDir.c_str());
    ASSERT_NE(dir, nullptr);
    std::set<std::string> present;
    while (const dirent *e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() > 3 && (name.ends_with(".ga") || name.ends_with(".ind"))) present.insert(name);
    }
    closedir(dir);
    EXPECT_EQ(present, listed);
}

}  // namespace
