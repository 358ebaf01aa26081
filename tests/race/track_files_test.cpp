// The track's object files: "statues" and "billboards" read and written back, "flaggers" and
// "cameras" read, with the rows they skip, the limits they clamp and where they stop.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/stream.h"
#include "fuzz/fuzz.h"
#include "race/flaggers.h"
#include "race/objects.h"
#include "race/timing.h"
#include "race/track.h"
#include "tests/race/objects_test_support.h"
#include "tests/support/test_support.h"

// A stream over a copy of the text, kept until the next call.
static file_stream *text_stream(const std::string &text) {
    static std::string kept;
    kept = text;
    return fuzz_stream((const uint8_t *)kept.data(), kept.size(), "file");
}

static std::string last_console_line() {
    return console_log.lines[(console_log.head + CONSOLE_LINES - 1) % CONSOLE_LINES];
}

static int console_count(const char *prefix) {
    int n = 0;
    for (auto &line : console_log.lines) n += strncmp(line, prefix, strlen(prefix)) == 0;
    return n;
}

TEST(race_track_files, StatuesAndBillboardsReadAndWrittenBack) {
    temp_dir t;
    test_isolate_home(t);
    fake_loads loads;
    console_clear();
    // Rows before the file rows (a gate arm, a particle) are never written.
    track_add_statue(0, 0, 0, 0, "@arm.jm", "@arm.png", nullptr);
    track_add_billboard(0, 0, 0, 1, 1, nullptr);
    track_first_file_statue = track_statues.count;
    track_first_file_billboard = track_billboards.count;

    const std::string statues =
        "[1.500000 0.000000 -2.000000] 0.250000 @haybale.jm @haybale.png @haybale.shp\n"
        "[10.000000 1.000000 20.000000] -7.000000 @banner.jm @banner-zr.png null\n"
        "[3.000000 0.000000 4.000000] 4.000000 null null null\n";
    const std::string billboards =
        "[5.000000 0.000000 6.000000] 30.000000 0.500000 @tree-pine.png\n"
        "[7.000000 0.500000 8.000000] 6.000000 1.000000 #d02020#@flag.png\n";
    file_stream *s = text_stream(statues + "[ 1 2 1e999 ] 0 @a.jm null null\n" + "[ 9 9 ] 0 @late.jm x y\n" +
                                 "[ 1 1 1 ] 0 @after.jm null null\n");
    EXPECT_EQ(track_read_statues(s, "statues"), 4);
    stream_close(s);
    EXPECT_EQ(console_count("Warning: missing shape file @haybale.shp"), 1);
    EXPECT_EQ(console_count("Warning: bad row in 'statues'"), 1);
    ASSERT_EQ(track_statues.count, 4);   // the bad row skipped, reading ends at the short one
    const statue *rows = (const statue *)track_statues.items;
    EXPECT_EQ(rows[2].shape, nullptr);
    EXPECT_EQ(rows[3].model, nullptr);
    EXPECT_EQ(rows[3].rotation_free, 16.0f);

    s = text_stream(billboards + "[ 1 1 1 ] 1e999 1 @x.png\n[ 1 1 1 ] 2 3 @y.png\n");
    EXPECT_EQ(track_read_billboards(s, "billboards"), 4);
    stream_close(s);
    ASSERT_EQ(track_billboards.count, 4);
    const billboard &flag = ((const billboard *)track_billboards.items)[2];
    EXPECT_EQ(flag.r, 0xd0);
    EXPECT_EQ(flag.g, 0x20);

    // Written back: the same text for the file rows (the shape that did not load reads "null").
    test_make_dirs(t.file("xdg/ZR Simulator/tracks/t"));
    test_write_file(t.file("xdg/ZR Simulator/tracks/t/statues"), "old\n");
    track_name = "tracks/t";
    ((billboard *)track_billboards.items)[3].texture = 0;   // a row without a texture is left out
    ASSERT_EQ(track_write_statues(), 1);
    ASSERT_EQ(track_write_billboards(), 1);
    std::string expected = statues;
    expected.replace(expected.find("@haybale.shp"), 12, "null");
    EXPECT_EQ(test_read_file(t.file("xdg/ZR Simulator/tracks/t/statues")), expected);
    EXPECT_EQ(test_read_file(t.file("xdg/ZR Simulator/tracks/t/billboards")), billboards);
    EXPECT_FALSE(test_file_exists(t.file("xdg/ZR Simulator/tracks/t/statues.tmp")));

    // A folder that cannot take the temporary file: the message, 0, the old file whole.
    test_write_file(t.file("xdg/ZR Simulator/tracks/blocked"), "a file, not a folder");
    track_name = "tracks/blocked";
    EXPECT_EQ(track_write_statues(), 0);
    EXPECT_EQ(last_console_line(), "Can't open 'statues'\n");
    track_name = nullptr;
}

TEST(race_track_files, RowCap) {
    fake_loads loads;
    console_clear();
    std::string text;
    for (int i = 0; i < TRACK_FILE_ROWS_MAX + 5; i++) text += "[ 1 0 1 ] 2 1 @b.png\n";
    file_stream *s = text_stream(text);
    track_read_billboards(s, "billboards");
    stream_close(s);
    EXPECT_EQ(track_billboards.count, TRACK_FILE_ROWS_MAX);
    EXPECT_EQ(last_console_line(), "Warning: too many rows in 'billboards'; the rest is ignored\n");
}

TEST(race_track_files, Flaggers) {
    fake_loads loads;
    timing_gates.count = 3;
    for (int i = 0; i < 3; i++) timing_gates.checkpoints[i] = {};
    track_flaggers_reset();
    // Tokens spanning lines, a colour tag on the start billboard, clamps, walk time 0, and a
    // bad token that ends reading.
    file_stream *s = text_stream(
        "[ 1 0 2 ]\n[ 31 0 2 ] 6 0.5\n0 #ff0000#@start-1.png @s2.png @s3.png\n@s4.png @s5.png\n"
        "[ 5 0 5 ] 6 0.5 @lap.png @half.png @white.png @chequered.png\n"
        "[ 9 0 9 ] 6 0.5 -5 0 2 9 @yellow.png @wave.png\n"
        "[ 8 0 8 ] 6 0.5 1 -1 -1 -1 @yellow.png @wave.png\n"
        "[ 7 0 7 ] 6 0.5 x 1 1 1 @yellow.png @wave.png\n"
        "[ 6 0 6 ] 6 0.5 1 1 1 1 @never.png @never.png\n");
    track_read_flaggers(s, "flaggers");
    stream_close(s);
    const flagger_setup &f = track_flagger_setup;
    ASSERT_GE(f.start_billboard, 0);
    const billboard &start = ((const billboard *)track_billboards.items)[f.start_billboard];
    EXPECT_EQ(start.r, 255);
    EXPECT_EQ(start.g, 0);
    EXPECT_EQ(fake_loads::name_of(start.texture), "@start-1.png");
    EXPECT_EQ(fake_loads::name_of(f.start_textures[0]), "#ff0000#@start-1.png");   // as written
    EXPECT_EQ(fake_loads::name_of(f.start_textures[4]), "@s5.png");
    EXPECT_EQ(f.end_position[0], 31.0f);
    EXPECT_EQ(f.walk_time, 1.0f);
    EXPECT_EQ(fake_loads::name_of(f.lap_textures[3]), "@chequered.png");
    ASSERT_EQ(track_flaggers.count, 2);
    const flagger *g = (const flagger *)track_flaggers.items;
    const int first[4] = {-1, 0, 2, 2}, second[4] = {1, -1, -1, -1};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(g[0].checkpoints[i], first[i]) << i;
        EXPECT_EQ(g[1].checkpoints[i], second[i]) << i;
    }
    EXPECT_EQ(fake_loads::name_of(g[0].alert_texture), "@wave.png");

    // Without checkpoints every index is none; a file that ends early keeps what it made.
    timing_gates.count = 0;
    track_flaggers_reset();
    s = text_stream("[ 1 0 2 ] [ 31 0 2 ] 6 0.5 2 @a @b @c @d @e\n[ 5 0 5 ] 6 0.5 @l1 @l2\n");
    track_read_flaggers(s, "flaggers");
    stream_close(s);
    EXPECT_GE(track_flagger_setup.start_billboard, 0);
    EXPECT_EQ(track_flagger_setup.walk_time, 2.0f);
    EXPECT_EQ(track_flagger_setup.lap_billboard, -1);
    s = text_stream("[ 1 0 2 ] [ 31 0 2 ] 6 0.5 2 @a @b @c @d @e\n[ 5 0 5 ] 6 0.5 @l1 @l2 @l3 @l4\n"
                    "[ 9 0 9 ] 6 0.5 3 -2 0 1 @y @w\n");
    track_flaggers_reset();
    track_read_flaggers(s, "flaggers");
    stream_close(s);
    ASSERT_EQ(track_flaggers.count, 1);
    for (int i = 0; i < 4; i++) EXPECT_EQ(((const flagger *)track_flaggers.items)[0].checkpoints[i], -1);
    timing_gates = {};
}

struct added_camera {
    float x, y, z, fov, autofov;
};
static std::vector<added_camera> cameras;
static int add_camera(float x, float y, float z, float fov, float autofov) {
    cameras.push_back({x, y, z, fov, autofov});
    return 1;
}

TEST(race_track_files, Cameras) {
    fake_loads loads;
    track_flaggers_reset();
    cameras.clear();
    track_camera_add = add_camera;
    std::string long_line = "fov 30" + std::string(1500, ' ') + "\naddcamera 1 2 3\n";
    std::string cut_tail = "gate 9 " + std::string(1100, ' ') + "addcamera 7 7 7\n";
    file_stream *s = text_stream("gate 3 7\n"
                                 "gate 300 4\n"
                                 "fov -60\n"
                                 "addcamera 10 5 10\n"
                                 "autofovsize -12\n"
                                 "gate 5 6 x 8\n"
                                 "addcamera 1 1e999 1\n"
                                 "addcamera 20 12 20\n"
                                 "fov 0\n"
                                 "addcamera 30 12 30\n"
                                 "fov 400\n"
                                 "addcamera 40 12 40\n"
                                 "gateway 11\n"
                                 "something else\n" +
                                 long_line + cut_tail);
    track_read_cameras(s, "cameras");
    stream_close(s);
    ASSERT_EQ(cameras.size(), 5u);
    EXPECT_EQ(track_camera_count, 5);
    EXPECT_EQ(cameras[0].fov, 60.0f);
    EXPECT_EQ(cameras[0].x, 10.0f);
    EXPECT_EQ(cameras[0].y, 5.0f);   // ground 0 + 5
    EXPECT_EQ(cameras[0].z, 10.0f);
    EXPECT_EQ(cameras[1].fov, 90.0f);   // the bad row took the pending values with it
    EXPECT_EQ(cameras[1].autofov, 0.0f);
    EXPECT_EQ(cameras[2].fov, 1.0f);
    EXPECT_EQ(cameras[3].fov, 179.0f);
    EXPECT_EQ(cameras[4].fov, 30.0f);
    EXPECT_EQ(cameras[4].x, 1.0f);
    EXPECT_EQ(gate_camera[3], 0);
    EXPECT_EQ(gate_camera[7], 0);
    EXPECT_EQ(gate_camera[4], -1);   // the list starting with 300 maps nothing
    EXPECT_EQ(gate_camera[5], 1);
    EXPECT_EQ(gate_camera[6], 1);
    EXPECT_EQ(gate_camera[8], -1);
    EXPECT_EQ(gate_camera[11], -1);
    EXPECT_EQ(gate_camera[9], 5);     // the cut line's tail is not a camera
    track_camera_add = nullptr;
}
