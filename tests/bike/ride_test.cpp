// The bike rides: settling, launching, braking and the slope, through the race tick.
#include "tests/bike/ride_test_support.h"

// Sixty seconds on flat ground with no input: the bike comes to rest upright on its
// suspension, the engine idles where the closed-throttle curve crosses zero.
TEST_F(bike_ride, SettlesOnFlatGround) {
    make_field();
    ASSERT_NE(place(), nullptr);
    // Standing still a bike is an inverted pendulum once the bars steer: the rider's foot holds it.
    bike_set_auto_dab(s, 1);
    run(4 * 128);
    vec3 at4 = frame_position();
    EXPECT_LT(speed(), 0.1f);
    float travel = 0;
    run(56 * 128, [&](int) {
        vec3 d = frame_position() - at4;
        travel = std::max(travel, std::sqrt(vec3_length2(d)));
    });
    EXPECT_LT(travel, 0.1f);
    EXPECT_LT(speed(), 0.1f);
    EXPECT_LT(std::fabs(tilt()), 0.01f);
    float fork, shock, u, d;
    bike_front_suspension(s, &fork, &u, &d);
    bike_rear_suspension(s, &shock, &u, &d);
    EXPECT_GT(fork, 0.08f);
    EXPECT_LT(fork, 0.40f);
    EXPECT_GT(shock, 0.15f);
    EXPECT_LT(shock, 0.50f);
    for (const wheel_contact *w : {&s->front_contact, &s->rear_contact}) {
        EXPECT_GT(w->contact_depth, 0.0f);
        EXPECT_LT(w->contact_depth, 0.3333f);
    }
    // The rider sits within 0.75 ft of its seat point.
    const bike_info *row = bike_row_of(s);
    dVector3 seat;
    dBodyGetRelPointPos(bike_frame_body(s), bike_v(row, 183) - bike_v(row, 16),
                        bike_v(row, 184) - bike_v(row, 17), bike_v(row, 185) - bike_v(row, 18), seat);
    vec3 rider = test_body_position(bike_rider_body(s));
    vec3 off = rider - vec3{(float)seat[0], (float)seat[1], (float)seat[2]};
    EXPECT_LT(std::sqrt(vec3_length2(off)), 0.75f);
    // The idle: the closed curve's zero, clutch open (the engine is below the automatic clutch).
    float idle = 0;
    for (int rpm = 0; rpm < 24500; rpm += 10)
        if (bike_torque_curve(row, (float)rpm, 0) <= 0) {
            idle = (float)rpm;
            break;
        }
    EXPECT_NEAR(bike_engine_rpm(s), idle, 300);
    EXPECT_EQ(bike_clutch_engagement(s, bike_engine_rpm(s)), 0.0f);
    expect_sound();
}

// Throttle 1 in first gear from rest, automatic shifting off, for 2 s.
TEST_F(bike_ride, LaunchesStraightInFirstGear) {
    make_field();
    ASSERT_NE(place(), nullptr);
    run(128);
    vec3 p0 = frame_position();
    float drift = 0, worst_pitch = 0;
    run(256, [&](int) {
        rider_set_throttle(s, 1);
        drift = std::max(drift, std::fabs(frame_position().x - p0.x));
        worst_pitch = std::max(worst_pitch, std::fabs(pitch()));
    });
    vec3 v = frame_velocity();
    EXPECT_EQ(s->gear, 0);
    EXPECT_GT(-v.z, 20.0f);
    EXPECT_LT(-v.z, 58.0f);
    EXPECT_GT(bike_engine_rpm(s), 6000.0f);
    EXPECT_LT(bike_engine_rpm(s), 14500.0f);
    EXPECT_LT(std::fabs(std::atan2(v.x, -v.z)), 2 * 3.14159265f / 180);
    EXPECT_LT(drift, 0.5f);
    EXPECT_LT(worst_pitch, 30 * 3.14159265f / 180);
    expect_sound();
}

// With automatic shifting: 88 ft/s within 8 s, shifting only every 32 ticks, never into the
// missing sixth gear.
TEST_F(bike_ride, AutomaticShiftingReachesSixtyMph) {
    make_field([](int, int) { return 10.0f; });
    ASSERT_NE(place(256, 500), nullptr);
    bike_set_auto_shift(s, 1);
    run(128);
    int reached = -1, gear = s->gear, bad_shift_tick = -1, highest = 0;
    run(8 * 128, [&](int i) {
        rider_set_throttle(s, 1);
        if (s->gear != gear && (race_state.current_tick - 1) % 32 != 0) bad_shift_tick = race_state.current_tick - 1;
        gear = s->gear;
        highest = std::max(highest, gear);
        if (reached < 0 && -frame_velocity().z >= 88) reached = i;
    });
    EXPECT_GE(reached, 0);
    EXPECT_EQ(bad_shift_tick, -1);
    EXPECT_GE(highest, 2);
    EXPECT_LE(highest, 4);
    expect_sound();
}

// From 40 ft/s with both brakes: stopped within 3 s, the rear wheel never lifts a foot.
TEST_F(bike_ride, BrakesToAStop) {
    make_field();
    ASSERT_NE(place(256, 500), nullptr);
    run(128);
    run(4 * 128, [&](int) { rider_set_throttle(s, -frame_velocity().z < 40 ? 1.0f : 0.0f); });
    ASSERT_GE(-frame_velocity().z, 38.0f);
    float rear_rest = test_body_position(bike_body_of(s, BIKE_BODY_REAR_WHEEL)).y, lift = 0;
    int stopped = -1;
    run(3 * 128, [&](int i) {
        rider_set_throttle(s, 0);
        rider_set_front_brake(s, 1);
        rider_set_rear_brake(s, 1);
        lift = std::max(lift, test_body_position(bike_body_of(s, BIKE_BODY_REAR_WHEEL)).y - rear_rest);
        if (stopped < 0 && speed() < 1) stopped = i;
    });
    EXPECT_GE(stopped, 0);
    EXPECT_LT(speed(), 1.0f);
    EXPECT_LT(lift, 1.0f);
    expect_sound();
}

// A 10 degree slope, the bike facing -z: downhill when the ground rises toward +z, uphill when
// it rises toward -z (mirrored ground rather than a turned bike keeps the bike exactly
// symmetric). Nothing but the brakes holds a bike here.
TEST_F(bike_ride, RollsOnASlopeUnlessBraked) {
    struct slope_case {
        const char *name;
        float rise;         // +1 rising toward +z (facing downhill), -1 toward -z (uphill)
        float clutch;       // engagement: 0 lever pulled
        float brakes;
    };
    const float tan10 = std::tan(10 * 3.14159265f / 180);
    const slope_case cases[] = {
        {"downhill, lever pulled", 1, 0, 0},
        {"uphill, lever released", -1, 1, 0},
        {"downhill, lever released", 1, 1, 0},
        {"downhill, brakes", 1, 1, 1},
        {"uphill, brakes", -1, 1, 1},
    };
    float pulled_after3 = 0;
    for (const slope_case &c : cases) {
        SCOPED_TRACE(c.name);
        make_field([&](int, int z) { return 60.0f + c.rise * 2.0f * (z - 128) * tan10; });
        ASSERT_NE(place(256, 256), nullptr);
        // Measured from the moment the bike stands on both wheels.
        int start = -1;
        // The gain over one second once the landing has passed (g sin 10 degrees, less the
        // wheels' inertia).
        float at_landing = 0, after1 = 0, after3 = 0, most = 0;
        run(6 * 128, [&](int i) {
            rider_set_clutch(s, c.clutch);
            rider_set_front_brake(s, c.brakes);
            rider_set_rear_brake(s, c.brakes);
            if (start < 0 && s->front_contact.contact_depth > 0 && s->rear_contact.contact_depth > 0) start = i;
            if (start < 0) return;
            if (i == start + 64) at_landing = speed();
            if (i == start + 192) after1 = speed() - at_landing;
            if (i == start + 3 * 128) after3 = speed();
            // Braked, the bike must not roll: 4 s once the drop's landing has rocked out (1 s).
            if (i >= start + 128 && i < start + 128 + 4 * 128) most = std::max(most, speed());
        });
        ASSERT_GE(start, 0);
        if (c.brakes > 0) {
            EXPECT_LT(most, 0.5f);
        } else if (c.clutch == 0 || c.rise < 0) {
            EXPECT_GT(after1, 4.5f);
            EXPECT_LT(after1, 5.8f);
            if (c.clutch == 0) pulled_after3 = after3;
        } else {
            EXPECT_LT(after3, pulled_after3);
        }
        EXPECT_LT(std::fabs(tilt()), 0.01f);
        expect_sound();
        rider_table_init();
    }
}

// The player's default setup: a light rider (a third of the rider's mass on the rider's body)
// and middling or low forward damping. The rider joint's suspension stays firm enough for the
// solver: the bike lands on its wheels and launches, and the solver never fails.
TEST_F(bike_ride, LightRiderWithLowForwardDampingStaysOnTheGround) {
    struct rider_case {
        float mass_distribution, forward_damping;
    };
    const rider_case cases[] = {{0.33f, 0.5f}, {0.33f, 0.0f}, {0.38f, 0.0f}, {0.4f, 0.25f}, {0.45f, 1.0f}, {0.5f, 0.0f}};
    for (const rider_case &c : cases) {
        SCOPED_TRACE(testing::Message() << "mass " << c.mass_distribution << " damping " << c.forward_damping);
        make_field();
        ASSERT_NE(place(), nullptr);
        bike_set_rider_mass_distribution(s, c.mass_distribution);
        bike_set_rider_damping(s, s->rider_ydamping, c.forward_damping);
        float lowest = 1e9f;
        int messages = physics_message_count;
        auto watch = [&](int) {
            for (int b = 0; b < BIKE_BODIES; b++)
                lowest = std::min(lowest, test_body_position(bike_body_of(s, b)).y);
        };
        run(128, watch);
        EXPECT_GT(s->front_contact.contact_depth, 0.0f);
        EXPECT_GT(s->rear_contact.contact_depth, 0.0f);
        run(3 * 128, [&](int i) {
            rider_set_throttle(s, 0.6f);
            watch(i);
        });
        // Nothing sinks through the ground (at height 10): every body's centre stays above it.
        EXPECT_GT(lowest, 10.5f);
        EXPECT_EQ(physics_message_count, messages);
        EXPECT_GT(-frame_velocity().z, 20.0f);
        EXPECT_LT(std::fabs(tilt()), 0.05f);
        // The damper the joint got is at least ten times the setting's line at its softest.
        float mf = bike_row_of(s)->a[188] * RIDER_MASS_FACTOR;
        double cfm = dJointGetHinge2Param(bike_joint_of(s, BIKE_JOINT_RIDER), dParamSuspensionCFM);
        EXPECT_GT(cfm, 0.0);
        EXPECT_LE(cfm, 1.0 / (50.0 * mf) * 1.0001);
        expect_sound();
        rider_table_init();
    }
    EXPECT_EQ(bike_rider_suspension_cfm(1, NAN), bike_rider_suspension_cfm(1, 0));
    EXPECT_EQ(bike_rider_suspension_cfm(0, 0.5f), 0.0);
}
