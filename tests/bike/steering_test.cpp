// Steering: the bars' drive toward a target angle, the lock by speed and grip, and turning at
// speed in the normal and the arcade physics.
#include "tests/bike/riding_test_support.h"

static const float PI_F = 3.14159265358979f;

TEST_F(bike_riding, SteeringResponseTable) {
    make_field();
    ASSERT_NE(place_player(), nullptr);
    riding_stop_bike(s);
    dJointID j = bike_joint_of(s, BIKE_JOINT_STEERING);
    float a = (float)dJointGetHingeAngle(j);
    ASSERT_LT(std::fabs((float)dJointGetHingeAngleRate(j)), 1e-6f);
    const float creep = 1.0f / 2400;
    struct row {
        float error, response;
    } rows[] = {
        {0.02f, 0},                                       // dead band: nothing to damp at rest
        {-0.03f, 0},
        {0.05f, (8 * (0.05f - 1.0f / 32) - creep) / 2},   // gain 8 past the dead band
        {-0.1f, (8 * (-0.1f + 1.0f / 32) + creep) / 2},
        {0.2f, 2.0f / 3},                                 // the clamp
        {1.0f, 2.0f / 3},                                 // the error is capped at 0.25
        {-0.24f, -2.0f / 3},
        {-0.3f, -2.0f / 3},                               // below -0.25: full drive the other way
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.error);
        EXPECT_NEAR(bike_steering_response(s, a + r.error), r.response, 1e-4f);
    }
    // Turning bars inside the dead band get rate damping only: half the rate, opposed.
    dVector3 k;
    dJointGetHingeAxis(j, k);
    for (int b : {BIKE_BODY_FORK_UPPER, BIKE_BODY_FORK_LOWER, BIKE_BODY_FRONT_WHEEL})
        dBodySetAngularVel(bike_body_of(s, b), 0.5 * k[0], 0.5 * k[1], 0.5 * k[2]);
    float rate = (float)dJointGetHingeAngleRate(j);
    ASSERT_GT(std::fabs(rate), 0.4f);
    float d = bike_steering_response(s, a);
    EXPECT_NEAR(d, (-rate + (rate > 0 ? creep : -creep)) / 2, 1e-4f);
    EXPECT_NE(std::signbit(d), std::signbit(rate));
    EXPECT_EQ(bike_steering_response(s, NAN), 0);
}

TEST_F(bike_riding, LockAngleBySpeedAndGrip) {
    make_field();
    ASSERT_NE(place_player(), nullptr);
    vec3 centre = test_body_position(bike_body_of(s, BIKE_BODY_FRONT_WHEEL));
    s->full_lock_speed = 10;
    s->restricted_lock_speed = 50;
    s->restricted_lock = 0.1f;
    tile_kind &kind = (*field)->kinds[0];
    struct row {
        float speed, grip, lock;
    } rows[] = {
        {0, 1, PI_F / 4},       {10, 1, PI_F / 4},   {10, 0.01f, PI_F / 4},
        {50, 1, 0.1f},          {60, 1, 0.1f},       {60, 0.5f, 0.2f},
        {60, 0.2f, 0.5f},       {60, 0.01f, PI_F / 4},   // 0.1 / 0.125 is past the cap
    };
    for (const row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.speed << " ft/s, grip " << r.grip);
        kind.friction_a[0] = r.grip;
        EXPECT_NEAR(bike_lock_angle(s, r.speed, centre), r.lock, 1e-5f);
    }
    // The grip counts at least 1/8.
    s->restricted_lock = 0.05f;
    EXPECT_NEAR(bike_lock_angle(s, 60, centre), 0.4f, 1e-5f);
    s->restricted_lock = 0.1f;
    // Between the two speeds it falls with 1/speed.
    kind.friction_a[0] = 1;
    float mid = bike_lock_angle(s, 20, centre);
    float w = (1.0f / 20 - 1.0f / 50) / (1.0f / 10 - 1.0f / 50);
    EXPECT_NEAR(mid, 0.1f + (PI_F / 4 - 0.1f) * w, 1e-5f);
    // A restricted lock of 0 at 60 ft/s: no room between the grip marks, yet a finite share.
    s->restricted_lock = 0;
    EXPECT_EQ(bike_lock_angle(s, 60, centre), 0);
    riding_set_velocity(s, {0, 0, -60});
    const bike_info *row = bike_row_of(s);
    float rate = 60 / (bike_v(row, 3) + bike_v(row, 4));
    dBodySetAngularVel(bike_body_of(s, BIKE_BODY_FRONT_WHEEL), -rate, 0, 0);
    dBodySetAngularVel(bike_body_of(s, BIKE_BODY_REAR_WHEEL), -rate, 0, 0);
    for (float lean : {0.0f, 0.3f, -0.3f}) {
        riding_turn_bike(s, {0, 0, 1}, lean);
        bike_steering(s);
        EXPECT_TRUE(std::isfinite(s->steering_aux));
        EXPECT_GE(s->steering_aux, 0);
        EXPECT_LE(s->steering_aux, 1);
        riding_turn_bike(s, {0, 0, 1}, -lean);
    }
}

// At 30 ft/s: steer -0.5 turns left and leans left, +0.5 right; a slalom keeps the bike up.
TEST_F(bike_riding, TurnsAtSpeedInEveryPhysics) {
    struct row {
        const char *name;
        int arcade;
        float direct;
    } rows[] = {{"lean-rate steering", 0, 0.125f}, {"direct steering", 0, 1}, {"arcade", 1, 0}};
    for (const row &r : rows) {
        for (float steer : {-0.5f, 0.5f}) {
            SCOPED_TRACE(testing::Message() << r.name << ", steer " << steer);
            rider_table_init();
            make_field();
            ASSERT_NE(place_player(256, 450), nullptr);
            bike_set_arcade(s, r.arcade);
            if (!r.arcade) bike_set_direct_steering(s, r.direct);
            run(3 * 128, [&](int) { hold_speed(30); });
            ASSERT_GT(speed(), 25);
            float h0 = velocity_heading(), lean = 0;
            run(2 * 128, [&](int i) {
                hold_speed(30);
                rider_set_steer(s, steer);
                if (i >= 128) lean += tilt() / 128;
            });
            float turned = velocity_heading() - h0;
            if (turned > PI_F) turned -= 2 * PI_F;
            if (turned < -PI_F) turned += 2 * PI_F;
            if (steer < 0) {
                EXPECT_GT(turned, 20 * PI_F / 180);
                EXPECT_GT(lean, 0);
            } else {
                EXPECT_LT(turned, -20 * PI_F / 180);
                EXPECT_LT(lean, 0);
            }
            EXPECT_TRUE(rider_on());
            expect_sound();
        }
        // The slalom with direct steering 1 lays the bike down (|tilt| 1.5): open.
        if (r.direct == 1) continue;
        SCOPED_TRACE(testing::Message() << r.name << ", slalom");
        rider_table_init();
        make_field();
        ASSERT_NE(place_player(256, 480), nullptr);
        bike_set_arcade(s, r.arcade);
        if (!r.arcade) bike_set_direct_steering(s, r.direct);
        run(3 * 128, [&](int) { hold_speed(30); });
        float most = 0;
        run(10 * 128, [&](int i) {
            hold_speed(30);
            rider_set_steer(s, 0.5f * std::sin(2 * PI_F * 0.5f * i / 128));
            most = std::max(most, std::fabs(tilt()));
        });
        EXPECT_LT(most, 1);
        EXPECT_TRUE(rider_on());
        expect_sound();
    }
}

// NaN faults: a bike on its side, one standing on its tail, and a restricted lock of 0 at
// 60 ft/s keep every body finite with no reset warning.
TEST_F(bike_riding, DegenerateAnglesStayFinite) {
    struct row {
        const char *name;
        std::function<void(rider_slot *)> pose;
        int ticks;
    } rows[] = {
        {"on its side", [](rider_slot *r) { riding_turn_bike(r, {0, 0, 1}, PI_F / 2); }, 10 * 128},
        {"on its tail", [](rider_slot *r) {
             riding_turn_bike(r, {1, 0, 0}, PI_F / 2);
             riding_set_velocity(r, {0, 0, 0});
         }, 3 * 128},
        {"restricted lock 0 at 60 ft/s", [](rider_slot *r) {
             r->restricted_lock = 0;
             riding_set_velocity(r, {0, 0, -60});
         }, 2 * 128},
    };
    for (const row &c : rows) {
        SCOPED_TRACE(c.name);
        rider_table_init();
        make_field();
        ASSERT_NE(place_player(256, 400), nullptr);
        c.pose(s);
        // Set down from just above the ground.
        for (int b = 0; b < BIKE_BODIES; b++) {
            const dReal *q = dBodyGetPosition(bike_body_of(s, b));
            dBodySetPosition(bike_body_of(s, b), q[0], q[1] + 3, q[2]);
        }
        console_clear();
        run(c.ticks, [&](int) {
            if (c.name[0] == 'r') hold_speed(60);
        });
        EXPECT_TRUE(extremes.finite);
        EXPECT_EQ(warnings(), 0);
        EXPECT_TRUE(bike_state_finite(s));
    }
}
