// The distributions that the searches draw from the process-wide MT19937 stream, and its seeding.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "quorvant/common/logUtil.h"
#include "quorvant/searchlib/mt_rand.h"
#include "quorvant/searchlib/utl_rand.h"

namespace {

constexpr char kMsgSeedFailed[] = " ## Warning. Fail to initialize a random seed.\n";
constexpr char kMsgSeed[] = "Random seed: %lu\n";
constexpr char kMsgSeedOfRank[] = "Random seed of rank %d: %lu\n";
constexpr char kMsgEmptyRange[] = " ## System Error: GenIntRand called with an empty range [%d, %d).\n";

// Cached second deviate of the polar method.
int iset = 0;
double gset = 0.0;

// Seed given on the command line for a reproducible run.
bool fixedSeedSet = false;
unsigned long fixedSeed = 0;

}  // namespace

void SetRandSeed(unsigned long seed) { init_genrand(seed); }

void SetSeedByTime() {
    const std::time_t now = std::time(nullptr);
    if (now == static_cast<std::time_t>(-1)) {
        log_sys(kMsgSeedFailed);
        return;
    }
    const unsigned long seed = static_cast<unsigned long>(now);
    SetRandSeed(seed);
    log_sys(kMsgSeed, seed);
}

int GenIntRand(int min, int max) {
    if (max <= min) {
        log_sys(kMsgEmptyRange, min, max);
        std::abort();
    }
    // The width and the offset are taken modulo 2^32, so even the full int range cannot overflow.
    const uint32_t width = static_cast<uint32_t>(max) - static_cast<uint32_t>(min);
    const uint32_t w = static_cast<uint32_t>(genrand_int32());
    return static_cast<int>(static_cast<uint32_t>(min) + w % width);
}

int GenIntRandMax() { return static_cast<int>(static_cast<uint32_t>(genrand_int32())); }

double GenUniformRand(double min, double max) {
    const long double lo = min;
    return static_cast<double>(lo + static_cast<long double>(genrand_real1()) * (max - lo));
}

// Marsaglia's polar method: each accepted pair gives two deviates, the second is kept for the
// next call.
double GenStandardNormalRand() {
    if (iset == 1) {
        iset = 0;
        return gset;
    }
    double x = 0.0, y = 0.0, r = 0.0;
    do {
        const double u1 = genrand_real3();
        const double u2 = genrand_real3();
        x = 2.0 * u1 - 1.0;
        y = 2.0 * u2 - 1.0;
        r = x * x + y * y;
    } while (r >= 1.0 || r == 0.0);
    const double f = std::sqrt(-2.0 * std::log(r) / r);
    gset = x * f;
    iset = 1;
    return y * f;
}

double GenNormalRand(double mean, double variance) {
    return mean + std::sqrt(variance) * GenStandardNormalRand();
}

void SetFixedSeed(unsigned long seed) {
    fixedSeed = seed;
    fixedSeedSet = true;
}

void ClearFixedSeed() {
    fixedSeedSet = false;
    fixedSeed = 0;
}

void SeedGaStream() {
    if (!fixedSeedSet) {
        SetSeedByTime();
        return;
    }
    SetRandSeed(fixedSeed);
    log_sys(kMsgSeed, fixedSeed);
}

void SeedGaStreamOfRank(int rank) {
    if (rank == 0) {
        SeedGaStream();
        return;
    }
    unsigned long base = fixedSeed;
    if (!fixedSeedSet) {
        const std::time_t now = std::time(nullptr);
        if (now == static_cast<std::time_t>(-1)) {
            log_sys(kMsgSeedFailed);
            return;
        }
        base = static_cast<unsigned long>(now);
    }
    // Every rank its own stream: the base seed moved on by the rank, modulo 2^32.
    const unsigned long seed = static_cast<uint32_t>(base + static_cast<unsigned long>(rank));
    SetRandSeed(seed);
    log_sys(kMsgSeedOfRank, rank, seed);
}

void ResetRandomStream() {
    genrand_unseed();
    iset = 0;
    gset = 0.0;
}

void GetRandomStreamState(RandomStreamState *state) {
    int index = 0;
    genrand_get_state(state->words, &index);
    state->index = index;
    state->cached = iset;
    state->deviate = gset;
}

int SetRandomStreamState(const RandomStreamState *state) {
    if ((state->cached != 0 && state->cached != 1) || genrand_set_state(state->words, state->index) != 0) return -1;
    iset = state->cached;
    gset = state->deviate;
    return 0;
}
