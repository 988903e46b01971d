// Mutation operators: region confinement, the rate, the widths of the steps, the redraw rule and
// its bound, and bit reversal.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "quorvant/ga_operators.h"
#include "quorvant/ga_random.h"

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
    for (int k = 0; k < kVars; ++k) {
        param->variableRegion.minArray[k] = kMin[k];
        param->variableRegion.maxArray[k] = kMax[k];
    }
    return param;
}

gagene sentinelGene() {
    gagene g;
    std::memset(&g, 0, sizeof g);
    for (double &v : g.gene_r) v = kSentinel;
    g.fitness = kSentinel;
    return g;
}

// An individual inside the test region.
gagene insideGene(std::mt19937 &gen) {
    gagene g = sentinelGene();
    for (int k = 0; k < kVars; ++k) g.gene_r[k] = std::uniform_real_distribution<double>(kMin[k], kMax[k])(gen);
    g.fitness = 3.5;
    return g;
}

constexpr MutationType kRealTypes[] = {MutationType::RegionUni, MutationType::FixedUni, MutationType::FixedNormal,
                                       MutationType::VariableUni, MutationType::VariableNormal};

TEST(GaMutation, RealOperatorsStayInsideTheRegionAtEveryRate) {
    std::mt19937 gen(1);
    for (MutationType type : kRealTypes) {
        for (double rate : {1.0, 0.5, 0.0}) {
            SCOPED_TRACE(testing::Message() << "type " << static_cast<int>(type) << " rate " << rate);
            auto param = makeParam(type, rate, 0.8);
            reseed(2);
            int changed = 0;
            const int draws = 4000;
            for (int draw = 0; draw < draws; ++draw) {
                const gagene source = insideGene(gen);
                const gagene reference = insideGene(gen);
                const gagene sourceCopy = source, referenceCopy = reference;
                gagene out = sentinelGene();
                ASSERT_EQ(Mutation(param.get(), &source, &reference, &out), 0);
                EXPECT_EQ(out.fitness, qv::kGaUnevaluated);
                for (int k = 0; k < kVars; ++k) {
                    ASSERT_GE(out.gene_r[k], kMin[k]) << k;
                    ASSERT_LE(out.gene_r[k], kMax[k]) << k;
                    if (out.gene_r[k] != source.gene_r[k]) ++changed;
                }
                for (int k = kVars; k < qv::kGaMaxVariable; ++k) ASSERT_EQ(out.gene_r[k], kSentinel);
                ASSERT_EQ(std::memcmp(&source, &sourceCopy, sizeof source), 0);
                ASSERT_EQ(std::memcmp(&reference, &referenceCopy, sizeof reference), 0);
            }
            // Redraws only ever lower the share of mutated variables below the rate.
            const double share = static_cast<double>(changed) / (draws * kVars);
            EXPECT_LE(share, rate + 0.02);
            if (type == MutationType::RegionUni || rate == 0.0) {
                EXPECT_NEAR(share, rate, rate == 0.0 ? 0.0 : 0.02);
            } else {
                EXPECT_GT(share, rate / 4);
            }
        }
    }
}

TEST(GaMutation, StepWidthsMatchTheirParameters) {
    // One variable in a region wide enough that the normal and uniform steps are never redrawn
    // (except RegionUni, whose region is the distribution). The normal operators take a standard
    // deviation and must pass its square to the variance-based generator.
    struct Case {
        MutationType type;
        double width, x, reference, lo, hi;
        double mean, sd;   // of the new value
    };
    const double root3 = std::sqrt(3.0);
    const Case cases[] = {
        {MutationType::RegionUni, 0, 4, 0, -3, 5, 1, 8 / (2 * root3)},
        {MutationType::FixedUni, 0.5, 4, 0, -100, 100, 4, 0.5 / root3},
        {MutationType::FixedNormal, 0.5, 4, 0, -100, 100, 4, 0.5},
        {MutationType::FixedNormal, 3, -1, 0, -100, 100, -1, 3},
        {MutationType::VariableUni, 0, 1, 3, -100, 100, 1, 2 / root3},
        {MutationType::VariableNormal, 0, 1, -1, -100, 100, 1, 2},
    };
    const int draws = 40000;
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << static_cast<int>(c.type) << " width " << c.width);
        auto param = makeParam(c.type, 1.0, c.width);
        param->variableRegion.arraySize = 1;
        param->variableRegion.minArray[0] = c.lo;
        param->variableRegion.maxArray[0] = c.hi;
        gagene source = sentinelGene(), reference = sentinelGene();
        source.gene_r[0] = c.x;
        reference.gene_r[0] = c.reference;
        double sum = 0, sumSq = 0;
        int unchanged = 0;
        reseed(31);
        for (int draw = 0; draw < draws; ++draw) {
            gagene out = sentinelGene();
            ASSERT_EQ(Mutation(param.get(), &source, &reference, &out), 0);
            ASSERT_EQ(out.gene_r[1], kSentinel);
            sum += out.gene_r[0];
            sumSq += out.gene_r[0] * out.gene_r[0];
            if (out.gene_r[0] == c.x) ++unchanged;
        }
        const double mean = sum / draws;
        EXPECT_NEAR(mean, c.mean, 5 * c.sd / std::sqrt(draws));
        EXPECT_NEAR(std::sqrt(sumSq / draws - mean * mean), c.sd, 0.02 * c.sd);
        EXPECT_EQ(unchanged, 0) << "rate 1 mutates every time";
    }
}

TEST(GaMutation, VariableWidthVanishesAtTheReference) {
    std::mt19937 gen(8);
    for (MutationType type : {MutationType::VariableUni, MutationType::VariableNormal}) {
        auto param = makeParam(type, 1.0, 0.0);
        const gagene reference = insideGene(gen);
        gagene other = reference;
        other.gene_r[1] = 0.5 * (kMin[1] + reference.gene_r[1]);   // differs in variable 1 only
        for (int draw = 0; draw < 200; ++draw) {
            gagene out = sentinelGene();
            ASSERT_EQ(Mutation(param.get(), &reference, &reference, &out), 0);
            for (int k = 0; k < kVars; ++k) ASSERT_EQ(out.gene_r[k], reference.gene_r[k]);
            ASSERT_EQ(Mutation(param.get(), &other, &reference, &out), 0);
            for (int k = 0; k < kVars; ++k) {
                if (k != 1) {
                    ASSERT_EQ(out.gene_r[k], reference.gene_r[k]);
                }
            }
            ASSERT_NE(out.gene_r[1], other.gene_r[1]);
        }
    }
}

TEST(GaMutation, RejectedCandidateRepeatsTheRateDraw) {
    // A value on the lower bound with FixedUni: each attempt mutates with probability 1/2 and a
    // mutated candidate falls inside with probability 1/2; a rejection starts over with the rate
    // draw, so the variable changes with probability (1/4) / (1 - 1/4) = 1/3, not 1/2.
    auto param = makeParam(MutationType::FixedUni, 0.5, 0.25);
    param->variableRegion.arraySize = 1;
    param->variableRegion.minArray[0] = 0.0;
    param->variableRegion.maxArray[0] = 10.0;
    gagene source = sentinelGene();
    source.gene_r[0] = 0.0;
    const int draws = 40000;
    int changed = 0;
    reseed(12);
    for (int draw = 0; draw < draws; ++draw) {
        gagene out = sentinelGene();
        ASSERT_EQ(Mutation(param.get(), &source, &source, &out), 0);
        ASSERT_GE(out.gene_r[0], 0.0);
        if (out.gene_r[0] != 0.0) ++changed;
    }
    EXPECT_NEAR(static_cast<double>(changed) / draws, 1.0 / 3.0, 0.01);

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
}

TEST(GaMutation, BitReverseTouchesOnlyTheGene) {
    std::mt19937 gen(5);
    struct Case {
        int length;
        double rate;
    };
    const Case cases[] = {{37, 1.0}, {400, 1.0}, {400, 0.25}, {10, 0.5}, {400, 0.0}};
    for (const auto &c : cases) {
        auto param = makeParam(MutationType::BitReverse, c.rate, 0.0);
        param->gaEncodeParam = {EncodeType::Gray, 1, c.length, c.length};
        int flipped = 0;
        const int runs = 200;
        for (int run = 0; run < runs; ++run) {
            gagene source = sentinelGene();
            for (int p = 0; p < qv::kGaMaxBits; ++p) source.gene_b[p] = static_cast<char>(gen() & 1);
            const gagene sourceCopy = source;
            gagene out = sentinelGene();
            for (int p = 0; p < qv::kGaMaxBits; ++p) out.gene_b[p] = 7;
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
        const double share = static_cast<double>(flipped) / (runs * c.length);
        EXPECT_NEAR(share, c.rate, c.rate == 1.0 || c.rate == 0.0 ? 0.0 : 0.03) << c.length;
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

TEST(GaMutation, HopelessRedrawKeepsTheValue) {
    // Variable 0 lies outside its region and FixedUni's candidates can never reach it: after
    // 1000 attempts (a rate draw and a candidate each) it keeps its value. Variable 1 is normal.
    auto param = makeParam(MutationType::FixedUni, 1.0, 0.1);
    param->variableRegion.arraySize = 2;
    gagene source = sentinelGene();
    source.gene_r[0] = 5.0;   // region [-1, 1]
    source.gene_r[1] = 0.25;  // region [0, 0.5]
    const char *const logs[] = {
        " ## Warning: Mutation found no value inside the region in 1000 tries; the value was kept (reported "
        "once).\n",
        "",
    };
    for (const char *log : logs) {
        reseed(21);
        gagene out = sentinelGene();
        testing::internal::CaptureStdout();
        ASSERT_EQ(Mutation(param.get(), &source, &source, &out), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), log);
        EXPECT_EQ(out.gene_r[0], 5.0);
        EXPECT_GE(out.gene_r[1], 0.15);
        EXPECT_LE(out.gene_r[1], 0.35);

        // The second variable starts right after the 2000 draws of the first.
        reseed(21);
        for (int i = 0; i < 2 * qv::kMaxMutationTries; ++i) genrand_int32();
        GenUniformRand(0.0, 1.0);
        EXPECT_EQ(out.gene_r[1], GenUniformRand(0.15, 0.35));
    }
}

}  // namespace
