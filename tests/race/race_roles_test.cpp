// The race reset on the practice track: who rides in which slot, where they line up, the
// race's laps and rules, the bike loads it asks for, and a track that cannot be raced.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "bike/bike_info.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "core/console.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "net/client.h"
#include "race/lines.h"
#include "race/race.h"
#include "race/start_gate.h"
#include "race/time_trial.h"
#include "race/statue.h"
#include "race/timing.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "tests/race/practice_race.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"

namespace {

struct load_call {
    std::string model;
    int slot, no_wheel_contacts;
    std::string number;
};
std::vector<load_call> loads;
std::vector<int> sounds;
int fail_loads = 0;

rider_slot *spy_load(const char *model, int slot, int flag, const char *number, const char *body,
                     const char *head, const char *bike, const char *wheels) {
    loads.push_back({model, slot, flag, number ? number : ""});
    if (fail_loads) return nullptr;
    return bike_load(model, slot, flag, number, body, head, bike, wheels);
}

void spy_sound(int slot, const char *) {
    sounds.push_back(slot);
}

float camera_at[3];
void spy_camera(const float p[3]) {
    for (int i = 0; i < 3; i++) camera_at[i] = p[i];
}

struct reset_fixture : practice_race_fixture {
    reset_fixture() {
        race_bike_load = spy_load;
        race_hooks.engine_sound_load = spy_sound;
        race_hooks.place_free_camera = spy_camera;
    }
    ~reset_fixture() { race_bike_load = bike_load; }
    int reset(const std::vector<int> &first_roles, int race_time = 0, int laps = 5) {
        static int roles[RIDER_SLOTS];
        memset(roles, 0, sizeof roles);
        for (size_t i = 0; i < first_roles.size(); i++) roles[i] = first_roles[i];
        loads.clear();
        sounds.clear();
        return race_reset(roles, 0, 0, race_time, laps, 0);
    }
};

const load_call *load_of(int slot) {
    for (const load_call &c : loads)
        if (c.slot == slot) return &c;
    return nullptr;
}

// The bike's place (its origin, the frame less its rest offset) behind gate g's point along
// the riders' facing, and across.
void place_of(int slot, int gate, double *back, double *across) {
    const rider_slot *s = rider_slot_at(slot);
    const dReal *p = dBodyGetPosition(bike_frame_body(s));
    const starting_gate &g = starting_gates[gate];
    double rest = bike_v(bike_row_of(s), 18);   // the frame's rest place behind the origin
    double dx = p[0] - g.position[0] - rest * sin(g.angle), dz = p[2] - g.position[2] - rest * cos(g.angle);
    *back = dx * sin(g.angle) + dz * cos(g.angle);
    *across = dx * cos(g.angle) - dz * sin(g.angle);
}

}  // namespace

TEST(race_reset, RolesKindsAndLineUp) {
    reset_fixture f;
    ASSERT_NE(f.window.w, nullptr);
    game_settings.erode_amount = 700;
    // Local, robot, robot on a 125, robot on a 250, series robot 57, remote, none, local again.
    ASSERT_EQ(f.reset({1, 2, 3, 4, 1057, 5, 0, 1}), 1);
    const int kinds[] = {0, 2, 2, 2, 2, 1, 1, 1};
    for (int i = 0; i < 8; i++) EXPECT_EQ(rider_status[i], kinds[i]) << "slot " << i;
    for (int i = 0; i < 5; i++) {
        ASSERT_TRUE(rider_has_bike(i)) << i;
        ASSERT_NE(load_of(i), nullptr);
        EXPECT_EQ(load_of(i)->no_wheel_contacts, 0);
    }
    for (int i = 5; i < 8; i++) EXPECT_FALSE(rider_has_bike(i)) << i;
    EXPECT_EQ(race_roles[7], 0);   // one local rider
    EXPECT_NE(load_of(2)->model.find("125"), std::string::npos);
    EXPECT_NE(load_of(3)->model.find("250"), std::string::npos);
    EXPECT_EQ(load_of(4)->number, "57");
    EXPECT_STREQ(race_rider_names[1], "Roborider");
    EXPECT_EQ(sounds, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(viewed_slot, 0);
    const dReal *frame = dBodyGetPosition(bike_frame_body(rider_slot_at(0)));
    EXPECT_NEAR(camera_at[1], frame[1] + 5, 0.01);   // the free camera above the viewed rider
    EXPECT_NEAR(camera_at[0], frame[0], 0.01);
    EXPECT_EQ(race_state.erode_amount, 700);
    EXPECT_EQ(race_state.final_lap, 5);
    EXPECT_EQ(race_state.half_way_lap, 3);
    EXPECT_EQ(race_state.running_count, 5);
    EXPECT_GE(race_state.gate_drop_tick, 1664);
    EXPECT_LE(race_state.gate_drop_tick, 1919);
    // The local rider at gate 0, row 0, facing down the straight: 0.625 ft behind the gate.
    double back, across;
    place_of(0, 0, &back, &across);
    EXPECT_NEAR(back, 0.625, 0.01);
    EXPECT_NEAR(across, 0, 0.01);
    dVector3 forward;
    dBodyVectorToWorld(bike_frame_body(rider_slot_at(0)), 0, 0, -1, forward);
    EXPECT_NEAR(forward[0], -sin(starting_gates[0].angle), 0.02);
    EXPECT_NEAR(forward[2], -cos(starting_gates[0].angle), 0.02);

    // Ten robots at four gates stand in three rows; a timed race has no final lap yet.
    ASSERT_EQ(f.reset(std::vector<int>(10, 2), 128 * 60, 5), 1);
    EXPECT_EQ(race_state.final_lap, RACE_NO_FINAL_LAP);
    EXPECT_EQ(race_state.half_way_lap, RACE_NO_FINAL_LAP);
    for (int slot : {1, 5, 9}) {
        place_of(slot, 1, &back, &across);
        EXPECT_NEAR(back, 10 * (slot / 4 + 1.0 / 16), 0.05) << slot;
        EXPECT_NEAR(across, 0, 0.05) << slot;
    }
    EXPECT_FALSE(rider_has_bike(10));

    // Nobody: slot 0 a lone robot, viewed. No roles at all: a time trial.
    ASSERT_EQ(f.reset({}), 1);
    EXPECT_EQ(race_roles[0], 2);
    EXPECT_EQ(rider_status[0], 2);
    EXPECT_EQ(viewed_slot, 0);
    loads.clear();
    ASSERT_EQ(race_reset(nullptr, 0, 0, 0, 5, 0), 1);
    EXPECT_EQ(race_state.time_trial, 1);
    EXPECT_EQ(race_roles[0], 1);
    EXPECT_EQ(rider_status[0], 0);
    EXPECT_EQ(race_state.current_tick, RACE_TIME_TRIAL_START_TICK);
    EXPECT_EQ(loads.size(), 1u);
}

TEST(race_reset, FailedLoadsAndNoTrack) {
    reset_fixture f;
    ASSERT_NE(f.window.w, nullptr);
    fail_loads = 1;
    ASSERT_EQ(f.reset({1, 2, 2}), 1);
    EXPECT_EQ(loads.size(), 3u);
    for (int i = 0; i < RIDER_SLOTS; i++) EXPECT_FALSE(rider_has_bike(i));
    EXPECT_TRUE(sounds.empty());
    EXPECT_EQ(race_state.running_count, 0);
    fail_loads = 0;
    ASSERT_EQ(f.reset({0, 0, 1}), 1);
    EXPECT_EQ(viewed_slot, 2);

    // An empty Track choice: no race, the old track unloaded, the viewed slot and the free
    // camera kept.
    camera_at[1] = -1;
    settings.track.option_count = 0;
    EXPECT_EQ(f.reset({1}), 0);
    EXPECT_EQ(track_name, nullptr);
    EXPECT_EQ(viewed_slot, 2);
    EXPECT_EQ(camera_at[1], -1);
    EXPECT_FALSE(rider_has_bike(0));
    // A folder whose terrain does not load.
    static const char *missing[] = {"tracks/nowhere"};
    settings.track.options = missing;
    settings.track.option_count = 1;
    EXPECT_EQ(f.reset({1}), 0);
    EXPECT_EQ(track_name, nullptr);
}

// Online, a rider who leaves its place before the drop is held, its controls forced, until
// exactly 15 s after the drop, told once; after the drop nothing is forced. The suspension graph
// clears four rings when it starts and later wraps without clearing.
TEST(race_tick, StartRulesAndSuspensionGraph) {
    reset_fixture f;
    ASSERT_NE(f.window.w, nullptr);
    ASSERT_EQ(f.reset({1}), 1);
    rider_slot *s = rider_slot_at(0);
    int drop = race_state.gate_drop_tick;
    console_clear();
    race_state.current_tick = drop - 100;
    race_start_rules(s);
    EXPECT_EQ(race_false_start_penalty, 0);
    EXPECT_EQ(s->controls.sit_dab, 1.0f);
    bike_translate(0, 3.1f, 0, 0);
    race_start_rules(s);
    EXPECT_EQ(race_false_start_penalty, RACE_FALSE_START_TICKS + 100);
    int held = 0, told = 0;
    for (int t = drop - 99; race_false_start_penalty > 0; t++) {
        race_state.current_tick = t;
        rider_set_throttle(s, 1);
        race_start_rules(s);
        held = t;
        EXPECT_EQ(s->controls.throttle, 0.0f);
        EXPECT_EQ(s->controls.front_brake, 1.0f);
    }
    EXPECT_EQ(held, drop + RACE_FALSE_START_TICKS);
    for (int i = 0; i < CONSOLE_LINES; i++) told += strstr(console_log.lines[i], "15 second false start penalty") != nullptr;
    EXPECT_EQ(told, 1);
    race_state.current_tick = drop + 1;
    rider_set_throttle(s, 1);
    race_start_rules(s);
    EXPECT_EQ(s->controls.throttle, 1.0f);
    EXPECT_EQ(race_false_start_penalty, 0);

    suspension_graph = {{}, 1024};
    suspension_graph.rings[1][700] = 5;
    suspension_graph.rings[0][700] = 5;
    suspension_graph_on = 1;
    race_tick();
    EXPECT_EQ(suspension_graph.index, 1);
    EXPECT_EQ(suspension_graph.rings[1][700], 0.0f);
    EXPECT_EQ(suspension_graph.rings[0][700], 5.0f);   // compression rings are not cleared
    suspension_graph.index = 1023;
    suspension_graph.rings[1][700] = 5;
    race_tick();
    EXPECT_EQ(suspension_graph.index, 0);
    EXPECT_EQ(suspension_graph.rings[1][700], 5.0f);
    suspension_graph_on = 0;
}

// The restart of a time-trial run puts the player at the checkpoint of lap-list entry
// max(F - 3, 0), facing along its direction, with its timing list cut to that many points.
TEST(race_end, PutsThePlayerAtTheRunsStart) {
    reset_fixture f;
    ASSERT_NE(f.window.w, nullptr);
    ASSERT_EQ(f.reset({1}), 1);
    ASSERT_TRUE(rider_has_bike(0));
    ASSERT_GE(timing_gates.lap_list.count, 3);
    int saved_first = timing_gates.first_lap_length;
    const int *list = (const int *)timing_gates.lap_list.items;
    struct {
        int first;
        float dx, dz;
    } cases[] = {{2, 0, -1}, {3, 1, 0}, {5, 0, -1}, {5, 1, 0}};
    for (auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "F = " << c.first << ", direction (" << c.dx << ", " << c.dz << ")");
        timing_gates.first_lap_length = c.first;
        int k = std::max(c.first - 3, 0);
        int cp = list[k] >= TIMING_NO_SEGMENT ? list[k] - TIMING_NO_SEGMENT : list[k];
        checkpoint &gate = timing_gates.checkpoints[cp];
        float saved_b[3] = {gate.b[0], gate.b[1], gate.b[2]};
        gate.b[0] = c.dx;
        gate.b[2] = c.dz;
        // Somewhere else, well into the race.
        int other = list[(k + 2) % timing_gates.lap_list.count] % TIMING_NO_SEGMENT;
        race_drop_to_ground(0, timing_gates.checkpoints[other].a[0], timing_gates.checkpoints[other].a[2], 1.0f);
        for (int i = 0; i < 8; i++) rider_set_timing_tic(0, i, 100 + i);
        rider_table[0].timing_count = 8;
        last_lap_ticks = 500;
        // A robot riding the run, stuck on a working line far from the restart.
        line_point far = {1000, 0, 1000, 30, 0};
        plyx_array_append(&rider_table[0].working_line, &far);
        rider_table[0].target_index = 0;
        rider_table[0].robot.next_segment = 9;
        rider_table[0].robot.recovery = 3;

        race_end();
        const rider_slot *s = rider_slot_at(0);
        // It chooses its lines afresh, for the segment starting at the restart's checkpoint.
        EXPECT_EQ(s->working_line.count, 0);
        EXPECT_EQ(s->target_index, 0);
        EXPECT_EQ(s->robot.recovery, 0);
        EXPECT_EQ(s->robot.next_segment, rider_count_timed_points(k + 1));
        const dReal *p = dBodyGetPosition(bike_frame_body(s));
        double rest = bike_v(bike_row_of(s), 18);   // the frame's rest place behind the origin
        EXPECT_LT(std::hypot(p[0] - gate.a[0], p[2] - gate.a[2]), std::fabs(rest) + 0.5);
        const dReal *r = dBodyGetRotation(bike_frame_body(s));
        double fx = -r[2], fz = -r[10];   // the frame's forward, -z of its own axes
        EXPECT_GT((fx * c.dx + fz * c.dz) / std::hypot(fx, fz), 0.99);
        EXPECT_EQ(rider_timing_count(0), k);
        EXPECT_EQ(last_lap_ticks, 0);
        gate.b[0] = saved_b[0];
        gate.b[2] = saved_b[2];
    }
    timing_gates.first_lap_length = saved_first;
}

// Online, the own rider meets the fresh remote riders: one whose newest state is a second old is
// left alone; with the own rider out of the race every fresh one is met, with it in the race one
// that has finished is not. A touched remote rider, hidden until then, wakes.
TEST(race_tick, OnlineContactsOfTheOwnRider) {
    reset_fixture f;
    ASSERT_NE(f.window.w, nullptr);
    int drop = race_state.gate_drop_tick;
    struct {
        const char *name;
        int own_in_race, stale, finished, woken;
    } cases[] = {
        {"fresh, own rider out of the race", 0, 0, 0, 1},
        {"a second old", 0, 1, 0, 0},
        {"finished, own rider out of the race", 0, 0, 1, 1},
        {"finished, own rider in the race", 1, 0, 1, 0},
        {"fresh, own rider in the race", 1, 0, 0, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(f.reset({1, 2}), 1);
        ASSERT_TRUE(rider_has_bike(0) && rider_has_bike(1));
        rider_status[1] = 1;   // a remote rider, driven from what the server sends
        drop = race_state.gate_drop_tick;
        rider_slot *other = rider_slot_at(1);
        const dReal *own = dBodyGetPosition(bike_frame_body(rider_slot_at(0)));
        // The remote rider stands where the own one does, hidden.
        const dReal *p = dBodyGetPosition(bike_frame_body(other));
        bike_translate(1, (float)(own[0] - p[0]), 0, (float)(own[2] - p[2]));
        bike_fade_out(other);
        other->rider_presence = 0;
        race_state.current_tick = drop + (int)(off_course_bias * RACE_TICKS_PER_SECOND) + 200;
        race_update_standings();
        ASSERT_GT(race_state.running_count, 1);
        if (c.own_in_race) {
            rider_set_timing_tic(0, 0, drop + 100);
            rider_slot_at(0)->timing_count = 1;
        }
        rider_set_timing_tic(1, 0, drop + 90);   // the remote rider has passed the first point
        other->timing_count = 1;
        other->finished = c.finished;
        net_client.socket = 1000;
        net_client.slot = 0;
        net_client.local_slot = 0;
        net_slot_state_tick[1] = race_state.current_tick - (c.stale ? RACE_TICKS_PER_SECOND : 10);
        race_tick();
        net_client.socket = -1;
        net_client.slot = RIDER_NO_SLOT;
        net_client.local_slot = RIDER_NO_SLOT;
        if (c.woken)
            EXPECT_GT(other->rider_presence, 0.5f);
        else
            EXPECT_EQ(other->rider_presence, 0.0f);
    }
}

// Offline, a rider driven from its history meets the gate arms until 10 s after the drop and
// not a tick longer.
TEST(race_tick, HistoryRidersMeetGateArmsForTenSeconds) {
    reset_fixture f;
    ASSERT_NE(f.window.w, nullptr);
    ASSERT_EQ(f.reset({1, 2}), 1);
    rider_status[1] = 1;
    rider_slot *s = rider_slot_at(1);
    const starting_gate &g = starting_gates[1];
    track_statue *arm = track_statue_at(g.statue);
    ASSERT_NE(arm, nullptr);
    int drop = race_state.gate_drop_tick;
    for (int tick : {drop + 1000, drop + RACE_GATE_WINDOW_TICKS, drop + RACE_GATE_WINDOW_TICKS + 1}) {
        SCOPED_TRACE(tick - drop);
        race_state.current_tick = tick;
        race_update_gate_arms();   // down by now, flat on the ground
        // The front wheel pressed onto the middle of the lying plate.
        const dReal *w = dBodyGetPosition(bike_body_of(s, BIKE_BODY_FRONT_WHEEL));
        float tx = arm->x + 1.5f * std::sin(g.angle), tz = arm->z + 1.5f * std::cos(g.angle);
        float ty = arm->y + 0.05f + 0.15f + (float)bike_v(bike_row_of(s), 1) - 0.1f;
        bike_translate(1, tx - (float)w[0], ty - (float)w[1], tz - (float)w[2]);
        arm->last_hit_tick = -1;
        race_tick();
        if (tick <= drop + RACE_GATE_WINDOW_TICKS)
            EXPECT_EQ(arm->last_hit_tick, tick);
        else
            EXPECT_EQ(arm->last_hit_tick, -1);
    }
}
