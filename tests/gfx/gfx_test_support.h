// Helpers of the graphics tests: a window with a current OpenGL context under the test X
// server, random pictures, fixture files and console checks.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/console.h"
#include "gfx/shader.h"
#include "platform/plyx.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"
#include "tools/zrdatagen/imagegen.h"

// A picture of random bytes (alpha too), from a fixed seed.
inline datagen_image test_random_image(int width, int height, int channels, unsigned seed) {
    datagen_image img = datagen_image_new(width, height, channels, {0, 0, 0, 0});
    std::mt19937 rng(seed);
    for (unsigned char &b : img.pixels) b = (unsigned char)(rng() & 0xff);
    return img;
}

// A picture of one colour.
inline datagen_image test_flat_image(int width, int height, int channels, datagen_rgba c) {
    return datagen_image_new(width, height, channels, c);
}

// Level 0 of a chain as a vector, for comparisons.
inline std::vector<unsigned char> test_level0(const unsigned char *pixels, int width, int height,
                                              int channels) {
    return std::vector<unsigned char>(pixels, pixels + (size_t)width * height * channels);
}

// 1 when some console line contains the text.
inline bool test_console_has(const char *text) {
    for (auto &line : console_log.lines)
        if (strstr(line, text)) return true;
    return false;
}

inline int test_console_count(const char *text) {
    int n = 0;
    for (auto &line : console_log.lines)
        if (strstr(line, text)) n++;
    return n;
}
