// The start: line-up places, the gate drop and roster draws, the falling gate arms.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "core/digest.h"
#include "race/race.h"
#include "race/start_gate.h"
#include "race/statue.h"
#include "race/timing.h"
#include "race/track.h"
#include "terrain/terrain.h"

namespace {

void set_gates(int n) {
    race_state.gate_count = n;
    for (int i = 0; i < n; i++) {
        starting_gates[i] = {};
        starting_gates[i].position[0] = 100.0f + 4.5f * (float)i;
        starting_gates[i].position[2] = 50.0f;
        starting_gates[i].angle = 0.5f;
        starting_gates[i].statue = -1;
    }
}

}  // namespace

TEST(race_start_gate, StartPlaces) {
    set_gates(4);
    float p[3], yaw;
    race_start_place(9, p, &yaw);   // gate 1, row 2
    EXPECT_NEAR(p[0], 104.5f + 20.625f * sinf(0.5f), 1e-4);
    EXPECT_NEAR(p[2], 50.0f + 20.625f * cosf(0.5f), 1e-4);
    EXPECT_FLOAT_EQ(yaw, 0.5f);
    race_start_place(0, p, &yaw);
    EXPECT_NEAR(p[0], 100.0f + 0.625f * sinf(0.5f), 1e-4);

    set_gates(0);
    float size = terrain_current ? terrain_current->extent : 0.0f;
    race_start_place(3, p, &yaw);
    EXPECT_FLOAT_EQ(p[0], size / 2 + 15);
    EXPECT_FLOAT_EQ(p[2], size / 2);
    EXPECT_EQ(yaw, 0);

    // Server races: the local rider at its slot, remote riders behind the first row.
    int roles[RIDER_SLOTS] = {};
    roles[0] = roles[1] = roles[3] = 5;
    roles[2] = 1;
    EXPECT_EQ(race_start_index(7, roles, 0, 160, 4), 7);   // not a server race
    EXPECT_EQ(race_start_index(2, roles, 1, 2, 4), 2);
    EXPECT_EQ(race_start_index(0, roles, 1, 2, 4), 4);
    EXPECT_EQ(race_start_index(1, roles, 1, 2, 4), 5);
    EXPECT_EQ(race_start_index(3, roles, 1, 2, 4), 6);
    int later[RIDER_SLOTS] = {};
    later[0] = later[1] = later[2] = 5;
    later[5] = 1;   // local slot 5: gate 1, row 1
    EXPECT_EQ(race_start_index(0, later, 1, 5, 4), 4);
    EXPECT_EQ(race_start_index(1, later, 1, 5, 4), 6);
    EXPECT_EQ(race_start_index(2, later, 1, 5, 4), 7);
    EXPECT_EQ(race_start_index(9, later, 1, 160, 4), 0);   // watching: gate 0, row 0
}

TEST(race_start_gate, GateDropDraws) {
    int low = 1 << 30, high = 0;
    for (uint32_t seed = 0; seed < 10000; seed++) {
        mt_seed(seed);
        int drop = race_draw_gate_drop();
        low = std::min(low, drop);
        high = std::max(high, drop);
    }
    EXPECT_GE(low, 1664);
    EXPECT_LE(high, 1919);
    EXPECT_LT(low, 1680);    // the whole range is reached
    EXPECT_GT(high, 1900);
}

TEST(race_start_gate, GateArms) {
    track_lists_create();
    set_gates(2);
    starting_gates[0].statue = track_add_statue(0, 0, 0, 0, nullptr, nullptr, nullptr);
    track_statue *arm = track_statue_at(starting_gates[0].statue);
    ASSERT_NE(arm, nullptr);
    race_state.gate_drop_tick = 100;
    race_state.view_delay = 0;
    auto run_to = [&](int tick) {
        while (race_state.current_tick < tick) {
            race_update_gate_arms();
            race_state.current_tick++;
        }
    };
    // Raised: the arm's local +z points 33.75 degrees up.
    race_state.current_tick = 0;
    run_to(101);
    EXPECT_FLOAT_EQ(starting_gates[0].arm_fraction, 1);
    EXPECT_NEAR(arm->orientation[5], sinf(33.75f * (float)M_PI / 180), 1e-5);
    // Untouched, 1 to 0 in 32 ticks, ending at speed 8.
    run_to(101 + 31);
    EXPECT_GT(starting_gates[0].arm_fraction, 0);
    run_to(101 + 32);
    EXPECT_EQ(starting_gates[0].arm_fraction, 0);
    EXPECT_FLOAT_EQ(starting_gates[0].arm_speed, 8);
    EXPECT_NEAR(arm->orientation[5], 0, 1e-6);

    // A hit in the first falling tick keeps 1 and starts again from speed 0.
    race_state.current_tick = 0;
    run_to(101);
    arm->last_hit_tick = 101;
    run_to(102);
    EXPECT_EQ(starting_gates[0].arm_fraction, 1);
    EXPECT_EQ(starting_gates[0].arm_speed, 0);
    run_to(103);
    EXPECT_FLOAT_EQ(starting_gates[0].arm_fraction, 1 - 0.25f / 128);
    // A hit mid-fall holds the fraction.
    run_to(110);
    float held = starting_gates[0].arm_fraction;
    arm->last_hit_tick = 110;
    run_to(111);
    EXPECT_EQ(starting_gates[0].arm_fraction, held);
    EXPECT_EQ(starting_gates[0].arm_speed, 0);

    // A view delay of 127 drops 127 ticks later; after D + 1280 nothing moves.
    race_state.view_delay = 127;
    race_state.current_tick = 0;
    run_to(228);
    EXPECT_EQ(starting_gates[0].arm_fraction, 1);
    run_to(229);
    EXPECT_LT(starting_gates[0].arm_fraction, 1);
    race_raise_gate_arms();
    race_state.current_tick = 227 + 1281;
    race_update_gate_arms();
    EXPECT_EQ(starting_gates[0].arm_fraction, 1);
    EXPECT_EQ(starting_gates[1].arm_fraction, 1);   // statue -1: skipped, left up
    track_lists_free();
}
