// The rides of ride-log and of the bike benchmarks: ground made in memory, one bike dropped on
// it with the player's default setup or the tests' setup, and ticks run through the race tick.
#pragma once

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include "bike/bike_step.h"
#include "bike/drivetrain.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "bike/suspension.h"
#include "core/settings.h"
#include "game/settings_table.h"
#include "game/setup.h"
#include "race/particles.h"
#include "race/race.h"
#include "tests/terrain/memory_field.h"

constexpr float RIDE_GROUND_HEIGHT = 10.0f;
constexpr float RIDE_MPH = 0.6818181818181819f;   // mph per ft/s

// One hard kind: friction 1 at every speed, slip function 0, rolling resistance a and b at
// every speed (0 and 0: none).
inline void ride_hard_kind(tile_kind *k, float roll_a, float roll_b) {
    *k = {};
    for (int j = 0; j < 8; j++) {
        k->friction_a[j] = 1;
        k->friction_b[j] = j == 0 ? 1.0f : TERRAIN_FRICTION_UNUSED;
        k->roll_a[j] = roll_a;
        k->roll_b[j] = roll_b;
        k->roll_c[j] = j == 0 && (roll_a > 0 || roll_b > 0) ? 1.0f : 0.0f;
    }
}

// A field of n x n samples spacing apart of one hard kind, made the current terrain.
inline std::unique_ptr<memory_field> ride_field(int n, float spacing, const std::function<float(int, int)> &height,
                                               float roll_a = 0, float roll_b = 0) {
    auto field = std::make_unique<memory_field>(n, spacing, height);
    ride_hard_kind(&(*field)->kinds[0], roll_a, roll_b);
    terrain_current = field->get();
    return field;
}

// The tests' ground: 257 samples 2 ft apart, flat at height 10.
inline std::unique_ptr<memory_field> ride_flat_field() {
    return ride_field(257, 2.0f, [](int, int) { return RIDE_GROUND_HEIGHT; });
}

// The tests' slope: 10 degrees rising toward +z (or toward -z when rise is -1).
inline std::unique_ptr<memory_field> ride_slope_field(float rise) {
    const float tan10 = std::tan(10 * 3.14159265f / 180);
    return ride_field(257, 2.0f, [=](int, int z) { return 60.0f + rise * 2.0f * (z - 128) * tan10; });
}

// The long flat ground of the speed runs: 1025 samples 8 ft apart (8192 ft), the rolling
// resistance of a kind without its own (a 5, b 15).
inline std::unique_ptr<memory_field> ride_long_field() {
    return ride_field(1025, 8.0f, [](int, int) { return RIDE_GROUND_HEIGHT; }, 5, 15);
}

// The race state of a ride: the tick and gate drop through the bike hooks, tick 0, the gate
// dropped far in the future, roost and ruts off, every slot a rider from its history.
inline void ride_begin() {
    bike_hooks = {};
    bike_hooks.current_tick = [] { return race_state.current_tick; };
    bike_hooks.gate_drop_tick = [] { return race_state.gate_drop_tick; };
    race_state.current_tick = 0;
    race_state.gate_drop_tick = 1000000;
    race_state.erode_amount = 0;
    game_settings.roost_frequency = 0;
    for (int &k : rider_status) k = 1;
}

// The player's default setup: every setting at its default, through the setup screen's values.
inline void ride_player_setup(int slot) {
    settings_reset();
    bike_apply_setup_values(slot, setup_collect_values());
}

// Loads the model into the slot as a rider simulated here, with the tests' setup (the
// defaults, stop wheelies full) or the player's default setup, drops it at (x, z) facing yaw
// and engages the clutch lever. Null when the bike did not load.
inline rider_slot *ride_place(const char *model, int slot, float x, float z, float yaw, bool player_setup) {
    rider_slot *s = bike_load(model, slot, 0, "1", nullptr, nullptr, nullptr, nullptr);
    if (!s) return nullptr;
    if (player_setup) {
        ride_player_setup(slot);
    } else {
        bike_default_setup(s);
        bike_set_stop_wheelies(s, STOP_WHEELIES_FULL);
    }
    rider_status[slot] = 0;
    bike_drop_to_ground(slot, x, z, yaw);
    rider_set_clutch(s, 1);
    return s;
}

inline float ride_speed(const rider_slot *s) {
    const dReal *v = dBodyGetLinearVel(bike_frame_body(s));
    return (float)std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// The ride-log line of the bike at the current tick.
inline void ride_print_line(rider_slot *s) {
    const dReal *p = dBodyGetPosition(bike_frame_body(s));
    float fork = 0, shock = 0, u, d;
    bike_front_suspension(s, &fork, &u, &d);
    bike_rear_suspension(s, &shock, &u, &d);
    printf("t=%.2f x=%.1f z=%.1f mph=%.1f gear=%d rpm=%.0f fork=%.0f%% shock=%.0f%% tilt=%.3f front=%.3f "
           "rear=%.3f respawn=%d particles=%d\n",
           race_state.current_tick / 128.0, p[0], p[2], bike_forward_speed_mph(s), rider_get_gear(s),
           bike_engine_rpm(s), 100 * fork, 100 * shock, bike_body_tilt(bike_frame_body(s)),
           s->front_contact.contact_depth, s->rear_contact.contact_depth, s->respawn_counter,
           particle_active_count());
}

// The launch: throttle 1 and the lever released from the first tick for the given seconds.
// The time to 60 mph (negative when never reached) and the top speed with its gear and rpm.
struct ride_launch_result {
    double time_to_60 = -1, top_mph = 0, top_rpm = 0;
    int top_gear = 0;
};

inline ride_launch_result ride_launch(rider_slot *s, double seconds, bool log) {
    ride_launch_result r;
    int start = race_state.current_tick;
    for (int i = 0; i < (int)(seconds * 128); i++) {
        rider_set_throttle(s, 1);
        rider_set_clutch(s, 1);
        race_tick();
        double mph = bike_forward_speed_mph(s);
        if (r.time_to_60 < 0 && mph >= 60) r.time_to_60 = (race_state.current_tick - start) / 128.0;
        if (mph > r.top_mph) {
            r.top_mph = mph;
            r.top_gear = rider_get_gear(s);
            r.top_rpm = bike_engine_rpm(s);
        }
        if (log && race_state.current_tick % 32 == 0) ride_print_line(s);
    }
    return r;
}
