// The line files: round trips, foreign and hostile files, rescaled statistics, the worst line
// of a row, the crossing test, pruning, and writing through a temporary file.
#include <gtest/gtest.h>

#include <string>

#include "core/settings.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "race/lines.h"
#include "race/track.h"
#include "tests/race/timing_fixture.h"
#include "tests/support/test_support.h"

// A store of 3 first-lap and 3 normal-lap rows.
static void store_3_3() {
    fixture_gates({{0, 0, 1, 0, 5}, {10, 0, 1, 0, 5}, {20, 0, 1, 0, 5}}, 3, {0, 1, 2, 0, 1, 2});
}

// Puts a line of n points along x at height z0 into the slot, with the times.
static line_slot *put_line(int row, int k, int n, float z0, int recorded_two, int passes = 0,
                           int failures = 0, int total_two = 0) {
    line_slot *t = &line_store_row(row)[k];
    line_slot_clear(t);
    t->points = (line_point *)mem_alloc_or_die(sizeof(line_point) * n);
    for (int i = 0; i < n; i++)
        t->points[i] = {(float)i * 4.0f + 0.125f, 1.98f, z0, (i % 3 == 2 ? -1.0f : 1.0f) * (20.0f + i),
                        0.015625f * (float)(i % 5)};
    t->point_count = n;
    t->recorded_time = recorded_two / 2;
    t->recorded_time_two = recorded_two;
    t->passes = passes;
    t->failures = failures;
    t->total_time = total_two / 2;
    t->total_time_two = total_two;
    return t;
}

static std::string write_to_text(const std::string &path) {
    file_stream *s = stream_open(path.c_str(), "wb");
    EXPECT_NE(s, nullptr);
    EXPECT_EQ(lines_write(s), 1);
    EXPECT_EQ(stream_close(s), 1);
    return test_read_file(path);
}

static int read_text(const temp_dir &t, const std::string &text) {
    std::string path = t.file("in.lines");
    test_write_file(path, text);
    file_stream *s = stream_open(path.c_str(), "rb");
    int r = lines_read(s, "lines_novice");
    stream_close(s);
    return r;
}

TEST(race_lines, WriteReadWriteGivesTheSameBytes) {
    temp_dir t;
    store_3_3();
    put_line(0, 0, 5, 1.0f, 900);
    put_line(0, 3, 1, 0.0000123f, 800, 7, 2, 5000);
    put_line(4, 44, 240, -33.5f, 1000000, 0, 3);
    std::string first = write_to_text(t.file("a"));
    EXPECT_EQ(first.substr(0, 10), "ct03 6\n2\n5");
    EXPECT_NE(first.find("[0.125000 1.980000 1.000000] 20.000000 0.000000\n"), std::string::npos);
    ASSERT_EQ(read_text(t, first), 1);
    EXPECT_EQ(line_row_used(0), 2);
    EXPECT_EQ(line_store_row(0)[1].point_count, 1);   // slots fill from position 0
    EXPECT_EQ(line_store_row(4)[0].point_count, 240);
    EXPECT_EQ(line_store_row(0)[1].passes, 7);
    // Every slot read gets its own serial.
    EXPECT_NE(line_store_row(0)[0].serial, 0);
    EXPECT_NE(line_store_row(0)[0].serial, line_store_row(0)[1].serial);
    EXPECT_EQ(write_to_text(t.file("b")), first);
    fixture_free_gates();
}

TEST(race_lines, ForeignHeaderLeavesTheStoreEmpty) {
    temp_dir t;
    store_3_3();
    for (const char *text : {"ct03 5\n0\n0\n0\n0\n0\n", "ct02 6\n", "", "ct03\n", "ct03 x\n"}) {
        put_line(1, 0, 3, 0, 100);
        EXPECT_EQ(read_text(t, text), 0) << text;
        for (int r = 0; r < 6; r++) EXPECT_EQ(line_row_used(r), 0) << text;
    }
    fixture_free_gates();
}

TEST(race_lines, RowsBeyondFortyFiveSlotsKeepPlace) {
    temp_dir t;
    store_3_3();
    std::string text = "ct03 6\n46\n";
    for (int k = 0; k < 46; k++) text += "2 10 20 0 1000000 1000000 0 0 0\n[" + std::to_string(k) + " 0 0] 1 0\n[1 1 1] 1 0\n";
    text += "1\n3 10 20 0 1000000 1000000 0 0 0\n[5 5 5] 1 0\n[6 6 6] -2 0.5\n[7 7 7] 3 0\n";
    ASSERT_EQ(read_text(t, text), 1);
    EXPECT_EQ(line_row_used(0), 45);
    EXPECT_EQ(line_store_row(0)[44].points[0].x, 44.0f);
    EXPECT_EQ(line_row_used(1), 1);
    EXPECT_EQ(line_store_row(1)[0].point_count, 3);
    EXPECT_EQ(line_store_row(1)[0].points[1].speed, -2.0f);
    fixture_free_gates();
}

TEST(race_lines, StatisticsRescaleUntilTheyFit) {
    temp_dir t;
    store_3_3();
    struct {
        const char *stats;   // passes failures total total_two
        int passes, failures, total, total_two;
    } cases[] = {
        {"100000 0 1000000 2000000", 50000, 0, 500000, 1000000},
        {"0 200000 0 0", 0, 50000, 0, 0},
        {"1 0 5 2000000000", 1, 0, 5, 100000000},          // cannot halve: capped
        {"3 0 30 300000000", 1, 0, 10, 100000000},
        {"70000 70000 700000 700000", 35000, 35000, 350000, 350000},
        {"5 5 50 100", 5, 5, 50, 100},                      // within the limits: unchanged
    };
    for (auto c : cases) {
        int p, f, tt, tt2;
        ASSERT_EQ(sscanf(c.stats, "%d %d %d %d", &p, &f, &tt, &tt2), 4);
        std::string text = "ct03 6\n1\n2 10 20 " + std::to_string(p) + " 5 6 " + std::to_string(tt) + " " +
                           std::to_string(tt2) + " " + std::to_string(f) + "\n[0 0 0] 1 0\n[1 0 0] 1 0\n";
        ASSERT_EQ(read_text(t, text), 1);
        const line_slot &s = line_store_row(0)[0];
        ASSERT_EQ(s.point_count, 2) << c.stats;
        EXPECT_EQ(s.passes, c.passes) << c.stats;
        EXPECT_EQ(s.failures, c.failures) << c.stats;
        EXPECT_EQ(s.total_time, c.total) << c.stats;
        EXPECT_EQ(s.total_time_two, c.total_two) << c.stats;
        EXPECT_EQ(s.best_time, 5);
    }
    fixture_free_gates();
}

TEST(race_lines, HostileRecordsWarnAndKeepWhatCameBefore) {
    temp_dir t;
    store_3_3();
    const std::string good_row = "1\n2 10 20 0 1000000 1000000 0 0 0\n[1 2 3] 4 0.5\n[2 2 3] 4 0.5\n";
    const std::string bad_slots[] = {
        "0 10 20 0 1 1 0 0 0\n",
        "-1 10 20 0 1 1 0 0 0\n",
        "2147483647 10 20 0 1 1 0 0 0\n[0 0 0] 1 0\n",
        "70000 10 20 0 1 1 0 0 0\n[0 0 0] 1 0\n",
        "2 10 20 5 1 1 0 0 -5\n[0 0 0] 1 0\n[1 0 0] 1 0\n",
        "2 10 2147483647 0 1 1 0 0 0\n[0 0 0] 1 0\n[1 0 0] 1 0\n",
        "2 10 20 0 1 1 0 0 0\n[nan 0 0] 1 0\n[1 0 0] 1 0\n",
        "2 10 20 0 1 1 0 0 0\n[1e39 0 0] 1 0\n[1 0 0] 1 0\n",
        "2 10 20 0 1 1 0 0 0\n[0 0 0] 1e39 0\n[1 0 0] 1 0\n",
        "2 10 20 0 1 1 0 0 0\n[0 0 0] 1 0\n[1000001 0 0] 1 0\n",
        "2 10 20 0 1 1 0 0 0\n[0 0 0] 1001 0\n[1 0 0] 1 0\n",
        "2 10 20 0 1 1 0 0 0\n[0 0 0] 1 0\n[1 0",
        "2 10 20 0 1 1\n",
    };
    for (const std::string &bad : bad_slots) {
        console_clear();
        // Row 0 good; row 1 a good slot, then the bad one.
        std::string text = "ct03 6\n" + good_row + "2\n2 10 20 0 1000000 1000000 0 0 0\n[7 7 7] 1 0\n[8 8 8] 1 0\n" + bad +
                           good_row;
        EXPECT_EQ(read_text(t, text), 1) << bad;
        EXPECT_EQ(console_count("Warning: bad line file 'lines_novice'"), 1) << bad;
        EXPECT_EQ(line_row_used(0), 1) << bad;
        EXPECT_EQ(line_row_used(1), 1) << bad;
        EXPECT_EQ(line_store_row(1)[0].points[0].x, 7.0f) << bad;
        EXPECT_EQ(line_row_used(2), 0) << bad;   // reading stopped
    }
    console_clear();
    EXPECT_EQ(read_text(t, "ct03 6\n" + good_row + "-3\n" + good_row), 1);
    EXPECT_EQ(console_count("Warning: bad line file"), 1);
    EXPECT_EQ(line_row_used(0), 1);
    EXPECT_EQ(line_row_used(1), 0);
    console_clear();
    EXPECT_EQ(read_text(t, "ct03 6\n" + good_row + good_row), 1);   // a short file: no warning
    EXPECT_EQ(console_count("Warning"), 0);
    EXPECT_EQ(line_row_used(1), 1);
    fixture_free_gates();
}

TEST(race_lines, CrossingTestCountsATouchOnThePositiveSide) {
    auto p = [](float x, float z) { return line_point{x, 0, z, 0, 0}; };
    line_point a = p(0, 0), b = p(10, 0);
    // The side value of a point p is 10 p.z (relative to a or b): 0 counts as positive.
    struct {
        line_point c, d;
        int crosses;
    } cases[] = {
        {p(5, -1), p(5, 1), 1},
        {p(5, 1), p(5, -1), 1},
        {p(5, 1), p(6, 2), 0},
        {p(5, -1), p(6, -2), 0},
        {p(5, 0), p(5, -1), 1},   // touching, the other point on the negative side
        {p(5, 0), p(5, 1), 0},    // touching, the other point on the positive side
        {p(5, -1), p(5, 0), 1},
        {p(5, 0), p(6, 0), 0},
        {p(50, -1), p(50, 1), 1}, // the test is against the whole line, not the step
    };
    for (auto &c : cases) EXPECT_EQ(autopilot_crosses_segment(&a, &b, &c.c, &c.d), c.crosses) << c.c.x << " " << c.c.z;
}

TEST(race_lines, WorstLineChoice) {
    store_3_3();
    line_slot *row = line_store_row(2);
    // Scores: with passes total_two / passes + 640 failures / (passes + failures); without
    // 5/4 of the recorded two-segment time (+640 with failures); a lone first point 3/4 of it.
    put_line(2, 0, 3, 0.0f, 1000, 4, 1, 4000);   // good: 1000 + 128
    put_line(2, 1, 3, 0.5f, 1000);               // 1250
    put_line(2, 2, 3, 1.0f, 1000, 0, 1);         // 1890
    put_line(2, 5, 3, 50.0f, 2000);              // lone: 2500 * 3/4 = 1875
    EXPECT_EQ(line_slot_score(&row[0]), 1128);
    EXPECT_EQ(line_slot_score(&row[2]), 1890);
    EXPECT_EQ(line_worst_slot(2), 2);
    put_line(2, 5, 3, 50.0f, 2100);              // lone: 2625 * 3/4 = 1968
    EXPECT_EQ(line_worst_slot(2), 5);
    // A good slot is chosen only when more than 22 slots are good.
    put_line(2, 0, 3, 0.0f, 1000, 4, 1, 400000);
    EXPECT_EQ(line_worst_slot(2), 5);
    for (int k = 6; k < 29; k++) put_line(2, k, 3, 0.0625f * k, 100, 2, 0, 200);
    EXPECT_EQ(line_worst_slot(2), 0);
    // Equal scores: the lowest index.
    store_3_3();
    put_line(1, 3, 3, 0.0f, 100);
    put_line(1, 7, 3, 0.0f, 100);
    EXPECT_EQ(line_worst_slot(1), 3);
    EXPECT_EQ(line_worst_slot(0), -1);
    fixture_free_gates();
}

TEST(race_lines, PruningThinsOnlyCrowdedFirstLapRows) {
    store_3_3();
    timing_gates.count = 3;
    for (int k = 0; k < 44; k++) {
        put_line(0, k, 3, (float)k, 1000 + k);
        put_line(3, k, 3, (float)k, 1000 + k);
    }
    put_line(1, 0, 3, 0, 100);
    // Slot 10 crosses slots 11 and 12; slot 20 crosses 21: slot 10 goes first.
    line_slot *row = line_store_row(0);
    row[10].points[2].z = 12.5f;
    row[20].points[2].z = 21.5f;
    autopilot_prune_lines();
    EXPECT_EQ(line_row_used(0), 42);
    EXPECT_EQ(row[10].point_count, 0);
    EXPECT_EQ(row[43].point_count, 0);   // then the worst line: the slowest
    EXPECT_EQ(line_row_used(3), 44);     // normal-lap rows untouched
    EXPECT_EQ(line_row_used(1), 1);
    fixture_free_gates();
}

// The home and game folders of a fresh environment, with a track named "tracks/t".
struct lines_folders {
    temp_dir t;
    std::string home, game;
    lines_folders() {
        test_isolate_home(t);
        home = t.file("xdg/ZR Simulator/");
        game = t.file("game/");
        test_make_dirs(home);
        track_name = "tracks/t";
    }
    ~lines_folders() {
        track_name = nullptr;
        vfs_shutdown();
    }
};

TEST(race_lines, WritingGoesThroughATemporaryFileInTheHomeFolder) {
    lines_folders f;
    store_3_3();
    const std::string stock = "ct03 6\n0\n0\n0\n0\n0\n1\n2 1 2 0 1 2 0 0 0\n[0 0 0] 1 0\n[1 0 0] 1 0\n";
    test_write_file(f.game + "tracks/t/lines_amateur", stock);
    ASSERT_EQ(autopilot_read_lines(1), 1);
    EXPECT_EQ(line_row_used(5), 1);
    put_line(2, 0, 4, 3.0f, 500);

    game_settings.autopilot_learning = 0;   // learning off: nothing written
    autopilot_write_lines(1);
    EXPECT_FALSE(test_file_exists(f.home + "tracks/t/lines_amateur"));

    game_settings.autopilot_learning = 1;
    autopilot_write_lines(-1);
    autopilot_write_lines(3);
    EXPECT_FALSE(test_file_exists(f.home + "tracks/t"));
    autopilot_write_lines(1);
    std::string written = test_read_file(f.home + "tracks/t/lines_amateur");
    EXPECT_EQ(written.substr(0, 13), "ct03 6\n0\n0\n1\n");
    EXPECT_FALSE(test_file_exists(f.home + "tracks/t/lines_amateur.tmp"));
    EXPECT_EQ(test_read_file(f.game + "tracks/t/lines_amateur"), stock);
    // The home copy shadows the stock one from now on.
    ASSERT_EQ(autopilot_read_lines(1), 1);
    EXPECT_EQ(line_row_used(2), 1);

    // A folder where the temporary file must go: the old file stays whole.
    test_make_dirs(f.home + "tracks/t/lines_amateur.tmp/x");
    console_clear();
    put_line(3, 0, 4, 3.0f, 500);
    autopilot_write_lines(1);
    EXPECT_EQ(test_read_file(f.home + "tracks/t/lines_amateur"), written);
    EXPECT_EQ(console_count("Warning: couldn't write '@tracks/t/lines_amateur'"), 1);
    // Without timing nothing is written.
    timing_gates.count = 0;
    console_clear();
    autopilot_write_lines(1);
    EXPECT_EQ(console_count("Warning"), 0);
    game_settings.autopilot_learning = 0;
    fixture_free_gates();
}
