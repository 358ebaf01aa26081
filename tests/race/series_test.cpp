// Points series: a race entered into the event being raced, the shared ranking by rounds, the
// standings file read back at start-up, and the line-up of the next event.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/settings.h"
#include "race/catalogue.h"
#include "race/series.h"
#include "tests/race/results_fixture.h"
#include "ui/series_event.h"

// 40 points by place from the list (then 0), and the second list likewise.
static std::string series_lists(std::vector<int> points, std::vector<int> second) {
    std::string out;
    for (int i = 0; i < 40; i++) out += std::to_string(i < (int)points.size() ? points[i] : 0) + " ";
    out += "\n";
    for (int i = 0; i < 40; i++) out += std::to_string(i < (int)second.size() ? second[i] : 0) + " ";
    return out + "\n";
}

// "Test Cup": entrants 20, 21, 22 and the player (rider 3); a two-event round (the second
// ranked), then a one-event round with negative points.
static std::string cup_text() {
    return "\"Test Cup\" 3 Amateur\n20 21 22\n3\n"
           "\"R1 M1\" tracks/one 0 3\n" + series_lists({10, 6, 4, 2}, {}) +
           "\"R1 M2\" tracks/one 0 3\n" + series_lists({10, 6, 4, 2}, {25, 22, 20, 18}) +
           "\"R2 M1\" tracks/two 2 4\n" + series_lists({-1, -2, -3, -4}, {25, 22, 20, 18});
}

// A home folder with two fixture tracks and the series files, read as at start-up.
struct series_fixture {
    results_home home;
    series_fixture(const std::vector<std::pair<std::string, std::string>> &files) {
        test_write_file(home.t.file("game/tracks/one/terrain.hf"), "");
        test_write_file(home.t.file("game/tracks/two/terrain.hf"), "");
        for (auto &f : files) test_write_file(home.t.file("game/" + f.first), f.second);
        vfs_shutdown();
        track_scan_catalogue();
        series_read_all();
    }
    ~series_fixture() {
        series_free_all();
        results_free();
        track_catalogue_free();
        vfs_shutdown();
    }
};

static void race_for_points(int series, int event) {
    series_list.current = series;
    series_list.current_event = event;
}

// A race raced for points with the player ("P": slot 0, kind 0) and robots carrying these
// numbers, in this order of finishing (every listed rider finished, one more lap per place
// ahead), run to its completion.
static void series_race(int series, int event, const std::vector<const char *> &order,
                        const char *player_number = "5") {
    results_free();
    results_race(1, 0);
    int slot_of_player = 0, next = 1;
    for (int k = 0; k < (int)order.size(); k++) {
        bool player = std::string(order[k]) == "P";
        int slot = player ? slot_of_player : next++;
        int points = 3 + 4 * ((int)order.size() - k);   // earlier places: more laps
        results_rider(slot, player ? 0 : 2, player ? player_number : order[k], 0, {});
        for (int i = 0; i < points; i++) rider_set_timing_tic(slot, i, 100 * (i + 1));
        rider_table[slot].timing_count = points;
        rider_table[slot].finished = 1;
    }
    race_for_points(series, event);
    race_update_standings();
}

static std::vector<int> places(const series_record &r, int e) {
    return std::vector<int>(r.events[e].places, r.events[e].places + r.entrant_count + 1);
}
static std::vector<int> ranks(const series_record &r, int e) {
    return std::vector<int>(r.events[e].ranks, r.events[e].ranks + r.entrant_count + 1);
}
using v = std::vector<int>;

// Three races into "Test Cup", the standings after each, and the file read back.
TEST(race_series, RoundsScoredRankedAndWritten) {
    series_fixture f({{"series/cup.series", cup_text()}});
    ASSERT_EQ(series_list.count, 1);
    series_record &cup = series_list.items[0];

    series_race(0, 0, {"21", "P", "20", "22"});
    ASSERT_EQ(results_written, 1);   // complete: entered at once
    EXPECT_EQ(cup.completed, 1);
    EXPECT_EQ(places(cup, 0), (v{2, 0, 3, 1}));
    EXPECT_EQ(series_list.current, -1);
    EXPECT_EQ(series_list.current_event, -1);

    // Round 1: 20 has 4 + 4, 21 10 + 2, 22 2 + 6, the player 6 + 10. 20 and 22 tie: 22 placed
    // better in the closing event.
    series_race(0, 1, {"P", "22", "20", "21"});
    EXPECT_EQ(places(cup, 1), (v{2, 3, 1, 0}));
    EXPECT_EQ(ranks(cup, 1), (v{3, 1, 2, 0}));

    // Round 2 counts only its own points (negative here): 21 -1, the player -2; 20 and 22 are
    // not in the race and keep place 3, so they tie on place as well: the lower rider first.
    series_race(0, 2, {"21", "P"});
    EXPECT_EQ(places(cup, 2), (v{3, 0, 3, 1}));
    EXPECT_EQ(ranks(cup, 2), (v{2, 0, 3, 1}));
    EXPECT_EQ(cup.completed, 3);
    EXPECT_EQ(test_read_file(f.home.file("series/cup.series_standings")), "3 1 4 2 \n3 4 2 1 \n4 1 4 2 \n");

    // The start-up reader ranks the written standings the same way.
    series_record again;
    ASSERT_EQ(series_read_file("series/cup.series", &again), 1);
    EXPECT_EQ(again.completed, 3);
    for (int e = 0; e < 3; e++) {
        EXPECT_EQ(places(again, e), places(cup, e)) << e;
        if (e > 0) EXPECT_EQ(ranks(again, e), ranks(cup, e)) << e;
    }
    mem_free(again.standings_file);
    mem_free(again.events);
}

// Who gets a place, and when nothing is entered at all.
TEST(race_series, PlacesAndGuards) {
    series_fixture f({{"series/cup.series", cup_text()}});
    ASSERT_EQ(series_list.count, 1);
    series_record &cup = series_list.items[0];

    // The player carrying opponent 20's number places only itself; the robot 20 places 20.
    series_race(0, 0, {"P", "20", "21"}, "20");
    EXPECT_EQ(places(cup, 0), (v{1, 2, 3, 0}));
    cup.completed = 0;

    // A finisher with a missed point: not placed while the race is open (as a reset enters it),
    // placed by the results once they are written.
    results_free();
    results_race(1, 0);
    results_rider(0, 0, "5", 0, {100, -1, 300});
    rider_table[0].finished = 1;
    results_rider(1, 2, "21", 0, {100, 200});   // still racing
    race_update_standings();
    ASSERT_EQ(results_written, 0);
    race_for_points(0, 0);
    series_enter_results();
    EXPECT_EQ(places(cup, 0), (v{3, 0, 3, 3}));   // the player ahead, but not placed
    cup.completed = 0;
    rider_table[1].finished = 1;
    race_for_points(0, 0);
    race_update_standings();
    ASSERT_EQ(results_written, 1);
    EXPECT_EQ(places(cup, 0), (v{3, 1, 3, 0}));

    // Nothing is entered for a finished series, a stale event, or no series; the series being
    // raced is forgotten all the same.
    std::string standings = test_read_file(f.home.file("series/cup.series_standings"));
    struct {
        const char *name;
        int current, event, completed;
    } guards[] = {{"finished series", 0, 3, 3}, {"stale event", 0, 0, 1}, {"no series", -1, 0, 0},
                  {"series out of range", 1, 0, 0}};
    for (auto &g : guards) {
        cup.completed = g.completed;
        std::vector<int> before = places(cup, 0);
        series_list.current = g.current;
        series_list.current_event = g.event;
        series_enter_results();
        EXPECT_EQ(cup.completed, g.completed) << g.name;
        EXPECT_EQ(places(cup, 0), before) << g.name;
        EXPECT_EQ(series_list.current, -1) << g.name;
        EXPECT_EQ(test_read_file(f.home.file("series/cup.series_standings")), standings) << g.name;
    }
}

// The next event's line-up: the first event by the series' order, later ones worst place first
// through the gate tables of a small and a large field.
TEST(race_series, StartNextEventLineUp) {
    std::string big = "\"Big\" 19 Novice\n";
    for (int i = 0; i < 19; i++) big += std::to_string(40 + i) + " ";
    big += "\n2\nA tracks/two 0 2\n" + series_lists({5}, {}) + "B tracks/one 0 2\n" + series_lists({5}, {1});
    series_fixture f({{"series/big.series", big}, {"series/cup.series", cup_text()}});
    ASSERT_EQ(series_list.count, 2);
    series_record &large = series_list.items[0], &cup = series_list.items[1];
    static const char *folders[] = {"tracks/one", "tracks/two"};
    settings.track.options = folders;
    settings.track.option_count = 2;
    settings.track.current = 1;

    menu_series_chosen = 1;
    ASSERT_EQ(menu_start_series_event(), 1);
    int first[RIDER_SLOTS] = {1020, 1021, 1022, 1};
    EXPECT_EQ(std::vector<int>(race_lineup, race_lineup + RIDER_SLOTS), std::vector<int>(first, first + RIDER_SLOTS));
    EXPECT_STREQ(choice_text(&settings.track), "tracks/one");

    // After places 20: 3rd, 21: 1st, 22: 4th, the player 2nd: gates 6, 8, 10, 12 from the last.
    int previous[] = {2, 0, 3, 1};
    memcpy(cup.events[0].places, previous, sizeof previous);
    cup.completed = 1;
    ASSERT_EQ(menu_start_series_event(), 1);
    int later[RIDER_SLOTS] = {};
    later[6] = 1022, later[8] = 1020, later[10] = 1, later[12] = 1021;
    EXPECT_EQ(std::vector<int>(race_lineup, race_lineup + RIDER_SLOTS), std::vector<int>(later, later + RIDER_SLOTS));

    // 19 opponents: the player last, opponent i placed i (15 and 16 both past the field: in
    // opponent order), from the middle gate outwards.
    for (int i = 0; i < 19; i++) large.events[0].places[i] = i == 16 ? 25 : i;
    large.events[0].places[15] = 19;
    large.events[0].places[19] = 19;
    large.completed = 1;
    menu_series_chosen = 0;
    ASSERT_EQ(menu_start_series_event(), 1);
    struct {
        int gate, role;
    } want[] = {{10, 1055}, {9, 1056}, {11, 1},    {8, 1058}, {12, 1057},
                {7, 1054},  {13, 1053}, {6, 1052}, {14, 1051}, {0, 1040}};
    for (auto w : want) EXPECT_EQ(race_lineup[w.gate], w.role) << w.gate;
    int riders = 0;
    for (int role : race_lineup) riders += role != 0;
    EXPECT_EQ(riders, 20);
    EXPECT_STREQ(choice_text(&settings.track), "tracks/one");

    // A finished series starts nothing; Enter Next Event marks the series being raced, and
    // does nothing while it is.
    large.completed = 2;
    for (int &role : race_lineup) role = 7;
    EXPECT_EQ(menu_start_series_event(), 0);
    EXPECT_EQ(race_lineup[0], 7);
    menu_series_chosen = 1;
    cup.completed = 2;
    EXPECT_EQ(menu_enter_next_event(), 1);
    EXPECT_EQ(series_list.current, 1);
    EXPECT_EQ(series_list.current_event, 2);
    EXPECT_EQ(settings.track.current, 1);
    settings.track.current = 0;
    EXPECT_EQ(menu_enter_next_event(), 0);
    EXPECT_EQ(settings.track.current, 0);
    settings.track.options = nullptr;
    settings.track.option_count = 0;
}
