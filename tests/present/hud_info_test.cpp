// The results board and the information lines as draw lists.
#include <gtest/gtest.h>

#include "tests/present/hud_fixture.h"

// Three riders in a 3-lap race, 9 positions passed at most: slot 0 finished first, slot 1 second, slot 2
// still racing.
static void board_race(hud_race &race) {
    race.rider(0, "1", {100, 200, 300, 400, 500, 600, 700, 800, 900}, 0, 0);
    race.rider(1, "22", {110, 230, 350, 460, 570, 680, 790, 900, 1000}, 0, 0);
    race.rider(2, "333", {120, 260, 400, 540}, 0, 0);
    race.rank();
    race.snap.slot = 1;
}

TEST(present_hud, BoardTable) {
    {   // Nobody has finished: no board, the lines at the left edge.
        hud_race race(3);
        board_race(race);
        race.snap.draw_fps = 1;
        race.info();
        EXPECT_EQ(race.text("Unofficial"), "(none)");
        ASSERT_NE(hud_find_text(&race.list, "FPS - "), nullptr);
        EXPECT_EQ(hud_find_text(&race.list, "FPS - ")->x, 0.0f);
    }
    {   // The leader and the second finished: their rows only, unofficial.
        hud_race race(3);
        board_race(race);
        rider_table[0].finished = rider_table[1].finished = 1;
        race.snap.draw_fps = 1;
        race.info();
        EXPECT_EQ(race.text("Unofficial"), "Unofficial Results");
        EXPECT_EQ(race.text("Pos."), "Pos.");
        EXPECT_EQ(race.text("BLap"), "BLap");
        EXPECT_EQ(hud_count_texts(&race.list, "L2"), 2);
        EXPECT_EQ(race.text("  0.000"), "  0.000");   // the first row's gap
        EXPECT_EQ(race.text("  0.781"), "  0.781");   // 100 ticks behind at the line
        EXPECT_EQ(race.text("333"), "(none)");
        EXPECT_EQ(race.text("0:03.125"), "0:03.125");   // the leader's lap 2: 400 ticks
        EXPECT_EQ(race.text("Total"), "(none)");
        EXPECT_EQ(hud_find_text(&race.list, "FPS - ")->x, 19.5f);
        // The viewed rider's row is white, the others grey.
        EXPECT_EQ(hud_find_text(&race.list, " 22")->colour[0], 1.0f);
        EXPECT_EQ(hud_find_text(&race.list, "  1")->colour[0], 0.75f);
    }
    {   // Written results: every row, the total time and the penalty lines.
        hud_race race(3);
        board_race(race);
        rider_table[0].finished = rider_table[1].finished = 1;
        race_results.count = 3;
        race_results.order[0] = race_state.running_order[0];
        race_results.order[1] = {1, 9, 1000 + 256};         // 2 s added for a cut
        race_results.order[2] = {2, 0, 540 + 300};          // lost its laps, 300 ticks more
        results_written = 1;
        race.info();
        EXPECT_EQ(race.text("Final"), "Final Results");
        EXPECT_EQ(race.text("333"), "333");
        EXPECT_EQ(race.text("Total"), "Total Race Time: 0:07.031");
        EXPECT_EQ(race.text(" 22 penalized"), " 22 penalized 2.00 seconds for cutting track");
        EXPECT_EQ(race.text("333 penalized"), "333 penalized 1 lap 2.34 seconds for cutting track");
        // Ridden three laps, ranked on one: two laps lost.
        fixture_timing(2, {120, 260, 400, 440, 480, 520, 560, 600, 640, 680, 540});
        race_results.order[2] = {2, 3, 540 + 300};
        race.info();
        EXPECT_EQ(race.text("333 penalized"), "333 penalized 2 laps 2.34 seconds for cutting track");
    }
}

TEST(present_hud, InformationLines) {
    hud_race race(2, 640);
    race.rider(0, "1", {});
    race.view(0);
    race.snap.draw_fps = race.snap.draw_time = race.snap.draw_speed = 1;
    race.snap.speed = 44;
    race_state.current_tick = 100;   // before the drop
    race.snap.longest_frame = 0;
    race.info();
    EXPECT_EQ(race.text("FPS"), "FPS - 0");
    EXPECT_EQ(race.text("Time"), "Time - 0:00.0 ");
    EXPECT_EQ(race.text("Speed"), "Speed - 30.00");
    race.snap.longest_frame = 1.0 / 32;
    race_state.current_tick = 640 + 128 * 61 + 64;
    race.info();
    EXPECT_EQ(race.text("FPS"), "FPS - 32");
    EXPECT_EQ(race.text("Time"), "Time - 1:01.5 ");
    race.snap.longest_frame = 1e-300;   // a clamp before the conversion
    race.info();
    EXPECT_EQ(race.text("FPS"), "FPS - 1000000");
    // Ping only online with a slot; dabbing.
    race.snap.draw_ping = 1;
    race.info();
    EXPECT_EQ(race.text("Ping"), "(none)");
    race.snap.online = 1;
    race.snap.client_slot = 0;
    race.snap.ping_ticks = 16;
    race.snap.server_tick = race_state.current_tick + 64;
    race.snap.dabbing = 1;
    race.info();
    EXPECT_EQ(race.text("Ping"), "Ping - 125ms (500ms offset)");
    EXPECT_EQ(race.text("Dabbing!"), "Dabbing!");

    // The frame loop's extremes are read and reset on every call.
    double longest = 0.25, shortest = 0.01;
    hud_frame_times = {&longest, &shortest};
    EXPECT_EQ(hud_take_frame_time(), 0.25);
    EXPECT_EQ(longest, 0.0);
    EXPECT_EQ(shortest, 1.0);
    EXPECT_EQ(hud_take_frame_time(), 0.0);
    hud_frame_times = {nullptr, nullptr};
    EXPECT_EQ(hud_take_frame_time(), 0.0);
}

// The console lines: the visible count from the configuration is held to what fits.
TEST(present_hud, ConsoleLines) {
    hud_race race;
    for (int i = 0; i < 1200; i++) console_printf("line %d", i);
    struct {
        int visible, drawn;
        const char *first;
    } cases[] = {{5, 5, "line 1195"}, {0, 0, "(none)"}, {-3, 0, "(none)"}, {5000, 50, "line 1150"}};
    race.snap.draw_fps = 0;
    for (auto &c : cases) {
        console_log.visible_count = c.visible;
        race.info();
        EXPECT_EQ(hud_count_texts(&race.list, "line "), c.drawn) << c.visible;
        EXPECT_EQ(race.text("line "), c.first) << c.visible;
        if (c.drawn) {
            EXPECT_EQ(hud_item_text(&race.list, race.list.items.back()), std::string("line 1199"));
        }
    }
    // With other lines shown the console gets what is left of the 50.
    race.snap.draw_fps = race.snap.draw_time = 1;
    console_log.visible_count = 5000;
    race.info();
    EXPECT_EQ(hud_count_texts(&race.list, "line "), 48);
}
