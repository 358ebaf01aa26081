// The stock ground textures: their colours, their contrast, and a period that matches the part
// of the picture a tile shows (pixels 16 to 239), so no seam shows at tile edges.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tools/zrdatagen/imagegen.h"

TEST(tools_ground_textures, ColoursContrastAndPeriod) {
    struct {
        const char *kind;
        double r, g, b;
    } kinds[] = {{"dirt", 124, 91, 60}, {"grass", 68, 109, 41}, {"sand", 204, 183, 134}, {"mud", 76, 60, 44}};
    for (auto &k : kinds) {
        datagen_image img = datagen_ground_image(k.kind);
        ASSERT_EQ(img.width, 256);
        ASSERT_EQ(img.channels, 3);
        double sum[3] = {0, 0, 0}, lum = 0, lum2 = 0;
        long extreme = 0, seams = 0;
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 256; x++) {
                const unsigned char *p = &img.pixels[((size_t)y * 256 + x) * 3];
                for (int c = 0; c < 3; c++) sum[c] += p[c];
                double l = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
                lum += l;
                lum2 += l * l;
                extreme += (p[0] == 0 && p[1] == 0 && p[2] == 0) || (p[0] == 255 && p[1] == 255 && p[2] == 255);
                // Pixel p and p + 224 are the same picture.
                if (x + 224 < 256) seams += memcmp(p, p + 3 * 224, 3) != 0;
                if (y + 224 < 256) seams += memcmp(p, p + 3 * 256 * 224, 3) != 0;
            }
        double count = 256.0 * 256.0, mean = lum / count;
        double deviation = std::sqrt(lum2 / count - mean * mean);
        EXPECT_NEAR(sum[0] / count, k.r, 8) << k.kind;
        EXPECT_NEAR(sum[1] / count, k.g, 8) << k.kind;
        EXPECT_NEAR(sum[2] / count, k.b, 8) << k.kind;
        EXPECT_GE(deviation, 10) << k.kind;
        EXPECT_LE(deviation, 30) << k.kind;
        EXPECT_EQ(extreme, 0) << k.kind;
        EXPECT_EQ(seams, 0) << k.kind;
    }
}
