// The bike rides: settling, launching, braking and the slope, through the race tick.
#include "tests/bike/ride_test_support.h"

// Sixty seconds on flat ground with no input: the bike comes to rest upright on its
// suspension, the engine idles where the closed-throttle curve crosses zero.
TEST_F(bike_ride, SettlesOnFlatGround) {
    make_field();
    ASSERT_NE(place(), nullptr);
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
