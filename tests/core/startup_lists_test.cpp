// The start-up lists: demo files with their display names, and points series with their
// standings and ranking, hostile series files and the stock sample series.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/mem.h"
#include "core/startup_lists.h"
#include "core/vfs.h"
#include "race/catalogue.h"
#include "race/series.h"
#include "tests/support/test_support.h"

static void lists_game_file(const temp_dir &t, const std::string &name, const std::string &bytes) {
    ASSERT_TRUE(test_write_file(t.file("game/" + name), bytes));
}

static bool console_holds(const std::string &text) {
    for (const auto &line : console_log.lines)
        if (strstr(line, text.c_str())) return true;
    return false;
}

TEST(core_startup_lists, DemoFilesAndTheirNames) {
    temp_dir t;
    test_isolate_home(t);
    lists_game_file(t, "demos/a.zrdemo", "");
    lists_game_file(t, "demos/old/b.old.zrdemo", "");
    lists_game_file(t, "demos/notes.txt", "");
    lists_game_file(t, "other/c.zrdemo", "");
    for (int i = 0; i < 20; i++) lists_game_file(t, "demos/many/r" + std::to_string(100 + i) + ".zrdemo", "");
    vfs_shutdown();
    demo_list_build();
    ASSERT_EQ(demo_list.count, 22);
    EXPECT_STREQ(demo_list.paths[0], "demos/a.zrdemo");
    EXPECT_STREQ(demo_list.names[0], "a");
    EXPECT_STREQ(demo_list.paths[21], "demos/old/b.old.zrdemo");
    EXPECT_STREQ(demo_list.names[21], "b.old");
    EXPECT_STREQ(demo_list.names[1], "r100");
    char *name = demo_display_name("demos/plain");
    EXPECT_STREQ(name, "plain");
    mem_free(name);
    demo_list_free();
    EXPECT_EQ(demo_list.count, 0);
    EXPECT_EQ(demo_list.paths, nullptr);
    vfs_shutdown();
}

// 40 points (10, 6 and 4 for the first three places), and the second list (ranked when its
// first value is not 0).
static std::string points_lines(int ranked) {
    static const int TOP[3] = {10, 6, 4};
    std::string out;
    for (int i = 0; i < 40; i++) out += std::to_string(i < 3 ? TOP[i] : 0) + " ";
    out += "\n" + std::to_string(ranked);
    for (int i = 1; i < 40; i++) out += " 0";
    return out + "\n";
}

// A series on the fixture tracks "tracks/one" and "tracks/two".
static std::string series_text(int entrants, const std::vector<std::string> &events) {
    std::string out = "\"Test Cup\" " + std::to_string(entrants) + " Expert\n";
    for (int i = 0; i < entrants; i++) out += std::to_string(i + 10) + " ";
    out += "\n" + std::to_string(events.size()) + "\n";
    for (const std::string &e : events) out += e;
    return out;
}

static std::string event(const char *name, const char *track, int ranked = 1) {
    return std::string(name) + " " + track + " 0 3\n" + points_lines(ranked);
}

static void lists_tracks(const temp_dir &t) {
    test_isolate_home(t);
    lists_game_file(t, "tracks/one/terrain.hf", "");
    lists_game_file(t, "tracks/two/terrain.hf", "");
}

TEST(core_startup_lists, SeriesStandingsAndRanking) {
    temp_dir t;
    lists_tracks(t);
    // Two entrants and the player; points 10, 6, 4 for the first three places.
    lists_game_file(t, "series/cup.series",
                    series_text(2, {event("\"Round 1\"", "tracks/one"),
                                    event("R2", "\"tracks/two\""),
                                    event("R3", "tracks/one"), event("R4", "tracks/two")}));
    // Three complete lines, the fourth cut short.
    lists_game_file(t, "series/cup.series_standings", "1 2 3\n3 1 2\n2 3 1\n1 2");
    lists_game_file(t, "series/big.series", series_text(159, {event("Only", "tracks/one")}));
    // An event on a track that is not installed ends the list there.
    lists_game_file(t, "series/missing.series",
                    series_text(1, {event("A", "tracks/one"), event("B", "tracks/gone"),
                                    event("C", "tracks/two")}));
    vfs_shutdown();
    ASSERT_EQ(track_scan_catalogue(), 1);
    console_clear();
    series_read_all();
    ASSERT_EQ(series_list.count, 3);
    EXPECT_EQ(series_list.current, -1);
    EXPECT_EQ(series_list.current_event, -1);
    const series_record *big = &series_list.items[0], *cup = &series_list.items[1],
                        *missing = &series_list.items[2];
    EXPECT_EQ(big->entrant_count, 159);
    EXPECT_EQ(big->entrant_numbers[158], 168);
    EXPECT_EQ(missing->event_count, 1);

    EXPECT_STREQ(cup->name, "Test Cup");
    EXPECT_STREQ(cup->standings_file, "@series/cup.series_standings");
    EXPECT_EQ(cup->robot_skill, 2);
    ASSERT_EQ(cup->event_count, 4);
    EXPECT_STREQ(cup->events[0].name, "Round 1");
    EXPECT_EQ(cup->events[1].track, 1);
    EXPECT_EQ(cup->events[1].laps, 3);
    EXPECT_EQ(cup->completed, 3);
    EXPECT_EQ(cup->events[1].places[2], 1);
    // Every event is ranked, so each ranking counts that event's points alone: 10 6 4, then
    // 4 10 6, then 6 4 10 (running totals would give 14 16 10, then a three-way tie at 20).
    int ranks[3][3] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}};
    for (int e = 0; e < 3; e++)
        for (int r = 0; r < 3; r++) EXPECT_EQ(cup->events[e].ranks[r], ranks[e][r]) << e << r;
    EXPECT_FALSE(console_holds("Warning"));
    series_free_all();
    EXPECT_EQ(series_list.count, 0);
    vfs_shutdown();
}

TEST(core_startup_lists, HostileSeriesFilesAreSkippedOrCut) {
    temp_dir t;
    lists_tracks(t);
    std::string one = event("E1", "tracks/one");
    std::string two = series_text(2, {one, event("E2", "tracks/two")});
    struct {
        const char *file;
        std::string series, standings;
        int kept, events, completed;
        const char *warning;
    } cases[] = {
        {"n160", series_text(160, {one}), "", 0, 0, 0, "bad series file 'series/n160.series'"},
        {"nneg", "\"X\" -5 Novice\n1\n" + one, "", 0, 0, 0, "bad series file"},
        {"mneg", "\"X\" 0 Novice\n-1\n" + one, "", 0, 0, 0, "bad series file"},
        {"mbig", "\"X\" 0 Novice\n2147483647\n" + one, "", 0, 0, 0, "bad series file"},
        {"mword", "\"X\" 0 Novice\nmany\n" + one, "", 0, 0, 0, "bad series file"},
        {"entrantword", "\"X\" 2 Novice\n3 x\n1\n" + one, "", 0, 0, 0, nullptr},
        {"noname", "", "", 0, 0, 0, nullptr},
        {"unclosed", "\"Never ends", "", 0, 0, 0, nullptr},
        {"cut", two.substr(0, two.size() - 30), "", 1, 1, 0, nullptr},
        {"pointword", series_text(0, {one, "E2 tracks/two 0 3 25 x\n"}), "", 1, 1, 0, nullptr},
        {"place0", two, "1 2 3\n0 1 2\n", 1, 2, 1, "bad standings in '@series/place0.series_standings'"},
        {"place500", two, "500 1 2\n", 1, 2, 0, "bad standings"},
        {"placeneg", two, "1 2 3\n-3 1 2\n", 1, 2, 1, "bad standings"},
        {"placeword", two, "1 two 3\n", 1, 2, 0, "bad standings"},
    };
    for (auto &c : cases) {
        std::string file = std::string("series/") + c.file + ".series";
        lists_game_file(t, file, c.series);
        if (!c.standings.empty()) lists_game_file(t, file + "_standings", c.standings);
    }
    vfs_shutdown();
    ASSERT_EQ(track_scan_catalogue(), 1);
    for (auto &c : cases) {
        console_clear();
        series_record r;
        std::string file = std::string("series/") + c.file + ".series";
        int kept = series_read_file(file.c_str(), &r);
        EXPECT_EQ(kept, c.kept) << c.file;
        if (kept) {
            EXPECT_EQ(r.event_count, c.events) << c.file;
            EXPECT_EQ(r.completed, c.completed) << c.file;
            mem_free(r.standings_file);
            mem_free(r.events);
        }
        if (c.warning) {
            EXPECT_TRUE(console_holds(std::string("Warning: ") + c.warning)) << c.file;
        } else {
            EXPECT_FALSE(console_holds("Warning")) << c.file;
        }
    }
    vfs_shutdown();
}

TEST(core_startup_lists, StockSampleSeriesReadsWhole) {
    temp_dir t;
    test_isolate_home(t);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    vfs_shutdown();
    ASSERT_EQ(track_scan_catalogue(), 1);
    console_clear();
    series_read_all();
    ASSERT_EQ(series_list.count, 1);
    const series_record &s = series_list.items[0];
    EXPECT_STREQ(s.name, "Sample Series");
    EXPECT_EQ(s.entrant_count, 19);
    EXPECT_EQ(s.robot_skill, 1);
    EXPECT_EQ(s.event_count, 4);
    EXPECT_EQ(s.completed, 0);
    for (int e = 0; e < s.event_count; e++) {
        EXPECT_EQ(s.events[e].points[0], 25) << e;
        EXPECT_EQ(s.events[e].points[19], 1) << e;
        EXPECT_EQ(s.events[e].points[20], 0) << e;
        // Two rounds of two motos: the second moto closes the round with the round's points.
        EXPECT_EQ(s.events[e].ranking[0], e % 2 ? 25 : 0) << e;
        EXPECT_EQ(s.events[e].ranking[19], e % 2 ? 1 : 0) << e;
    }
    EXPECT_STREQ(s.events[0].name, "Round 1 Moto 1");
    EXPECT_STREQ(s.events[3].name, "Round 2 Moto 2");
    EXPECT_NE(s.events[0].track, s.events[2].track);
    for (int i = 0; i < 19; i++) {
        EXPECT_GE(s.entrant_numbers[i], 20) << i;
        EXPECT_LE(s.entrant_numbers[i], 99) << i;
        for (int j = 0; j < i; j++) EXPECT_NE(s.entrant_numbers[i], s.entrant_numbers[j]);
    }
    EXPECT_FALSE(console_holds("Warning"));
    series_free_all();
    track_catalogue_free();
    vfs_shutdown();
}
