// The process-wide random stream of the searches (MT19937, the 2002 reference generator) and the
// distributions drawn from it. One stream per process; not thread-safe.
#ifndef QUORVANT_GA_RANDOM_H
#define QUORVANT_GA_RANDOM_H

// MT19937 reference interface.
void init_genrand(unsigned long s);
void init_by_array(const unsigned long init_key[], unsigned long key_length);
unsigned long genrand_int32();   // [0, 0xffffffff]; seeds itself with 5489 if never seeded
long genrand_int31();
double genrand_real1();          // [0, 1]
double genrand_real2();          // [0, 1)
double genrand_real3();          // (0, 1)
double genrand_res53();          // [0, 1) with 53-bit resolution

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
void genrand_unseed();

#endif
