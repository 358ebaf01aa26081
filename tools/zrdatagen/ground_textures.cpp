// The ground kinds' textures at the data root: 256 x 256 RGB pictures of value noise tinted per
// kind, with stones in the dirt and blades in the grass, and the roost particle. Tiles are drawn
// from the central 7/8 of their picture (pixels 16 to 239), so the pictures repeat every 224
// pixels: a picture is made 224 wide, wrapping, and pixel p of the file is its pixel p - 16.
#include <algorithm>

#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/imagegen.h"
#include "tools/zrdatagen/trackgen.h"

static const int GROUND_SIDE = 224;   // the period: 7 x 32
static const int GROUND_FILE_SIDE = 256;

// A small fixed-seed generator for scattering stones and blades.
static uint32_t datagen_next(uint32_t *state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

// Noise 0..255 of five octaves, repeating every 224 pixels.
static long datagen_ground_noise(uint32_t seed, int x, int y) {
    static const long cells[] = {56, 32, 16, 8, 4};
    long sum = 0, weight = 0, amplitude = 16;
    for (long cell : cells) {
        sum += datagen_value_noise(seed + (uint32_t)cell, x, y, cell, GROUND_SIDE / cell) * amplitude;
        weight += amplitude;
        amplitude = amplitude * 3 / 4;
    }
    return sum / weight;
}

// Noise stretched over its middle range, between the dark and the light colour.
static datagen_image datagen_ground_base(uint32_t seed, datagen_rgba dark, datagen_rgba light) {
    datagen_image img = datagen_image_new(GROUND_SIDE, GROUND_SIDE, 3, {0, 0, 0, 255});
    for (int y = 0; y < GROUND_SIDE; y++)
        for (int x = 0; x < GROUND_SIDE; x++) {
            long v = (datagen_ground_noise(seed, x, y) - 64) * 2;
            v = v < 0 ? 0 : v > 255 ? 255 : v;
            unsigned char *p = &img.pixels[((size_t)y * GROUND_SIDE + x) * 3];
            p[0] = (unsigned char)(dark.r + (light.r - dark.r) * v / 255);
            p[1] = (unsigned char)(dark.g + (light.g - dark.g) * v / 255);
            p[2] = (unsigned char)(dark.b + (light.b - dark.b) * v / 255);
        }
    return img;
}

// Blends a colour over a pixel, the picture wrapping at its edges.
static void datagen_wrap_blend(datagen_image *img, long x, long y, datagen_rgba c, int coverage) {
    x = ((x % GROUND_SIDE) + GROUND_SIDE) % GROUND_SIDE;
    y = ((y % GROUND_SIDE) + GROUND_SIDE) % GROUND_SIDE;
    datagen_blend(img, (int)x, (int)y, c, coverage);
}

// A stone: an ellipse (radii in sixteenths of a pixel), lit from the upper left.
static void datagen_stone(datagen_image *img, long cx, long cy, long rx, long ry, datagen_rgba c) {
    for (long y = (cy - ry) / 16 - 1; y <= (cy + ry) / 16 + 1; y++)
        for (long x = (cx - rx) / 16 - 1; x <= (cx + rx) / 16 + 1; x++) {
            int covered = 0;
            long light = 0;
            for (int j = 0; j < 4; j++)
                for (int i = 0; i < 4; i++) {
                    long dx = x * 16 + 2 + 4 * i - cx, dy = y * 16 + 2 + 4 * j - cy;
                    if (dx * dx * ry * ry + dy * dy * rx * rx > rx * rx * ry * ry) continue;
                    covered++;
                    light += -dx * 32 / rx - dy * 32 / ry;
                }
            if (!covered) continue;
            long l = light / covered;
            datagen_rgba shade = {(int)std::clamp<long>(c.r + l, 0, 255), (int)std::clamp<long>(c.g + l, 0, 255),
                                  (int)std::clamp<long>(c.b + l, 0, 255), 255};
            datagen_wrap_blend(img, x, y, shade, covered);
        }
}

// A blade of grass: a thin line from its root, 16 steps a pixel.
static void datagen_blade(datagen_image *img, long x, long y, long dx, long dy, datagen_rgba c) {
    long length = datagen_isqrt((long long)dx * dx + dy * dy);
    for (long s = 0; s <= length; s += 4) {
        long px = x + dx * s / (length ? length : 1), py = y + dy * s / (length ? length : 1);
        datagen_wrap_blend(img, px / 16, py / 16, c, 6);
    }
}

static datagen_image datagen_dirt_image() {
    datagen_image img = datagen_ground_base(301, {86, 60, 38, 255}, {156, 116, 76, 255});
    uint32_t rng = 3011;
    for (int i = 0; i < 69; i++) {
        long x = datagen_next(&rng) % (GROUND_SIDE * 16), y = datagen_next(&rng) % (GROUND_SIDE * 16);
        long r = 24 + datagen_next(&rng) % 48, squash = 10 + datagen_next(&rng) % 7;
        int grey = 110 + (int)(datagen_next(&rng) % 60);
        datagen_stone(&img, x, y, r, r * squash / 16, {grey, grey - 8, grey - 20, 255});
    }
    return img;
}

static datagen_image datagen_grass_image() {
    datagen_image img = datagen_ground_base(401, {40, 74, 28, 255}, {92, 136, 50, 255});
    uint32_t rng = 4011;
    for (int i = 0; i < 1072; i++) {
        long x = datagen_next(&rng) % (GROUND_SIDE * 16), y = datagen_next(&rng) % (GROUND_SIDE * 16);
        long length = 64 + datagen_next(&rng) % 96, lean = (long)(datagen_next(&rng) % 64) - 32;
        int tone = (int)(datagen_next(&rng) % 70);
        datagen_blade(&img, x, y, lean, -length, {60 + tone, 110 + tone, 40 + tone / 2, 255});
    }
    return img;
}

static datagen_image datagen_sand_image() {
    datagen_image img = datagen_ground_base(501, {176, 152, 106, 255}, {226, 206, 154, 255});
    uint32_t rng = 5011;
    for (int i = 0; i < 1914; i++) {
        long x = datagen_next(&rng) % GROUND_SIDE, y = datagen_next(&rng) % GROUND_SIDE;
        int dark = (int)(datagen_next(&rng) % 2);
        datagen_wrap_blend(&img, x, y, dark ? datagen_rgba{140, 120, 84, 255} : datagen_rgba{240, 228, 190, 255}, 8);
    }
    return img;
}

static datagen_image datagen_mud_image() {
    datagen_image img = datagen_ground_base(601, {34, 26, 18, 255}, {118, 94, 70, 255});
    // Wet patches: a second noise that leaves a darker, bluer sheen.
    for (int y = 0; y < GROUND_SIDE; y++)
        for (int x = 0; x < GROUND_SIDE; x++) {
            long wet = datagen_value_noise(611, x, y, 32, GROUND_SIDE / 32) - 160;
            if (wet > 0) datagen_blend(&img, x, y, {44, 38, 34, 255}, (int)std::min<long>(10, wet / 5));
        }
    return img;
}

// The file's picture: the period laid out from pixel 16, so pixels 16..239 hold one period.
static datagen_image datagen_ground_file(const datagen_image &period) {
    datagen_image img = datagen_image_new(GROUND_FILE_SIDE, GROUND_FILE_SIDE, 3, {0, 0, 0, 255});
    for (int y = 0; y < GROUND_FILE_SIDE; y++)
        for (int x = 0; x < GROUND_FILE_SIDE; x++) {
            int sx = (x + GROUND_SIDE - 16) % GROUND_SIDE, sy = (y + GROUND_SIDE - 16) % GROUND_SIDE;
            for (int c = 0; c < 3; c++)
                img.pixels[((size_t)y * GROUND_FILE_SIDE + x) * 3 + c] =
                    period.pixels[((size_t)sy * GROUND_SIDE + sx) * 3 + c];
        }
    return img;
}

datagen_image datagen_ground_image(const std::string &kind) {
    if (kind == "dirt") return datagen_ground_file(datagen_dirt_image());
    if (kind == "grass") return datagen_ground_file(datagen_grass_image());
    if (kind == "sand") return datagen_ground_file(datagen_sand_image());
    return datagen_ground_file(datagen_mud_image());
}

std::string datagen_dirt_png() {
    return datagen_png(datagen_ground_image("dirt"));
}
std::string datagen_grass_png() {
    return datagen_png(datagen_ground_image("grass"));
}
std::string datagen_sand_png() {
    return datagen_png(datagen_ground_image("sand"));
}
std::string datagen_mud_png() {
    return datagen_png(datagen_ground_image("mud"));
}

// The roost particle: a white disc whose alpha falls softly to its rim.
std::string datagen_roost_png() {
    datagen_image img = datagen_image_new(32, 32, 4, {255, 255, 255, 0});
    const long radius2 = 15 * 15 * 4;   // in half pixels
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) {
            long dx = 2 * x + 1 - 32, dy = 2 * y + 1 - 32, r2 = dx * dx + dy * dy;
            long rest = r2 < radius2 ? radius2 - r2 : 0;
            img.pixels[((size_t)y * 32 + x) * 4 + 3] = (unsigned char)(255 * rest / radius2 * rest / radius2);
        }
    return datagen_png(img);
}
