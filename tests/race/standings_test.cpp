// The running order, the laps of a timed race and the rule that says when a race is complete.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "tests/race/results_fixture.h"

static int order_slot(int k) {
    return race_state.running_order[k].slot;
}

// Equal positions and times go by slot; once complete, the order holds until the flag clears.
TEST(race_standings, OrderTiesBySlotAndFreezesWhenComplete) {
    results_home home;
    results_race(2, 0);
    results_rider(5, 2, "5", 0, {10, 20, 30});
    results_rider(2, 2, "2", 0, {10, 20, 30});
    results_rider(7, 2, "7", 0, {10, 20, 31, 40});
    results_rider(1, 2, "1", 0, {10, 20, 31});
    race_update_standings();
    ASSERT_EQ(race_state.running_count, 4);
    int want[] = {7, 2, 5, 1};
    for (int k = 0; k < 4; k++) EXPECT_EQ(order_slot(k), want[k]) << k;
    EXPECT_EQ(race_state.running_order[0].points, 4);
    EXPECT_EQ(race_state.running_order[0].time, 40);
    EXPECT_EQ(results_written, 0);

    // Everyone finished: complete, and the order no longer follows the lists.
    for (int slot : {1, 2, 5, 7}) rider_table[slot].finished = 1;
    race_update_standings();
    EXPECT_EQ(results_written, 1);
    fixture_timing(1, {1, 2, 3, 4, 5, 6, 7, 8});
    race_update_standings();
    EXPECT_EQ(order_slot(0), 7);
    EXPECT_EQ(race_state.running_order[3].points, 3);
    results_written = 0;   // as a race reset does
    race_update_standings();
    EXPECT_EQ(order_slot(0), 1);
    results_free();
}

static int history_tick;
static int fixed_history(int, int) {
    return history_tick;
}

// Who keeps a race open: one unfinished rider of each case beside a finished robot in slot 0.
TEST(race_standings, CompletenessTable) {
    results_home home;
    struct {
        const char *name;
        int online, kind, slot, client_slot, local_slot, state_age, history, complete;
    } cases[] = {
        {"robot racing offline", 0, 2, 3, 160, 160, 0, -1, 0},
        {"local rider racing offline", 0, 0, 3, 160, 160, 0, -1, 0},
        {"demo rider without history", 0, 1, 3, 160, 160, 0, -1, 1},
        {"demo rider 1280 ticks behind", 0, 1, 3, 160, 160, 0, 10000 - 1280, 0},
        {"demo rider 1281 ticks behind", 0, 1, 3, 160, 160, 0, 10000 - 1281, 1},
        {"fresh remote rider", 1, 1, 3, 0, 0, 127, -1, 0},
        {"stale remote rider", 1, 1, 3, 0, 0, 128, -1, 1},
        {"own rider with a stale state", 1, 0, 3, 3, 3, 5000, -1, 0},
        {"local rider while watching", 1, 0, 3, 160, 160, 0, -1, 1},
    };
    for (auto &c : cases) {
        results_race(2, 0);
        race_state.current_tick = 10000;
        results_rider(0, 2, "1", 0, {10, 20, 30, 40, 50, 60, 70});
        rider_table[0].finished = 1;
        results_rider(c.slot, c.kind, "2", 0, {10, 20});
        history_tick = c.history;
        race_history_newer_tick = fixed_history;
        if (c.online) {
            net_client.socket = 1000;   // online: nothing is sent
            net_client.slot = c.client_slot;
            net_client.local_slot = c.local_slot;
            for (int &t : net_slot_state_tick) t = 10000;
            net_slot_state_tick[c.slot] = 10000 - c.state_age;
        }
        race_update_standings();
        EXPECT_EQ(race_is_complete(), c.complete) << c.name;
        EXPECT_EQ(results_written, c.complete) << c.name;
        results_free();
    }
    // Nobody in the race: nothing to complete.
    results_race(2, 0);
    race_update_standings();
    EXPECT_EQ(results_written, 0);
}

// 20 minutes + 2 laps of 125 s: the leader crosses the line of lap 10 after the time is up, so
// lap 12 is the last; half-way is set once, at the leader's lap when half the time has run.
TEST(race_standings, TimedRaceEndsTwoLapsAfterTheTime) {
    results_home home;
    results_race(2, 0);
    int drop = 1000, lap = 16000, time = 20 * 60 * 128;
    race_state.race_time = time;
    race_state.gate_drop_tick = drop;
    race_state.final_lap = RACE_NO_FINAL_LAP;
    race_state.half_way_lap = RACE_NO_FINAL_LAP;
    results_rider(0, 2, "1", 0, {});
    results_rider(1, 2, "2", 0, {});
    int half_way_seen = 0, final_seen_at = -1;
    // Points evenly along each lap; rider 1 2000 ticks behind.
    for (int i = 0; i < 3 + 4 * 13; i++) {
        int laps_before = i < 3 ? 0 : (i - 3) / 4 + 1;
        int within = i < 3 ? i + 1 : (i - 3) % 4 + 1;
        int tick = drop + laps_before * lap + within * lap / (i < 3 ? 3 : 4);
        for (int slot : {0, 1}) {
            race_state.current_tick = tick + slot * 2000;
            rider_set_timing_tic(slot, i, race_state.current_tick);
            rider_table[slot].timing_count = i + 1;
            race_update_standings();
            if (race_state.half_way_lap != RACE_NO_FINAL_LAP && !half_way_seen) {
                half_way_seen = 1;
                EXPECT_EQ(race_state.half_way_lap, 5) << "laps end every 125 s: 4 done at 10 min";
            }
            if (race_state.final_lap != RACE_NO_FINAL_LAP && final_seen_at < 0) final_seen_at = i;
        }
    }
    EXPECT_EQ(race_state.half_way_lap, 5);
    EXPECT_EQ(race_state.final_lap, 12);
    EXPECT_EQ(final_seen_at, timing_lap_end(10));   // known once lap 10 ends after the time
    results_free();
}

// A played-back rider keeps the race open while its history is current: the newer record
// around the race's tick decides, read ahead or behind.
TEST(race_standings, HistoryRidersFinishByTheirOwnHistory) {
    results_home home;
    struct {
        const char *name;
        std::vector<int> records;
        int complete;
    } cases[] = {
        {"empty history", {}, 1},
        {"records read ahead of the tick", {9996, 10000, 10004, 10060}, 0},
        {"newest record 100 ticks old", {9800, 9900}, 0},
        {"newest record 1280 ticks old", {8700, 8720}, 0},
        {"newest record 1281 ticks old", {8700, 8719}, 1},
    };
    for (auto &c : cases) {
        results_race(2, 0);
        race_state.current_tick = 10000;
        results_rider(0, 2, "1", 0, {10, 20, 30, 40, 50, 60, 70});
        rider_table[0].finished = 1;
        results_rider(3, 1, "2", 0, {10, 20});
        unsigned char state[PACKED_STATE_BYTES] = {};
        for (int t : c.records) add_state_to_history(3, state, t);
        race_update_standings();
        EXPECT_EQ(race_is_complete(), c.complete) << c.name;
        EXPECT_EQ(results_written, c.complete) << c.name;
        results_free();
    }
}

// Completed again (a demo sought back to before its completion): the results order is built
// anew, but "@results.txt" is written once; a race reset makes the next completion count.
TEST(race_standings, CompletingAgainWritesNothingTwice) {
    results_home home;
    results_race(2, 0);
    race_state.current_tick = 5000;
    results_rider(0, 2, "1", 0, {10, 20, 30, 40, 50, 60, 70});
    results_rider(1, 2, "2", 0, {11, 21, 31, 41, 51, 61, 71});
    for (int slot : {0, 1}) rider_table[slot].finished = 1;
    race_update_standings();
    ASSERT_EQ(results_written, 1);
    EXPECT_EQ(race_completed_tick, 5000);
    EXPECT_EQ(race_results.order[0].slot, 0);
    ASSERT_TRUE(test_file_exists(home.file("results.txt")));
    ::remove(home.file("results.txt").c_str());

    // What a seek back before the completion leaves: the flag cleared, the lists run again.
    results_written = 0;
    race_results.count = 0;
    race_state.current_tick = 6000;
    fixture_timing(1, {9, 19, 29, 39, 49, 59, 69});
    race_update_standings();
    EXPECT_EQ(results_written, 1);
    EXPECT_EQ(race_results.order[0].slot, 1);
    EXPECT_EQ(race_completed_tick, 5000);
    EXPECT_FALSE(test_file_exists(home.file("results.txt")));

    results_written = 0;
    race_completed_tick = -1;   // as a race reset does
    race_update_standings();
    EXPECT_TRUE(test_file_exists(home.file("results.txt")));
    results_free();
}
