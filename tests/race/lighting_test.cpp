// The track's "lighting" file: keys, partial vectors, clip-plane limits, the sun made a unit
// vector, and reading that stops at an unknown keyword.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "core/console.h"
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "core/vfs.h"
#include "platform/plyx.h"
#include "race/track.h"
#include "tests/race/objects_test_support.h"
#include "tests/support/test_support.h"

// Reads the text as the lighting of track "tracks/lit" (none: no file).
static void read_lighting(const temp_dir &t, const char *text) {
    std::string path = t.file("game/tracks/lit/lighting");
    if (text)
        test_write_file(path, text);
    else
        remove(path.c_str());
    track_name = "tracks/lit";
    track_read_lighting();
    track_name = nullptr;
}

TEST(race_lighting, FileKeysAndLimits) {
    temp_dir t;
    test_isolate_home(t);
    // The reader sets the fixed-function fog: a current OpenGL context.
    window_context *w = plyx_gl_open("lighting", 64, 48, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    ASSERT_NE(w, nullptr) << plyx_last_error();
    track_lighting_reset();
    const track_lighting_record &l = track_lighting;

    read_lighting(t, nullptr);
    EXPECT_NEAR(l.sun_vector[0], 1 / sqrtf(3), 1e-6);   // the defaults, the sun made unit
    EXPECT_EQ(l.ambient[2], 0.5f);
    EXPECT_EQ(l.far_plane, 5000.0f);

    read_lighting(t,
                  "  sun_vector\t[ 0 2\n"
                  "\n"
                  "sun_color [ 0.5 0.25 2 ]   \r\n"
                  "ambient [ 0.1 nonsense 0.3 ]\n"
                  "sky_n @sky.png\n"
                  "fog [ 0.5 0.5 0.5 ]\n"
                  "dynamic_lighting 2\n"
                  "near_plane 2\n"
                  "far_plane 2000000\n"
                  "sun_colour [ 9 9 9 ]\n"
                  "global_ambient [ 1 1 1 ]\n");
    EXPECT_NEAR(l.sun_vector[0], 0.0f, 1e-6);
    EXPECT_NEAR(l.sun_vector[1], 2 / sqrtf(5), 1e-6);
    EXPECT_NEAR(l.sun_vector[2], 1 / sqrtf(5), 1e-6);
    EXPECT_EQ(l.sun_color[2], 2.0f);
    EXPECT_EQ(l.ambient[0], 0.1f);
    EXPECT_EQ(l.ambient[1], 0.5f);      // read no further than the first bad number
    EXPECT_EQ(l.fog_density, 0.0f);     // fog needs all four numbers
    EXPECT_EQ(l.dynamic_lighting, 1);
    EXPECT_EQ(l.near_plane, 0.875f);
    EXPECT_EQ(l.far_plane, 1048576.0f);
    EXPECT_EQ(l.global_ambient[0], 0.2f);   // after the unknown keyword nothing is read
    int last = (console_log.head + CONSOLE_LINES - 1) % CONSOLE_LINES;
    EXPECT_STREQ(console_log.lines[last], "Error reading lighting: Unknown identifier 'sun_colour'\n");

    read_lighting(t, "sun_vector [ 0 0 0 ]\nnear_plane 0.5\nfar_plane 0.1\nfog [ 0.25 0.5 0.75 ] 0.01\n"
                     "dynamic_lighting -3\n");
    EXPECT_EQ(l.sun_vector[1], 1.0f);   // no direction: straight up
    EXPECT_EQ(l.near_plane, 0.5f);
    EXPECT_EQ(l.far_plane, 0.5f);
    EXPECT_EQ(l.fog_color[2], 0.75f);
    EXPECT_EQ(l.fog_density, 0.01f);
    EXPECT_EQ(l.dynamic_lighting, 0);
    // The next track's file leaves the fog colour as it was unless it sets it.
    read_lighting(t, "near_plane 0.0001\n");
    EXPECT_EQ(l.fog_color[2], 0.75f);
    EXPECT_EQ(l.fog_density, 0.0f);
    EXPECT_EQ(l.near_plane, 1.0f / 1024);
    plyx_gl_close(w);
    plyx_shutdown();
}

// Reads the text through the stream reader over fresh defaults, then the stock sky for faces
// still empty, as a track load does.
static void read_lighting_text(const std::string &text) {
    track_lighting_reset();
    file_stream *s = fuzz_stream((const uint8_t *)text.data(), text.size(), "lighting");
    ASSERT_NE(s, nullptr);
    track_read_lighting_stream(s);
    stream_close(s);
    track_lighting_finish();
    track_lighting_default_sky();
}

TEST(race_lighting, SkyFlaresAndLongLines) {
    fake_loads loads;
    growable_array flares;
    ASSERT_TRUE(plyx_array_init(&flares, sizeof(flare), 16));
    track_flare_list = &flares;
    const track_lighting_record &l = track_lighting;

    // No face named: the six stock faces, in order.
    read_lighting_text("near_plane 0.5\n");
    const char *stock[] = {"@sky-n.ppm", "@sky-e.ppm", "@sky-s.ppm", "@sky-w.ppm", "@sky-u.ppm"};
    for (int i = 0; i < 5; i++) EXPECT_EQ(fake_loads::name_of(l.sky[i]), stock[i]);
    EXPECT_EQ(fake_loads::name_of(l.sky_env), "@sky-env.ppm");

    // Named faces keep their texture; a face that fails to load falls back to the stock one.
    fake_loads::missing() = {"@gone.ppm"};
    read_lighting_text("sky_n @north.ppm\nsky_u @gone.ppm\nsky_env @env.ppm\n");
    EXPECT_EQ(fake_loads::name_of(l.sky[SKY_NORTH]), "@north.ppm");
    EXPECT_EQ(fake_loads::name_of(l.sky[SKY_EAST]), "@sky-e.ppm");
    EXPECT_EQ(fake_loads::name_of(l.sky[SKY_UP]), "@sky-u.ppm");
    EXPECT_EQ(fake_loads::name_of(l.sky_env), "@env.ppm");

    // Nine elements keep eight; a bad or non-finite element is ignored; flare_point with a bad
    // argument still closes its flare; a negative fog density is none.
    std::string text;
    for (int i = 0; i < 9; i++)
        text += "flare_element [ " + std::to_string(i) + " 1 ] [ 1 0.5 0.25 ] 2 @glow" +
                std::to_string(i) + ".png\n";
    text += "flare_vector [ 0 1 0 ]\n"
            "flare_element [ 1 1 ] [ 1 1 ] 2 @ring.png\n"
            "flare_element [ 1 1 ] [ 1 1 1e999 ] 2 @ring.png\n"
            "flare_element [ 0.5 0.5 ] [ 0 0 1 ] 3 @hex.png\n"
            "flare_point [ 4 x 6 ]\n"
            "fog [ 0.5 0.5 0.5 ] -0.25\n";
    read_lighting_text(text);
    ASSERT_EQ(flares.count, 2);
    const flare *f = (const flare *)flares.items;
    EXPECT_EQ(f[0].element_count, 8);
    EXPECT_EQ(f[0].kind, 1);
    EXPECT_EQ(f[0].pairs[7][0], 7.0f);
    EXPECT_EQ(fake_loads::name_of(f[0].textures[7]), "@glow7.png");
    EXPECT_EQ(f[0].colours[0][2], 0.25f);
    EXPECT_EQ(f[0].position[1], 1.0f);
    EXPECT_EQ(f[1].element_count, 1);
    EXPECT_EQ(f[1].kind, 0);
    EXPECT_EQ(f[1].half_sizes[0], 3.0f);
    EXPECT_EQ(f[1].half_sizes[1], 1.0f);   // an element not given keeps its defaults
    EXPECT_EQ(f[1].colours[1][0], 1.0f);
    EXPECT_EQ(f[1].position[0], 4.0f);
    EXPECT_EQ(f[1].position[1], 0.0f);     // read no further than the bad number
    EXPECT_EQ(l.fog_density, 0.0f);
    EXPECT_EQ(l.fog_color[0], 0.5f);

    // A line of 2000 bytes is cut at 1024; its tail never reads as a line of its own.
    std::string line = "near_plane 0.5" + std::string(2000 - 14 - 12, ' ') + " far_plane 7\n";
    read_lighting_text(line + "ambient [ 0.25 0.25 0.25 ]\n");
    EXPECT_EQ(l.far_plane, 5000.0f);
    EXPECT_EQ(l.near_plane, 0.5f);
    EXPECT_EQ(l.ambient[0], 0.25f);        // the next line is read
    track_flare_list = nullptr;
    plyx_array_free(&flares);
}
