// The process-wide MT19937 stream and its distributions. The generator is compared with published
// reference outputs and with the standard library's mt19937 (an independent implementation of the
// same generator and seeding); every draw with the raw words it must be made of, and the normal
// deviates also with their moments.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <random>
#include <string>

#include "quorvant/searchlib/mt_rand.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

// Uniform on (0, 1) from a raw word, as the polar method draws it.
double open01(std::uint32_t w) { return (w + 0.5) / 4294967296.0; }

}  // namespace

TEST(GaRandom, GeneratorMatchesReferenceOutputs) {
    ResetRandomStream();
    EXPECT_EQ(genrand_int32(), 3499211612UL);   // never seeded: seeds itself with 5489
    // The published init_by_array outputs: the first integers, and genrand_real2 after 1000.
    const unsigned long key[] = {0x123, 0x234, 0x345, 0x456};
    init_by_array(key, 4);
    for (unsigned long w : {1067595299UL, 955945823UL, 477289528UL, 4107218783UL}) EXPECT_EQ(genrand_int32(), w);
    for (int i = 4; i < 1000; ++i) genrand_int32();
    for (double r : {0.76275443, 0.99000644, 0.98670464, 0.10143112}) EXPECT_NEAR(genrand_real2(), r, 5e-9);
    // std::mt19937(seed) seeds like init_genrand (modulo 2^32); 10000 outputs cover 16
    // regenerations, and the 10000th output of seed 5489 is the one the C++ standard prescribes.
    for (unsigned long seed : {1UL, 5489UL, 0xffffffffUL, 0x1234567890UL}) {
        SetRandSeed(seed);
        std::mt19937 ref(static_cast<std::uint32_t>(seed));
        unsigned long last = 0;
        for (int i = 0; i < 10000; ++i) ASSERT_EQ(last = genrand_int32(), ref()) << seed << ", " << i;
        EXPECT_TRUE(seed != 5489UL || last == 4123659995UL);
    }
}

TEST(GaRandom, EveryDrawIsMadeOfTheNextRawWords) {
    SetRandSeed(777);
    std::mt19937 ref(777);
    for (int i = 0; i < 2000; ++i) {
        ASSERT_DOUBLE_EQ(genrand_real1(), ref() / 4294967295.0);
        ASSERT_EQ(genrand_real2(), ref() / 4294967296.0);
        ASSERT_EQ(genrand_real3(), open01(ref()));
        const double a = ref() >> 5, b = ref() >> 6;
        ASSERT_EQ(genrand_res53(), (a * 67108864.0 + b) / 9007199254740992.0);
        ASSERT_EQ(genrand_int31(), static_cast<long>(ref() >> 1));
        ASSERT_EQ(GenIntRandMax(), static_cast<int>(ref()));
        // A closed interval: the word over 2^32 - 1.
        ASSERT_DOUBLE_EQ(GenUniformRand(-2.0, 6.0), -2.0 + ref() / 4294967295.0 * 8.0);
    }
    for (double a : {0.0, -3.25, 1e300}) EXPECT_EQ(GenUniformRand(a, a), a);

    // GenIntRand: min + (word mod width) with no rejection, over the whole int range too.
    const std::pair<int, int> ranges[] = {{0, 1}, {0, 2}, {3, 7}, {-5, -2}, {INT_MIN, INT_MAX}, {INT_MAX - 1, INT_MAX}};
    for (const auto &[min, max] : ranges) {
        SetRandSeed(2024);
        std::mt19937 words(2024);
        const auto width = static_cast<std::uint32_t>(max) - static_cast<std::uint32_t>(min);
        for (int i = 0; i < 1000; ++i) {
            ASSERT_EQ(GenIntRand(min, max), static_cast<long long>(min) + words() % width) << min << ", " << max;
        }
    }
    // An empty range is a programming error.
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(GenIntRand(4, 4), testing::KilledBySignal(SIGABRT), "");
    EXPECT_EXIT(GenIntRand(5, -5), testing::KilledBySignal(SIGABRT), "");
}

TEST(GaRandom, NormalDeviatesComeInCachedPairs) {
    // The polar method on the reference generator: pairs (u1, u2) until 0 < r < 1; the second
    // deviate of a pair is returned first and the first one is kept for the next call.
    for (unsigned long seed : {1UL, 7UL, 12345UL, 31337UL}) {
        ResetRandomStream();
        std::mt19937 ref(static_cast<std::uint32_t>(seed));
        double x = 0, y = 0, r = 0;
        do {
            x = 2.0 * open01(ref()) - 1.0;
            y = 2.0 * open01(ref()) - 1.0;
            r = x * x + y * y;
        } while (r >= 1.0 || r == 0.0);
        const double f = std::sqrt(-2.0 * std::log(r) / r);
        SetRandSeed(seed);
        EXPECT_EQ(GenStandardNormalRand(), y * f) << seed;
        EXPECT_EQ(GenStandardNormalRand(), x * f) << seed;
        EXPECT_EQ(genrand_int32(), ref()) << seed;   // not a word more than the reference used
        // A reseed keeps a cached deviate (it comes back without a draw); a reset drops it.
        SetRandSeed(seed);
        GenStandardNormalRand();
        SetRandSeed(seed);
        EXPECT_EQ(GenStandardNormalRand(), x * f) << seed;
        EXPECT_EQ(genrand_int32(), std::mt19937(static_cast<std::uint32_t>(seed))()) << seed;
        SetRandSeed(seed);
        GenStandardNormalRand();
        ResetRandomStream();
        EXPECT_EQ(genrand_int32(), 3499211612UL);   // unseeded again
        SetRandSeed(seed);
        EXPECT_EQ(GenStandardNormalRand(), y * f) << seed;
    }

    // Moments: a sample mean within 5 standard errors, a sample variance within 5 of its own
    // standard deviations (var * sqrt(2 / n) for a normal distribution).
    constexpr int n = 5000;
    struct Case {
        double (*draw)();
        double mean, var;
    };
    const Case cases[] = {{[] { return GenStandardNormalRand(); }, 0.0, 1.0},
                          {[] { return GenNormalRand(3.0, 4.0); }, 3.0, 4.0},   // the variance
                          {[] { return GenNormalRand(-1.0, 0.25); }, -1.0, 0.25}};
    SetRandSeed(99);
    for (const Case &c : cases) {
        double s = 0.0, s2 = 0.0;
        for (int i = 0; i < n; ++i) {
            const double v = c.draw();
            s += v;
            s2 += v * v;
        }
        EXPECT_NEAR(s / n, c.mean, 5.0 * std::sqrt(c.var / n)) << c.mean;
        EXPECT_NEAR(s2 / n - (s / n) * (s / n), c.var, 5.0 * c.var * std::sqrt(2.0 / n)) << c.mean;
    }
}

TEST(GaRandom, SeedOfARunIsLoggedAndReproducible) {
    SetFixedSeed(424242);   // cleared again below
    testing::internal::CaptureStdout();
    SeedGaStream();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Random seed: 424242\n");
    EXPECT_EQ(genrand_int32(), std::mt19937(424242)());
    // Without a fixed seed the clock seeds the stream, and the logged value reproduces it.
    ClearFixedSeed();
    const auto before = static_cast<unsigned long>(std::time(nullptr));
    testing::internal::CaptureStdout();
    SeedGaStream();
    const std::string line = testing::internal::GetCapturedStdout();
    const unsigned long w = genrand_int32();
    ASSERT_EQ(line.rfind("Random seed: ", 0), 0u) << line;
    ASSERT_EQ(line.back(), '\n');
    const unsigned long logged = std::stoul(line.substr(13));
    EXPECT_GE(logged, before);
    EXPECT_LE(logged, static_cast<unsigned long>(std::time(nullptr)));
    SetRandSeed(logged);
    EXPECT_EQ(genrand_int32(), w);
    ResetRandomStream();
}
