// Falls and respawn: what throws the rider off, the lying rider's feet, the count to rejoin, the
// re-seat springs and the seat the rider comes back to.
#include <string>

#include "bike/part_contacts.h"
#include "core/mem.h"
#include "tests/bike/riding_test_support.h"

static const float PI_F = 3.14159265358979f;

class bike_falls : public bike_riding {
  protected:
    temp_dir dir;
    collision_shape *rail = nullptr;
    void SetUp() override {
        bike_riding::SetUp();
        if (HasFatalFailure()) return;
        for (int &d : fall_delay_table) d = 0;
        std::string path = dir.file("rail.shp");
        test_write_file(path, riding_rail_shape_text());
        rail = shape_copy(path.c_str());
        ASSERT_NE(rail, nullptr);
    }
    void TearDown() override {
        for (int &d : fall_delay_table) d = 0;
        mem_free(rail);
        bike_riding::TearDown();
    }
    vec3 seat_point() {
        const bike_info *row = bike_row_of(s);
        dVector3 p;
        dBodyGetRelPointPos(bike_frame_body(s), bike_v(row, 183) - bike_v(row, 16),
                            bike_v(row, 184) - bike_v(row, 17), bike_v(row, 185) - bike_v(row, 18), p);
        return {(float)p[0], (float)p[1], (float)p[2]};
    }
    int most_counter = 0;
    int rail_bits = 0;   // the parts that met the rail
    // Runs ticks with the rail (when placed) met by the bike's parts each tick.
    void ride(int ticks, const vec3 *rail_at, const std::function<void(int)> &each = nullptr) {
        run(ticks, [&](int i) {
            if (rail_at) {
                shape_transform t = {*rail_at, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
                rail_bits |= bike_rider_contacts(s, rail, nullptr, t);
            }
            if (each) each(i);
            most_counter = std::max(most_counter, s->respawn_counter);
        });
    }
    int rider_joint_body() { return dJointGetBody(bike_joint_of(s, BIKE_JOINT_RIDER), 0) != nullptr; }
};

// What throws the rider off in a ride. The rail crosses the path above the bars, where the rider's
// chest meets it: the rider's own touch decides (over 20 ft/s). A wall from the ground up would
// not do: the front wheel stops the bike within a few ticks, and the rider, held by its springs,
// neither meets the wall nor passes the ejection limits (about 25 ft/s against the frame and
// 1100 ft/s^2 at 40 ft/s, the limits being 46.5 and 2064). A bike dropped from 64 ft lands hard
// enough for the jolt limit; in the arcade physics that test is skipped, so a level landing at the
// same speed keeps the rider on. (A free fall of the arcade bike from that height is a nose dive:
// its steering's tail force turns the frame along its velocity.)
TEST_F(bike_falls, WhatThrowsTheRiderOff) {
    struct row {
        const char *name;
        float rail_speed;     // > 0: rolling into the rail
        float drop;           // > 0: dropped level from this height
        float landing;        // > 0: meets the ground level at this speed from 1 ft above
        bool upside_down;
        int arcade;
        bool falls;
    } rows[] = {
        {"into the rail at 40 ft/s", 40, 0, 0, false, 0, true},
        {"into the rail at 10 ft/s", 10, 0, 0, false, 0, false},
        {"dropped from 4 ft", 0, 4, 0, false, 0, false},
        {"dropped from 64 ft", 0, 64, 0, false, 0, true},
        {"landing at 64 ft/s, arcade", 0, 0, 64, false, 1, false},
        {"upside down at 10 ft/s, arcade", 10, 5, 0, true, 1, true},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        rider_table_init();
        make_field();
        ASSERT_NE(place_player(256, 400), nullptr);
        bike_set_arcade(s, r.arcade);
        rider_set_sit_dab(s, 1);
        run(128);
        most_counter = 0;
        vec3 rail_at = test_body_position(bike_rider_body(s)) + vec3{0, RIDING_RAIL_ABOVE_RIDER, -14};
        if (r.upside_down) riding_turn_bike(s, {0, 0, 1}, PI_F);
        if (r.drop > 0) riding_lift(s, r.drop);
        if (r.landing > 0) {
            riding_lift(s, 1);
            riding_set_velocity(s, {0, -r.landing, 0});
        }
        if (r.rail_speed > 0) riding_roll(s, r.rail_speed);
        rail_bits = 0;
        ride(4 * 128, r.rail_speed > 0 && !r.upside_down ? &rail_at : nullptr);
        if (r.rail_speed > 0 && !r.upside_down) EXPECT_NE(rail_bits & PART_BIT_RIDER, 0);
        if (r.falls) {
            EXPECT_EQ(s->fall_count, 1);
            EXPECT_EQ(most_counter, RESPAWN_TICKS);
            EXPECT_GT(s->respawn_counter, 0);
            EXPECT_EQ(rider_joint_body(), 0);
        } else {
            EXPECT_EQ(s->fall_count, 0);
            EXPECT_EQ(s->respawn_counter, 0);
            EXPECT_EQ(rider_joint_body(), 1);
        }
        expect_sound();
    }
}

TEST_F(bike_falls, FallRulesAndTheDelayTable) {
    make_field();
    ASSERT_NE(place_player(), nullptr);
    // A negative contact timer refuses the fall.
    s->rider_contact_timer = -3;
    rider_fall_off(s);
    EXPECT_EQ(s->respawn_counter, 0);
    EXPECT_EQ(s->fall_count, 0);
    EXPECT_EQ(rider_joint_body(), 1);
    s->rider_contact_timer = 0;
    // The 17th fall takes entry 15.
    for (int i = 0; i < 16; i++) fall_delay_table[i] = 10 * i;
    s->fall_count = 16;
    rider_fall_off(s);
    EXPECT_EQ(s->respawn_counter, RESPAWN_TICKS + 150);
    EXPECT_EQ(s->fall_count, 17);
    // A fall while respawning changes nothing.
    rider_slot before = *s;
    rider_fall_off(s);
    EXPECT_EQ(s->respawn_counter, before.respawn_counter);
    EXPECT_EQ(s->fall_count, before.fall_count);
    EXPECT_EQ(memcmp(s->fall_points, before.fall_points, sizeof before.fall_points), 0);
}

// Thrown off at rest, the rider lies with its feet below its hips, counts only still ticks and
// comes back to the seat it left, joint and all.
TEST_F(bike_falls, RespawnCountsStillTicksAndReseats) {
    for (int delay : {0, 256}) {
        SCOPED_TRACE(delay);
        rider_table_init();
        make_field();
        ASSERT_NE(place_player(), nullptr);
        fall_delay_table[0] = delay;
        rider_set_sit_dab(s, 1);
        dJointID joint = bike_joint_of(s, BIKE_JOINT_RIDER);
        dBodyID frame = bike_frame_body(s), rider = bike_rider_body(s);
        dVector3 a, load_anchor;
        dJointGetHinge2Anchor(joint, a);
        dBodyGetPosRelPoint(frame, a[0], a[1], a[2], load_anchor);
        run(128);
        rider_fall_off(s);
        dBodySetLinearVel(rider, 6, 4, 0);   // thrown aside: moving ticks first
        const bike_info *row = bike_row_of(s);
        float leg = bike_v(row, 586) + bike_v(row, 587);
        int still = 0, moving = 0, ticks = 0;
        bool feet_ok = true;
        while (s->respawn_counter > 1 && ticks < 20 * 128) {
            const dReal *v = dBodyGetLinearVel(rider);
            if (v[0] * v[0] + v[1] * v[1] + v[2] * v[2] >= 4)
                moving++;
            else
                still++;
            run(1);
            ticks++;
            if (s->respawn_counter <= RESPAWN_TICKS - 1) continue;   // feet walk back later
            for (int f = 0; f < 2; f++) {
                vec3 hip_local = {bike_v(row, f ? 569 : 566), bike_v(row, f ? 570 : 567), bike_v(row, f ? 571 : 568)};
                dVector3 hip, down;
                dBodyGetRelPointPos(rider, hip_local.x, hip_local.y, hip_local.z, hip);
                dBodyVectorToWorld(rider, 0, -1, 0, down);
                vec3 d = s->fall_points[2 * f] - vec3{(float)hip[0], (float)hip[1], (float)hip[2]};
                if (std::sqrt(vec3_length2(d)) > leg + 1e-3f) feet_ok = false;
                if (vec3_dot(d, {(float)down[0], (float)down[1], (float)down[2]}) < 1 - 1e-3f) feet_ok = false;
            }
        }
        // The last still tick's respawn step, without the world step after it.
        ASSERT_EQ(s->respawn_counter, 1);
        riding_stop_bike(s);
        dBodySetLinearVel(rider, 0, 0, 0);
        still++;
        rider_respawn_step(s);
        EXPECT_TRUE(feet_ok);
        EXPECT_EQ(s->respawn_counter, 0);
        EXPECT_GT(moving, 0);
        EXPECT_NEAR(still, RESPAWN_TICKS + delay, 1);
        // Back on: the joint's two anchors agree and sit where they were at load.
        EXPECT_NE(dJointGetBody(joint, 0), nullptr);
        dVector3 a1, a2, w;
        dJointGetHinge2Anchor(joint, a1);
        dJointGetHinge2Anchor2(joint, a2);
        dBodyGetRelPointPos(frame, load_anchor[0], load_anchor[1], load_anchor[2], w);
        for (int i = 0; i < 3; i++) {
            EXPECT_NEAR(a1[i], a2[i], 1e-6);
            EXPECT_NEAR(a1[i], w[i], 1e-6);
        }
        vec3 off = test_body_position(rider) - seat_point();
        EXPECT_LT(std::sqrt(vec3_length2(off)), 0.25f);
        vec3 p0 = frame_position();
        run(2 * 128, [&](int) { rider_set_throttle(s, 1); });
        EXPECT_GT(std::sqrt(vec3_length2(frame_position() - p0)), 5);
        expect_sound();
    }
}

// The re-seat springs' slack: 5 ft at 512 falling to 0 at 128, seen as the distance at which the
// three tethers start to pull.
TEST_F(bike_falls, ReseatSlackShrinksWithTheCounter) {
    make_field();
    ASSERT_NE(place_player(), nullptr);
    rider_fall_off(s);
    dBodyID rider = bike_rider_body(s);
    auto tethers = [&](int counter, float away) {
        dJointGroupEmpty(physics_contact_group);
        vec3 seat = seat_point();
        dBodySetQuaternion(rider, dBodyGetQuaternion(bike_frame_body(s)));
        dBodySetPosition(rider, seat.x + away, seat.y, seat.z);
        s->respawn_counter = counter;
        rider_reseat_springs(s);
        int n = 0;
        for (int i = 0; i < dBodyGetNumJoints(rider); i++)
            n += dJointGetType(dBodyGetJoint(rider, i)) == dJointTypeContact;
        return n;
    };
    const float slack511 = 5 * 383.0f / 384;
    EXPECT_EQ(tethers(511, slack511 - 0.01f), 0);
    EXPECT_EQ(tethers(511, slack511 + 0.01f), 3);
    EXPECT_EQ(tethers(320, 5 * 192.0f / 384 - 0.01f), 0);
    EXPECT_EQ(tethers(320, 5 * 192.0f / 384 + 0.01f), 3);
    EXPECT_EQ(tethers(128, 0.01f), 3);
    EXPECT_EQ(tethers(5, 0.01f), 3);
    dJointGroupEmpty(physics_contact_group);
}

// A rider that never lies still on a 1-in-4 slope still rejoins within the bound.
TEST_F(bike_falls, RejoinsOnASteepSlopeWithinTheBound) {
    make_field([](int x, int) { return 200.0f + 2.0f * (x - 128) * 0.25f; });
    ASSERT_NE(place_player(), nullptr);
    rider_set_sit_dab(s, 1);
    run(64);
    rider_fall_off(s);
    int ticks = 0;
    while (s->respawn_counter > 0 && ticks < 35 * 128) {
        run(1);
        ticks++;
    }
    EXPECT_EQ(s->respawn_counter, 0);
    EXPECT_LE(ticks, 35 * 128);
    expect_sound();
}

