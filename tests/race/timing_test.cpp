// The timing gates file: reading, its limits and warnings, writing back through a temporary
// file; the timed-segment count and the line store's rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "core/console.h"
#include "core/vfs.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/statue.h"
#include "race/timing.h"
#include "race/track.h"
#include "tests/support/test_support.h"

namespace {

// A private home, the statue table, and the reader over a file of the given text.
struct timing_fixture {
    temp_dir home;
    timing_fixture() {
        test_isolate_home(home);
        vfs_shutdown();
        track_lists_create();
        console_clear();
    }
    ~timing_fixture() {
        track_lists_free();
        track_name = nullptr;
        vfs_shutdown();
    }
    void read(const std::string &text) {
        std::string path = home.file("gates");
        ASSERT_TRUE(test_write_file(path, text));
        for (int i = 0; i < track_statues.count; i++) track_free_statue(i);
        track_statues.count = 0;
        track_read_timing_gates(path.c_str());
    }
};

bool console_has(const char *text) {
    for (int i = 0; i < CONSOLE_LINES; i++)
        if (strstr(console_log.lines[i], text)) return true;
    return false;
}

int lap(int i) {
    return ((const int *)timing_gates.lap_list.items)[i];
}

std::string checkpoints(int n) {
    std::string text = "checkpoints:\n";
    for (int i = 0; i < n; i++)
        text += "15 [" + std::to_string(i * 10) + " 0 5] [1 0 0]\n";
    return text;
}

std::string entries(int n, int first = 0) {
    std::string text;
    for (int i = 0; i < n; i++) text += std::to_string(first + i % 3) + " ";
    return text + "\n";
}

}  // namespace

TEST(race_timing, WriteReadWriteIsByteIdentical) {
    timing_fixture f;
    const std::string file =
        "startinggate:\n"
        "[10.000000 0.000000 20.000000] 1.500000\n"
        "[14.500000 0.250000 20.000000] -3.000000 arm.jm null arm.shp\n"
        "checkpoints:\n"
        "15.000000 [1.000000 2.000000 3.000000] [0.000000 0.000000 -1.000000]\n"
        "20.000000 [4.000000 5.000000 6.000000] [1.000000 0.000000 0.000000]\n"
        "15.000000 [7.000000 8.000000 9.000000] [0.000000 0.000000 1.000000]\n"
        "firstlap:\n"
        "1 2 100001 0 \n"
        "normallap:\n"
        "1 2 0 \n";
    ASSERT_TRUE(test_write_file(f.home.file("xdg/ZR Simulator/tracks/t/timing_gates"), file));
    vfs_shutdown();
    track_name = "tracks/t";
    track_read_timing_gates("@tracks/t/timing_gates");
    ASSERT_EQ(race_state.gate_count, 2);
    EXPECT_EQ(timing_gates.count, 3);
    EXPECT_EQ(timing_gates.first_lap_length, 4);
    EXPECT_EQ(timing_gates.first_lap_timed, 3);
    EXPECT_EQ(timing_gates.lap_timed, 3);
    EXPECT_STREQ(starting_gates[0].model, "@startgate.jm");   // defaults
    EXPECT_EQ(starting_gates[1].texture, nullptr);            // "null" is none
    EXPECT_STREQ(starting_gates[1].shape, "arm.shp");
    ASSERT_EQ(track_statues.count, 2);
    // The arm statue stands 3 ft ahead of the gate point along its direction.
    const track_statue *arm = track_statue_at(starting_gates[0].statue);
    ASSERT_NE(arm, nullptr);
    EXPECT_NEAR(arm->x, 10 - 3 * sinf(1.5f), 1e-5);
    EXPECT_NEAR(arm->z, 20 - 3 * cosf(1.5f), 1e-5);
    EXPECT_EQ(track_statue_at(starting_gates[1].statue)->model, nullptr);
    // Accepted timing makes the empty store: 6 rows of cleared slots, 3 plan lists.
    ASSERT_EQ(line_store.row_count, 6);
    const line_slot *row = line_store_row(5);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row[44].point_count, 0);
    EXPECT_EQ(row[44].recorded_time_two, LINE_TIME_NONE);
    EXPECT_EQ(row[44].best_time, LINE_TIME_NONE);
    EXPECT_EQ(row[44].last_picked, 0);
    EXPECT_EQ(line_store_row(6), nullptr);

    ASSERT_EQ(track_write_timing_gates(), 1);
    EXPECT_EQ(test_read_file(f.home.file("xdg/ZR Simulator/tracks/t/timing_gates")), file);
    EXPECT_FALSE(test_file_exists(f.home.file("xdg/ZR Simulator/tracks/t/timing_gates.tmp")));
}

TEST(race_timing, ReadingCases) {
    timing_fixture f;
    const std::string laps3 = "firstlap: 0 1 2 normallap: 0 1 2\n";
    struct {
        const char *what;
        std::string text;
        int gates, checkpoints, first, normal;
        const char *warning;
    } cases[] = {
        {"no gate section", checkpoints(3) + laps3, 0, 3, 3, 3, nullptr},
        {"three entries each", "startinggate:\n[0 0 0] 0 null null null\n" + checkpoints(3) + laps3,
         1, 3, 3, 3, nullptr},
        {"two first-lap entries", checkpoints(3) + "firstlap: 0 1 normallap: 0 1 2\n", 0, 0, 0, 0,
         nullptr},
        {"two timed entries", checkpoints(3) + "firstlap: 0 100001 2 normallap: 0 1 2\n", 0, 0, 0,
         0, nullptr},
        {"checkpoints: with nothing after", "checkpoints:\n", 0, 0, 0, 0, nullptr},
        {"checkpoints: and laps only", "checkpoints:\n" + laps3, 0, 0, 0, 0, nullptr},
        {"rest of the gate word's line", "startinggate: [1 2 3] 0\n[0 0 0] 0 null null null\n" +
             checkpoints(3) + laps3, 1, 3, 3, 3, nullptr},
        {"short gate line", "startinggate:\n[0 0 0] 0 null null null\n[1 2] 3\n" + checkpoints(3) +
             laps3, 1, 0, 0, 0, nullptr},
        {"nan in a gate", "startinggate:\n[0 0 0] 0 null null null\n[nan 0 0] 0\n" +
             checkpoints(3) + laps3, 1, 0, 0, 0, nullptr},   // "nan" is no number: a short line
        {"1e39 in a gate", "startinggate:\n[0 0 0] 1e39 null null null\n" + checkpoints(3) + laps3,
         0, 0, 0, 0, "Warning: bad number in"},
        // The bad entry ends the checkpoints; the laps after it still read (clamped to one).
        {"1e39 in a checkpoint", "checkpoints:\n15 [0 0 0] [1 0 0]\n1e39 [0 0 0] [1 0 0]\n" + laps3,
         0, 1, 3, 3, "Warning: bad number in"},
        {"nan in a checkpoint", "checkpoints:\n15 [0 0 0] [1 0 0]\nnan [0 0 0] [1 0 0]\n" + laps3,
         0, 0, 0, 0, nullptr},
        {"161 gates", "startinggate:\n" + [] {
             std::string t;
             for (int i = 0; i < 161; i++) t += "[" + std::to_string(i) + " 0 0] 0 null null null\n";
             return t;
         }() + checkpoints(3) + laps3, 160, 3, 3, 3, nullptr},
        {"200 + 200 entries", checkpoints(3) + "firstlap: " + entries(200) + "normallap: " +
             entries(200), 0, 3, 200, 56, "Warning: lap list too long in"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        console_clear();
        f.read(c.text);
        EXPECT_EQ(race_state.gate_count, c.gates);
        EXPECT_EQ(timing_gates.count, c.checkpoints);
        EXPECT_EQ(timing_gates.first_lap_length, c.first);
        EXPECT_EQ(timing_gates.lap_length, c.normal);
        EXPECT_EQ(line_store.row_count, c.checkpoints ? c.first + c.normal : 0);
        if (c.warning) EXPECT_TRUE(console_has(c.warning));
    }
}

TEST(race_timing, AnglesAndLapEntriesAreKeptInRange) {
    timing_fixture f;
    f.read("startinggate:\n[0 0 0] 4 null null null\n[0 0 0] -10\n" + checkpoints(3) +
           "firstlap: 100005 -5 7 1 2\nnormallap: 0 1 2\n");
    ASSERT_EQ(race_state.gate_count, 2);
    EXPECT_NEAR(starting_gates[0].angle, 4 - 2 * M_PI, 1e-5);
    EXPECT_NEAR(starting_gates[1].angle, -10 + 4 * M_PI, 1e-5);
    ASSERT_EQ(timing_gates.first_lap_length, 5);
    EXPECT_EQ(lap(0), 100002);
    EXPECT_EQ(lap(1), 0);
    EXPECT_EQ(lap(2), 2);
    EXPECT_EQ(timing_gates.first_lap_timed, 4);

    // 300 checkpoints: the first 256 are taken; the 257th is no lap word, so no timing.
    f.read(checkpoints(300) + "firstlap: 0 1 2 normallap: 0 1 2\n");
    EXPECT_EQ(timing_gates.checkpoints[255].a[0], 2550.0f);
    EXPECT_EQ(timing_gates.count, 0);
}

// The stock hillside's shape: 12 checkpoints with a split on the climb that ends no segment.
TEST(race_timing, TimedPointsAndSegmentRows) {
    timing_fixture f;
    f.read(checkpoints(12) +
           "firstlap: 1 2 3 100004 5 6 7 8 9 10 11 0\nnormallap: 1 2 3 100004 5 6 7 8 9 10 11 0\n");
    ASSERT_EQ(timing_gates.count, 12);
    ASSERT_EQ(line_store.row_count, 22);
    struct {
        int n, timed;
    } counts[] = {{-3, 0}, {0, 0}, {3, 3}, {4, 3}, {5, 4}, {12, 11}, {13, 12}, {16, 14},
                  {24, 22}, {36, 33}};
    for (const auto &c : counts) EXPECT_EQ(rider_count_timed_points(c.n), c.timed) << c.n;
    struct {
        int segment, row;
    } rows[] = {{-1, 0}, {0, 0}, {10, 10}, {11, 11}, {21, 21}, {22, 11}, {32, 21}, {33, 11}};
    for (const auto &r : rows) EXPECT_EQ(line_store_row_of_segment(r.segment), r.row) << r.segment;
    // Every timing index over two laps lands on an existing row.
    for (int n = 0; n < 48; n++)
        EXPECT_NE(line_store_row(line_store_row_of_segment(rider_count_timed_points(n))), nullptr);
    EXPECT_EQ(timing_lap_position(11), 11);
    EXPECT_EQ(timing_lap_position(12), 12);
    EXPECT_EQ(timing_lap_position(24), 12);
}

TEST(race_timing, FailedWriteKeepsTheOldFile) {
    timing_fixture f;
    std::string folder = f.home.file("xdg/ZR Simulator/tracks/t");
    std::string old = "checkpoints:\n15 [0 0 0] [1 0 0]\n";
    ASSERT_TRUE(test_write_file(folder + "/timing_gates", old));
    test_make_dirs(folder + "/timing_gates.tmp/in-the-way");   // the temporary can't be made
    vfs_shutdown();
    track_name = "tracks/t";
    f.read("startinggate:\n[0 0 0] 0\n");
    console_clear();
    EXPECT_EQ(track_write_timing_gates(), 0);
    EXPECT_TRUE(console_has("Can't open 'timing_gates'"));
    EXPECT_EQ(test_read_file(folder + "/timing_gates"), old);
}
