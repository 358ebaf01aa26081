// The control and setup setters with their clamps (non-finite input too), shifting, the setup
// hand-off's values, and the controls applied by the race.
#include <cmath>

#include "core/settings.h"
#include "race/race.h"
#include "tests/bike/bike_test_support.h"

using bike_setters = bike_fixture;

TEST_F(bike_setters, ClampsOfEverySetterKind) {
    rider_slot *s = load();
    const float inf = INFINITY;
    struct {
        const char *label;
        void (*set)(rider_slot *, float);
        float rider_slot::*field;
        float in, want;
    } cases[] = {
        {"throttle 2", rider_set_throttle, nullptr, 2, 1},
        {"steer -3", rider_set_steer, nullptr, -3, -1},
        {"max dab 3", bike_set_max_dab_speed, &rider_slot::max_dab_speed, 3, 7},
        {"max dab NaN", bike_set_max_dab_speed, &rider_slot::max_dab_speed, NAN, 7},
        {"max dab inf", bike_set_max_dab_speed, &rider_slot::max_dab_speed, inf, 100},
        {"leveling -inf", bike_set_leveling, &rider_slot::leveling, -inf, 0},
        {"leveling NaN", bike_set_leveling, &rider_slot::leveling, NAN, 0},
        {"slow damping factor NaN", bike_set_slow_damping_factor, &rider_slot::slow_damping_factor, NAN, 1},
        {"restricted lock 1", bike_set_restricted_lock, &rider_slot::restricted_lock, 1, 0.78539816f},
        {"roll limit angle 4", bike_set_roll_limit_angle, &rider_slot::roll_limit_angle, 4, 3.14159265f},
        {"auto clutch 9000", bike_set_auto_clutch_rpms, &rider_slot::auto_clutch_rpms, 9000, 5000},
    };
    for (auto &c : cases) {
        c.set(s, c.in);
        float got = c.field ? s->*c.field : (c.set == rider_set_throttle ? s->controls.throttle : s->controls.steer);
        EXPECT_EQ(got, c.want) << c.label;
    }
    rider_set_lean(s, NAN);
    EXPECT_EQ(s->controls.lean, 0);
    rider_set_clutch(s, -inf);
    EXPECT_EQ(s->controls.clutch, 0);
    // While respawning some controls store 0.
    s->respawn_counter = 3;
    rider_set_throttle(s, 0.7f);
    rider_set_clutch(s, 0.7f);
    rider_set_sit_dab(s, 1);
    EXPECT_EQ(s->controls.throttle, 0);
    EXPECT_EQ(s->controls.clutch, 0.7f);
    EXPECT_EQ(s->controls.sit_dab, 0);
    s->respawn_counter = 0;
    // Several values at once.
    bike_set_fork(s, 10, NAN, -inf, 2, inf, NAN, 0.5f);
    EXPECT_EQ(s->fork_compression, 4 * 60.0f);
    EXPECT_EQ(s->fork_slow_compression, 0);
    EXPECT_EQ(s->fork_rebound, 0.25f * 30);
    EXPECT_EQ(s->fork_slow_rebound, 30);
    EXPECT_NEAR(s->fork_spring_rate, 873.56f, 1e-3);
    EXPECT_NEAR(s->fork_oil_level, (0.4167f + 0.25f) / 2, 1e-6);
    bike_set_sprockets(s, 0, 0);
    EXPECT_NEAR(s->final_drive, 50.0f / 13, 1e-6);
    bike_set_sprockets(s, -2, 2);
    EXPECT_NEAR(s->final_drive, 52.0f / 11, 1e-6);
    bike_set_sprockets(s, NAN, inf);
    EXPECT_NEAR(s->final_drive, 52.0f / 13, 1e-6);
    bike_set_stop_wheelies(s, 7);
    EXPECT_EQ(bike_stop_wheelies(s), 3);
    EXPECT_EQ(s->setup_flags & ~6, 0x89);
    bike_set_rider_springs(s, NAN, 2);
    EXPECT_EQ(s->rider_yspring, 0);
    EXPECT_EQ(s->rider_zspring, 1);
}

TEST_F(bike_setters, ShiftingAndMissingGears) {
    rider_slot *s = load("cr125");
    rider_shift(s, 1);
    rider_shift(s, 1);
    EXPECT_EQ(s->gear, 1);
    rider_shift(s, 0);
    rider_shift(s, 1);
    EXPECT_EQ(s->gear, 2);
    for (int i = 0; i < 6; i++) {
        rider_shift(s, 0);
        rider_shift(s, 1);
    }
    EXPECT_EQ(s->gear, 4);   // no sixth gear
    bike_select_gear(s, 5);
    EXPECT_EQ(s->gear, 4);
    rider_shift(s, 7);
    EXPECT_EQ(s->gear, 4);
    s->respawn_counter = 1;
    rider_shift(s, -1);
    EXPECT_EQ(s->gear, 4);
}

TEST_F(bike_setters, MassDistributionKeepsTheTotal) {
    rider_slot *s = load();
    bike_set_rider_mass_distribution(s, 0.2f);
    dMass f, r;
    dBodyGetMass(bike_frame_body(s), &f);
    dBodyGetMass(bike_rider_body(s), &r);
    EXPECT_NEAR(r.mass, 0.33 * 4.6875, 1e-5);
    EXPECT_NEAR(f.mass + r.mass, 4.24 + 4.6875, 1e-5);
    bike_set_rider_mass_distribution(s, NAN);
    dBodyGetMass(bike_rider_body(s), &r);
    EXPECT_NEAR(r.mass, 0.33 * 4.6875, 1e-5);
}

TEST_F(bike_setters, RaceControlsClutchRampStickyDabAndReversedSteering) {
    rider_slot *s = load();
    control_record c = {};
    settings.reverse_steering.current = 1;
    settings.sticky_dab.current = 1;
    c.axis[CONTROL_STEER] = 0.5f;
    c.axis[CONTROL_CLUTCH] = 1;   // lever pulled: engagement 0 at once
    race_apply_controls(0, &c);
    EXPECT_EQ(s->controls.steer, -0.5f);
    EXPECT_EQ(s->controls.clutch, 0);
    c.axis[CONTROL_CLUTCH] = 0;
    for (int i = 0; i < 31; i++) race_apply_controls(0, &c);
    EXPECT_LT(s->controls.clutch, 1);
    race_apply_controls(0, &c);
    EXPECT_EQ(s->controls.clutch, 1);
    c.axis[CONTROL_SIT_DAB] = 1;
    race_apply_controls(0, &c);
    race_apply_controls(0, &c);
    EXPECT_EQ(s->controls.sit_dab, 1);
    c.axis[CONTROL_SIT_DAB] = 0;
    race_apply_controls(0, &c);
    EXPECT_EQ(s->controls.sit_dab, 1);
    c.axis[CONTROL_SIT_DAB] = 0.6f;
    race_apply_controls(0, &c);
    EXPECT_EQ(s->controls.sit_dab, 0);
    c.axis[CONTROL_SHIFT] = 1;
    race_apply_controls(0, &c);
    race_apply_controls(0, &c);
    EXPECT_EQ(s->gear, 1);
    c.axis[CONTROL_THROTTLE] = NAN;
    race_apply_controls(0, &c);
    EXPECT_EQ(s->controls.throttle, 0);
}
