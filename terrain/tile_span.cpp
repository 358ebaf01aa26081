// The span routines of the software composition: one row of RGB texels blended from an RGBA
// image (nearest or bilinear) or multiplied by the shading, all in 16-bit integer arithmetic so
// that every machine composes the same bytes.
#include <cstdint>

#include "terrain/tile.h"

// A 16.16 coordinate's whole texel, clamped to 0..last (a coordinate just below 0 wraps to
// a huge unsigned value: it is read as signed).
static inline uint32_t span_texel(uint32_t v, int last) {
    int32_t t = (int32_t)v >> 16;
    return t < 0 ? 0 : t > last ? (uint32_t)last : (uint32_t)t;
}
static inline uint32_t span_next(uint32_t v, int last) {
    int32_t t = ((int32_t)v >> 16) + 1;
    return t < 0 ? 0 : t > last ? (uint32_t)last : (uint32_t)t;
}

void tile_span_blend_nearest(unsigned char *dst, int count, const unsigned char *image, int w,
                             int h, uint32_t u, uint32_t v, int32_t du, int32_t dv) {
    for (int i = 0; i < count; i++, dst += 3, u += (uint32_t)du, v += (uint32_t)dv) {
        const unsigned char *s = image + 4 * ((size_t)span_texel(v, h - 1) * w + span_texel(u, w - 1));
        unsigned a16 = s[3] * 257u;
        if (a16 == 0) continue;
        for (int c = 0; c < 3; c++) dst[c] = (unsigned char)tile_blend_channel(s[c] * 257u, a16, dst[c]);
    }
}

// The bilinear mix of the four texels around (u, v) (16.16, texel centres at whole numbers),
// per channel in 16 bits: along x in each row, then between the rows.
static inline void span_bilinear(const unsigned char *image, int w, int h, int channels, uint32_t u, uint32_t v,
                                 unsigned out[4]) {
    uint32_t x0 = span_texel(u, w - 1), z0 = span_texel(v, h - 1);
    uint32_t x1 = span_next(u, w - 1), z1 = span_next(v, h - 1);
    unsigned fx = u & 0xffff, fz = v & 0xffff;
    const unsigned char *a = image + channels * ((size_t)z0 * w + x0), *b = image + channels * ((size_t)z0 * w + x1);
    const unsigned char *c = image + channels * ((size_t)z1 * w + x0), *d = image + channels * ((size_t)z1 * w + x1);
    for (int k = 0; k < channels; k++) {
        unsigned top = tile_mix16(a[k] * 257u, b[k] * 257u, fx);
        unsigned bottom = tile_mix16(c[k] * 257u, d[k] * 257u, fx);
        out[k] = tile_mix16(top, bottom, fz);
    }
}

void tile_span_blend_bilinear(unsigned char *dst, int count, const unsigned char *image, int w,
                              int h, uint32_t u, uint32_t v, int32_t du, int32_t dv) {
    for (int i = 0; i < count; i++, dst += 3, u += (uint32_t)du, v += (uint32_t)dv) {
        unsigned s[4];
        span_bilinear(image, w, h, 4, u, v, s);
        if (s[3] == 0) continue;
        for (int c = 0; c < 3; c++) dst[c] = (unsigned char)tile_blend_channel(s[c], s[3], dst[c]);
    }
}

void tile_span_modulate_bilinear(unsigned char *dst, int count, const unsigned char *shading,
                                 int w, int h, uint32_t u, uint32_t v, int32_t du, int32_t dv) {
    for (int i = 0; i < count; i++, dst += 3, u += (uint32_t)du, v += (uint32_t)dv) {
        unsigned s[4];
        span_bilinear(shading, w, h, 3, u, v, s);
        for (int c = 0; c < 3; c++) {
            unsigned t = ((s[c] * (dst[c] * 257u)) >> 16) >> 7;
            dst[c] = (unsigned char)(t > 255 ? 255 : t);
        }
    }
}
