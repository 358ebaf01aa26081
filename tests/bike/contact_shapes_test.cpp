// Contacts between collision shapes: placement, sphere-pair joints and penalty forces, shape
// pairs and a tyre against a shape, checked through what the world step does with the joints.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "bike/contact.h"
#include "bike/physics.h"
#include "core/mem.h"
#include "tests/bike/contact_test_support.h"
#include "tests/support/test_support.h"

// A world with gravity off for the bodies made here, closed at the end.
struct bike_contact : testing::Test {
    void SetUp() override { ASSERT_EQ(physics_open(), 1); }
    void TearDown() override {
        physics_close();
        shape_free_cache();
    }
    temp_dir dir;
    int files = 0;
    // A copy of a shape read from the text.
    collision_shape *copy_of(const std::string &text) {
        std::string path = dir.file("s" + std::to_string(files++) + ".shp");
        test_write_file(path, text);
        return shape_copy(path.c_str());
    }
};

static collision_sphere sphere(vec3 c, float r, float mu, float spring, float damper) {
    return {c, r, mu, spring, damper};
}

TEST_F(bike_contact, SpherePairJointsTakeTheSofterSpringWithinTheForceLimit) {
    struct pair_case {
        float distance;          // between centres, along +y from a to b; radii 1 and 1
        float spring_a, spring_b, damper_a, damper_b;
        double kp, kd;           // what the joint must use; kd < 0: no joint at all
    };
    const pair_case cases[] = {
        {1.9f, 10000, 25000, 1000, 2500, 10000, 1000},   // 1000 lbf at 0.1 deep: kept
        {1.5f, 25000, 10000, 2500, 1000, 5000, 1000},    // 5000 lbf: lowered to 2500 / 0.5
        {1.75f, 0, 5000, 100, 500, 0, 100},              // no spring, still a joint
        {1.75f, 0, 5000, 0, 500, 0, -1},                 // no spring, no damper: no joint
    };
    const double mass = 50;
    for (const pair_case &k : cases) {
        dBodyID b = test_body_at({0, k.distance, 0}, mass);
        collision_sphere sa = sphere({0, 0, 0}, 1, 0.5f, k.spring_a, k.damper_a);
        collision_sphere sb = sphere({0, k.distance, 0}, 1, 0.7f, k.spring_b, k.damper_b);
        EXPECT_EQ(contact_sphere_sphere(sa, nullptr, sb, b, 0, nullptr), 1);
        EXPECT_EQ(dBodyGetNumJoints(b), k.kd < 0 ? 0 : 1) << k.distance;
        ASSERT_EQ(physics_step(), 1);
        double expected = k.kd < 0 ? 0 : contact_expected_speed(k.kp, k.kd, 2 - k.distance, mass);
        const dReal *v = dBodyGetLinearVel(b);
        EXPECT_NEAR(v[1], expected, 1e-4 * expected + 1e-9) << k.distance;  // pushed from a
        EXPECT_NEAR(v[0], 0, 1e-12);
        EXPECT_EQ(dBodyGetNumJoints(b), 0);
        dBodyDestroy(b);
    }
}

TEST_F(bike_contact, SpherePairFrictionTakesTheSmallerMu) {
    // Sliding fast sideways: the friction force is mu times the normal force.
    const double mass = 50;
    dBodyID b = test_body_at({0, 1.9f, 0}, mass);
    dBodySetLinearVel(b, 20, 0, 0);
    collision_sphere sa = sphere({0, 0, 0}, 1, 0.8f, 10000, 1000);
    collision_sphere sb = sphere({0, 1.9f, 0}, 1, 0.3f, 10000, 1000);
    ASSERT_EQ(contact_sphere_sphere(sa, nullptr, sb, b, 0, nullptr), 1);
    ASSERT_EQ(physics_step(), 1);
    const dReal *v = dBodyGetLinearVel(b);
    EXPECT_NEAR(20 - v[0], 0.3 * v[1], 1e-3 * v[1]);
}

TEST_F(bike_contact, TestModeFillsOnlyTheRecord) {
    dBodyID a = test_body_at({0, 0, 0}, 5);
    dBodyID b = test_body_at({1.5f, 0, 0}, 5);
    dBodySetLinearVel(a, 0, 3, 0);
    dBodySetAngularVel(a, 0, 0, 2);
    collision_sphere sa = sphere({0, 0, 0}, 1, 1, 100, 10);
    collision_sphere sb = sphere({1.5f, 0, 0}, 1, 1, 100, 10);
    contact_result out;
    memset(&out, 0x55, sizeof out);
    ASSERT_EQ(contact_sphere_sphere(sa, a, sb, b, -1, &out), 1);
    EXPECT_EQ(dBodyGetNumJoints(a), 0);
    EXPECT_EQ(dBodyGetForce(b)[0], 0.0);
    // Depth 0.5, the point halfway through the overlap, the normal from a towards b; the
    // velocity of a at the point is (0, 3, 0) + (0, 0, 2) x (0.75, 0, 0).
    EXPECT_FLOAT_EQ(out.contact_depth, 0.5f);
    EXPECT_FLOAT_EQ(out.point.x, 0.75f);
    EXPECT_FLOAT_EQ(out.normal.x, 1.0f);
    EXPECT_FLOAT_EQ(out.velocity.y, 3 + 2 * 0.75f);
    EXPECT_FLOAT_EQ(out.velocity.x, 0.0f);
    EXPECT_EQ(out.joint_feedback.f1[0], 0.0);
    EXPECT_EQ(out.joint_feedback.t2[2], 0.0);

    // Apart, or nearly one centre, or no body: the record stays as it was.
    const struct {
        vec3 cb;
        dBodyID body_a, body_b;
        int result;
    } untouched[] = {
        {{2.5f, 0, 0}, a, b, 0},
        {{0, 0, 0}, a, b, 1},
        {{0.01f, 0.02f, 0}, a, b, 1},
        {{1.5f, 0, 0}, nullptr, nullptr, 1},
        {{NAN, 0, 0}, a, b, 0},
        {{INFINITY, 0, 0}, a, b, 0},
    };
    for (const auto &u : untouched) {
        memset(&out, 0x55, sizeof out);
        sb.centre = u.cb;
        for (int mode : {-1, 0, 1}) {
            EXPECT_EQ(contact_sphere_sphere(sa, u.body_a, sb, u.body_b, mode, &out), u.result)
                << u.cb.x;
            unsigned char *bytes = (unsigned char *)&out;
            for (size_t i = 0; i < sizeof out; i++) ASSERT_EQ(bytes[i], 0x55) << u.cb.x;
        }
        EXPECT_EQ(dBodyGetNumJoints(a) + dBodyGetNumJoints(b), 0) << u.cb.x;
        EXPECT_EQ(dBodyGetForce(a)[0], 0.0);
        EXPECT_EQ(dBodyGetForce(b)[0], 0.0);
    }
    // A zero-radius sphere at the other's centre has no direction either.
    collision_sphere dot = sphere({0, 0, 0}, 0, 1, 100, 10);
    memset(&out, 0x55, sizeof out);
    EXPECT_EQ(contact_sphere_sphere(sa, a, dot, b, -1, &out), 1);
    unsigned char *bytes = (unsigned char *)&out;
    for (size_t i = 0; i < sizeof out; i++) ASSERT_EQ(bytes[i], 0x55);
    EXPECT_EQ(contact_sphere_sphere(sa, a, dot, b, 0, nullptr), 1);
    EXPECT_EQ(dBodyGetNumJoints(a), 0);
}

TEST_F(bike_contact, PenaltyPairIsClampedAndSkipsDisabledBodies) {
    struct penalty_case {
        float distance, spring, damper;
        float va, vb;     // body velocities along the normal (+x)
        float force;      // on b along +x
    };
    const penalty_case cases[] = {
        {1.8f, 1000, 100, 0, 0, 200},            // 0.2 deep
        {1.8f, 1000, 100, 2, -1, 500},           // closing at 3 ft/s adds 300
        {1.8f, 1000, 100, -5, 0, -300},          // opening faster than the spring pushes
        {1.0f, 20000, 100, 0, 0, 1000},          // kp lowered to 2500: clamped to 1000
        {1.8f, 1000, 1000, -10, 0, -1000},
    };
    for (const penalty_case &k : cases) {
        dBodyID a = test_body_at({0, 0, 0}, 5);
        dBodyID b = test_body_at({k.distance, 0, 0}, 5);
        dBodySetLinearVel(a, k.va, 0, 0);
        dBodySetLinearVel(b, k.vb, 0, 0);
        collision_sphere sa = sphere({0, 0, 0}, 1, 1, k.spring, k.damper);
        collision_sphere sb = sphere({k.distance, 0, 0}, 1, 1, k.spring, k.damper);
        ASSERT_EQ(contact_sphere_sphere(sa, a, sb, b, 1, nullptr), 1);
        EXPECT_NEAR(dBodyGetForce(b)[0], k.force, 1e-3) << k.distance << " " << k.va;
        EXPECT_NEAR(dBodyGetForce(a)[0], -k.force, 1e-3);
        EXPECT_EQ(dBodyGetNumJoints(b), 0);
        // Applied at the contact point (x = 1 - depth / 2): no torque about the line of centres.
        EXPECT_NEAR(dBodyGetTorque(b)[2], 0, 1e-6);
        dBodyDestroy(a);
        dBodyDestroy(b);
    }
    dBodyID a = test_body_at({0, 0, 0}, 5);
    dBodyID b = test_body_at({1.8f, 0, 0}, 5);  // below its sphere's centre
    dBodyDisable(a);
    collision_sphere sa = sphere({0, 0, 0}, 1, 1, 1000, 100);
    collision_sphere sb = sphere({1.8f, 0.5f, 0}, 1, 1, 1000, 100);
    ASSERT_EQ(contact_sphere_sphere(sa, a, sb, b, 2, nullptr), 1);
    EXPECT_EQ(dBodyGetForce(a)[0], 0.0);
    EXPECT_GT(dBodyGetForce(b)[0], 0.0);
    EXPECT_GT(dBodyGetForce(b)[1], 0.0);
    EXPECT_NE(dBodyGetTorque(b)[2], 0.0);  // off the body's centre: a lever arm
    // Without body b only a is pushed, away from b.
    dBodyEnable(a);
    ASSERT_EQ(contact_sphere_sphere(sa, a, sb, nullptr, 1, nullptr), 1);
    EXPECT_LT(dBodyGetForce(a)[0], 0.0);
}

TEST_F(bike_contact, ShapesArePlacedWhereTheirBodyStands) {
    collision_shape *copy =
        copy_of("3\n0.5 -1.25 2 0.3 1 100 10\n-3 4 0 1 1 100 10\n0 0 0 0.5 1 100 10\n");
    ASSERT_NE(copy, nullptr);
    dBodyID body = test_body_at({10, -2, 7.5f}, 1);
    dMatrix3 r;
    dRFromEulerAngles(r, 0.3, -1.1, 2.0);
    dBodySetRotation(body, r);
    shape_transform tr = shape_transform_from_body(body);
    shape_place(copy, tr);
    const collision_shape *cached = copy->source_shape;
    for (int pass = 0; pass < 2; pass++) {  // placing twice starts from the body frame again
        for (int i = 0; i < 3; i++) {
            vec3 c = cached->rows[i].centre;
            dVector3 world;
            dBodyGetRelPointPos(body, c.x, c.y, c.z, world);
            EXPECT_NEAR(copy->rows[i].centre.x, world[0], 1e-5) << i;
            EXPECT_NEAR(copy->rows[i].centre.y, world[1], 1e-5) << i;
            EXPECT_NEAR(copy->rows[i].centre.z, world[2], 1e-5) << i;
            EXPECT_EQ(copy->rows[i].radius, cached->rows[i].radius);
        }
        shape_place(copy, tr);
    }
    // The cached shape keeps its body-frame centres.
    collision_shape *original = shape_load(shape_name(copy));
    shape_place(original, tr);
    EXPECT_EQ(original->rows[1].centre.x, -3.0f);
    mem_free(copy);
}

TEST_F(bike_contact, ShapePairsMakeOneJointPerTouchingSpherePair) {
    collision_shape *a = copy_of("2\n0 0 0 0.5 1 1000 100\n0 2 0 0.5 1 1000 100\n");
    ASSERT_NE(a, nullptr);
    collision_shape *b = shape_copy(shape_name(a));
    dBodyID ba = test_body_at({0, 0, 0}, 5), bb = test_body_at({0.8f, 0, 0}, 5);
    shape_transform ta = shape_transform_from_body(ba), tb = shape_transform_from_body(bb);
    // Side by side 0.8 apart: the two bottom spheres touch and the two top ones.
    EXPECT_EQ(contact_shape_shape(a, ba, ta, b, bb, tb, 0), 1);
    EXPECT_EQ(dBodyGetNumJoints(ba), 2);
    EXPECT_EQ(dBodyGetNumJoints(bb), 2);
    EXPECT_FLOAT_EQ(b->rows[1].centre.x, 0.8f);
    ASSERT_EQ(physics_step(), 1);
    EXPECT_GT(dBodyGetLinearVel(bb)[0], 0.0);
    EXPECT_LT(dBodyGetLinearVel(ba)[0], 0.0);
    // Test mode: the answer only.
    EXPECT_EQ(contact_shape_shape(a, ba, ta, b, bb, tb, -1), 1);
    EXPECT_EQ(dBodyGetNumJoints(ba), 0);
    // Beyond the bounding radii nothing is even placed.
    shape_transform far = tb;
    far.position = {0, 5.5f, 0};
    EXPECT_EQ(contact_shape_shape(a, ba, ta, b, bb, far, 0), 0);
    EXPECT_FLOAT_EQ(b->rows[1].centre.y, 2.0f);
    // Within the bounding radii yet apart: placed, nothing touches.
    far.position = {1.2f, 0, 0};
    EXPECT_EQ(contact_shape_shape(a, ba, ta, b, bb, far, 0), 0);
    EXPECT_FLOAT_EQ(b->rows[1].centre.x, 1.2f);
    // A body position that is not finite gives nothing at all.
    for (float bad : {NAN, INFINITY, -INFINITY}) {
        shape_transform wild = tb;
        wild.position.x = bad;
        EXPECT_EQ(contact_shape_shape(a, ba, ta, b, bb, wild, 0), 0);
        EXPECT_EQ(contact_shape_shape(a, ba, wild, b, bb, tb, 1), 0);
    }
    EXPECT_EQ(dBodyGetNumJoints(ba), 0);
    EXPECT_EQ(dBodyGetForce(ba)[0], 0.0);
    mem_free(a);
    mem_free(b);
}

TEST_F(bike_contact, TyreAgainstAShapeFillsAnEmptyWheelContact) {
    // A statue of two spheres ahead of the wheel (-z): the nearer one touches deeper.
    collision_shape *statue =
        copy_of("2\n0 0 -1.3 0.3 0.5 10000 1000\n0 0.4 -1.3 0.3 0.5 10000 1000\n");
    ASSERT_NE(statue, nullptr);
    shape_transform at_origin = upright_at({0, 0, 0});
    wheel_contact wheel{};
    wheel.body = test_body_at({0, 0, 0}, 1);
    wheel.axle = {1, 0, 0};
    wheel.ring_radius = 0.8333f;
    wheel.section_radius = 0.3333f;

    EXPECT_EQ(contact_shape_shape_bodies(statue, nullptr, at_origin, &wheel, -1), 1);
    EXPECT_EQ(dBodyGetNumJoints(wheel.body), 0);
    // The ring point ahead is (0, 0, -0.8333): depth 0.3333 + 0.3 - (1.3 - 0.8333).
    EXPECT_NEAR(wheel.contact_depth, 0.1666, 1e-5);
    EXPECT_NEAR(wheel.point.z, -0.8333 - (0.3333 - 0.1666 / 2), 1e-5);
    EXPECT_NEAR(wheel.normal.z, -1, 1e-6);  // from the tyre into the statue
    EXPECT_NEAR(wheel.normal.y, 0, 1e-6);

    // A wheel holding a ground contact keeps it; mode 0 still makes the joints.
    wheel_contact grounded = wheel;
    grounded.contact_depth = 0.05f;
    grounded.point = {1, 2, 3};
    EXPECT_EQ(contact_shape_shape_bodies(statue, nullptr, at_origin, &grounded, 0), 1);
    EXPECT_EQ(grounded.contact_depth, 0.05f);
    EXPECT_EQ(grounded.point.x, 1.0f);
    EXPECT_EQ(dBodyGetNumJoints(wheel.body), 2);
    ASSERT_EQ(physics_step(), 1);
    EXPECT_GT(dBodyGetLinearVel(wheel.body)[2], 0.0);  // pushed back, away from the statue

    // Turned a quarter about y, the axle lies along world z: the same statue is now on the
    // wheel's axis, out of reach, while one at the side is met by the ring.
    dMatrix3 r;
    dRFromAxisAndAngle(r, 0, 1, 0, M_PI / 2);
    dBodySetRotation(wheel.body, r);
    dBodySetPosition(wheel.body, 0, 0, 0);  // back from where the push moved it
    wheel.contact_depth = 0;
    EXPECT_EQ(contact_shape_shape_bodies(statue, nullptr, at_origin, &wheel, -1), 0);
    EXPECT_EQ(wheel.contact_depth, 0.0f);
    shape_transform beside = upright_at({1.3f, 0, 1.3f});
    EXPECT_EQ(contact_shape_shape_bodies(statue, nullptr, beside, &wheel, -1), 1);
    EXPECT_NEAR(wheel.contact_depth, 0.1666, 1e-5);
    EXPECT_NEAR(wheel.normal.x, 1, 1e-5);

    // Out of reach of the bounding radius, or a wheel at a wild position: nothing.
    wheel.contact_depth = 0;
    shape_transform away = upright_at({0, 0, -3.0f});
    EXPECT_EQ(contact_shape_shape_bodies(statue, nullptr, away, &wheel, 0), 0);
    dBodySetPosition(wheel.body, 1e9, 0, 0);
    EXPECT_EQ(contact_shape_shape_bodies(statue, nullptr, at_origin, &wheel, 0), 0);
    EXPECT_EQ(wheel.contact_depth, 0.0f);
    EXPECT_EQ(dBodyGetNumJoints(wheel.body), 0);
    mem_free(statue);
}

TEST_F(bike_contact, JointsWithValuesNotFiniteAreDropped) {
    dBodyID b = test_body_at({0, 0, 0}, 1);
    dContact good{};
    ASSERT_EQ(contact_surface(&good, 2500, 250, 1), 1);
    EXPECT_NEAR(good.surface.soft_cfm, 1 / (2500.0 / 128 + 250), 1e-9);
    EXPECT_NEAR(good.surface.soft_erp, (2500.0 / 128) / (2500.0 / 128 + 250), 1e-7);
    EXPECT_EQ(good.surface.mode, dContactApprox1 | dContactSoftERP | dContactSoftCFM);
    good.geom.normal[1] = 1;
    good.geom.depth = 0.1;
    EXPECT_NE(contact_joint_create(good, b, nullptr), nullptr);
    dContact bad = good;
    EXPECT_EQ(contact_surface(&bad, 0, 0, 1), 0);
    EXPECT_EQ(contact_surface(&bad, -100, 0, 1), 0);
    EXPECT_EQ(contact_surface(&bad, NAN, 0, 1), 0);
    dReal *fields[] = {&bad.geom.pos[0], &bad.geom.pos[2], &bad.geom.normal[1], &bad.geom.depth,
                       &bad.surface.mu, &bad.surface.soft_erp, &bad.surface.soft_cfm};
    for (dReal *f : fields) {
        bad = good;
        dReal keep = *f;
        *f = NAN;
        EXPECT_EQ(contact_joint_create(bad, b, nullptr), nullptr);
        *f = INFINITY;
        EXPECT_EQ(contact_joint_create(bad, b, nullptr), nullptr);
        *f = keep;
    }
    bad = good;
    bad.surface.mode |= dContactFDir1 | dContactMu2;
    bad.fdir1[0] = 1;
    bad.surface.mu2 = NAN;
    EXPECT_EQ(contact_joint_create(bad, b, nullptr), nullptr);
    bad.surface.mu2 = 1;
    bad.fdir1[2] = INFINITY;
    EXPECT_EQ(contact_joint_create(bad, b, nullptr), nullptr);
    EXPECT_EQ(dBodyGetNumJoints(b), 1);
    ASSERT_EQ(physics_step(), 1);
    EXPECT_TRUE(std::isfinite(dBodyGetLinearVel(b)[1]));
}
