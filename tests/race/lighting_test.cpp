// The track's "lighting" file: keys, partial vectors, clip-plane limits, the sun made a unit
// vector, and reading that stops at an unknown keyword.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "core/console.h"
#include "core/vfs.h"
#include "platform/plyx.h"
#include "race/track.h"
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
