// MT19937, the 2002 reference generator: the one process-wide random stream of the searches.
#ifndef QUORVANT_SEARCHLIB_MT_RAND_H
#define QUORVANT_SEARCHLIB_MT_RAND_H

#include <cstdint>

// MT19937 reference interface.
void init_genrand(unsigned long s);

void init_by_array(const unsigned long init_key[], unsigned long key_length);
unsigned long genrand_int32();   // [0, 0xffffffff]; seeds itself with 5489 if never seeded
long genrand_int31();
double genrand_real1();          // [0, 1]
double genrand_real2();          // [0, 1)
double genrand_real3();          // (0, 1)
double genrand_res53();          // [0, 1) with 53-bit resolution
void genrand_unseed();

// The generator's whole state: its words and the index of the next one (kMtStateWords + 1 for a
// stream never seeded). set refuses (-1) an index out of that range.
constexpr int kMtStateWords = 624;
void genrand_get_state(uint32_t *words, int *index);
int genrand_set_state(const uint32_t *words, int index);

#endif
