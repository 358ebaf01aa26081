// The pit board and its banner of riders about to lap the viewed rider.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/present/hud_fixture.h"

struct panel_rider {
    int slot;
    const char *number;
    std::vector<int> ticks;
};

TEST(present_hud, PitBoardTable) {
    struct {
        const char *name;
        std::vector<panel_rider> riders;
        int viewed, time_trial;
        const char *place, *gap, *last, *best, *banner;
    } cases[] = {
        {"alone: plus zero", {{3, "999", {100}}}, 3, 0, "L1 P1", "+0.0 ", "(none)", "(none)", ""},
        {"the leader's margin is positive",
         {{0, "1", {100, 200, 300}}, {1, "2", {110, 230, 350}}}, 0, 0, "L2 P1", "+0.4 ", "(none)", "(none)", ""},
        {"behind the rider ahead is negative",
         {{0, "1", {100, 200, 300}}, {1, "2", {110, 230, 350}}}, 1, 0, "L2 P2", "-0.4 ", "(none)", "(none)", ""},
        {"first lap: no lap times", {{0, "1", {100, 200}}}, 0, 0, "L1 P1", "+0.0 ", "(none)", "(none)", ""},
        {"after the second lap last and best agree",
         {{0, "1", {100, 200, 300, 400, 500, 600, 700}}}, 0, 0, "L3 P1", "+0.0 ", "Last - 0:03.1 ",
         "Best - 0:03.1", ""},
        {"time trial: place only, the race's lap times", {{0, "1", {100}}}, 0, 1, "P1", "+0.0 ",
         "Last - 0:07.8 ", "Best - 0:07.0", ""},
        {"a lapper 2.5 s behind on the course",
         {{0, "1", {1, 2, 3, 4, 5, 6, 7, 720}}, {1, "2", {100, 200, 300, 400}}}, 1, 0, "L2 P2", "-3.1 ",
         "(none)", "(none)", " 1 (2.5) "},
        {"a lapper 3.5 s behind is not listed",
         {{0, "1", {1, 2, 3, 4, 5, 6, 7, 848}}, {1, "2", {100, 200, 300, 400}}}, 1, 0, "L2 P2", "-3.1 ",
         "(none)", "(none)", ""},
        {"a lapper within 15 s of own time",
         {{0, "1", {10, 20, 30, 40, 50, 60, 70, 80, 90, 300}}, {1, "2", {100, 200, 300, 400}}}, 1, 0,
         "L2 P2", "-2.8 ", "(none)", "(none)", " 1 (0.8) "},
        {"after 15 s of own time nobody",
         {{0, "1", {10, 20, 30, 40, 50, 60, 70, 80, 90, 300}}, {1, "2", {100, 200, 2300, 2400}}}, 1, 0,
         "L2 P2", "-18.4 ", "(none)", "(none)", ""},
    };
    for (auto &c : cases) {
        hud_race race;
        for (auto &r : c.riders) race.rider(r.slot, r.number, {});
        for (auto &r : c.riders) {
            for (int i = 0; i < (int)r.ticks.size(); i++) rider_set_timing_tic(r.slot, i, r.ticks[i]);
            rider_table[r.slot].timing_count = (int)r.ticks.size();
        }
        race.rank();
        race_state.time_trial = c.time_trial;
        last_lap_ticks = 1000;
        best_lap_ticks = 900;
        race.view(c.viewed);
        race.panel();
        EXPECT_EQ(race.text(c.place), c.place) << c.name;
        EXPECT_EQ(race.text(c.gap), c.gap) << c.name;
        EXPECT_EQ(race.text("Last"), c.last) << c.name;
        EXPECT_EQ(race.text("Best"), c.best) << c.name;
        char banner[1024];
        hud_banner_text(c.viewed, banner);
        EXPECT_STREQ(banner, c.banner) << c.name;
        // The banner's box and text come with the banner only.
        EXPECT_EQ(race.text(" 1 ("), c.banner[0] ? c.banner : "(none)") << c.name;
    }
}

// 159 riders a lap ahead and 1 s behind: the banner stops short of 1023 characters.
TEST(present_hud, BannerOfManyLappers) {
    hud_race race;
    race.rider(159, "9", {100, 200, 300, 400});
    for (int s = 0; s < 159; s++) race.rider(s, "12345", {1, 2, 3, 4, 5, 6, 7, 400 + 128 + s});
    race.rank();
    char banner[1024];
    hud_banner_text(159, banner);
    size_t n = strlen(banner);
    EXPECT_LE(n, 1023u);
    EXPECT_GT(n, 1023u - 16);
    EXPECT_EQ(std::string(banner).substr(0, 14), " 12345 (1.0)  ");
}

// A track whose timing was rejected has a lap length of 0: nobody is listed, even with a rider
// far ahead.
TEST(present_hud, BannerWithoutLapLength) {
    hud_race race;
    race.rider(0, "1", {1, 2, 3, 4, 5, 6, 7, 8});
    race.rider(1, "2", {100, 200, 300, 400});
    race.rank();
    timing_gates.lap_length = 0;
    char banner[1024];
    hud_banner_text(1, banner);
    EXPECT_STREQ(banner, "");
    race.view(1);
    race.panel();
    EXPECT_EQ(hud_count_texts(&race.list, " 1 ("), 0);
}

TEST(present_hud, RaceLength) {
    struct {
        int race_time, laps;
        const char *text;
    } cases[] = {{0, 5, "5 laps"}, {128 * 600, 2, "10 minutes + 2 laps"}, {128 * 600, 0, "10 minutes"},
                 {128 * 89, 0, "1 minutes"}};
    for (auto &c : cases) {
        race_state.race_time = c.race_time;
        race_state.laps = c.laps;
        char text[64];
        int n = hud_format_race_length(text, sizeof text);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(n, (int)strlen(c.text));
    }
}
