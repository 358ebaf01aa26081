// The flaggers over race-state fixtures: the start flagger's boards and walk, the lap flagger
// through lap and timed races, gate flaggers alerted by fallen riders wherever their timing
// position lies, stale remote riders, tracks without timing, and one animation restart a change.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "bike/rider.h"
#include "core/net_state.h"
#include "present/flaggers.h"
#include "present/scene.h"
#include "race/flaggers.h"
#include "race/objects.h"
#include "race/race.h"
#include "race/timing.h"
#include "race/track.h"

namespace {

std::vector<std::pair<uint32_t, int>> starts;   // texture, tick
std::vector<uint32_t> stops;

void record_start(uint32_t texture, int32_t tick) {
    starts.push_back({texture, tick});
}
void record_stop(uint32_t texture) {
    stops.push_back(texture);
}
int online_now = 0;
int online() {
    return online_now;
}

const int START[5] = {11, 12, 13, 14, 15}, LAP[4] = {21, 22, 23, 24};
const int NORMAL = 31, ALERT = 32;

class present_flaggers : public ::testing::Test {
  protected:
    void SetUp() override {
        track_lists_create();
        for (int i = 0; i < 5; i++) {
            billboard b = {};
            b.size = 6;
            b.texture = 1;
            plyx_array_append(&track_billboards, &b);
        }
        flagger_setup &f = track_flagger_setup;
        f = {};
        f.start_billboard = 0;
        memcpy(f.start_textures, START, sizeof START);
        const float from[3] = {10, 1, 20}, to[3] = {40, 3, -20};
        memcpy(f.start_position, from, sizeof from);
        memcpy(f.end_position, to, sizeof to);
        f.walk_time = 1;
        f.lap_billboard = 1;
        memcpy(f.lap_textures, LAP, sizeof LAP);
        // Gate flaggers on checkpoint 0, on 2 and 3, and on 1.
        const flagger gates[3] = {{2, NORMAL, ALERT, {0, -1, -1, -1}},
                                  {3, NORMAL, ALERT, {-1, 2, 3, -1}},
                                  {4, NORMAL, ALERT, {1, -1, -1, -1}}};
        for (const flagger &g : gates) plyx_array_append(&track_flaggers, &g);
        // A first lap through checkpoints 0..3, then laps of 1, 2 and 3 (3 ends no segment).
        timing_gates.count = 4;
        plyx_array_init(&timing_gates.lap_list, sizeof(int), 8);
        for (int c : {0, 1, 2, 3, 1, 2, 3 + TIMING_NO_SEGMENT}) plyx_array_append(&timing_gates.lap_list, &c);
        timing_gates.first_lap_length = 4;
        timing_gates.lap_length = 3;
        race_state = {};
        race_state.countdown_ticks = RACE_COUNTDOWN_TICKS;
        race_state.laps = 3;
        race_state.final_lap = 3;
        race_state.half_way_lap = 2;
        race_state.running_count = 2;
        race_state.running_order[0].slot = 0;
        race_state.running_order[1].slot = 1;
        for (int s : {0, 1}) {
            rider_table[s].timing_count = 0;
            rider_table[s].down_flag = 0;
            rider_table[s].finished = 0;
            rider_status[s] = 0;
        }
        starts.clear();
        stops.clear();
        flagger_anims = {record_start, record_stop};
        scene_hooks.online = online;
        online_now = 0;
        net_client.local_slot = RIDER_NO_SLOT;
    }
    void TearDown() override {
        plyx_array_free(&timing_gates.lap_list);
        timing_gates_clear();
        track_lists_free();
        scene_hooks.online = nullptr;
    }
    static billboard &row(int i) { return ((billboard *)track_billboards.items)[i]; }
    static void at_seconds(double t) {
        race_state.current_tick = (int)(t * 128 + 0.5);
        scene_update_flaggers();
    }
};

}  // namespace

TEST_F(present_flaggers, StartFlaggerShowsHisBoardsThenWalksOff) {
    // The countdown's whole seconds D = 5; walking starts at D + 1 and takes the walk time.
    struct {
        double t;
        int texture;
        double u;
    } cases[] = {{5.05, START[0], 0}, {5.2, START[1], 0}, {5.5, START[2], 0},
                 {6.5, START[3], 0.5}, {7.5, START[4], 1}, {2.0, START[0], 0}};
    for (auto &c : cases) {
        at_seconds(c.t);
        const billboard &b = row(0);
        EXPECT_EQ(b.texture, c.texture) << c.t;
        EXPECT_NEAR(b.x, 10 + c.u * 30, 1e-4) << c.t;
        EXPECT_NEAR(b.z, 20 - c.u * 40, 1e-4) << c.t;
        EXPECT_NEAR(b.y, 1 + c.u * 2, 1e-4) << c.t;   // no ground: its height is 0
    }
}

TEST_F(present_flaggers, APhaseChangeRestartsItsAnimationOnce) {
    at_seconds(5.05);
    ASSERT_EQ(row(0).texture, START[0]);
    starts.clear();
    stops.clear();
    at_seconds(5.2);
    at_seconds(5.21);
    at_seconds(5.25);
    int started = 0;
    for (auto &s : starts) started += s.first == (uint32_t)START[1];
    EXPECT_EQ(started, 1);
    EXPECT_EQ(starts.size(), 1u);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0], (uint32_t)START[0]);
    EXPECT_EQ(starts[0].second, (int)(5.2 * 128 + 0.5));
}

TEST_F(present_flaggers, LapFlaggerFollowsTheLeader) {
    // First lap 4 positions, then 3 a lap: the leader's lap turns at positions 3, 6, 9, 12.
    struct {
        const char *label;
        int laps, final_lap, half, race_time;
        int p, texture;
    } cases[] = {
        {"3 laps start", 3, 3, 2, 0, 0, LAP[0]},
        {"3 laps lap 1", 3, 3, 2, 0, 4, LAP[0]},
        {"3 laps lap 2", 3, 3, 2, 0, 6, LAP[2]},   // the last lap outranks half-way
        {"3 laps lap 3", 3, 3, 2, 0, 9, LAP[3]},
        {"3 laps after", 3, 3, 2, 0, 14, LAP[3]},
        {"5 laps lap 3", 5, 5, 3, 0, 10, LAP[1]},
        {"5 laps lap 4", 5, 5, 3, 0, 12, LAP[2]},
        {"5 laps lap 5", 5, 5, 3, 0, 15, LAP[3]},
        // A timed race (10 s) with 2 extra laps: nothing until the race sets its final lap,
        // then the last lap and the flag.
        {"timed running", 2, RACE_NO_FINAL_LAP, RACE_NO_FINAL_LAP, 1280, 9, LAP[0]},
        {"timed up, lap 3 ends", 2, RACE_NO_FINAL_LAP, RACE_NO_FINAL_LAP, 1280, 9, LAP[0]},
        {"timed final 4 lap 3", 2, 4, RACE_NO_FINAL_LAP, 1280, 10, LAP[2]},
        {"timed final 4 lap 4", 2, 4, RACE_NO_FINAL_LAP, 1280, 12, LAP[3]},
        // With one extra lap the time running out on the leader's lap line makes it the last.
        {"timed up, 1 extra", 1, RACE_NO_FINAL_LAP, RACE_NO_FINAL_LAP, 1280, 9, LAP[2]},
        {"timed up, past the line", 1, RACE_NO_FINAL_LAP, RACE_NO_FINAL_LAP, 1280, 10, LAP[0]},
        {"position near 2^31", 3, 3, 2, 0, INT_MAX, LAP[3]},
    };
    for (auto &c : cases) {
        race_state.laps = c.laps;
        race_state.final_lap = c.final_lap;
        race_state.half_way_lap = c.half;
        race_state.race_time = c.race_time;
        race_state.gate_drop_tick = 0;
        rider_table[0].timing_count = c.p;
        race_state.current_tick = strcmp(c.label, "timed running") == 0 ? 640 : 20000;
        scene_update_flaggers();
        EXPECT_EQ(row(1).texture, c.texture) << c.label;
    }
}

TEST_F(present_flaggers, FallenRidersAlertTheirCheckpointsFlaggers) {
    struct {
        const char *label;
        int p;
        bool down, remote_stale;
        int a, b, c;   // textures of the three gate flaggers
    } cases[] = {
        {"riding", 0, false, false, NORMAL, NORMAL, NORMAL},
        {"down at 0", 0, true, false, ALERT, NORMAL, NORMAL},
        {"down at lap 3's second", 4 + 2 * 3 + 1, true, false, NORMAL, ALERT, NORMAL},
        {"down at a mark without segment", 6, true, false, NORMAL, ALERT, NORMAL},
        {"down near 2^31", INT_MAX, true, false, NORMAL, NORMAL, ALERT},
        {"negative position", -5, true, false, NORMAL, NORMAL, NORMAL},
        {"stale remote", 0, true, true, NORMAL, NORMAL, NORMAL},
    };
    race_state.current_tick = 5000;
    for (auto &c : cases) {
        rider_table[1].timing_count = c.p;
        rider_table[1].down_flag = c.down;
        online_now = c.remote_stale;
        rider_status[1] = c.remote_stale ? 1 : 0;
        net_slot_state_tick[1] = race_state.current_tick - 128;
        scene_update_flaggers();
        EXPECT_EQ(row(2).texture, c.a) << c.label;
        EXPECT_EQ(row(3).texture, c.b) << c.label;
        EXPECT_EQ(row(4).texture, c.c) << c.label;
    }
    // A remote rider heard from within the second still counts.
    online_now = 1;
    rider_status[1] = 1;
    rider_table[1].timing_count = 0;
    net_slot_state_tick[1] = race_state.current_tick - 127;
    scene_update_flaggers();
    EXPECT_EQ(row(2).texture, ALERT);
    EXPECT_EQ(timing_gates.checkpoints[0].word, 1);
    // A finished rider lying down is not down.
    rider_table[1].finished = 1;
    scene_update_flaggers();
    EXPECT_EQ(row(2).texture, NORMAL);
    EXPECT_EQ(timing_gates.checkpoints[0].word, 0);
}

TEST_F(present_flaggers, NoTimingGatesChangesNothing) {
    timing_gates.first_lap_length = 0;
    timing_gates.lap_length = 0;
    rider_table[1].down_flag = 1;
    std::vector<billboard> before((billboard *)track_billboards.items,
                                  (billboard *)track_billboards.items + track_billboards.count);
    for (double t : {0.0, 5.5, 9.0}) at_seconds(t);
    for (int i = 0; i < track_billboards.count; i++)
        EXPECT_EQ(memcmp(&row(i), &before[i], sizeof(billboard)), 0) << i;
    EXPECT_TRUE(starts.empty());
    // Rows the setup names that the table lacks are left alone.
    timing_gates.first_lap_length = 4;
    timing_gates.lap_length = 3;
    track_flagger_setup.start_billboard = 99;
    track_flagger_setup.lap_billboard = -1;
    at_seconds(5.5);
    EXPECT_EQ(row(1).texture, 1);
}
