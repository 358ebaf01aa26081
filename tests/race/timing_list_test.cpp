// The rider timing list: reading and growing it, lap progress, lap times and the finish rule.
#include <gtest/gtest.h>

#include "tests/race/timing_fixture.h"

// F = 3, N = 4 over four checkpoints; the normal lap carries a timed point that ends no segment.
static void gates_3_4() {
    fixture_gates({{0, 0, 1, 0, 5}, {10, 0, 1, 0, 5}, {20, 0, 1, 0, 5}, {30, 0, 1, 0, 5}}, 3,
                  {0, 1, 2, 3, 100000, 1, 2});
}

TEST(race_timing, LapProgressTable) {
    gates_3_4();
    fixture_rider(0);
    struct {
        int count, laps, index;
    } cases[] = {{0, 0, 0}, {2, 0, 2}, {3, 1, 0}, {6, 1, 3}, {7, 2, 0}, {10, 2, 3}, {11, 3, 0}};
    for (auto c : cases) {
        rider_table[0].timing_count = c.count;
        int laps = -9, index = -9;
        rider_lap_progress(0, &laps, &index);
        EXPECT_EQ(laps, c.laps) << c.count;
        EXPECT_EQ(index, c.index) << c.count;
    }
    fixture_free_gates();   // no checkpoints: (0, 0) whatever the count
    int laps = -9, index = -9;
    rider_lap_progress(0, &laps, &index);
    EXPECT_EQ(laps, 0);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(rider_lap_time(0, 1), 0.0f);
    EXPECT_EQ(rider_check_finished(0), 0);
    fixture_free_rider(0);
}

TEST(race_timing, ListReadsGrowsAndRefuses) {
    fixture_rider(4);
    EXPECT_EQ(rider_timing_tic(4, -1), -1);
    EXPECT_EQ(rider_timing_tic(4, 0), -1);
    EXPECT_EQ(rider_timing_tic(-1, 0), -1);
    EXPECT_EQ(rider_timing_tic(160, 0), -1);
    EXPECT_EQ(rider_set_timing_tic(4, 5, 700), 1);
    ASSERT_EQ(rider_table[4].timing_tics.count, 6);
    for (int i = 0; i < 5; i++) EXPECT_EQ(rider_timing_tic(4, i), -1) << i;
    EXPECT_EQ(rider_timing_tic(4, 5), 700);
    EXPECT_EQ(rider_timing_tic(4, 6), -1);
    EXPECT_EQ(rider_set_timing_tic(4, 2, 300), 1);   // inside the list: no growth
    EXPECT_EQ(rider_table[4].timing_tics.count, 6);
    EXPECT_EQ(rider_timing_tic(4, 2), 300);

    console_clear();
    EXPECT_EQ(rider_set_timing_tic(4, 65536, 1), 0);
    EXPECT_EQ(rider_set_timing_tic(4, -1, 1), 0);
    EXPECT_EQ(rider_set_timing_tic(4, INT32_MIN, 1), 0);
    EXPECT_EQ(console_count("Warning: timing index 65536 refused"), 1);
    EXPECT_EQ(console_count("Warning: timing index -1 refused"), 1);
    EXPECT_EQ(rider_table[4].timing_tics.count, 6);
    EXPECT_EQ(rider_set_timing_tic(4, 65535, 9), 1);   // the last index taken
    EXPECT_EQ(rider_timing_tic(4, 65535), 9);
    fixture_free_rider(4);
}

TEST(race_timing, TruncationClearsFinishedAndDown) {
    fixture_rider(1);
    fixture_timing(1, {10, 20, 30, 40});
    rider_table[1].finished = 1;
    rider_table[1].down_flag = 2;
    rider_truncate_timing(1, 4);   // not below the count: still finished
    EXPECT_EQ(rider_table[1].finished, 1);
    EXPECT_EQ(rider_table[1].down_flag, 0);
    rider_truncate_timing(1, 2);
    EXPECT_EQ(rider_table[1].finished, 0);
    EXPECT_EQ(rider_timing_count(1), 2);
    EXPECT_EQ(rider_table[1].timing_tics.count, 2);
    EXPECT_EQ(rider_timing_tic(1, 2), -1);
    rider_truncate_timing(1, 5);   // a longer count keeps the list as it is
    EXPECT_EQ(rider_timing_count(1), 5);
    EXPECT_EQ(rider_table[1].timing_tics.count, 2);
    fixture_free_rider(1);
}

TEST(race_timing, LapTimesCountFromTheDrop) {
    gates_3_4();
    fixture_rider(0);
    race_state.gate_drop_tick = 1000;
    // Lap 1 ends at index 2, lap 2 at 6, lap 3 at 10.
    fixture_timing(0, {1500, 1800, 2280, 2400, 2500, 2600, 2920, 3000, 3100, 3200, 3432});
    EXPECT_FLOAT_EQ(rider_lap_time(0, 1), 1280 / 128.0f);   // from the drop, not from index 0
    EXPECT_FLOAT_EQ(rider_lap_time(0, 2), 640 / 128.0f);
    EXPECT_FLOAT_EQ(rider_lap_time(0, 3), 512 / 128.0f);
    EXPECT_FLOAT_EQ(rider_lap_time(0, -1), 512 / 128.0f);   // the last completed lap
    EXPECT_EQ(rider_lap_time(0, 0), 0.0f);
    EXPECT_EQ(rider_lap_time(0, 4), 0.0f);
    ((int *)rider_table[0].timing_tics.items)[6] = -1;   // lap 2's line skipped in the list
    EXPECT_EQ(rider_lap_time(0, 2), 0.0f);
    EXPECT_EQ(rider_lap_time(0, 3), 0.0f);
    EXPECT_FLOAT_EQ(rider_lap_time(0, 1), 10.0f);
    fixture_free_rider(0);
    fixture_free_gates();
}

TEST(race_timing, FinishFollowsTheLeader) {
    gates_3_4();
    fixture_rider(0);
    fixture_rider(1);
    race_state.final_lap = 2;   // the finish is index 6
    race_state.running_count = 0;
    fixture_timing(0, {100, 200, 300, 400, 500, 600, 700});
    EXPECT_EQ(rider_check_finished(0), 0);   // no leader: nobody has finished
    fixture_leader(0);
    EXPECT_EQ(rider_check_finished(0), 1);
    EXPECT_EQ(rider_table[0].finished, 1);

    // A lapped rider: between lap lines it is not finished; at its first lap line after the
    // leader's finish (lap 1 at tick 750), one lap short, it is.
    fixture_timing(1, {210, 430});
    EXPECT_EQ(rider_check_finished(1), 0);
    fixture_timing(1, {210, 430, 750});
    EXPECT_EQ(rider_check_finished(1), 1);
    // A rider whose last lap line came before the leader's finish is not.
    rider_table[1].finished = 0;
    fixture_timing(1, {210, 430, 650, 690});
    EXPECT_EQ(rider_check_finished(1), 0);

    // The leader not yet past the finish: nobody has finished.
    fixture_timing(0, {100, 200, 300, 400, 500, 600});
    rider_table[0].finished = 0;
    rider_table[1].finished = 0;
    fixture_leader(0);
    EXPECT_EQ(rider_check_finished(1), 0);
    EXPECT_EQ(rider_check_finished(0), 0);
    fixture_free_rider(0);
    fixture_free_rider(1);
    fixture_free_gates();
}
