// The MT19937 generator, renewing one state word per draw.
#include "core/digest.h"

mt_state mt_generator;  // all zero at program start: draws are 0 until seeded

void mt_seed(uint32_t seed) {
    uint32_t *w = mt_generator.words;
    w[0] = seed;
    for (uint32_t i = 1; i < 624; i++) w[i] = 1812433253u * (w[i - 1] ^ (w[i - 1] >> 30)) + i;
    mt_generator.index = 624;
}

uint32_t mt_next() {
    uint32_t *w = mt_generator.words;
    if (mt_generator.index >= 624) mt_generator.index = 0;
    int i = mt_generator.index;
    uint32_t y = (w[i] & 0x80000000u) | (w[(i + 1) % 624] & 0x7FFFFFFFu);
    w[i] = w[(i + 397) % 624] ^ (y >> 1) ^ ((y & 1) ? 0x9908B0DFu : 0u);
    y = w[i];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    mt_generator.index = i + 1;
    return y;
}
