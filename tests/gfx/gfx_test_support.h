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
#include "tests/support/test_support.h"
#include "tools/zrdatagen/imagegen.h"

// A 320 x 240 window, its context current and a frame begun, probed; closed at the end.
// Environment for the driver (MESA_... overrides) must be set before one is made.
struct gl_test_window {
    window_context *w = nullptr;
    explicit gl_test_window(int width = 320, int height = 240) {
        setenv("LP_NATIVE_VECTOR_WIDTH", "128", 1);
        w = plyx_gl_open("test", width, height, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
        if (!w) return;
        for (int i = 0; i < 100 && !plyx_gl_begin_frame(w); i++) plyx_pump_messages(w);
        gl_probe();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    ~gl_test_window() {
        if (!w) return;
        plyx_gl_end_frame(w);
        plyx_gl_close(w);
        plyx_shutdown();
    }
    gl_test_window(const gl_test_window &) = delete;
    gl_test_window &operator=(const gl_test_window &) = delete;
};

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
