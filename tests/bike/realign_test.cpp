// The realign: a stopped bike lying over is turned toward the track's look-ahead point.
#include "core/mem.h"
#include "race/align.h"
#include "race/robots.h"
#include "race/timing.h"
#include "tests/bike/riding_test_support.h"

class bike_realign : public bike_ride {
  protected:
    void SetUp() override {
        bike_ride::SetUp();
        if (HasFatalFailure()) return;
        bike_hooks.realign_allowed = race_realign_allowed;
        bike_hooks.align_target = bike_align_target;
        race_state.running_count = 0;
    }
    void TearDown() override {
        line_store_free();
        timing_gates_clear();
        bike_ride::TearDown();
    }
    // Two checkpoints, one lap of both; the rider passed the first.
    void two_checkpoints(vec3 second) {
        timing_gates_clear();
        timing_gates.count = 2;
        timing_gates.checkpoints[0] = {{0, 10, 0}, {0, 0, 1}, 20, 0};
        timing_gates.checkpoints[1] = {{second.x, second.y, second.z}, {0, 0, 1}, 20, 0};
        if (!timing_gates.lap_list.items) plyx_array_init(&timing_gates.lap_list, sizeof(int), 64);
        for (int entry : {0, 1}) ASSERT_TRUE(plyx_array_append(&timing_gates.lap_list, &entry));
        timing_gates.first_lap_length = timing_gates.lap_length = 2;
        timing_gates.first_lap_timed = timing_gates.lap_timed = 2;
        s->timing_count = 1;
    }
    // Stopped at 0.5 rad of lean, both wheels touching, sit-dab held.
    void lean_and_stop() {
        riding_turn_bike(s, {0, 0, 1}, 0.5f, true);
        riding_stop_bike(s);
        s->front_contact.contact_depth = s->rear_contact.contact_depth = 0.1f;
        s->controls.sit_dab = 1;
        s->controls.back_up = 0;
        bike_set_auto_align(s, 1);
        bike_set_auto_dab(s, 0);
    }
    static float force_y(dBodyID b) { return (float)dBodyGetForce(b)[1]; }
};

TEST_F(bike_realign, MotorTurnsTowardThePointAndLiftsOutsideTheCone) {
    make_field();
    struct row {
        const char *name;
        vec3 offset;          // point A from the frame
        float velocity;       // the motor's, in units of pi/2
        float fmax_share;     // of 320 x total mass
        bool lifted;
    } rows[] = {
        {"behind", {0, 0, 20}, -1, 1, true},
        {"right side", {20, 0, -5}, -1, 1, true},
        {"left side", {-20, 0, -5}, 1, 1, true},
        {"ahead inside the cone", {0.5f, 0, -10}, -1, 0.2f, false},
        {"ahead left inside the cone", {-1, 0, -10}, 1, 0.4f, false},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        rider_table_init();
        ASSERT_NE(place(), nullptr);
        lean_and_stop();
        vec3 p = frame_position();
        two_checkpoints(p + r.offset);
        dBodyID front = bike_body_of(s, BIKE_BODY_FRONT_WHEEL), rear = bike_body_of(s, BIKE_BODY_REAR_WHEEL);
        float f0 = force_y(front), r0 = force_y(rear);
        rider_balance(s);
        std::vector<dJointID> motors = riding_frame_motors(s);
        ASSERT_EQ(motors.size(), 1u);
        dVector3 axis;
        dJointGetAMotorAxis(motors[0], 0, axis);
        EXPECT_NEAR(axis[1], 1, 1e-9);
        EXPECT_NEAR(dJointGetAMotorParam(motors[0], dParamVel), r.velocity * M_PI / 2, 1e-5);
        EXPECT_NEAR(dJointGetAMotorParam(motors[0], dParamFMax), r.fmax_share * 320 * s->total_mass,
                    1e-3 * 320 * s->total_mass);
        float weight = 32 * s->total_mass;
        EXPECT_NEAR(force_y(front) - f0, r.lifted ? weight : 0, 1e-3f);
        EXPECT_NEAR(force_y(rear) - r0, r.lifted ? weight : 0, 1e-3f);
        dJointGroupEmpty(physics_contact_group);
    }
}

TEST_F(bike_realign, NoMotorWithoutAutoAlignTimingOrAtSpeed) {
    make_field();
    struct row {
        const char *name;
        std::function<void(rider_slot *)> change;
    } rows[] = {
        {"auto align off", [](rider_slot *r) { bike_set_auto_align(r, 0); }},
        {"no checkpoints", [](rider_slot *) { timing_gates_clear(); }},
        {"no point passed", [](rider_slot *r) { r->timing_count = 0; }},
        {"backing up", [](rider_slot *r) { r->controls.back_up = 0.5f; }},
        {"finished", [](rider_slot *r) { r->finished = 1; }},
        {"moving at 6 ft/s", [](rider_slot *r) { riding_set_velocity(r, {0, 0, -6}); }},
        {"upright", [](rider_slot *r) { riding_turn_bike(r, {0, 0, 1}, -0.5f); }},
        {"arcade", [](rider_slot *r) { r->arcade = 1; }},
    };
    for (const row &c : rows) {
        SCOPED_TRACE(c.name);
        rider_table_init();
        ASSERT_NE(place(), nullptr);
        lean_and_stop();
        two_checkpoints(frame_position() + vec3{20, 0, 0});
        c.change(s);
        rider_balance(s);
        EXPECT_TRUE(riding_frame_motors(s).empty());
        dJointGroupEmpty(physics_contact_group);
    }
}

// The look-ahead point: 4 points past the nearest point of the best line, on into the next
// segment's best line, a robot's target point, and the checkpoint ahead otherwise.
TEST_F(bike_realign, TargetFollowsTheBestLine) {
    make_field();
    ASSERT_NE(place(), nullptr);
    vec3 p = frame_position();
    two_checkpoints({7, 8, 9});
    line_store_create(4);   // two first-lap segments, then two of the normal lap
    auto fill = [](line_slot *slot, int n, float x, float z0, int time) {
        mem_free(slot->points);
        slot->points = (line_point *)mem_alloc_or_die(sizeof(line_point) * n);
        for (int i = 0; i < n; i++) slot->points[i] = {x, 10, z0 - i, 10, 0};
        slot->point_count = n;
        slot->recorded_time = time;
    };
    // The rider's segment (row 1): a slow line and a faster one through the bike.
    line_slot *row1 = line_store_row(1), *row2 = line_store_row(2);
    fill(&row1[0], 10, p.x + 30, p.z + 2, 900);
    fill(&row1[3], 10, p.x, p.z + 2, 500);    // the best: nearest point 2 (z = p.z)
    fill(&row2[5], 10, p.x - 1, p.z + 1, 700);
    float out[3];
    ASSERT_EQ(bike_align_target(s, 0, out), 1);
    EXPECT_FLOAT_EQ(out[0], p.x);
    EXPECT_FLOAT_EQ(out[2], p.z + 2 - 6);
    // Near the end it goes on into the next segment's best line: nearest 7, point 1 there.
    fill(&row1[3], 10, p.x, p.z + 7, 500);
    ASSERT_EQ(bike_align_target(s, 0, out), 1);
    EXPECT_FLOAT_EQ(out[0], p.x - 1);
    EXPECT_FLOAT_EQ(out[2], p.z + 1 - 1);
    // Nearest at the line's last point: the search runs again one segment on (nearest 1 of
    // row 2's line, then point 5).
    fill(&row1[3], 10, p.x, p.z + 9, 500);
    ASSERT_EQ(bike_align_target(s, 0, out), 1);
    EXPECT_FLOAT_EQ(out[0], p.x - 1);
    EXPECT_FLOAT_EQ(out[2], p.z + 1 - 5);
    // No line in either segment: the checkpoint ahead (lap position 1).
    line_store_clear();
    ASSERT_EQ(bike_align_target(s, 0, out), 1);
    EXPECT_FLOAT_EQ(out[0], 7);
    EXPECT_FLOAT_EQ(out[1], 8);
    EXPECT_FLOAT_EQ(out[2], 9);
    // A robot aims at its working line's target point, else the checkpoint.
    s->autopilot_personality = 1;
    if (!s->working_line.items) plyx_array_init(&s->working_line, sizeof(line_point), 8);
    line_point w[3] = {{1, 2, 3, 0, 0}, {4, 5, 6, 0, 0}, {7, 7, 7, 0, 0}};
    for (const line_point &q : w) ASSERT_TRUE(plyx_array_append(&s->working_line, &q));
    s->target_index = 1;
    ASSERT_EQ(bike_align_target(s, 0, out), 1);
    EXPECT_FLOAT_EQ(out[0], 4);
    s->target_index = 3;
    ASSERT_EQ(bike_align_target(s, 0, out), 1);
    EXPECT_FLOAT_EQ(out[0], 7);
    EXPECT_FLOAT_EQ(out[2], 9);
    timing_gates_clear();
    EXPECT_EQ(bike_align_target(s, 0, out), 0);
}
