// The riding tests' fixture: a ground field in memory of one hard kind, "yz250f(2017)" in slot
// 0 dropped facing -z, and ticks run through the race tick with every body checked.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <random>

#include "bike/bike_step.h"
#include "bike/drivetrain.h"
#include "bike/suspension.h"
#include "bike/wheel_contacts.h"
#include "core/settings.h"
#include "race/race.h"
#include "tests/bike/bike_test_support.h"
#include "tests/terrain/memory_field.h"

// One hard kind: friction 1 at every speed, slip function 0, no rolling resistance.
inline void ride_hard_kind(tile_kind *k) {
    *k = {};
    for (int j = 0; j < 8; j++) {
        k->friction_a[j] = 1;
        k->friction_b[j] = TERRAIN_FRICTION_UNUSED;
        k->roll_a[j] = k->roll_b[j] = k->roll_c[j] = 0;
    }
}

inline float ride_flat(int, int) {
    return 10.0f;
}

// Where and how the bike's bodies stand: the worst of every tick.
struct ride_extremes {
    bool finite = true;
    double speed = 0, spin = 0;
};

class bike_ride : public bike_fixture {
  protected:
    std::unique_ptr<memory_field> field;
    terrain_field *saved_terrain = nullptr;
    rider_slot *s = nullptr;
    ride_extremes extremes;

    void SetUp() override {
        bike_fixture::SetUp();
        if (HasFatalFailure()) return;
        saved_terrain = terrain_current;
        bike_hooks = {};
        bike_hooks.current_tick = [] { return race_state.current_tick; };
        bike_hooks.gate_drop_tick = [] { return race_state.gate_drop_tick; };
        race_state.current_tick = 0;
        race_state.gate_drop_tick = 1000000;
        race_state.erode_amount = 0;
        game_settings.roost_frequency = 0;
        for (int &k : rider_status) k = 1;
    }
    void TearDown() override {
        rider_table_init();
        terrain_current = saved_terrain;
        field.reset();
        bike_fixture::TearDown();
    }
    // The field: n = 257 (k 7), spacing 2, heights from the function.
    void make_field(const std::function<float(int, int)> &height = ride_flat) {
        field = std::make_unique<memory_field>(257, 2.0f, height);
        ride_hard_kind(&(*field)->kinds[0]);
        terrain_current = field->get();
    }
    // The rider: default setup with stop wheelies 3, kind 0, dropped at (x, z) with the yaw,
    // clutch engaged.
    rider_slot *place(float x = 256, float z = 256, float yaw = 0, int slot = 0) {
        rider_slot *r = load("yz250f(2017)", slot);
        if (!r) return nullptr;
        bike_default_setup(r);
        bike_set_stop_wheelies(r, STOP_WHEELIES_FULL);
        rider_status[slot] = 0;
        bike_drop_to_ground(slot, x, z, yaw);
        rider_set_clutch(r, 1);
        if (slot == 0) s = r;
        return r;
    }
    void check_bodies() {
        for (int slot = 0; slot < RIDER_SLOTS; slot++) {
            if (!rider_has_bike(slot)) continue;
            for (int b = 0; b < BIKE_BODIES; b++) {
                dBodyID body = bike_body_of(&rider_table[slot], b);
                const dReal *p = dBodyGetPosition(body), *v = dBodyGetLinearVel(body),
                            *w = dBodyGetAngularVel(body);
                for (int i = 0; i < 3; i++)
                    if (!std::isfinite(p[i]) || !std::isfinite(v[i]) || !std::isfinite(w[i]))
                        extremes.finite = false;
                extremes.speed = std::max(extremes.speed, std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
                extremes.spin = std::max(extremes.spin, std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]));
            }
        }
    }
    // Runs ticks through the race tick; each tick first calls the function (when given).
    void run(int ticks, const std::function<void(int)> &each = nullptr) {
        for (int i = 0; i < ticks; i++) {
            if (each) each(i);
            race_tick();
            check_bodies();
        }
    }
    void expect_sound() {
        EXPECT_TRUE(extremes.finite);
        EXPECT_LT(extremes.speed, 300);
        EXPECT_LT(extremes.spin, 500);
    }
    vec3 frame_position() { return test_body_position(bike_frame_body(s)); }
    vec3 frame_velocity() {
        const dReal *v = dBodyGetLinearVel(bike_frame_body(s));
        return {(float)v[0], (float)v[1], (float)v[2]};
    }
    float speed() { return std::sqrt(vec3_length2(frame_velocity())); }
    float tilt() { return bike_body_tilt(bike_frame_body(s)); }
    // The frame's pitch: nose up positive.
    float pitch() {
        const dReal *r = dBodyGetRotation(bike_frame_body(s));
        return (float)std::asin(std::clamp(-(double)r[6], -1.0, 1.0));
    }
};
