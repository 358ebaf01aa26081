// Animated textures without OpenGL: the frame shown at a time, paste clipping and compositing,
// and ANIM1 files that must be refused with their messages.
#include <cmath>
#include <limits>

#include "gfx/texture.h"
#include "gfx/texture_anim.h"
#include "tests/gfx/gfx_test_support.h"

namespace {

// An animation record on the stack with its sequence.
struct test_anim {
    texture_anim a = {};
    std::vector<int32_t> sequence;
    test_anim(std::vector<int32_t> seq, int period, int loop) : sequence(std::move(seq)) {
        a.sequence_length = (int32_t)sequence.size();
        a.frame_count = 3;
        a.period = period;
        a.loop = loop;
        a.sequence = sequence.data();
    }
};

}  // namespace

TEST(gfx_anim, FrameAtTime) {
    test_anim looping({0, 1, 2, 1}, 32, 1), once({0, 1, 2, 1}, 32, 0);
    struct {
        test_anim &anim;
        int32_t start, time, frame;
    } cases[] = {
        {looping, 0, 0, 0},    {looping, 0, 31, 0},  {looping, 0, 32, 1},  {looping, 0, 64, 2},
        {looping, 0, 96, 1},   {looping, 0, 128, 0}, {once, 0, 1000, 1},   {once, 0, 64, 2},
        {looping, 500, 20, 0}, {looping, 500, 532, 1}, {looping, 0, 2147483647, 1},
        {looping, -2147483647 - 1, 2147483647, 1},
    };
    for (auto &c : cases) {
        c.anim.a.start_time = c.start;
        EXPECT_EQ(tex_anim_frame_at(&c.anim.a, c.time), c.frame) << c.start << " " << c.time;
    }
}

TEST(gfx_anim, PasteClipping) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = INFINITY;
    struct {
        float f[6];
        int ok;
        paste_rect want;
    } cases[] = {
        // Source columns 16..31 to destination columns 0..15.
        {{0, 0, -0.25f, 0, 0.5f, 1}, 1, {16, 0, 0, 0, 16, 64}},
        {{0.5f, 0.5f, 0, 0, 1, 1}, 1, {32, 32, 0, 0, 32, 32}},
        {{-0.25f, 0, 0, 0, 0.5f, 0.25f}, 1, {0, 0, 16, 0, 16, 16}},
        {{0, 0, 0.75f, 0.75f, 1, 1}, 1, {0, 0, 48, 48, 16, 16}},
        {{1, 0, 0, 0, 0.5f, 0.5f}, 0, {}},
        {{0, 0, -1, 0, 0.5f, 0.5f}, 0, {}},
        {{0, 0, 0, 0, -0.5f, 0.5f}, 0, {}},
        {{0, 0, 0, 0, 0.001f, 1}, 0, {}},
        {{nan, 0, 0, 0, 1, 1}, 0, {}},
        {{0, 0, 0, inf, 1, 1}, 0, {}},
        {{0, 0, 0, 0, 1e30f, 1}, 0, {}},
        {{-999, 0, 0, 0, 1000, 1}, 0, {}},
    };
    for (auto &c : cases) {
        paste_rect r = {};
        int got = tex_paste_clip(64, 64, c.f, &r);
        EXPECT_EQ(got, c.ok) << c.f[0] << " " << c.f[2] << " " << c.f[4];
        if (!got) continue;
        EXPECT_EQ(r.src_x, c.want.src_x);
        EXPECT_EQ(r.src_y, c.want.src_y);
        EXPECT_EQ(r.dst_x, c.want.dst_x);
        EXPECT_EQ(r.dst_y, c.want.dst_y);
        EXPECT_EQ(r.width, c.want.width);
        EXPECT_EQ(r.height, c.want.height);
    }
}

TEST(gfx_anim, CompositingRules) {
    using px = std::vector<unsigned char>;
    struct {
        px dst, src, want;
    } cases[] = {
        {{10, 20, 30, 255}, {200, 200, 200, 0}, {10, 20, 30, 255}},   // clear source: kept
        {{10, 20, 30, 0}, {200, 100, 50, 0}, {200, 100, 50, 0}},      // both clear: copied
        {{10, 20, 30, 128}, {200, 100, 50, 255}, {200, 100, 50, 255}}, // opaque source
        {{10, 20, 30, 0}, {200, 100, 50, 77}, {200, 100, 50, 77}},     // clear destination
        {{0, 100, 255, 255}, {255, 0, 0, 51}, {51, 80, 204, 255}},    // opaque destination
        {{0, 100, 200, 100}, {250, 0, 0, 100}, {155, 37, 75, 160}},   // both partial
    };
    for (auto &c : cases) {
        px dst = c.dst;
        tex_composite_rgba(dst.data(), c.src.data());
        EXPECT_EQ(dst, c.want);
    }
}

TEST(gfx_anim, BadFilesAreRefusedWithTheirMessages) {
    temp_dir dir;
    test_isolate_home(dir);
    std::string j7 = datagen_predictive(test_flat_image(8, 8, 4, {1, 2, 3, 255})) + "\n";
    std::string small = datagen_predictive(test_flat_image(4, 4, 4, {1, 2, 3, 255})) + "\n";
    test_write_file(dir.file("game/rgb.png"), datagen_png(test_flat_image(8, 8, 3, {1, 2, 3, 255})));
    struct {
        const char *what;
        std::string bytes;
        const char *message;  // null: refused silently
    } cases[] = {
        {"period 0", "ANIM1 2 1 0 1 0 0 " + j7, "Bad .seq sequence"},
        {"negative period", "ANIM1 2 1 -16 1 0 0 " + j7, "Bad .seq sequence"},
        {"entry 4 of 3 frames", "ANIM1 2 3 16 1 0 4 " + j7 + j7 + j7, "Bad .seq sequence"},
        {"negative entry", "ANIM1 1 1 16 1 -1 " + j7, "Bad .seq sequence"},
        {"S 0", "ANIM1 0 1 16 1 " + j7, "Bad .seq sequence"},
        {"F 100000", "ANIM1 1 100000 16 1 0 " + j7, "Bad .seq sequence"},
        {"S 70000", "ANIM1 70000 1 16 1 0 " + j7, "Bad .seq sequence"},
        {"three numbers", "ANIM1 1 1 16", nullptr},
        {"missing entry", "ANIM1 3 1 16 1 0 0", nullptr},
        {"missing frame", "ANIM1 1 2 16 1 0 " + j7, nullptr},
        {"size mismatch", "ANIM1 2 2 16 1 0 1 " + j7 + small, "Width/height mismatch reading .seq"},
        {"depth mismatch", "ANIM1 2 2 16 1 0 1 " + j7 + "PNG @rgb.png\n", "Depth mismatch reading .seq"},
        {"truncated J7", "ANIM1 2 2 16 1 0 1 " + j7 + j7.substr(0, 40), "Error reading .seq frame 1"},
        {"unknown frame", "ANIM1 1 1 16 1 0 GIF x\n", "Error reading .seq frame 0"},
        {"missing PNG", "ANIM1 1 1 16 1 0 PNG @none.png\n", "Can't read @none.png"},
        {"PNG without name", "ANIM1 1 1 16 1 0 PNG", "EOF while reading .seq"},
    };
    for (auto &c : cases) {
        console_clear();
        test_write_file(dir.file("game/bad.seq"), c.bytes);
        EXPECT_EQ(tex_load("@bad.seq"), 0u) << c.what;
        if (c.message) {
            EXPECT_TRUE(test_console_has(c.message)) << c.what;
        }
        EXPECT_EQ(anim_table.count, 0) << c.what;
    }
    tex_purge(1);
}
