// The zr natives over a fixture race: a terrain in memory, statues with and without a shape,
// billboards, a running order; every bad argument gives the safe result and changes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "core/console.h"
#include "present/scene.h"
#include "race/objects.h"
#include "race/race.h"
#include "race/track.h"
#include "script/script.h"
#include "tests/script/script_test_support.h"
#include "tests/terrain/memory_field.h"

namespace {

class script_natives : public script_fixture {
  protected:
    // 9 x 9 samples 10 ft apart: H(x, z) = x + 10 z (a plane, so every triangle agrees).
    memory_field field{9, 10.0f, [](int x, int z) { return (float)(x + 10 * z); }};
    script_context *c = nullptr;
    int shaped = 0;

    void SetUp() override {
        script_fixture::SetUp();
        script_limits.call_seconds = 10;   // these calls are short; a loaded machine is not a fault
        terrain_current = field.get();
        track_loaders = {nullptr, nullptr, nullptr, nullptr};
        track_lists_create();
        // Row 0 a gate arm, then the file's statues 0 (free) and 1 (shaped), two billboards.
        ASSERT_EQ(track_add_statue(5, 0, 5, 0, nullptr, nullptr, nullptr), 0);
        ASSERT_EQ(track_add_statue(20, 1, 20, 0, nullptr, nullptr, nullptr), 1);
        ASSERT_EQ(track_add_statue(30, 0, 30, 0, nullptr, nullptr, nullptr), 2);
        track_first_file_statue = 1;
        statue_row(2).shape = (collision_shape *)&shaped;   // never dereferenced here
        ASSERT_EQ(track_add_billboard(1, 0, 1, 4, 1, nullptr), 0);
        ASSERT_EQ(track_add_billboard(2, 0, 2, 4, 1, nullptr), 1);
        track_first_file_billboard = 1;
        race_state.running_count = 2;
        race_state.running_order[0] = {3, 5, 640};
        race_state.running_order[1] = {7, 4, 700};
        race_state.running_order[2] = {9, 9, 9};   // an older race's entry
        c = script_new();
        ASSERT_NE(c, nullptr);
        script_register_natives_as(c, "zr");
        ASSERT_EQ(script_eval(c, script_prelude, strlen(script_prelude), "prelude"), 1);
        const char *helpers =
            "function run(src) { var v = eval(src); return typeof v == 'string' ? v.length * 1000 + 7 : v; }\n"
            "function milli(src) { return Math.round(eval(src) * 1000); }\n";
        ASSERT_EQ(script_eval(c, helpers, strlen(helpers), "helpers"), 1);
    }
    void TearDown() override {
        if (track_statues.count > 2) statue_row(2).shape = nullptr;
        script_free(c);
        track_lists_free();
        terrain_current = nullptr;
        script_fixture::TearDown();
    }
    statue &statue_row(int i) { return ((statue *)track_statues.items)[i]; }
    billboard &billboard_row(int i) { return ((billboard *)track_billboards.items)[i]; }
    int run(const std::string &src) {
        int r = script_call(c, "run", src.c_str(), nullptr);
        EXPECT_STREQ(script_error_text(c), "") << src;
        return r;
    }
    int milli(const std::string &src) {
        int r = script_call(c, "milli", src.c_str(), nullptr);
        EXPECT_STREQ(script_error_text(c), "") << src;
        return r;
    }
};

}  // namespace

TEST_F(script_natives, BadArgumentsGiveTheSafeResults) {
    const char *args[] = {"undefined", "null", "NaN", "Infinity", "-Infinity", "1e308", "-1e308",
                          "-1", "0", "159", "160", "2147483648", "'7'", "{}", "[]"};
    // No slot holds a rider in this fixture: every slot query answers its empty result. The text
    // results read as length x 1000 + 7, so the empty text is 7.
    struct {
        const char *call;   // %s: the argument
        int expected;
    } natives[] = {
        {"zr.get_rider_down(%s)", 0},
        {"zr.get_timing_position(%s)", -1},
        {"zr.get_timing(%s, 0)", -1},
        {"zr.get_timing(0, %s)", -1},
        {"zr.get_rider_number(%s)", 7},
        {"zr.get_rider_name(%s)", 7},
        {"zr.get_bike_model(%s)", 7},
        {"zr.get_position_(%s, [])", 0},
        {"zr.get_velocity_(%s, [])", 0},
        {"zr.get_position_(0, %s)", 0},
        {"zr.get_front_contact_depth(%s)", 0},
        {"zr.get_rear_contact_position(%s, [])", 0},
        {"zr.get_front_contact_slip(%s, %s)", 0},
        {"zr.start_sound(%s)", 0},
        {"zr.stop_sound(%s)", 0},
        {"zr.set_sound_loop(%s, 1)", 0},
        {"zr.set_sound_freq(%s, 100)", 0},
        {"zr.set_sound_freq(0, %s)", 0},
        {"zr.set_sound_vol(%s, 1)", 0},
        {"zr.set_sound_pos(0, %s, 0, 0)", 0},
        {"zr.set_sound_vel(%s, 0, 0, 0)", 0},
        {"zr.add_sound(%s)", -1},
        {"zr.read_texture(%s)", 0},
        {"zr.begin_custom_frame(%s)", 0},
        {"zr.end_custom_frame(%s)", 0},
        {"zr.paste_custom_frame(%s, 0, 0, 0, 1, 1, 0, 0)", 0},
        {"zr.paste_custom_frame(1, %s, 0, 0, 1, 1, NaN, 0)", 0},
        {"zr.pose_statue(0, %s, [], [], [])", 0},
        {"zr.pose_statue(5, 1, %s, %s, %s)", 0},
        {"zr.move_statue(1, %s, 0, 0, 0)", 0},       // the shaped statue
        {"zr.move_statue(9, 1, 1, 1, %s)", 0},
        {"zr.size_billboard(7, %s)", 0},
        {"zr.color_billboard(-1, %s, 0, 0, 0)", 0},
    };
    for (auto &n : natives) {
        for (const char *a : args) {
            char src[256];
            snprintf(src, sizeof src, n.call, a, a, a);
            EXPECT_EQ(run(src), n.expected) << src;
        }
    }
    // Names outside the game data and the home folder.
    for (const char *name : {"'/etc/passwd'", "'sounds/crowd.raw'", "'@../../etc/passwd'",
                             "'@/etc/passwd'", "'@'"}) {
        EXPECT_EQ(run(std::string("zr.add_sound(") + name + ")"), -1) << name;
        EXPECT_EQ(run(std::string("zr.read_texture(") + name + ")"), 0) << name;
    }
    // Running-order entries exist for 0..count - 1 only.
    EXPECT_EQ(run("zr.get_running_order_slot(0)"), 3);
    EXPECT_EQ(run("zr.get_running_order_position(1)"), 4);
    EXPECT_EQ(run("zr.get_running_order_time(1)"), 700);
    for (const char *i : {"2", "200", "-1", "Infinity", "160"}) {
        EXPECT_EQ(run(std::string("zr.get_running_order_slot(") + i + ")"), 0) << i;
        EXPECT_EQ(run(std::string("zr.get_running_order_time(") + i + ")"), 0) << i;
    }
    EXPECT_EQ(run("zr.get_running_order().length"), 2);
    // Nothing moved.
    EXPECT_EQ(statue_row(2).x, 30.0f);
    EXPECT_EQ(statue_row(1).joint_count, 0);
    EXPECT_EQ(billboard_row(1).size, 4.0f);
    EXPECT_EQ(console_count("javascript error"), 0);
}

TEST_F(script_natives, ElevationAndTiles) {
    // A plane: the same answer on both diagonals of every cell; the edge heights off the grid.
    struct {
        const char *xz;
        int expected;   // x 1000
    } cases[] = {
        {"13, 27", 1300 + 27000},     // odd cell parity
        {"27, 13", 2700 + 13000},     // even
        {"5, 5", 500 + 5000},         // on the diagonal
        {"-50, 20", 0 + 20000},       // off the grid in x: the edge column
        {"20, 500", 2000 + 80000},    // beyond the far edge: the last row
        {"NaN, 20", 20000},           // non-finite coordinates count as 0
        {"Infinity, -Infinity", 0},
        {"'7', {}", 0},
    };
    for (auto &k : cases)
        EXPECT_EQ(milli(std::string("zr.get_elevation(") + k.xz + ")"), k.expected) << k.xz;
    field.tiles[3 * 4 + 1] = 9;   // row 3, column 1 (20 ft tiles)
    EXPECT_EQ(run("zr.get_tile_number(25, 65)"), 9);
    EXPECT_EQ(run("zr.get_tile_number(NaN, 65)"), 0);
    EXPECT_EQ(run("zr.get_tile_number(1e308, 25)"), 0);
}

TEST_F(script_natives, StatuesAndBillboards) {
    // A free statue moves and is placed on the ground; the redraw mark is set.
    EXPECT_EQ(run("zr.move_statue(0, 40, 2, 50, 0.5)"), 1);
    EXPECT_EQ(statue_row(1).x, 40.0f);
    EXPECT_NEAR(statue_row(1).y, 40 / 10.0 + 50 + 2, 1e-3);
    EXPECT_EQ(terrain_current->modified_flags, 7);
    // Refused: the shaped statue, a non-finite value, a coordinate beyond 10^6 ft.
    EXPECT_EQ(run("zr.move_statue(1, 40, 2, 50, 0.5)"), 0);
    EXPECT_EQ(run("zr.move_statue(0, NaN, 2, 50, 0.5)"), 0);
    EXPECT_EQ(run("zr.move_statue(0, 40, 2, 2e6, 0.5)"), 0);
    EXPECT_EQ(statue_row(2).x, 30.0f);
    EXPECT_EQ(statue_row(1).x, 40.0f);
    // Negative numbers reach the gate statues before the file's.
    EXPECT_EQ(run("zr.move_statue(-1, 6, 0, 6, 0)"), 1);
    EXPECT_EQ(statue_row(0).x, 6.0f);
    EXPECT_EQ(run("zr.move_statue(-2, 6, 0, 6, 0)"), 0);
    // The absolute move stores the rotation transposed: the identity stays the identity.
    EXPECT_EQ(run("zr.move_statue_absolute(0, 1, 2, 3, [1, 0, 0, 0, 1, 0, 0, 0, 1])"), 1);
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int i = 0; i < 9; i++) EXPECT_EQ(statue_row(1).orientation[i], identity[i]);
    EXPECT_EQ(run("zr.move_statue_absolute(0, 1, 2, 3, [0, 1, 0, 0, 0, 0, 0, 0, 0])"), 1);
    EXPECT_EQ(statue_row(1).orientation[3], 1.0f);   // element 1 is row 1, column 0
    EXPECT_EQ(statue_row(1).y, 2.0f);
    // Poses: counts 1..32, one count per statue, short arrays read 0.
    EXPECT_EQ(run("zr.pose_statue(0, 0, [], [], [])"), 0);
    EXPECT_EQ(run("zr.pose_statue(0, 33, [], [], [])"), 0);
    EXPECT_EQ(run("zr.pose_statue(0, 2, [1, 2, 3, 4], [5], [6, NaN, 'x'])"), 1);
    ASSERT_EQ(statue_row(1).joint_count, 2);
    EXPECT_EQ(statue_row(1).joint_centres[3], 4.0f);
    EXPECT_EQ(statue_row(1).joint_centres[5], 0.0f);
    EXPECT_EQ(statue_row(1).joint_translations[0], 5.0f);
    EXPECT_EQ(statue_row(1).joint_rotations[1], 0.0f);
    EXPECT_EQ(statue_row(1).joint_rotations[2], 0.0f);
    EXPECT_EQ(run("zr.pose_statue(0, 3, [], [], [])"), 0);
    EXPECT_EQ(run("zr.pose_statue(0, 2, [9], [], [])"), 1);
    EXPECT_EQ(statue_row(1).joint_centres[0], 9.0f);
    // Billboards count from the file's first; colours are clamped bytes.
    EXPECT_EQ(run("zr.color_billboard(0, 2, -1, 0.5, NaN)"), 1);
    EXPECT_EQ(billboard_row(1).r, 255);
    EXPECT_EQ(billboard_row(1).g, 0);
    EXPECT_EQ(billboard_row(1).b, 128);
    EXPECT_EQ(billboard_row(1).a, 0);
    EXPECT_EQ(run("zr.color_billboard(1, 1, 1, 1, 1)"), 0);
    EXPECT_EQ(run("zr.move_billboard(0, 30, 0.5, 40)"), 1);
    EXPECT_NEAR(billboard_row(1).y, 3 + 40 + 0.5, 1e-3);
    EXPECT_EQ(run("zr.move_billboard(0, 30, Infinity, 40)"), 0);
    EXPECT_EQ(run("zr.move_billboard_absolute(0, 1, 2, 3)"), 1);
    EXPECT_EQ(billboard_row(1).y, 2.0f);
    EXPECT_EQ(run("zr.size_billboard(0, 9)"), 1);
    EXPECT_EQ(billboard_row(1).size, 9.0f);
    EXPECT_EQ(billboard_row(0).size, 4.0f);
}

TEST_F(script_natives, RaceClockAndCamera) {
    race_state.gate_drop_tick = 640;
    race_state.current_tick = 639;
    EXPECT_EQ(milli("zr.get_gate_drop_time()"), -1000);
    race_state.current_tick = 640;
    EXPECT_EQ(milli("zr.get_gate_drop_time()"), 5000);
    race_state.laps = 3;
    race_state.race_time = 128 * 60;
    EXPECT_EQ(run("zr.get_finish_laps()"), 3);
    EXPECT_EQ(run("zr.get_finish_time()"), 60);
    EXPECT_EQ(run("zr.get_max_slots()"), 160);
    EXPECT_EQ(milli("zr.get_seconds_per_tic()"), 8);
    // The camera: the eye, and the rotation transposed.
    for (int i = 0; i < 3; i++) scene_viewer.eye[i] = (float)(i + 1);
    for (int i = 0; i < 9; i++) scene_viewer.rotation[i] = (float)i;
    EXPECT_EQ(run("var p = [], r = []; zr.get_camera_location(p, r); p[2] * 100 + r[1] * 10 + r[3]"),
              300 + 30 + 1);
    EXPECT_EQ(run("zr.get_camera_location(null, 5)"), 1);
}
