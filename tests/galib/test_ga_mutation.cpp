// Mutation operators: confinement to the region, the rate, the widths of the steps, the redraw
// rule and its bound, bit reversal, and the configurations that are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "quorvant/galib/crossover.h"
#include "quorvant/galib/ga_types.h"
#include "quorvant/galib/mutation.h"
#include "quorvant/searchlib/mt_rand.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

constexpr int kVars = 4;
// Bounds of the test region, one pair per variable.
constexpr double kMin[kVars] = {-1.0, 0.0, 10.0, -50.0};
constexpr double kMax[kVars] = {1.0, 0.5, 20.0, 50.0};
constexpr double kSentinel = 123.25;   // marks storage an operator must not write

void reseed(unsigned long seed) {
    ResetRandomStream();
    SetRandSeed(seed);
}

std::unique_ptr<gaparam> makeParam(MutationType type, double rate, double width) {
    auto param = std::make_unique<gaparam>();
    std::memset(param.get(), 0, sizeof *param);
    param->gaEncodeParam = {EncodeType::Real, kVars, 1, kVars};
    param->mutationParam = {type, rate, width};
    param->variableRegion.arraySize = kVars;
    std::copy(kMin, kMin + kVars, param->variableRegion.minArray);
    std::copy(kMax, kMax + kVars, param->variableRegion.maxArray);
    return param;
}

gagene sentinelGene() {
    gagene g;
    std::memset(&g, 0, sizeof g);
    for (double &v : g.gene_r) v = kSentinel;
    g.fitness = kSentinel;
    return g;
}

TEST(GaMutation, RealOperatorsDrawTheirStepsInsideTheRegion) {
    // The case is variable 1; variable 0 lies 50 from its reference value, so a width or bound
    // taken from the wrong variable shows. In the wide regions steps are never redrawn (RegionUni:
    // the region is the distribution), so the share of changed values is the rate and the new
    // values have the given mean and standard deviation. The normal operators take a standard
    // deviation and must pass its square to the variance-based generator. sd 0: the value never
    // changes (rate 0, or a variable width at the reference); sd NaN: the region [0, 0.5] is
    // narrow and only confinement is checked.
    struct Case {
        MutationType type;
        double rate, width, x, reference, lo, hi;
        double mean, sd;   // of the new values
    };
    const double root3 = std::sqrt(3.0), nan = std::nan("");
    const Case cases[] = {
        {MutationType::RegionUni, 1, 0, 4, 0, -3, 5, 1, 8 / (2 * root3)},
        {MutationType::RegionUni, 0.5, 0, 4, 0, -3, 5, 1, 8 / (2 * root3)},
        {MutationType::FixedUni, 1, 0.5, 4, 0, -100, 100, 4, 0.5 / root3},
        {MutationType::FixedUni, 0, 0.5, 4, 0, -100, 100, 4, 0},
        {MutationType::FixedNormal, 1, 0.5, 4, 0, -100, 100, 4, 0.5},
        {MutationType::FixedNormal, 0.5, 3, -1, 0, -100, 100, -1, 3},
        {MutationType::VariableUni, 1, 0, 1, 3, -100, 100, 1, 2 / root3},
        {MutationType::VariableNormal, 1, 0, 1, -1, -100, 100, 1, 2},
        {MutationType::VariableUni, 1, 0, 1, 1, -100, 100, 1, 0},
        {MutationType::VariableNormal, 1, 0, 1, 1, -100, 100, 1, 0},
        {MutationType::FixedUni, 1, 0.8, 0.1, 0, 0, 0.5, nan, nan},
        {MutationType::FixedNormal, 1, 0.8, 0.1, 0, 0, 0.5, nan, nan},
        {MutationType::VariableUni, 1, 0, 0.1, 3, 0, 0.5, nan, nan},
        {MutationType::VariableNormal, 1, 0, 0.4, -2, 0, 0.5, nan, nan},
    };
    const int draws = 4000;
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << static_cast<int>(c.type) << " rate " << c.rate << " sd " << c.sd);
        auto param = makeParam(c.type, c.rate, c.width);
        param->variableRegion = {2, {-100, c.lo}, {100, c.hi}, {}};
        gagene source = sentinelGene(), reference = sentinelGene();
        source.gene_r[0] = 0;
        reference.gene_r[0] = 50;
        source.gene_r[1] = c.x;
        reference.gene_r[1] = c.reference;
        const gagene sourceCopy = source, referenceCopy = reference;
        double sum = 0, sumSq = 0;
        int changed = 0;
        reseed(31);
        for (int draw = 0; draw < draws; ++draw) {
            gagene out = sentinelGene();
            ASSERT_EQ(Mutation(param.get(), &source, &reference, &out), 0);
            ASSERT_EQ(out.fitness, qv::kGaUnevaluated);
            ASSERT_GE(out.gene_r[1], c.lo);
            ASSERT_LE(out.gene_r[1], c.hi);
            ASSERT_EQ(out.gene_r[2], kSentinel);
            if (out.gene_r[1] == c.x) continue;
            ++changed;
            sum += out.gene_r[1];
            sumSq += out.gene_r[1] * out.gene_r[1];
        }
        ASSERT_EQ(std::memcmp(&source, &sourceCopy, sizeof source), 0);
        ASSERT_EQ(std::memcmp(&reference, &referenceCopy, sizeof reference), 0);
        const double share = static_cast<double>(changed) / draws;
        EXPECT_NEAR(share, c.sd == 0.0 ? 0.0 : c.rate, c.rate == 0.5 ? 0.03 : 0.0);
        if (!(c.sd > 0.0)) continue;
        const double mean = sum / changed;
        EXPECT_NEAR(mean, c.mean, 5 * c.sd / std::sqrt(changed));
        EXPECT_NEAR(std::sqrt(sumSq / changed - mean * mean), c.sd, 0.05 * c.sd);
    }
}

TEST(GaMutation, RedrawRule) {
    // A value on the lower bound with FixedUni: each attempt mutates with probability 1/2 and a
    // mutated candidate falls inside with probability 1/2; a rejection starts over with the rate
    // draw, so the variable changes with probability (1/4) / (1 - 1/4) = 1/3, not 1/2.
    auto param = makeParam(MutationType::FixedUni, 0.5, 0.25);
    param->variableRegion = {1, {0.0}, {10.0}, {}};
    gagene source = sentinelGene();
    source.gene_r[0] = 0.0;
    const int draws = 5000;
    int changed = 0;
    reseed(12);
    for (int draw = 0; draw < draws; ++draw) {
        gagene out = sentinelGene();
        ASSERT_EQ(Mutation(param.get(), &source, &source, &out), 0);
        ASSERT_GE(out.gene_r[0], 0.0);
        if (out.gene_r[0] != 0.0) ++changed;
    }
    EXPECT_NEAR(static_cast<double>(changed) / draws, 1.0 / 3.0, 0.02);

    // Candidates exactly on a bound are kept: with width 0 every candidate equals the value,
    // so each variable takes exactly one rate draw and one candidate draw.
    auto exact = makeParam(MutationType::FixedUni, 1.0, 0.0);
    gagene onBounds = sentinelGene();
    for (int k = 0; k < kVars; ++k) onBounds.gene_r[k] = k % 2 == 0 ? kMin[k] : kMax[k];
    gagene out = sentinelGene();
    reseed(13);
    ASSERT_EQ(Mutation(exact.get(), &onBounds, &onBounds, &out), 0);
    const unsigned long next = genrand_int32();
    for (int k = 0; k < kVars; ++k) EXPECT_EQ(out.gene_r[k], onBounds.gene_r[k]);
    reseed(13);
    for (int i = 0; i < 2 * kVars; ++i) genrand_int32();
    EXPECT_EQ(next, genrand_int32());

    // Variable 0 lies outside its region [-1, 1] and FixedUni's candidates can never reach it:
    // after 1000 attempts (a rate draw and a candidate each) it keeps its value, with a warning
    // the first time only. Variable 1 then takes the next two draws.
    auto hopeless = makeParam(MutationType::FixedUni, 1.0, 0.1);
    hopeless->variableRegion.arraySize = 2;
    source.gene_r[0] = 5.0;
    source.gene_r[1] = 0.25;
    for (const char *log : {" ## Warning: Mutation found no value inside the region in 1000 tries; the value was "
                            "kept (reported once).\n",
                            ""}) {
        reseed(21);
        testing::internal::CaptureStdout();
        ASSERT_EQ(Mutation(hopeless.get(), &source, &source, &out), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), log);
        EXPECT_EQ(out.gene_r[0], 5.0);
        reseed(21);
        for (int i = 0; i < 2 * qv::kMaxMutationTries; ++i) genrand_int32();
        GenUniformRand(0.0, 1.0);
        EXPECT_EQ(out.gene_r[1], GenUniformRand(0.15, 0.35));
    }
}

TEST(GaMutation, BitReverseTouchesOnlyTheGene) {
    std::mt19937 gen(5);
    struct Case {
        int length;
        double rate;
    };
    const Case cases[] = {{37, 1.0}, {400, 0.25}, {10, 0.5}, {400, 0.0}};
    for (const auto &c : cases) {
        auto param = makeParam(MutationType::BitReverse, c.rate, 0.0);
        param->gaEncodeParam = {EncodeType::Gray, 1, c.length, c.length};
        int flipped = 0;
        const int runs = 100;
        for (int run = 0; run < runs; ++run) {
            gagene source = sentinelGene();
            for (char &bit : source.gene_b) bit = static_cast<char>(gen() & 1);
            const gagene sourceCopy = source;
            gagene out = sentinelGene();
            std::memset(out.gene_b, 7, sizeof out.gene_b);
            ASSERT_EQ(Mutation(param.get(), &source, &source, &out), 0);
            EXPECT_EQ(out.fitness, kSentinel) << "bit reversal leaves the fitness alone";
            ASSERT_EQ(std::memcmp(&source, &sourceCopy, sizeof source), 0);
            for (int p = 0; p < qv::kGaMaxBits; ++p) {
                if (p >= c.length) {
                    ASSERT_EQ(out.gene_b[p], 7) << "bits beyond the gene are not written";
                    continue;
                }
                ASSERT_TRUE(out.gene_b[p] == 0 || out.gene_b[p] == 1);
                if (out.gene_b[p] != source.gene_b[p]) ++flipped;
            }
        }
        const double trials = runs * c.length;
        EXPECT_NEAR(flipped / trials, c.rate, 4 * std::sqrt(c.rate * (1 - c.rate) / trials)) << c.length;
    }
}

TEST(GaMutation, UnknownTypeOrSizeFails) {
    struct Case {
        MutationType type;
        int arraySize, geneLength;
    };
    const Case cases[] = {
        {MutationType::None, kVars, kVars},         {MutationType::Unset, kVars, kVars},
        {MutationType::FixedUni, 21, 21},           {MutationType::RegionUni, -1, kVars},
        {MutationType::BitReverse, kVars, 401},
    };
    for (const auto &c : cases) {
        auto param = makeParam(c.type, 0.5, 1.0);
        param->variableRegion.arraySize = c.arraySize;
        param->gaEncodeParam.geneLength = c.geneLength;
        const gagene source = sentinelGene();
        gagene out = sentinelGene();
        testing::internal::CaptureStdout();
        EXPECT_EQ(Mutation(param.get(), &source, &source, &out), -1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), " ## System Error: In Mutation.\n");
    }
}

}  // namespace
