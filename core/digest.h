// RIPEMD-160, the program's one digest, and the MT19937 generator.
#pragma once

#include <cstddef>
#include <cstdint>

struct ripemd160_state {
    uint32_t h[5];          // chaining value
    uint8_t digest[20];     // written by ripemd160_final
    uint32_t count_low;     // bytes fed so far, low and high words
    uint32_t count_high;
    uint8_t block[64];
    uint32_t fill;          // bytes in block, 0..63
};

struct mt_state {
    int index;              // 624 right after seeding, 0 at program start
    uint32_t words[624];
};

extern mt_state mt_generator;

void ripemd160_init(ripemd160_state *s);
void ripemd160_update(ripemd160_state *s, const void *bytes, size_t count);
void ripemd160_final(ripemd160_state *s);
void ripemd160_transform(uint32_t h[5], const uint8_t block[64]);
// 1 when the text's first 40 characters are hex digits (either case) equal to the digest.
int ripemd160_hex_equal(const char *text, const ripemd160_state *s);
// The digest as 40 lower-case hex digits and a terminating zero.
void ripemd160_hex(const ripemd160_state *s, char out[41]);
// The digest of count bytes, as 40 lower-case hex digits and a terminating zero.
void ripemd160_hex_of(const void *bytes, size_t count, char out[41]);

void mt_seed(uint32_t seed);
uint32_t mt_next();
