// Tile kinds: "tileinfo" keys, curves, roost lines, erosion values, transition codes, textures
// and the older "texturelist".
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "core/stream.h"
#include "core/vfs.h"
#include "terrain/tile.h"
#include "tests/terrain/terrain_test_support.h"

// A test's folders and window, and a field (spacing 2) to read tile kinds into.
struct tile_env {
    temp_dir t;
    std::unique_ptr<gl_test_window> window;
    std::unique_ptr<terrain_field> f{new terrain_field{}};
    tile_env() {
        test_isolate_home(t);
        test_write_file(t.file("game/a.png"), datagen_png(test_flat_image(4, 4, 3, {200, 100, 50, 255})));
        window.reset(new gl_test_window);
        console_clear();
    }
    // Reads the text as "tileinfo" (or "texturelist") into a fresh field of the render mode and
    // gives the kinds their textures.
    terrain_field *read(const std::string &text, int mode = TILE_RENDER_COPYTEXSUBIMAGE,
                        bool texturelist = false) {
        *f = terrain_field{};
        f->render_mode = mode;
        f->spacing = 2.0f;
        test_write_file(t.file("game/kinds"), text);
        file_stream *s = stream_open("@kinds", "rb");
        EXPECT_NE(s, nullptr);
        if (s) (texturelist ? tile_load_texturelist : tile_load_tileinfo)(f.get(), s);
        stream_close(s);
        tile_load_textures(f.get(), 0);
        return f.get();
    }
};

TEST(terrain_tileinfo, KeysCurvesAndWarnings) {
    tile_env env;
    terrain_field *f = env.read(
        "# comment lines are unknown keys\n"
        "name dirt\ntexture @a.png\nfriction 0.8 10\nfriction 1.0 2\nfriction -1 2000000\n"
        "slip_function 1\nslip_function 3\n"
        "roll_resist 8 20 30\nroll_resist -1 -2 0\n"
        "erode_limit 1 1 1\nerode_limit 1 2 2\nerode_limit 2 0.5 0.25\n"
        "erode_depth 1e39\nerode_displacement 3.5\n"
        "roost count=abc\n"
        "addtile\n"
        "texture @missing.png\naddtile\n");
    ASSERT_EQ(f->kind_count, 2);
    const tile_kind &k = f->kinds[0];
    EXPECT_STREQ(k.name, "dirt");
    float want_a[8] = {1.0f, 0.8f, 0.0f, 1, 1, 1, 1, 1};
    float want_b[8] = {2, 10, 1048575, 1048576, 1048576, 1048576, 1048576, 1048576};
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(k.friction_a[i], want_a[i]) << i;
        EXPECT_EQ(k.friction_b[i], want_b[i]) << i;
    }
    EXPECT_EQ(k.slip_function, 1);
    EXPECT_EQ(k.roll_c[0], 9.536743e-7f);   // sorted first, raised to 2^-20
    EXPECT_EQ(k.roll_a[0], 0.0f);
    EXPECT_EQ(k.roll_b[0], 0.0f);
    EXPECT_EQ(k.roll_a[1], 8.0f);
    EXPECT_EQ(k.roll_c[1], 30.0f);
    EXPECT_EQ(k.roll_c[2], 0.0f);
    EXPECT_EQ(k.erode.limit_count, 2);
    EXPECT_EQ(k.erode.limit_depth[1], 2.0f);
    EXPECT_EQ(k.erode.limit_inner[1], 0.25f);
    EXPECT_EQ(k.erode.depth, 1.0f);          // 1e39 is no number: not taken
    EXPECT_EQ(k.erode.displacement, 3.5f);
    EXPECT_EQ(k.roost[0].kind, 1);
    EXPECT_EQ(k.roost[0].count, 0.0f);
    EXPECT_EQ(k.roost[1].kind, 0);
    EXPECT_NE(k.texture, 0u);
    EXPECT_EQ(k.transition, 0);
    // The second kind: named after its texture, defaults, its own plain code.
    EXPECT_STREQ(f->kinds[1].name, "@missing.png");
    EXPECT_EQ(f->kinds[1].texture, 0u);
    EXPECT_EQ(f->kinds[1].erode.limit_count, 1);
    EXPECT_EQ(f->kinds[1].erode.limit_main[0], 1.0f);
    EXPECT_EQ(f->kinds[1].friction_b[0], 1.0f);
    EXPECT_EQ(f->kinds[1].transition, 1 << 16 | 1 << 8);
    for (const char *w : {"tileinfo warning: Unknown identifier '#'", "tileinfo warning: bad slip_function",
                          "tileinfo warning: erode_limit depth <= prev depth", "tileinfo warning: bad erode_depth",
                          "tileinfo warning: bad count", "tileinfo warning: can't load texture '@missing.png'"})
        EXPECT_TRUE(test_console_has(w)) << w;
    EXPECT_FALSE(test_console_has("bad friction"));

    // Too many points, limits and roost types keep the first ones.
    std::string many;
    for (int i = 9; i >= 1; i--) many += "friction 1 " + std::to_string(i) + "\nerode_limit " + std::to_string(10 - i) + " 1 1\n";
    for (int i = 0; i < 5; i++) many += "roost count=" + std::to_string(i) + "\n";
    f = env.read("friction x\nroll_resist 1 2\nerode_limit 1\n" + many + "addtile\n");
    ASSERT_EQ(f->kind_count, 1);
    EXPECT_EQ(f->kinds[0].friction_b[0], 2.0f);
    EXPECT_EQ(f->kinds[0].friction_b[7], 9.0f);
    EXPECT_EQ(f->kinds[0].erode.limit_count, 8);
    EXPECT_EQ(f->kinds[0].roost[3].count, 3.0f);
    for (const char *w : {"too many friction points", "too many erode limits", "too many roost types",
                          "bad friction parameters", "bad roll_resist parameters", "bad erode_limit"})
        EXPECT_TRUE(test_console_has(w)) << w;

    // Lines ending in CR LF, and the 257th kind is never read.
    std::string kinds = "name crlf\r\nfriction 0.5 3\r\naddtile\r\n";
    for (int i = 0; i < 300; i++) kinds += "addtile\n";
    f = env.read(kinds);
    EXPECT_EQ(f->kind_count, 256);
    EXPECT_STREQ(f->kinds[0].name, "crlf");
    EXPECT_EQ(f->kinds[0].friction_a[0], 0.5f);
}

TEST(terrain_tileinfo, RoostLines) {
    tile_env env;
    terrain_field *f = env.read(
        "roost texture=\"@a.png\" splash=1 count=5 slow_angle=0.5 r=300 g=-1 a=1e20 fade_a=32512 "
        "fade_r=-129 size=x wobble=3\n"
        "roost splash=0 b=7\n"
        "addtile\n");
    ASSERT_EQ(f->kind_count, 1);
    const roost_type &r = f->kinds[0].roost[0];
    EXPECT_EQ(r.kind, 2);
    EXPECT_NE(r.texture, 0u);
    EXPECT_EQ(r.count, 5.0f);
    EXPECT_EQ(r.slow_angle, 0.5f);
    EXPECT_EQ(r.fast_angle, (float)(M_PI / 16));
    EXPECT_EQ(r.r, 300 & 255);
    EXPECT_EQ(r.g, 255);
    EXPECT_EQ(r.a, 0);               // beyond an int: a bad value, stored 0
    EXPECT_EQ(r.fade_a, 254);
    EXPECT_EQ(r.fade_r, 255);        // trunc(-129 / 128) = -1
    EXPECT_EQ(r.size, 0.0f);
    EXPECT_EQ(r.b, 255);
    EXPECT_EQ(f->kinds[0].roost[1].kind, 1);
    EXPECT_EQ(f->kinds[0].roost[1].b, 7);
    EXPECT_EQ(f->kinds[0].roost[1].drag, 0.5f);
    for (const char *w : {"tileinfo warning: bad a", "tileinfo warning: bad size",
                          "tileinfo warning: unknown roost parameter 'wobble'"})
        EXPECT_TRUE(test_console_has(w)) << w;
    EXPECT_FALSE(test_console_has("bad r\n"));
}

TEST(terrain_tileinfo, ErosionValuesAreSettledAtAddtile) {
    tile_env env;
    terrain_field *f = env.read(
        "texture @a.png\nerode_radius 1e9\nerode_inner_radius 70\nerode_lower 100\nerode_upper 100\n"
        "erode_off_speed 20\nerode_on_speed 5\naddtile\n"
        "texture @a.png\nerode_radius 64\nerode_slip_lower 0\nerode_slip_upper 5\naddtile\n");
    ASSERT_EQ(f->kind_count, 2);
    const erode_params &e = f->kinds[0].erode;
    EXPECT_EQ(e.radius, 64.0f);
    EXPECT_EQ(e.inner_radius, 64.0f);
    EXPECT_EQ(e.upper, 100.0f + 1.0f / 1024);
    EXPECT_EQ(e.on_speed, 20.0f + 1.0f / 1024);
    EXPECT_EQ(test_console_count("tileinfo warning: erode_radius too large"), 1);
    EXPECT_EQ(test_console_count("tileinfo warning: bad erode range"), 2);
    const erode_params &ok = f->kinds[1].erode;
    EXPECT_EQ(ok.radius, 64.0f);
    EXPECT_EQ(ok.upper, 150.0f);
    EXPECT_EQ(ok.slip_upper, 5.0f);
}

TEST(terrain_tileinfo, TransitionCodes) {
    tile_env env;
    struct {
        const char *prefix;
    } folders[] = {{"@"}, {"@ground/"}, {"@a/b/"}};
    for (auto &folder : folders) {
        std::string p = folder.prefix, text;
        for (const char *name : {"dirt.png", "grass.png", "dirt-grass-0110.png", "dirt-alt2.png",
                                 "dirt-mud-1111.png", "grass-dirt-01.png", "dirt-grass-1021.png"})
            text += "texture " + p + name + "\naddtile\n";
        terrain_field *f = env.read(text);
        ASSERT_EQ(f->kind_count, 7);
        EXPECT_EQ(f->kinds[0].transition, 0) << p;
        EXPECT_EQ(f->kinds[1].transition, 1 << 16 | 1 << 8) << p;
        EXPECT_EQ(f->kinds[2].transition, 0 << 16 | 1 << 8 | 6) << p;
        EXPECT_EQ(f->kinds[3].transition, 0) << p;
        EXPECT_EQ(f->kinds[4].transition, 4 << 16 | 4 << 8) << p;   // "mud" names no kind
        EXPECT_EQ(f->kinds[5].transition, 1 << 16 | 0 << 8) << p;   // two digits: no mask
        EXPECT_EQ(f->kinds[6].transition, 0 << 16 | 1 << 8) << p;   // "10" then '2'
    }
    const char *names[] = {"dirt.png", "grass.png"};
    EXPECT_EQ(tile_match_transition("dirt.png", names, 2), -1);
    EXPECT_EQ(tile_match_transition("sand-grass-0001.png", names, 2), -1);
    EXPECT_EQ(tile_match_transition("grass-dirt-1000.png", names, 2), 1 << 16 | 0 << 8 | 8);
    EXPECT_STREQ(tile_short_name("@x/y/dirt.png"), "dirt.png");
    EXPECT_STREQ(tile_short_name("@dirt.png"), "dirt.png");
}

TEST(terrain_tileinfo, TexturesByRenderMode) {
    tile_env env;
    const char *text = "texture @a.png\naddtile\nname bare\naddtile\ntexture @missing.png\naddtile\n";
    terrain_field *f = env.read(text, TILE_RENDER_TEXSUBIMAGE);
    ASSERT_EQ(f->kind_count, 3);
    EXPECT_EQ(f->kinds[0].width, 4);
    EXPECT_EQ(f->kinds[0].pixels[0], 200);
    EXPECT_EQ(f->kinds[0].texture, 0u);
    for (int t : {1, 2}) {
        const tile_kind &k = f->kinds[t];
        ASSERT_NE(k.pixels, nullptr) << t;
        EXPECT_EQ(k.width, 1);
        EXPECT_EQ(k.height, 1);
        EXPECT_EQ(k.pixels[0], 128);
        EXPECT_EQ(k.pixels[3], 255);
    }
    EXPECT_TRUE(test_console_has("tileinfo warning: tile without texture"));
    EXPECT_TRUE(test_console_has("tileinfo warning: can't load texture '@missing.png'"));
    for (int mode : {TILE_RENDER_COPYTEXSUBIMAGE, TILE_RENDER_FBO}) {
        f = env.read(text, mode);
        EXPECT_NE(f->kinds[0].texture, 0u);
        EXPECT_EQ(f->kinds[0].pixels, nullptr);
        EXPECT_EQ(f->kinds[1].texture, 0u);
        EXPECT_EQ(f->kinds[1].pixels, nullptr);
        EXPECT_EQ(f->kinds[2].texture, 0u);
    }
}

TEST(terrain_tileinfo, Texturelist) {
    tile_env env;
    terrain_field *f = env.read(
        "  0.5 6 20   a.png  \r\n"
        "\r\n"
        "grass.png\r\n"
        "   \t\n"
        "0.25 1 2 ground/a-grass-1001.png\n"
        "0.75 3 mud.png\n",
        TILE_RENDER_COPYTEXSUBIMAGE, true);
    ASSERT_EQ(f->kind_count, 4);
    const tile_kind &a = f->kinds[0];
    EXPECT_STREQ(a.name, "a.png");
    EXPECT_NE(a.texture, 0u);
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(a.friction_a[i], 0.5f);
        EXPECT_EQ(a.friction_b[i], i == 0 ? 1.0f : 1048576.0f);
        EXPECT_EQ(a.roll_a[i], 6.0f);
        EXPECT_EQ(a.roll_b[i], 20.0f);
        EXPECT_EQ(a.roll_c[i], i == 0 ? 1.0f : 0.0f);
    }
    EXPECT_EQ(a.roost[0].kind, 1);
    EXPECT_EQ(a.roost[1].kind, 0);
    EXPECT_STREQ(f->kinds[1].name, "grass.png");
    EXPECT_EQ(f->kinds[1].friction_a[0], 1.0f);
    EXPECT_EQ(f->kinds[1].roll_a[3], 5.0f);
    EXPECT_EQ(f->kinds[1].roll_b[3], 15.0f);
    EXPECT_EQ(f->kinds[2].friction_a[0], 0.25f);
    EXPECT_EQ(f->kinds[2].transition, 0 << 16 | 1 << 8 | 9);
    EXPECT_STREQ(f->kinds[3].name, "0.75 3 mud.png");   // two numbers: all of it is the name
    EXPECT_EQ(f->kinds[3].friction_a[0], 1.0f);
}

// Reading kinds loads no picture and makes no texture: the names wait in kind_names for
// tile_load_textures, which gives kinds and roost types their textures.
TEST(terrain_tileinfo, ReadingLoadsNoTexture) {
    tile_env env;
    env.f->render_mode = TILE_RENDER_COPYTEXSUBIMAGE;
    env.f->spacing = 2.0f;
    test_write_file(env.t.file("game/kinds"),
                    "texture @a.png\nroost texture=@a.png\nroost count=2\naddtile\nname bare\naddtile\n");
    file_stream *s = stream_open("@kinds", "rb");
    ASSERT_NE(s, nullptr);
    terrain_field *f = env.f.get();
    tile_load_tileinfo(f, s);
    stream_close(s);
    ASSERT_EQ(f->kind_count, 2);
    EXPECT_EQ(texture_table.count, 0);
    EXPECT_EQ(f->kinds[0].texture, 0u);
    EXPECT_EQ(f->kinds[0].roost[0].texture, 0u);
    EXPECT_STREQ(f->kind_names[0].texture, "@a.png");
    EXPECT_STREQ(f->kind_names[0].roost[0], "@a.png");
    EXPECT_STREQ(f->kind_names[0].roost[1], "@roost.png");
    EXPECT_STREQ(f->kind_names[1].texture, "");
    EXPECT_TRUE(test_console_has("tileinfo warning: tile without texture"));

    tile_load_textures(f, 0);
    EXPECT_NE(f->kinds[0].texture, 0u);
    EXPECT_EQ(f->kinds[0].roost[0].texture, f->kinds[0].texture);
    EXPECT_EQ(f->kinds[1].texture, 0u);
    EXPECT_EQ(f->kinds[1].pixels, nullptr);
}
