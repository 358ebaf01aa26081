// RIPEMD-160 as published by its authors.
#include <cstring>

#include "core/digest.h"

static inline uint32_t rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

static inline uint32_t ripemd_f(int j, uint32_t x, uint32_t y, uint32_t z) {
    if (j < 16) return x ^ y ^ z;
    if (j < 32) return (x & y) | (~x & z);
    if (j < 48) return (x | ~y) ^ z;
    if (j < 64) return (x & z) | (y & ~z);
    return x ^ (y | ~z);
}

static const uint32_t K_LEFT[5] = {0x00000000, 0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xA953FD4E};
static const uint32_t K_RIGHT[5] = {0x50A28BE6, 0x5C4DD124, 0x6D703EF3, 0x7A6D76E9, 0x00000000};
static const uint8_t R_LEFT[80] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 7, 4, 13, 1, 10, 6, 15, 3, 12, 0, 9, 5,
    2, 14, 11, 8, 3, 10, 14, 4, 9, 15, 8, 1, 2, 7, 0, 6, 13, 11, 5, 12, 1, 9, 11, 10, 0, 8, 12, 4,
    13, 3, 7, 15, 14, 5, 6, 2, 4, 0, 5, 9, 7, 12, 2, 10, 14, 1, 3, 8, 11, 6, 15, 13};
static const uint8_t R_RIGHT[80] = {
    5, 14, 7, 0, 9, 2, 11, 4, 13, 6, 15, 8, 1, 10, 3, 12, 6, 11, 3, 7, 0, 13, 5, 10, 14, 15, 8, 12,
    4, 9, 1, 2, 15, 5, 1, 3, 7, 14, 6, 9, 11, 8, 12, 2, 10, 0, 4, 13, 8, 6, 4, 1, 3, 11, 15, 0,
    5, 12, 2, 13, 9, 7, 10, 14, 12, 15, 10, 4, 1, 5, 8, 7, 6, 2, 13, 14, 0, 3, 9, 11};
static const uint8_t S_LEFT[80] = {
    11, 14, 15, 12, 5, 8, 7, 9, 11, 13, 14, 15, 6, 7, 9, 8, 7, 6, 8, 13, 11, 9, 7, 15, 7, 12, 15, 9,
    11, 7, 13, 12, 11, 13, 6, 7, 14, 9, 13, 15, 14, 8, 13, 6, 5, 12, 7, 5, 11, 12, 14, 15, 14, 15,
    9, 8, 9, 14, 5, 6, 8, 6, 5, 12, 9, 15, 5, 11, 6, 8, 13, 12, 5, 12, 13, 14, 11, 8, 5, 6};
static const uint8_t S_RIGHT[80] = {
    8, 9, 9, 11, 13, 15, 15, 5, 7, 7, 8, 11, 14, 14, 12, 6, 9, 13, 15, 7, 12, 8, 9, 11, 7, 7, 12, 7,
    6, 15, 13, 11, 9, 7, 15, 11, 8, 6, 6, 14, 12, 13, 5, 14, 13, 13, 7, 5, 15, 5, 8, 11, 14, 14, 6,
    14, 6, 9, 12, 9, 12, 5, 15, 8, 8, 5, 12, 9, 12, 5, 14, 6, 8, 13, 6, 5, 15, 13, 11, 11};

void ripemd160_transform(uint32_t h[5], const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; i++)
        x[i] = (uint32_t)block[4 * i] | (uint32_t)block[4 * i + 1] << 8 |
               (uint32_t)block[4 * i + 2] << 16 | (uint32_t)block[4 * i + 3] << 24;
    uint32_t al = h[0], bl = h[1], cl = h[2], dl = h[3], el = h[4];
    uint32_t ar = al, br = bl, cr = cl, dr = dl, er = el;
    for (int j = 0; j < 80; j++) {
        uint32_t t = rol(al + ripemd_f(j, bl, cl, dl) + x[R_LEFT[j]] + K_LEFT[j / 16], S_LEFT[j]) + el;
        al = el; el = dl; dl = rol(cl, 10); cl = bl; bl = t;
        t = rol(ar + ripemd_f(79 - j, br, cr, dr) + x[R_RIGHT[j]] + K_RIGHT[j / 16], S_RIGHT[j]) + er;
        ar = er; er = dr; dr = rol(cr, 10); cr = br; br = t;
    }
    uint32_t t = h[1] + cl + dr;
    h[1] = h[2] + dl + er;
    h[2] = h[3] + el + ar;
    h[3] = h[4] + al + br;
    h[4] = h[0] + bl + cr;
    h[0] = t;
}

void ripemd160_init(ripemd160_state *s) {
    memset(s, 0, sizeof *s);
    s->h[0] = 0x67452301;
    s->h[1] = 0xEFCDAB89;
    s->h[2] = 0x98BADCFE;
    s->h[3] = 0x10325476;
    s->h[4] = 0xC3D2E1F0;
}

void ripemd160_update(ripemd160_state *s, const void *bytes, size_t count) {
    const uint8_t *p = (const uint8_t *)bytes;
    uint64_t total = ((uint64_t)s->count_high << 32 | s->count_low) + count;
    s->count_low = (uint32_t)total;
    s->count_high = (uint32_t)(total >> 32);
    while (count > 0) {
        size_t take = 64 - s->fill;
        if (take > count) take = count;
        memcpy(s->block + s->fill, p, take);
        s->fill += (uint32_t)take;
        p += take;
        count -= take;
        if (s->fill == 64) {
            ripemd160_transform(s->h, s->block);
            s->fill = 0;
        }
    }
}

void ripemd160_final(ripemd160_state *s) {
    uint64_t bits = ((uint64_t)s->count_high << 32 | s->count_low) * 8;
    uint8_t pad[72] = {0x80};
    size_t padlen = s->fill < 56 ? 56 - s->fill : 120 - s->fill;
    uint8_t len[8];
    for (int i = 0; i < 8; i++) len[i] = (uint8_t)(bits >> (8 * i));
    uint32_t low = s->count_low, high = s->count_high;
    ripemd160_update(s, pad, padlen);
    ripemd160_update(s, len, 8);
    s->count_low = low;
    s->count_high = high;
    for (int i = 0; i < 5; i++)
        for (int b = 0; b < 4; b++) s->digest[4 * i + b] = (uint8_t)(s->h[i] >> (8 * b));
}

static int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int ripemd160_hex_equal(const char *text, const ripemd160_state *s) {
    // Stops at the first character that is not a hex digit, the terminating zero included,
    // so a short text is never read past its end.
    for (int i = 0; i < 20; i++) {
        int hi = hex_value(text[2 * i]);
        if (hi < 0) return 0;
        int lo = hex_value(text[2 * i + 1]);
        if (lo < 0) return 0;
        if ((hi << 4 | lo) != s->digest[i]) return 0;
    }
    return 1;
}

void ripemd160_hex(const ripemd160_state *s, char out[41]) {
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 20; i++) {
        out[2 * i] = digits[s->digest[i] >> 4];
        out[2 * i + 1] = digits[s->digest[i] & 15];
    }
    out[40] = 0;
}

void ripemd160_hex_of(const void *bytes, size_t count, char out[41]) {
    ripemd160_state s;
    ripemd160_init(&s);
    ripemd160_update(&s, bytes, count);
    ripemd160_final(&s);
    ripemd160_hex(&s, out);
}
