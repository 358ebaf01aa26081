// Screens of the present tests: the stock data and fonts with a window of a given size, the
// view's size and a plain sky colour behind the scene, and the picture read back.
#pragma once

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/folders.h"
#include "core/vfs.h"
#include "core/widget_data.h"
#include "gfx/font.h"
#include "gfx/texture.h"
#include "race/track.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"

struct picture {
    int width, height;
    std::vector<unsigned char> rgb;   // top row first
    const unsigned char *at(int x, int y) const { return &rgb[3 * ((size_t)y * width + x)]; }
    // The share of pixels in the box (fractions of the picture) that pass the test.
    template <class F>
    double share(double x0, double y0, double x1, double y1, F test) const {
        double n = 0, hit = 0;
        for (int y = (int)(y0 * height); y < (int)(y1 * height); y++)
            for (int x = (int)(x0 * width); x < (int)(x1 * width); x++, n++) hit += test(at(x, y));
        return n > 0 ? hit / n : 0;
    }
};

inline picture read_picture(int width, int height) {
    picture p = {width, height, std::vector<unsigned char>((size_t)width * height * 3)};
    std::vector<unsigned char> rows(p.rgb.size());
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    for (int y = 0; y < height; y++)
        std::copy(&rows[(size_t)(height - 1 - y) * width * 3], &rows[(size_t)(height - y) * width * 3],
                  &p.rgb[(size_t)y * width * 3]);
    return p;
}

// A fresh home, the build's game data indexed, a window with the fonts loaded, the view's size
// set and the lighting's start-up values with a blue sky colour; all taken down at the end.
struct screen_fixture {
    temp_dir home;
    bool data = false;
    gl_test_window gl;
    screen_fixture(int width, int height) : gl(prepare(this, width, height), height) {
        if (!gl.w) return;
        font_load_all();
        track_lighting_reset();
        const float sky[3] = {0.3f, 0.5f, 0.8f};
        std::copy(sky, sky + 3, track_lighting.fog_color);
        view_state.width = width;
        view_state.height = height;
    }
    ~screen_fixture() {
        font_free_all();
        tex_purge(1);
        vfs_shutdown();
    }
    bool ready() const { return data && gl.w; }

  private:
    static int prepare(screen_fixture *f, int width, int) {
        test_isolate_home(f->home);
        setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
        f->data = vfs_locate_game_data() == 1;
        if (f->data) vfs_build_index();
        return width;
    }
};
