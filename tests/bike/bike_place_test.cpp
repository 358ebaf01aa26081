// Placement, reset and presence of a loaded bike, the rider's foot points and the geometric
// services; records applied to ghosts and solid riders.
#include <cmath>
#include <random>
#include <vector>

#include "bike/packed_state.h"
#include "terrain/terrain.h"
#include "tests/bike/bike_test_support.h"
#include "tests/terrain/memory_field.h"

using bike_placement = bike_fixture;

static const int REST[BIKE_BODIES] = {16, 0, 8, 23, 32, 26, 183};

TEST_F(bike_placement, ResetTurnAndMoveGiveTheTurnedRestPose) {
    rider_slot *s = load();
    const bike_info *row = bike_row_of(s);
    for (int i = 0; i < 50; i++) physics_step();   // it falls and the joints move
    s->controls.throttle = 1;
    s->respawn_counter = 5;
    bike_reset(s);
    EXPECT_EQ(s->controls.throttle, 0);
    EXPECT_EQ(s->respawn_counter, 0);
    EXPECT_EQ(s->contact_tick, -1);
    EXPECT_EQ(s->robot.lean_limit_tic, -1000000);
    EXPECT_EQ(s->land_damping_scale, 1);
    bike_set_orientation(s, 0, 1, 0, (float)M_PI_2);
    bike_translate(0, 100, 5, 200);
    bike_translate(0, NAN, 0, 0);
    bike_set_orientation(s, 0, 1, 0, INFINITY);
    for (int b = 0; b < BIKE_BODIES; b++) {
        vec3 p = test_body_position(bike_body_of(s, b));
        float x = bike_v(row, REST[b]), y = bike_v(row, REST[b] + 1), z = bike_v(row, REST[b] + 2);
        // A quarter turn about y takes (x, z) to (z, -x).
        EXPECT_NEAR(p.x, z + 100, 1e-5) << b;
        EXPECT_NEAR(p.y, y + 5, 1e-5) << b;
        EXPECT_NEAR(p.z, -x + 200, 1e-5) << b;
    }
    EXPECT_NEAR(dJointGetHingeAngle(bike_joint_of(s, BIKE_JOINT_STEERING)), 0, 1e-6);
    EXPECT_NEAR(dJointGetSliderPosition(bike_joint_of(s, BIKE_JOINT_FORK)), 0, 1e-6);
    EXPECT_NEAR(dJointGetHingeAngle(bike_joint_of(s, BIKE_JOINT_SWINGARM)), 0, 1e-6);
    dVector3 a1, a2;
    dJointGetHinge2Anchor(bike_joint_of(s, BIKE_JOINT_RIDER), a1);
    dJointGetHinge2Anchor2(bike_joint_of(s, BIKE_JOINT_RIDER), a2);
    for (int i = 0; i < 3; i++) EXPECT_NEAR(a1[i], a2[i], 1e-6);
    // Forward is now -x: a push along -x reads as forward speed.
    dBodySetLinearVel(bike_frame_body(s), -10, 0, 0);
    EXPECT_NEAR(bike_forward_speed_mph(s), 6.818181f, 1e-4);
    EXPECT_NEAR(bike_frame_speed(0), 10, 1e-5);
}

TEST_F(bike_placement, PresenceFadeGhostAndForces) {
    rider_slot *s = load();
    dBodyID frame = bike_frame_body(s);
    for (int i = 0; i < 96; i++) bike_fade_out(s);
    EXPECT_EQ(s->rider_presence, 0.25f);
    EXPECT_FALSE(dBodyIsEnabled(frame));
    for (int i = 0; i < 40; i++) bike_fade_out(s);
    EXPECT_EQ(s->rider_presence, 0);
    struct {
        float before, after;
        bool enabled;
    } ghost[] = {{0.1f, 0.25f, false}, {0, 1, true}, {0.6f, 0.6f, true}};
    for (auto &c : ghost) {
        s->rider_presence = c.before;
        bike_hold_ghost(s);
        EXPECT_EQ(s->rider_presence, c.after) << c.before;
        if (c.before != 0.6f) {
            EXPECT_EQ(dBodyIsEnabled(bike_rider_body(s)) != 0, c.enabled) << c.before;
        }
    }
    bike_hold_visible(s);
    dBodyAddForce(frame, 1, 2, 3);
    bike_hold_visible(s);   // solid: forces kept
    EXPECT_EQ(dBodyGetForce(frame)[1], 2);
    bike_hold_hidden(s);
    EXPECT_EQ(s->rider_presence, 0);
    dBodyAddForce(frame, 1, 2, 3);
    bike_hold_visible(s);   // from hidden: forces cleared
    EXPECT_EQ(dBodyGetForce(frame)[1], 0);
    EXPECT_TRUE(dBodyIsEnabled(frame));
    rider_slot empty = {};
    bike_hold_visible(&empty);
    bike_fade_out(&empty);
    EXPECT_EQ(empty.rider_presence, 0);
}

TEST_F(bike_placement, FootPointsWhileRespawningAndDabbing) {
    memory_field flat(65, 4, [](int, int) { return 0.0f; });
    flat->extent = 256;
    terrain_current = flat.get();
    rider_slot *s = load();
    bike_translate(0, 100, 0, 100);
    s->respawn_counter = 300;
    s->fall_points[0] = {1, 2, 3};
    s->fall_points[2] = {4, 5, 6};
    vec3 l, r;
    float wl = 0, wr = 0;
    rider_pose_points(s, &l, &r, &wl, &wr);
    EXPECT_NEAR(l.x, 1, 1e-6);
    EXPECT_NEAR(r.z, 6, 1e-6);
    EXPECT_EQ(wl, 1);
    EXPECT_EQ(wr, 1);
    s->respawn_counter = 0;
    s->controls.foot_down = 1;
    rider_pose_points(s, &l, &r, &wl, &wr);
    EXPECT_NEAR(l.y, 0.125f, 1e-5);   // upright: both feet down
    EXPECT_NEAR(r.y, 0.125f, 1e-5);
    EXPECT_EQ(wl, 1);
    terrain_current = nullptr;
}

TEST(bike_geometry_services, GroundHeightTiltAndHorizontalPull) {
    memory_field hill(33, 2, [](int x, int z) { return (float)(x * 0.5 + std::sin(z * 0.7) * 3); });
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(-20, 90);
    for (int i = 0; i < 500; i++) {
        float x = d(rng), z = d(rng);
        EXPECT_EQ(physics_ground_height_at(hill.get(), x, z), terrain_height_at(hill.get(), x, z));
    }
    EXPECT_EQ(physics_ground_height_at(hill.get(), 0, 0), hill.heights[0]);
    for (float v : {NAN, 1e30f, -1e30f, INFINITY})
        EXPECT_TRUE(std::isfinite(physics_ground_height_at(hill.get(), v, v))) << v;
    terrain_field none = {};
    EXPECT_EQ(physics_ground_height_at(&none, 5, 5), 0);
    EXPECT_EQ(physics_ground_height_at(nullptr, 5, 5), 0);

    ASSERT_EQ(physics_open(), 1);
    dBodyID b = dBodyCreate(physics_world);
    dMatrix3 R;
    dRFromAxisAndAngle(R, 0, 0, 1, 0.3);   // the up axis turned toward -x: a left lean
    dBodySetRotation(b, R);
    EXPECT_NEAR(bike_body_tilt(b), 0.3f, 1e-6);
    dRFromAxisAndAngle(R, 1, 0, 0, M_PI_2);  // standing on its nose
    dBodySetRotation(b, R);
    EXPECT_EQ(bike_body_tilt(b), 0);
    dBodySetLinearVel(b, 0.2, 0, 0);
    bike_pull_horizontal(b, 10, {0, 0, 0});
    EXPECT_EQ(dBodyGetForce(b)[0], 0);
    dBodySetLinearVel(b, 1.5, 0, 0);
    bike_pull_horizontal(b, 10, {0, 0, 0});
    EXPECT_NEAR(dBodyGetForce(b)[0], -10, 1e-9);
    EXPECT_EQ(dBodyGetForce(b)[1], 0);
    dBodyDestroy(b);
    physics_close();
}

TEST(bike_geometry_services, AngularVelocityOfDegenerateInputIsZeroOrFinite) {
    double q[4] = {1, 0, 0, 0}, w[3];
    angular_velocity_between(q, q, w);
    EXPECT_EQ(w[0] * w[0] + w[1] * w[1] + w[2] * w[2], 0);
    double a = 0.01, q1[4] = {std::cos(a / 2), 0, std::sin(a / 2), 0};
    angular_velocity_between(q, q1, w);
    EXPECT_NEAR(w[1], a * 128, 1e-6);
    EXPECT_NEAR(w[0], 0, 1e-9);
    double zero[3] = {0, 0, 0}, v[3] = {1, 0, 0}, out[3];
    axis_angle_between(zero, v, v, out);
    EXPECT_EQ(out[0], 0);
    axis_angle_between(v, v, v, out);   // v along the axis
    EXPECT_EQ(out[0], 0);
}

TEST_F(bike_placement, RecordsOnGhostsAndSolidRiders) {
    memory_field flat(65, 4, [](int, int) { return 0.0f; });
    flat->extent = 256;
    terrain_current = flat.get();
    rider_slot *s = load();
    bike_translate(0, 128, 10, 128);
    unsigned char base[39];
    bike_pack_state(s, base);
    // Velocities from older to newer, n ticks apart.
    for (int n : {1, 4, 0}) {
        unsigned char older[39], newer[39];
        memcpy(older, base, 39);
        memcpy(newer, base, 39);
        newer[0] = (unsigned char)(newer[0] + 100);   // x + 100 steps
        bike_hold_ghost(s);
        s->rider_presence = 0.25f;
        bike_apply_packed_states(s, base, older, newer, n, 5);
        double step = 256.0 / 16777215;
        EXPECT_NEAR(dBodyGetLinearVel(bike_frame_body(s))[0], 100 * step / ((n > 1 ? n : 1) / 128.0), 1e-6) << n;
    }
    // Below the ground: lifted until the rear tyre touches it.
    unsigned char low[39];
    bike_translate(0, 0, -11, 0);
    bike_pack_state(s, low);
    bike_apply_packed_states(s, low, low, low, 1, 5);
    dVector3 down;
    dBodyVectorToWorld(bike_frame_body(s), 0, -s->rear_contact.ring_radius, 0, down);
    EXPECT_NEAR(dBodyGetPosition(bike_body_of(s, BIKE_BODY_REAR_WHEEL))[1] + down[1], 0, 1e-4);
    // A solid rider: no force at presence 1, at most 2500 at 0.4.
    bike_hold_visible(s);
    dBodySetForce(bike_frame_body(s), 0, 0, 0);
    bike_pull_to_states(s, base, base, base, 1);
    EXPECT_EQ(dBodyGetForce(bike_frame_body(s))[1], 0);
    s->rider_presence = 0.4f;
    bike_pull_to_states(s, base, base, base, 1);
    const dReal *F = dBodyGetForce(bike_frame_body(s));
    EXPECT_LE(std::sqrt(F[0] * F[0] + F[1] * F[1] + F[2] * F[2]), 2500 + 1e-6);
    EXPECT_GT(std::fabs(F[1]), 0);
    // Hostile records leave everything finite and in range.
    std::mt19937 rng(11);
    for (int i = 0; i < 10000; i++) {
        unsigned char a[39], b[39], c[39];
        for (int k = 0; k < 39; k++) a[k] = (unsigned char)rng(), b[k] = (unsigned char)rng(), c[k] = (unsigned char)rng();
        s->rider_presence = i % 2 ? 1.0f : 0.25f;
        bike_apply_packed_states(s, a, b, c, (int)(rng() % 6), i % 3 == 0 ? 4 : 5);
        for (int k = 0; k < BIKE_BODIES; k++)
            for (int j = 0; j < 3; j++) {
                ASSERT_TRUE(std::isfinite(dBodyGetPosition(bike_body_of(s, k))[j]));
                ASSERT_TRUE(std::isfinite(dBodyGetLinearVel(bike_body_of(s, k))[j]));
                ASSERT_TRUE(std::isfinite(dBodyGetAngularVel(bike_body_of(s, k))[j]));
            }
        ASSERT_GE(s->gear, 0);
        ASSERT_LE(s->gear, 5);
        ASSERT_GT(bike_v(bike_row_of(s), 68 + s->gear), 0);
        ASSERT_GE(s->respawn_counter, 0);
        ASSERT_LE(s->respawn_counter, 128);
        ASSERT_GE(s->controls.throttle, 0);
        ASSERT_LE(s->controls.throttle, 1);
        dBodySetForce(bike_frame_body(s), 0, 0, 0);
        dBodySetTorque(bike_frame_body(s), 0, 0, 0);
    }
    terrain_current = nullptr;
}

TEST_F(bike_placement, SnapshotRoundTripAndBadSnapshots) {
    rider_slot *s = load();
    bike_translate(0, 3, 4, 5);
    float snap[51], again[51];
    bike_snapshot_write(s, snap);
    bike_reset(s);
    bike_snapshot_read(s, snap);
    bike_snapshot_write(s, again);
    for (int i = 0; i < 51; i++) EXPECT_NEAR(snap[i], again[i], 1e-6) << i;
    float bad[51];
    memcpy(bad, snap, sizeof bad);
    bad[10] = NAN;
    bike_reset(s);
    bike_snapshot_read(s, bad);
    EXPECT_NEAR(dBodyGetPosition(bike_frame_body(s))[0], 0, 1e-9);
    memcpy(bad, snap, sizeof bad);
    bad[3] = bad[4] = bad[5] = bad[6] = 0;
    bike_snapshot_read(s, bad);
    EXPECT_NEAR(dBodyGetPosition(bike_frame_body(s))[0], 0, 1e-9);
}

// Everything a pose leaves on a slot, bit for bit.
static std::vector<double> pose_of(const rider_slot *s) {
    std::vector<double> v;
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = bike_body_of(s, b);
        for (const dReal *p : {dBodyGetPosition(body), dBodyGetLinearVel(body), dBodyGetAngularVel(body)})
            v.insert(v.end(), p, p + 3);
        v.insert(v.end(), dBodyGetQuaternion(body), dBodyGetQuaternion(body) + 4);
        v.insert(v.end(), dBodyGetRotation(body), dBodyGetRotation(body) + 12);
    }
    for (const vec3 &p : s->fall_points) v.insert(v.end(), {p.x, p.y, p.z});
    v.insert(v.end(), {(double)s->respawn_counter, (double)s->gear, s->controls.throttle, s->controls.foot_down,
                       s->engine_speed});
    return v;
}

// Slot 0 rides a run of records four ticks a pair, as playback does, so it meets each pair again
// and each pair's older record as the last one's newer. Slot 1 rides the same run, but before each
// tick a decoy pair that leaves nothing behind makes it work each pose out afresh. The run falls
// and respawns midway, and is ridden as version 5 and as version 4.
TEST_F(bike_placement, RememberedPairsPoseAsFreshOnesDo) {
    memory_field flat(65, 4, [](int, int) { return 0.0f; });
    flat->extent = 256;
    terrain_current = flat.get();
    rider_slot *a = load("yz250f(2017)", 0), *b = load("yz250f(2017)", 1);
    ASSERT_TRUE(a && b);
    bike_hold_hidden(a);
    bike_hold_hidden(b);
    bike_translate(0, 128, 10, 128);
    unsigned char base[39];
    bike_pack_state(a, base);
    std::mt19937 rng(5);
    for (int version : {5, 4}) {
        int gear_at = version == 4 ? 23 : 36;
        std::vector<std::vector<unsigned char>> run;
        for (int k = 0; k < 12; k++) {
            std::vector<unsigned char> r(base, base + 39);
            r[1] = (unsigned char)(r[1] + 3 * k);   // x moves on
            for (int i : {17, 18, 19, 20, 21, 22, 34, 35}) r[i] = (unsigned char)rng();
            r[gear_at] = k == 5 || k == 6 ? 0x57 : 0x23;
            run.push_back(r);
        }
        for (int j = 0; j + 1 < (int)run.size(); j++)
            for (int tick = 1; tick <= 4; tick++) {
                std::vector<unsigned char> current = tick == 4 ? run[j + 1] : run[j];
                current[0] = (unsigned char)(current[0] + 60 * tick);
                if (b->respawn_counter == 0) {
                    std::vector<unsigned char> decoy(base, base + 39);
                    decoy[4] = (unsigned char)(decoy[4] + 1 + tick);
                    decoy[gear_at] = (unsigned char)b->gear;
                    bike_apply_packed_states(b, decoy.data(), base, decoy.data(), 2, version);
                }
                for (rider_slot *s : {a, b})
                    bike_apply_packed_states(s, current.data(), run[j].data(), run[j + 1].data(), 4, version);
                std::vector<double> pa = pose_of(a), pb = pose_of(b);
                ASSERT_EQ(pa.size(), pb.size());
                ASSERT_EQ(memcmp(pa.data(), pb.data(), pa.size() * sizeof(double)), 0)
                    << "version " << version << ", pair " << j << ", tick " << tick;
            }
    }
    terrain_current = nullptr;
}
