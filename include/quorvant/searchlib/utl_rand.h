// Seeding of the process-wide random stream and the distributions drawn from it. Not thread-safe.
#ifndef QUORVANT_SEARCHLIB_UTL_RAND_H
#define QUORVANT_SEARCHLIB_UTL_RAND_H

#include <cstdint>

#include "quorvant/searchlib/mt_rand.h"

void SetRandSeed(unsigned long seed);

// Seeds from the wall clock and logs "Random seed: %lu\n" with the seed used; on a clock failure
// logs the warning and leaves the stream as it is.
void SetSeedByTime();

// Uniform integer in [min, max - 1]. max <= min is a programming error: logged, then abort().
int GenIntRand(int min, int max);

int GenIntRandMax();                                   // one raw word as int (seeds for slaves)
double GenUniformRand(double min, double max);         // closed interval [min, max]
double GenStandardNormalRand();                        // polar method, one cached deviate
double GenNormalRand(double mean, double variance);    // the second argument is the variance

// The seed of a GA run: the -S value when one was given, else the clock.
void SetFixedSeed(unsigned long seed);

void ClearFixedSeed();

// Seeds the stream for a run (fixed seed or clock) and logs "Random seed: %lu\n" either way.
void SeedGaStream();

// The stream of one rank of a parallel run: seeded with (base + rank) mod 2^32, the base being the
// fixed seed when one is set, else the clock. Rank 0 behaves as SeedGaStream(); every other rank
// logs "Random seed of rank %d: %lu\n".
void SeedGaStreamOfRank(int rank);

// Back to the state of a fresh process: never seeded, no cached normal deviate (for tests, so that
// tests inside one process do not depend on each other). genrand_unseed resets the generator only.
void ResetRandomStream();

// The whole state of the stream, for a run that stops and goes on later exactly where it stood:
// the generator's state and the cached deviate of the polar method.
struct RandomStreamState {
    uint32_t words[kMtStateWords];
    int32_t index;
    int32_t cached;   // 1 when deviate is the next normal deviate
    double deviate;
};
void GetRandomStreamState(RandomStreamState *state);
// 0, or -1 (the stream unchanged) for a state no stream can have.
int SetRandomStreamState(const RandomStreamState *state);

#endif
