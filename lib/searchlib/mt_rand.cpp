// MT19937, the 32-bit Mersenne Twister of Matsumoto and Nishimura with the 2002 reference seeding
// (init_genrand, init_by_array) and the reference output conversions. One stream per process.
#include <cstdint>

#include "quorvant/searchlib/mt_rand.h"

namespace {

// Generator constants of MT19937.
constexpr int kN = kMtStateWords;                // words of state
constexpr int kM = 397;                          // middle word of the recurrence
constexpr uint32_t kMatrixA = 0x9908b0dfU;       // last row of the twist matrix
constexpr uint32_t kUpperMask = 0x80000000U;     // most significant w - r bits
constexpr uint32_t kLowerMask = 0x7fffffffU;     // least significant r bits
constexpr uint32_t kInitMultiplier = 1812433253U;
constexpr uint32_t kArraySeed = 19650218U;       // init_by_array starts from this seed
constexpr uint32_t kArrayMultiplier1 = 1664525U;
constexpr uint32_t kArrayMultiplier2 = 1566083941U;
constexpr uint32_t kDefaultSeed = 5489U;         // used when the stream was never seeded
constexpr int kUnseeded = kN + 1;                // mti of a stream that was never seeded

// Tempering masks and shifts.
constexpr uint32_t kTemperB = 0x9d2c5680U;
constexpr uint32_t kTemperC = 0xefc60000U;

// Output conversions.
constexpr double kInv2Pow32Minus1 = 1.0 / 4294967295.0;
constexpr double kInv2Pow32 = 1.0 / 4294967296.0;
constexpr double kInv2Pow53 = 1.0 / 9007199254740992.0;
constexpr double k2Pow26 = 67108864.0;

uint32_t mt[kN];
int mti = kUnseeded;
constexpr uint32_t mag01[2] = {0x0U, kMatrixA};

inline uint32_t twist(uint32_t upper, uint32_t lower, uint32_t far) {
    const uint32_t y = (upper & kUpperMask) | (lower & kLowerMask);
    return far ^ (y >> 1) ^ mag01[y & 0x1U];
}

// Regenerates all 624 words in the three runs of the reference code.
void regenerate() {
    int kk = 0;
    for (; kk < kN - kM; ++kk) mt[kk] = twist(mt[kk], mt[kk + 1], mt[kk + kM]);
    for (; kk < kN - 1; ++kk) mt[kk] = twist(mt[kk], mt[kk + 1], mt[kk + (kM - kN)]);
    mt[kN - 1] = twist(mt[kN - 1], mt[0], mt[kM - 1]);
    mti = 0;
}

}  // namespace

void init_genrand(unsigned long s) {
    mt[0] = static_cast<uint32_t>(s);
    for (int i = 1; i < kN; ++i) {
        mt[i] = kInitMultiplier * (mt[i - 1] ^ (mt[i - 1] >> 30)) + static_cast<uint32_t>(i);
    }
    mti = kN;
}

void init_by_array(const unsigned long init_key[], unsigned long key_length) {
    init_genrand(kArraySeed);
    int i = 1;
    unsigned long j = 0;
    const unsigned long n = static_cast<unsigned long>(kN);
    for (unsigned long k = (n > key_length ? n : key_length); k > 0; --k) {
        // An empty key mixes in zeros instead of reading past it.
        const uint32_t key = key_length > 0 ? static_cast<uint32_t>(init_key[j]) : 0U;
        mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * kArrayMultiplier1)) + key +
                static_cast<uint32_t>(j);
        ++i;
        ++j;
        if (i >= kN) {
            mt[0] = mt[kN - 1];
            i = 1;
        }
        if (j >= key_length) j = 0;
    }
    for (int k = kN - 1; k > 0; --k) {
        mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * kArrayMultiplier2)) -
                static_cast<uint32_t>(i);
        ++i;
        if (i >= kN) {
            mt[0] = mt[kN - 1];
            i = 1;
        }
    }
    mt[0] = kUpperMask;   // non-zero initial state is assured
}

unsigned long genrand_int32() {
    if (mti >= kN) {
        if (mti == kUnseeded) init_genrand(kDefaultSeed);
        regenerate();
    }
    uint32_t y = mt[mti++];
    y ^= (y >> 11);
    y ^= (y << 7) & kTemperB;
    y ^= (y << 15) & kTemperC;
    y ^= (y >> 18);
    return y;
}

long genrand_int31() { return static_cast<long>(genrand_int32() >> 1); }

double genrand_real1() { return static_cast<double>(genrand_int32()) * kInv2Pow32Minus1; }

double genrand_real2() { return static_cast<double>(genrand_int32()) * kInv2Pow32; }

double genrand_real3() { return (static_cast<double>(genrand_int32()) + 0.5) * kInv2Pow32; }

double genrand_res53() {
    const unsigned long a = genrand_int32() >> 5;
    const unsigned long b = genrand_int32() >> 6;
    return (static_cast<double>(a) * k2Pow26 + static_cast<double>(b)) * kInv2Pow53;
}

void genrand_unseed() {
    for (uint32_t &w : mt) w = 0;
    mti = kUnseeded;
}

void genrand_get_state(uint32_t *words, int *index) {
    for (int i = 0; i < kN; ++i) words[i] = mt[i];
    *index = mti;
}

int genrand_set_state(const uint32_t *words, int index) {
    if (index < 0 || index > kUnseeded) return -1;
    for (int i = 0; i < kN; ++i) mt[i] = words[i];
    mti = index;
    return 0;
}
