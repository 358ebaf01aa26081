// The bike's parts against a shape and against another rider's bike: which parts touch, which
// contacts are made, the falls and the contact timers.
#include <cmath>
#include <string>
#include <vector>

#include "bike/part_contacts.h"
#include "bike/riding.h"
#include "core/mem.h"
#include "tests/bike/bike_test_support.h"

static int fixture_tick = 100;
static int fixture_current_tick() {
    return fixture_tick;
}

struct bike_part_contacts : bike_fixture {
    temp_dir dir;
    int files = 0;
    void SetUp() override {
        bike_fixture::SetUp();
        bike_hooks.current_tick = fixture_current_tick;
        fixture_tick = 100;
    }
    void TearDown() override {
        bike_hooks.current_tick = nullptr;
        bike_fixture::TearDown();
    }
    // A private shape of one sphere of the radius at the body-frame origin.
    collision_shape *ball(float radius) {
        std::string path = dir.file("b" + std::to_string(files++) + ".shp");
        test_write_file(path, "1\n0 0 0 " + std::to_string(radius) + " 1 10000 1000\n");
        return shape_copy(path.c_str());
    }
};

static vec3 position(dBodyID b) {
    return test_body_position(b);
}

TEST_F(bike_part_contacts, ShapePairReportsEachPartAndSkipsPartsWithoutShapes) {
    rider_slot *s = load();
    ASSERT_NE(s, nullptr);
    collision_shape *probe = ball(0.05f);
    ASSERT_NE(probe, nullptr);
    const struct {
        int body;
        int bit;
        vec3 offset;   // from the body's position
    } parts[] = {
        {BIKE_BODY_FRAME, PART_BIT_FRAME, {0, 0, 0}},
        {BIKE_BODY_FORK_UPPER, PART_BIT_FORK_UPPER, {0, 0, 0}},
        {BIKE_BODY_FORK_LOWER, PART_BIT_FORK_LOWER, {0, 0, 0}},
        {BIKE_BODY_SWINGARM, PART_BIT_SWINGARM, {0, 0, 0}},
        {BIKE_BODY_RIDER, PART_BIT_RIDER, {0, 0, 0}},
        // The tyres: at the bottom of each ring.
        {BIKE_BODY_FRONT_WHEEL, PART_BIT_FRONT_WHEEL, {0, -s->front_contact.ring_radius, 0}},
        {BIKE_BODY_REAR_WHEEL, PART_BIT_REAR_WHEEL, {0, -s->rear_contact.ring_radius, 0}},
    };
    collision_shape **fields[] = {&s->frame_shape, &s->fork_upper_shape, &s->fork_lower_shape,
                                  &s->swingarm_shape, &s->rider_shape, &s->front_wheel_shape,
                                  &s->rear_wheel_shape};
    for (size_t i = 0; i < sizeof parts / sizeof parts[0]; i++) {
        const auto &p = parts[i];
        // The probe somewhere inside the part: at the nearest sphere of its shape.
        vec3 at = position(bike_body_of(s, p.body)) + p.offset;
        collision_shape *own = *fields[i];
        ASSERT_NE(own, nullptr) << i;
        if (p.bit != PART_BIT_FRONT_WHEEL && p.bit != PART_BIT_REAR_WHEEL) {
            vec3 c;
            float r;
            ASSERT_EQ(shape_sphere(own->source_shape ? own->source_shape : own, 0, &c, &r), 1);
            at = position(bike_body_of(s, p.body)) + c;
        }
        shape_transform t = {at, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
        int bits = collide_shape_pair(s, probe, nullptr, t, -1, 0);
        EXPECT_TRUE(bits & p.bit) << i << " bits " << bits;
        // Without its shape the part is skipped.
        *fields[i] = nullptr;
        EXPECT_FALSE(collide_shape_pair(s, probe, nullptr, t, -1, 0) & p.bit) << i;
        *fields[i] = own;
        // Far away nothing touches.
        shape_transform far = {{1000, 0, 0}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
        EXPECT_EQ(collide_shape_pair(s, probe, nullptr, far, 0, 0), 0);
    }
    EXPECT_EQ(collide_shape_pair(s, nullptr, nullptr, {}, 0, 0), 0);
    EXPECT_EQ(collide_shape_pair(nullptr, probe, nullptr, {}, 0, 0), 0);
    mem_free(probe);
}

TEST_F(bike_part_contacts, ShapePairJointsFollowFlagAndMode) {
    rider_slot *s = load();
    ASSERT_NE(s, nullptr);
    collision_shape *probe = ball(0.05f);
    dBodyID lower = bike_body_of(s, BIKE_BODY_FORK_LOWER), frame = bike_frame_body(s);
    vec3 c;
    float r;
    collision_shape *ls = s->fork_lower_shape->source_shape ? s->fork_lower_shape->source_shape
                                                            : s->fork_lower_shape;
    ASSERT_EQ(shape_sphere(ls, 0, &c, &r), 1);
    // Half a radius off the part's sphere's centre (a pair with one centre makes nothing).
    shape_transform at_fork = {position(lower) + c + vec3{r / 2, 0, 0}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    collision_shape *fs = s->frame_shape->source_shape ? s->frame_shape->source_shape
                                                       : s->frame_shape;
    ASSERT_EQ(shape_sphere(fs, 0, &c, &r), 1);
    shape_transform at_frame = {position(frame) + c + vec3{r / 2, 0, 0}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    const struct {
        int flag, mode;
        int fork_joints, frame_joints;   // new joints on each body
    } cases[] = {
        {0, 0, 1, 1},    // joints everywhere
        {0, 1, 0, 1},    // the forks only test
        {1, 0, 0, 0},    // penalty forces
        {-1, 0, 0, 0},   // tests only
    };
    for (const auto &k : cases) {
        int fork0 = dBodyGetNumJoints(lower), frame0 = dBodyGetNumJoints(frame);
        EXPECT_TRUE(collide_shape_pair(s, probe, nullptr, at_fork, k.flag, k.mode) &
                    PART_BIT_FORK_LOWER);
        EXPECT_TRUE(collide_shape_pair(s, probe, nullptr, at_frame, k.flag, k.mode) &
                    PART_BIT_FRAME);
        EXPECT_EQ(dBodyGetNumJoints(lower) - fork0 > 0, k.fork_joints > 0) << k.flag << k.mode;
        EXPECT_EQ(dBodyGetNumJoints(frame) - frame0 > 0, k.frame_joints > 0) << k.flag << k.mode;
        dJointGroupEmpty(physics_contact_group);
    }
    mem_free(probe);
}

TEST_F(bike_part_contacts, RiderHittingAStatueFallsAboveTwentyFeetPerSecond) {
    for (float speed : {25.0f, 15.0f}) {
        rider_slot *s = load();
        ASSERT_NE(s, nullptr);
        collision_shape *wall = ball(1.0f);
        dBodyID rider = bike_rider_body(s);
        dBodySetLinearVel(rider, 0, 0, -speed);
        collision_shape *rs = s->rider_shape->source_shape ? s->rider_shape->source_shape
                                                           : s->rider_shape;
        vec3 c;
        float r;
        ASSERT_EQ(shape_sphere(rs, 0, &c, &r), 1);
        shape_transform t = {position(rider) + c + vec3{0, 0, -1}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
        int bits = bike_rider_contacts(s, wall, nullptr, t);
        EXPECT_TRUE(bits & PART_BIT_RIDER);
        if (speed > 20) {
            EXPECT_EQ(s->respawn_counter, 512);
            EXPECT_EQ(s->fall_count, 1);
            EXPECT_EQ(dJointGetBody(bike_joint_of(s, BIKE_JOINT_RIDER), 0), nullptr);
        } else {
            EXPECT_EQ(s->respawn_counter, 0);
            EXPECT_NE(dJointGetBody(bike_joint_of(s, BIKE_JOINT_RIDER), 0), nullptr);
        }
        mem_free(wall);
        dJointGroupEmpty(physics_contact_group);
        bike_free(0);
    }
}

// Turns every body of the slot by the angle about the vertical, then moves them so that the
// frame's origin is at the point.
static void place(rider_slot *s, float yaw, vec3 frame_at, vec3 velocity) {
    bike_reset(s);
    bike_set_orientation(s, 0, 1, 0, yaw);
    vec3 offset = frame_at - position(bike_frame_body(s));
    bike_translate(s->slot_index, offset.x, offset.y, offset.z);
    for (int b = 0; b < BIKE_BODIES; b++)
        dBodySetLinearVel(bike_body_of(s, b), velocity.x, velocity.y, velocity.z);
}

TEST_F(bike_part_contacts, RiderPairsSetTheContactTimers) {
    rider_slot *a = load("yz250f(2017)", 0), *b = load("yz250f(2017)", 1);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    vec3 front = position(bike_body_of(a, BIKE_BODY_FRONT_WHEEL));
    vec3 frame = position(bike_frame_body(a));

    // Front to front: b turned round, its front wheel overlapping a's.
    place(a, 0, frame, {0, 0, -12});
    // Mirrored through the point just behind a's front axle.
    place(b, (float)M_PI, {0, frame.y, 2 * front.z - frame.z + 0.3f}, {0, 0, 12});
    for (int32_t &k : a->followed_serials) k = 7;
    for (int32_t &k : b->followed_serials) k = 7;
    int bits = collide_riders(a, b, 0);
    EXPECT_TRUE(bits & PART_BIT_FRONT_WHEEL) << bits;
    EXPECT_GE(a->rider_contact_timer, 64);
    EXPECT_GE(b->rider_contact_timer, 64);
    EXPECT_EQ(a->last_rider_contact_tic, 100);
    EXPECT_EQ(b->last_rider_contact_tic, 100);
    for (int32_t k : a->followed_serials) EXPECT_EQ(k, 0);
    for (int32_t k : b->followed_serials) EXPECT_EQ(k, 0);

    // A second contact in the same tick: penalty forces, no new joints.
    int joints = 0;
    for (int p = 0; p < BIKE_BODIES; p++)
        joints += dBodyGetNumJoints(bike_body_of(a, p)) + dBodyGetNumJoints(bike_body_of(b, p));
    EXPECT_NE(collide_riders(a, b, 0), 0);
    int after = 0;
    for (int p = 0; p < BIKE_BODIES; p++)
        after += dBodyGetNumJoints(bike_body_of(a, p)) + dBodyGetNumJoints(bike_body_of(b, p));
    EXPECT_EQ(after, joints);
    const dReal *f = dBodyGetForce(bike_body_of(a, BIKE_BODY_FRONT_WHEEL));
    EXPECT_GT(std::fabs(f[0]) + std::fabs(f[1]) + std::fabs(f[2]), 0);
    dJointGroupEmpty(physics_contact_group);

    // a's front into b's side: b turned across a's path, its middle just ahead of a's wheel.
    fixture_tick = 200;
    place(a, 0, frame, {0, 0, -10});
    // b's frame origin sits on a's path just ahead of a's front tyre.
    place(b, (float)M_PI / 2, {0, frame.y, front.z - a->front_contact.ring_radius},
          {0, 0, -6});
    b->rider_contact_timer = -3;
    bits = collide_riders(a, b, 0);
    ASSERT_NE(bits, 0);
    EXPECT_FALSE(bits & (PART_BIT_FRONT_WHEEL | PART_BIT_FORK_LOWER)) << bits;
    EXPECT_EQ(a->rider_contact_timer, 128);
    EXPECT_EQ(b->rider_contact_timer, -640);
    dJointGroupEmpty(physics_contact_group);

    // Far apart: nothing touches, nothing changes.
    fixture_tick = 300;
    place(b, 0, {100, frame.y, 0}, {0, 0, 0});
    EXPECT_EQ(collide_riders(a, b, 0), 0);
    EXPECT_EQ(a->last_rider_contact_tic, 200);
}

// The pass over a list gives what collide_riders gives for every pair in order: four bikes, two
// front to front, one alongside the first and one far off, met twice over in one tick (the second
// round makes penalty forces).
TEST_F(bike_part_contacts, PassOverAListMatchesEveryPair) {
    rider_slot *r[4];
    for (int i = 0; i < 4; i++) {
        r[i] = load("yz250f(2017)", i);
        ASSERT_NE(r[i], nullptr);
    }
    vec3 front = position(bike_body_of(r[0], BIKE_BODY_FRONT_WHEEL));
    vec3 frame = position(bike_frame_body(r[0]));
    struct record {
        float timer;
        int tic, joints;
        double force;
    };
    auto run = [&](bool as_list) {
        place(r[0], 0, frame, {0, 0, -12});
        place(r[1], (float)M_PI, {0, frame.y, 2 * front.z - frame.z + 0.3f}, {0, 0, 12});
        place(r[2], 0, {2.2f, frame.y, frame.z}, {0, 0, -11});
        place(r[3], 0, {100, frame.y, 0}, {0, 0, -4});
        for (rider_slot *s : r) {
            s->rider_contact_timer = 0;
            s->last_rider_contact_tic = 0;
            for (int p = 0; p < BIKE_BODIES; p++) dBodySetForce(bike_body_of(s, p), 0, 0, 0);
        }
        for (int round = 0; round < 2; round++) {
            if (as_list) {
                collide_rider_list(r, 4, 0);
            } else {
                for (int i = 0; i < 4; i++)
                    for (int j = i + 1; j < 4; j++) collide_riders(r[i], r[j], 0);
            }
        }
        std::vector<record> out;
        for (rider_slot *s : r) {
            record k = {s->rider_contact_timer, s->last_rider_contact_tic, 0, 0};
            for (int p = 0; p < BIKE_BODIES; p++) {
                k.joints += dBodyGetNumJoints(bike_body_of(s, p));
                const dReal *f = dBodyGetForce(bike_body_of(s, p));
                k.force += std::fabs(f[0]) + std::fabs(f[1]) + std::fabs(f[2]);
            }
            out.push_back(k);
        }
        dJointGroupEmpty(physics_contact_group);
        return out;
    };
    std::vector<record> pairs = run(false), list = run(true);
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i].timer, pairs[i].timer);
        EXPECT_EQ(list[i].tic, pairs[i].tic);
        EXPECT_EQ(list[i].joints, pairs[i].joints);
        EXPECT_EQ(list[i].force, pairs[i].force);
    }
    // The case has contacts and forces to compare, and the far bike met nothing.
    EXPECT_EQ(pairs[0].tic, 100);
    EXPECT_GT(pairs[0].force, 0);
    EXPECT_EQ(pairs[3].tic, 0);
}
