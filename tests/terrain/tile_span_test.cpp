// The span routines of the software composition against 64-bit references.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "terrain/tile.h"

// The blend of the table, in 64-bit arithmetic.
static unsigned reference_blend(uint64_t s, uint64_t t, uint64_t a) {
    uint64_t v = ((s * 257) * (a * 257) >> 16) + ((t * 257) * ((255 - a) * 257) >> 16);
    return (unsigned)((v > 65535 ? 65535 : v) >> 8);
}

TEST(terrain_span, BlendNearestMatchesTheReferenceEverywhere) {
    unsigned char image[4];
    std::vector<unsigned char> row(256 * 3), expect(256 * 3);
    long differ = 0;
    for (int a = 0; a < 256; a++)
        for (int s = 0; s < 256; s++) {
            image[0] = image[1] = image[2] = (unsigned char)s;
            image[3] = (unsigned char)a;
            for (int t = 0; t < 256; t++) {
                row[3 * t] = row[3 * t + 1] = row[3 * t + 2] = (unsigned char)t;
                expect[3 * t] = (unsigned char)(a == 0 ? t : reference_blend(s, t, a));
            }
            tile_span_blend_nearest(row.data(), 256, image, 1, 1, 0, 0, 0, 0);
            for (int t = 0; t < 256; t++) differ += row[3 * t] != expect[3 * t] || row[3 * t + 2] != expect[3 * t];
        }
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(reference_blend(200, 100, 128), 150u);
    EXPECT_EQ(reference_blend(255, 255, 128), 255u);
}

TEST(terrain_span, ModulateAndBilinearMixes) {
    struct {
        unsigned char shade, t, expect;
    } cases[] = {{128, 0, 0}, {128, 127, 127}, {128, 128, 129}, {128, 200, 201}, {128, 254, 255},
                 {128, 255, 255}, {255, 100, 200}, {0, 200, 0}, {64, 200, 100}};
    for (auto &c : cases) {
        unsigned char shading[3] = {c.shade, c.shade, c.shade}, texel[3] = {c.t, c.t, c.t};
        tile_span_modulate_bilinear(texel, 1, shading, 1, 1, 0, 0, 0, 0);
        EXPECT_EQ(texel[0], c.expect) << (int)c.shade << " x " << (int)c.t;
    }
    EXPECT_EQ(tile_mix16(2570, 5140, 0x8000), 3855u);
    EXPECT_EQ(tile_mix16(65535, 65535, 0xffff), 65535u);
    EXPECT_EQ(tile_blend_channel(65535, 65535, 255), 255u);
    EXPECT_EQ(tile_blend_channel(0, 0, 77), 77u);
}

TEST(terrain_span, BilinearAtWholeTexelsEqualsNearest) {
    std::mt19937 rng(7);
    std::vector<unsigned char> image(16 * 8 * 4);
    for (auto &b : image) b = (unsigned char)(rng() & 255);
    for (int k = 0; k < 200; k++) {
        std::vector<unsigned char> a(20 * 3), b;
        for (auto &v : a) v = (unsigned char)(rng() & 255);
        b = a;
        uint32_t u = (rng() % 14) << 16, v = (rng() % 7) << 16;
        int32_t du = (int32_t)((rng() % 3) << 16) - 65536, dv = 0;
        int count = 1 + (int)(rng() % 5);
        tile_span_blend_nearest(a.data(), count, image.data(), 16, 8, u + (uint32_t)(count * 65536), v,
                                du, dv);
        tile_span_blend_bilinear(b.data(), count, image.data(), 16, 8, u + (uint32_t)(count * 65536), v,
                                 du, dv);
        EXPECT_EQ(a, b);
    }
}
