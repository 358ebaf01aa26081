// The colours by which a picture of the race shows the stock bike and rider (the plastics' and
// jersey's blue, the white of pants and plates, tyre black), their shares in the box round the
// bike, and the sky and ground every race view has.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/mem.h"
#include "gfx/image.h"
#include "tests/present/screen_fixture.h"

inline bool bike_blue(const unsigned char *c) {
    return c[0] <= 70 && c[1] <= 110 && c[2] >= 110 && c[2] - c[1] >= 60;
}
inline bool bike_white(const unsigned char *c) {
    return c[0] >= 190 && c[1] >= 190 && c[2] >= 190;
}
// Dirt in shadow is dark too, but red: tyre black is grey.
inline bool tyre_black(const unsigned char *c) {
    return c[0] <= 50 && c[1] <= 50 && c[2] <= 50 && std::abs(c[0] - c[2]) <= 12;
}

struct bike_shares {
    double blue, white, tyre;
};

// The box where the chase view shows the bike: x 35-65%, y 30-80% from the top.
inline bike_shares centre_box(const picture &p) {
    return {p.share(0.35, 0.3, 0.65, 0.8, bike_blue), p.share(0.35, 0.3, 0.65, 0.8, bike_white),
            p.share(0.35, 0.3, 0.65, 0.8, tyre_black)};
}

// What the chase view must show of the bike and rider in its centre box.
inline void expect_bike_in_centre(const picture &p, const char *what) {
    bike_shares s = centre_box(p);
    EXPECT_GE(s.blue, 0.02) << what;
    EXPECT_GE(s.white, 0.005) << what;
    EXPECT_GE(s.tyre, 0.01) << what;
}

// The onboard view's lower middle (x 25-75%, y 60-100%): the front fender, bars and sleeves.
inline double lower_middle_blue(const picture &p) {
    return p.share(0.25, 0.6, 0.75, 1.0, bike_blue);
}

// Sky in the top tenth: blue over red on average, and light (red at least 90) in every pixel
// from x0 to x1 (fractions of the width; the game's own overlays may cover the rest); dirt and
// grass in the bottom fifth (red and green over blue).
inline void expect_sky_and_ground(const picture &p, const char *what, double x0 = 0, double x1 = 1) {
    const int W = p.width, H = p.height;
    double r = 0, b = 0;
    int dark = 0;
    for (int y = 0; y < H / 10; y++)
        for (int x = 0; x < W; x++) {
            const unsigned char *c = p.at(x, y);
            r += c[0];
            b += c[2];
            dark += c[0] < 90 && x >= (int)(x0 * W) && x < (int)(x1 * W);
        }
    double n = (double)W * (H / 10);
    EXPECT_GE(b / n - r / n, 30.0) << what;
    EXPECT_EQ(dark, 0) << what;
    double gr = 0, gg = 0, gb = 0;
    for (int y = H * 4 / 5; y < H; y++)
        for (int x = 0; x < W; x++) {
            const unsigned char *c = p.at(x, y);
            gr += c[0];
            gg += c[1];
            gb += c[2];
        }
    EXPECT_GT(gr, gb) << what;
    EXPECT_GT(gg, gb) << what;
}

// A PNG file as a picture (RGB, top row first); empty when it cannot be read.
inline picture picture_from_png(const std::string &path) {
    unsigned char *pixels = nullptr;
    int width = 0, height = 0, channels = 0;
    picture p = {0, 0, {}};
    if (image_read_png(path.c_str(), &pixels, &width, &height, &channels, nullptr) != 1 || channels < 3) {
        mem_free(pixels);
        return p;
    }
    p = {width, height, std::vector<unsigned char>((size_t)width * height * 3)};
    for (size_t i = 0; i < (size_t)width * height; i++)
        for (int c = 0; c < 3; c++) p.rgb[3 * i + c] = pixels[i * channels + c];
    mem_free(pixels);
    return p;
}
