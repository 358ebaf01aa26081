// Balance: the dab that holds a stopped bike up, the automatic dab, the step's restored controls
// and the joint-force correction.
#include "tests/bike/riding_test_support.h"

static const float PI_F = 3.14159265358979f;

// Stopped and nudged 0.1 rad, automatic dab off: the rider's foot holds the bike up only with
// sit-dab held. In the arcade physics the foot goes down but the balance pushes nothing: the
// arcade steering's levelling motor is what keeps that bike upright. The dab raises foot_down to
// 1 and the pose that ends every step lowers it by 4 ticks' worth, so a held dab reads 1 - 4h
// after a step.
TEST_F(bike_riding, BalanceAtRest) {
    struct row {
        const char *name;
        float sit_dab;
        int arcade;
        bool upright, pushes;
    } rows[] = {{"sit-dab held", 1, 0, true, true},
                {"sit-dab released", 0, 0, false, false},
                {"arcade", 1, 1, true, false}};
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        rider_table_init();
        make_field();
        ASSERT_NE(place_player(), nullptr);
        bike_set_auto_dab(s, 0);
        bike_set_arcade(s, r.arcade);
        rider_set_sit_dab(s, 1);
        run(128);
        riding_turn_bike(s, {0, 0, 1}, 0.1f, true);
        rider_set_sit_dab(s, r.sit_dab);
        int down_at = -1;
        run(10 * 128, [&](int i) {
            if (down_at < 0 && std::fabs(tilt()) > 1) down_at = i;
        });
        if (r.upright) {
            EXPECT_LT(std::fabs(tilt()), 0.2f);
            EXPECT_EQ(s->controls.foot_down, 1 - 4 * RIDING_TICK);
            EXPECT_LT(down_at, 0);
        } else {
            EXPECT_GE(down_at, 0);
            EXPECT_LT(down_at, 3 * 128);
            EXPECT_EQ(s->controls.foot_down, 0);
        }
        expect_sound();
        if (!r.upright) continue;
        // Leaning 0.3 rad at rest: the balance pushes the frame in the normal physics only.
        riding_turn_bike(s, {0, 0, 1}, 0.3f, true);
        riding_stop_bike(s);
        dBodyID frame = bike_frame_body(s);
        dBodySetForce(frame, 0, 0, 0);
        rider_balance(s);
        const dReal *f = dBodyGetForce(frame);
        EXPECT_EQ(f[0] != 0 || f[1] != 0 || f[2] != 0, r.pushes);
    }
}

// The automatic dab holds a bike on a 10 degree slope with the throttle closed, puts a foot down
// for a slow bike leaning far with the throttle open, and every step gives the stored controls
// back.
TEST_F(bike_riding, AutoDab) {
    const float tan10 = std::tan(10 * PI_F / 180);
    make_field([&](int, int z) { return 60.0f + 2.0f * (z - 128) * tan10; });
    ASSERT_NE(place_player(), nullptr);
    ASSERT_NE(s->setup_flags & SETUP_AUTO_DAB, 0);
    run(2 * 128);
    float fastest = 0;
    run(4 * 128, [&](int) { fastest = std::max(fastest, speed()); });
    EXPECT_LT(fastest, 0.5f);
    expect_sound();

    // 8 ft/s leaning 0.3 rad, throttle open: the foot starts down at once.
    rider_table_init();
    make_field();
    ASSERT_NE(place_player(256, 400), nullptr);
    run(128);
    riding_turn_bike(s, {0, 0, 1}, 0.3f, true);
    riding_roll(s, 8);
    rider_set_sit_dab(s, 0);
    s->controls.foot_down = 0;
    run(4, [&](int) {
        rider_set_throttle(s, 1);
    });
    EXPECT_GT(s->controls.foot_down, 0);

}

// Every step gives the stored controls back: sit-dab and the brakes as stored, clamped, sit-dab 0
// while respawning.
TEST_F(bike_riding, StepRestoresStoredControls) {
    const float tan10 = std::tan(10 * PI_F / 180);
    struct controls_row {
        const char *name;
        float sit_dab, front, rear;
        int respawning;
        float want_sit_dab, want_front, want_rear;
    } cases[] = {
        {"released", 0, 0, 0, 0, 0, 0, 0},
        {"part held", 0.25f, 0.5f, 0.75f, 0, 0.25f, 0.5f, 0.75f},
        {"out of range", 2, -1, 3, 0, 1, 0, 1},
        {"respawning", 1, 0.5f, 0.5f, 1, 0, 0.5f, 0.5f},
    };
    for (const controls_row &c : cases) {
        SCOPED_TRACE(c.name);
        rider_table_init();
        make_field([&](int, int z) { return 60.0f + 2.0f * (z - 128) * tan10; });
        ASSERT_NE(place_player(), nullptr);
        run(128);
        for (int i = 0; i < 64; i++) {
            s->controls.sit_dab = c.sit_dab;
            s->controls.front_brake = c.front;
            s->controls.rear_brake = c.rear;
            s->controls.throttle = 0;
            if (c.respawning && s->respawn_counter == 0) rider_fall_off(s);
            bike_step(s);
            EXPECT_EQ(s->controls.sit_dab, c.want_sit_dab);
            EXPECT_EQ(s->controls.front_brake, c.want_front);
            EXPECT_EQ(s->controls.rear_brake, c.want_rear);
            physics_step();
        }
    }
}

// The joint-force correction removes a small drift at rest, and nothing while the rider is off.
TEST_F(bike_riding, JointCorrectionIsSmallAndSkippedWhileDetached) {
    make_field();
    ASSERT_NE(place_player(), nullptr);
    rider_set_sit_dab(s, 1);
    run(4 * 128);
    auto correction = [&]() {
        dBodyID frame = bike_frame_body(s);
        dBodySetForce(frame, 0, 0, 0);
        dBodySetTorque(frame, 0, 0, 0);
        bike_joint_force_correction(s);
        const dReal *f = dBodyGetForce(frame);
        return (float)std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    };
    float weight = 32 * s->total_mass;
    float c = correction();
    EXPECT_LT(c, 0.01f * weight);
    rider_fall_off(s);
    EXPECT_EQ(correction(), 0);
    // Before the second tick there is no feedback to correct.
    rider_table_init();
    race_state.current_tick = 1;
    ASSERT_NE(place_player(), nullptr);
    EXPECT_EQ(correction(), 0);
}

// A stopped rider sitting with the dab held: the exact solver fails on the seat springs beside the
// rider joint, and the bike must still stand on its wheels rather than fall through the ground.
TEST_F(bike_riding, SeatedRiderStaysOnTheGround) {
    for (float sit : {0.0f, 1.0f}) {
        SCOPED_TRACE(sit);
        rider_table_init();
        make_field();
        ASSERT_NE(place_player(), nullptr);
        bike_set_auto_dab(s, 0);
        rider_set_sit_dab(s, sit);
        run(128);
        float y = frame_position().y;
        run(5 * 128);
        EXPECT_NEAR(frame_position().y, y, 0.25f);
        EXPECT_GT(s->front_contact.contact_depth, 0);
        EXPECT_GT(s->rear_contact.contact_depth, 0);
        expect_sound();
    }
}
