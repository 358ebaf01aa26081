// A wheel's ground contact: friction from the tile kind's curve at the speed its slip function
// names, the tyre's spring by compression, the friction direction, the rolling resistance, the
// joint with its feedback, and the tile under the point.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>

#include "bike/contact.h"
#include "bike/physics.h"
#include "tests/bike/contact_test_support.h"
#include "tests/terrain/memory_field.h"

static const float RING = 0.8333f, SECTION = 0.3333f;

// A friction curve: (coefficient, speed) points, the rest unused.
static void set_friction(tile_kind *k, std::initializer_list<std::pair<float, float>> points) {
    int j = 0;
    for (auto [a, b] : points) k->friction_a[j] = a, k->friction_b[j++] = b;
    for (; j < 8; j++) k->friction_a[j] = 1, k->friction_b[j] = TERRAIN_FRICTION_UNUSED;
}

struct roll_point {
    float a, b, c;
};
// A rolling-resistance curve: (light load, full load, speed) points, the rest unused.
static void set_roll(tile_kind *k, std::initializer_list<roll_point> points) {
    int j = 0;
    for (roll_point p : points) k->roll_a[j] = p.a, k->roll_b[j] = p.b, k->roll_c[j++] = p.c;
    for (; j < 8; j++) k->roll_a[j] = 5, k->roll_b[j] = 15, k->roll_c[j] = 0;
}

// Flat ground at height 0 (17 x 17 samples 2 ft apart, 8 x 8 tiles of kind 0) and a wheel with
// the example tyre standing on it at (5, 5), gravity off.
struct bike_wheel_ground : testing::Test {
    memory_field field{17, 2.0f, [](int, int) { return 0.0f; }};
    wheel_contact wheel{};
    const double mass = 1;
    void SetUp() override {
        ASSERT_EQ(physics_open(), 1);
        tile_kind *k = &field->kinds[0];
        set_friction(k, {{1, 1}});
        set_roll(k, {{0, 0, 1}});
        k->slip_function = 0;
        wheel.body = test_body_at({5, 1, 5}, mass);
        wheel.axle = {1, 0, 0};
        wheel.ring_radius = RING;
        wheel.section_radius = SECTION;
    }
    void TearDown() override { physics_close(); }
    // Sets the wheel down depth deep at rest, turned by yaw about y.
    void set_down(float depth, double yaw = 0) {
        dBodySetPosition(wheel.body, 5, RING + SECTION - depth, 5);
        dMatrix3 r;
        dRFromAxisAndAngle(r, 0, 1, 0, yaw);
        dBodySetRotation(wheel.body, r);
        dBodySetLinearVel(wheel.body, 0, 0, 0);
        dBodySetAngularVel(wheel.body, 0, 0, 0);
        dBodySetForce(wheel.body, 0, 0, 0);
    }
    // The ground contact made for the wheel as it stands, and the joint's record.
    dContact ground(float scale) {
        dContact c{};
        EXPECT_EQ(contact_wheel_ground(field.get(), &wheel, scale), 1);
        EXPECT_EQ(contact_wheel_surface(&c, field.get(), wheel, scale), 1);
        dJointGroupEmpty(physics_contact_group);
        return c;
    }
};

TEST_F(bike_wheel_ground, FrictionFollowsTheCurveAtTheSpeedOfTheSlipFunction) {
    const float rho = RING + SECTION;  // from the centre to the contact point
    struct slip_case {
        int slip_function;
        vec3 velocity;   // the wheel centre's
        float spin;      // the tyre surface's speed from the spin about the axle
        float friction;  // the curve's value at the slip speed
        const char *what;
    };
    // Points (1.2, 2), (0.8, 10), (0.5, 20), then unused.
    const slip_case cases[] = {
        {1, {0, 0, 0}, 6, 1.0f, "spinning in place: slip 6"},
        {2, {0, 0, 0}, 6, 1.2f, "spinning in place, spin left out: 0"},
        {0, {0, 0, 0}, 6, 1.2f - 0.4f * 32 / 96, "spinning in place, in squares"},
        {2, {0, 0, 10}, 6, 1.1f, "locking: 10 along the slip of 4, cut to 4"},
        {1, {0, 0, 10}, 6, 1.1f, "locking: slip 4"},
        {2, {0, 0, 4}, 10, 1.2f, "wheelspin: -4"},
        {1, {0, 0, 4}, 10, 1.0f, "wheelspin: slip 6"},
        {2, {0.03f, 0, 0}, 0, 1.2f, "creeping sideways below 1/16"},
        {1, {15, 0, 0}, 0, 0.65f, "sliding sideways 15"},
        {2, {15, 0, 0}, 0, 0.65f, "sliding sideways 15, no spin to leave out"},
        {0, {15, 0, 0}, 0, 0.8f - 0.3f * 125 / 300, "sliding sideways 15, in squares"},
        {1, {30, 0, 0}, 0, 0.5f, "past the last point in use"},
        {0, {0, 0, 1}, 0, 1.2f, "before the first point"},
    };
    set_down(0.1f);
    for (const slip_case &k : cases) {
        tile_kind *kind = &field->kinds[0];
        set_friction(kind, {{1.2f, 2}, {0.8f, 10}, {0.5f, 20}});
        kind->slip_function = k.slip_function;
        dBodySetLinearVel(wheel.body, k.velocity.x, k.velocity.y, k.velocity.z);
        // Spin about the axle (x) moves the bottom of the tyre along -z.
        dBodySetAngularVel(wheel.body, k.spin / rho, 0, 0);
        dContact c = ground(0.5f);
        EXPECT_NEAR(c.surface.mu, 0.5 * k.friction, 1e-5) << k.what;
        EXPECT_EQ(c.surface.mode & dContactMu2, 0) << k.what;  // mu both ways
    }

    // All eight points in use: past the last, its value.
    tile_kind *kind = &field->kinds[0];
    set_friction(kind, {{1, 1}, {0.9f, 2}, {0.8f, 3}, {0.7f, 4}, {0.6f, 5}, {0.5f, 6}, {0.4f, 7}, {0.3f, 8}});
    kind->slip_function = 1;
    dBodySetAngularVel(wheel.body, 0, 0, 0);
    dBodySetLinearVel(wheel.body, 100, 0, 0);
    EXPECT_NEAR(ground(1).surface.mu, 0.3, 1e-6);
    dBodySetLinearVel(wheel.body, 7.5f, 0, 0);
    EXPECT_NEAR(ground(1).surface.mu, 0.35, 1e-5);
    // The default curve, one point of 1: the scale at every speed.
    set_friction(kind, {{1, 1}});
    for (float speed : {0.0f, 0.5f, 3.0f, 1e4f}) {
        dBodySetLinearVel(wheel.body, speed, 0, 0);
        EXPECT_NEAR(ground(0.75f).surface.mu, 0.75, 1e-6) << speed;
    }
}

TEST_F(bike_wheel_ground, SpringAndDamperFollowTheCompression) {
    struct spring_case {
        float depth;
        double kp, kd;
    };
    const spring_case cases[] = {
        {0.05f, 1000 + 24000 * std::pow(0.05 / SECTION, 3), 200 + 2300 * std::pow(0.05 / SECTION, 3)},
        {SECTION / 2, 4000, 487.5},   // half compressed: c^3 = 1/8
        {SECTION, 25000, 2500},
        {0.5f, 25000, 2500},          // past full compression
    };
    const double h = 1.0 / 128;
    for (const spring_case &k : cases) {
        set_down(k.depth);
        dContact c = ground(1);
        double cfm = 1 / (h * k.kp + k.kd);
        EXPECT_NEAR(c.surface.soft_cfm, cfm, 1e-4 * cfm) << k.depth;
        EXPECT_NEAR(c.surface.soft_erp, h * k.kp * cfm, 1e-4 * h * k.kp * cfm) << k.depth;
        EXPECT_NEAR(c.geom.depth, k.depth, 1e-5);
        EXPECT_NEAR(c.geom.normal[1], 1, 1e-9);
        EXPECT_EQ(c.surface.mode & (dContactApprox1 | dContactSoftERP | dContactSoftCFM),
                  dContactApprox1 | dContactSoftERP | dContactSoftCFM);

        // The joint pushes the wheel out of the ground by that spring in one step, and the
        // step reports the force in the wheel's record.
        set_down(k.depth);
        ASSERT_EQ(contact_wheel_ground(field.get(), &wheel, 1), 1);
        EXPECT_EQ(dBodyGetNumJoints(wheel.body), 1);
        EXPECT_NEAR(wheel.contact_depth, k.depth, 1e-5);
        EXPECT_NEAR(wheel.point.y, -k.depth, 1e-5);
        ASSERT_EQ(physics_step(), 1);
        double speed = contact_expected_speed(k.kp, k.kd, k.depth, mass);
        EXPECT_NEAR(dBodyGetLinearVel(wheel.body)[1], speed, 1e-4 * speed) << k.depth;
        EXPECT_NEAR(wheel.joint_feedback.f1[1], speed * mass * 128, 1e-3 * speed * mass * 128);
        EXPECT_EQ(dBodyGetNumJoints(wheel.body), 0);
    }
}

TEST_F(bike_wheel_ground, FrictionDirectionCrossesTheSlideElseTheAxle) {
    const double s30 = 0.5, c30 = std::sqrt(0.75);
    struct direction_case {
        vec3 velocity;
        double yaw;
        vec3 fdir;      // (0, 0, 0): none given
        const char *what;
    };
    const direction_case cases[] = {
        {{3, 0, 0}, 0, {0, 0, -1}, "sliding along x"},
        {{0, 0, -5}, 0, {-1, 0, 0}, "rolling along -z"},
        {{1.0f / 32, -2, 0}, 0, {0, 0, -1}, "sliding 1/32: still the slide"},
        {{0.03f, -2, 0}, 0, {0, 0, -1}, "sliding under 1/32: across the axle"},
        {{0.03f, -2, 0}, M_PI / 6, {(float)-s30, 0, (float)-c30}, "turned 30 degrees: across its axle"},
        {{0, 0, 0}, M_PI / 6, {(float)-s30, 0, (float)-c30}, "at rest"},
    };
    for (const direction_case &k : cases) {
        set_down(0.1f, k.yaw);
        dBodySetLinearVel(wheel.body, k.velocity.x, k.velocity.y, k.velocity.z);
        dContact c = ground(1);
        EXPECT_NE(c.surface.mode & dContactFDir1, 0) << k.what;
        EXPECT_NEAR(c.fdir1[0], k.fdir.x, 1e-6) << k.what;
        EXPECT_NEAR(c.fdir1[1], k.fdir.y, 1e-6) << k.what;
        EXPECT_NEAR(c.fdir1[2], k.fdir.z, 1e-6) << k.what;
    }
    // A wheel lying flat (axle up) at rest: no direction at all.
    const dMatrix3 r = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};  // a quarter about z, exactly
    dBodySetRotation(wheel.body, r);
    dBodySetPosition(wheel.body, 5, 0.2, 5);
    dBodySetLinearVel(wheel.body, 0, 0, 0);
    dContact c = ground(1);
    EXPECT_NEAR(c.geom.depth, SECTION - 0.2, 1e-5);
    EXPECT_EQ(c.surface.mode & dContactFDir1, 0);
}

TEST_F(bike_wheel_ground, RollingResistanceByGroundSpeedAndLoad) {
    const float c = 0.1f / SECTION;  // compression at 0.1 deep
    struct roll_case {
        vec3 velocity;
        float a, b;      // coefficients the curve gives at the ground speed
        vec3 direction;  // of the force: against the motion along the ground (unit above 1)
        const char *what;
    };
    // Points (2, 6, 1), (4, 12, 5), then unused.
    const roll_case cases[] = {
        {{0.5f, 0, 0}, 2, 6, {-0.5f, 0, 0}, "slow: first point, not made unit"},
        {{3, -2, 0}, 3, 9, {-1, 0, 0}, "halfway between, the fall left out"},
        {{0, 0, 10}, 4, 12, {0, 0, -1}, "past the last point in use"},
        {{0, -3, 0}, 2, 6, {0, 0, 0}, "straight down: none"},
    };
    for (const roll_case &k : cases) {
        set_down(0.1f);
        set_roll(&field->kinds[0], {{2, 6, 1}, {4, 12, 5}});
        dBodySetLinearVel(wheel.body, k.velocity.x, k.velocity.y, k.velocity.z);
        ASSERT_EQ(contact_wheel_ground(field.get(), &wheel, 1), 1);
        const dReal *f = dBodyGetForce(wheel.body);
        float size = k.a + (k.b - k.a) * c;
        EXPECT_NEAR(f[0], k.direction.x * size, 1e-4) << k.what;
        EXPECT_NEAR(f[1], k.direction.y * size, 1e-4) << k.what;
        EXPECT_NEAR(f[2], k.direction.z * size, 1e-4) << k.what;
        dJointGroupEmpty(physics_contact_group);
    }
    // All eight points in use: past the last, its values.
    set_down(0.1f);
    set_roll(&field->kinds[0], {{1, 1, 1}, {1, 1, 2}, {1, 1, 3}, {1, 1, 4}, {1, 1, 5}, {1, 1, 6},
                                {1, 1, 7}, {7, 9, 8}});
    dBodySetLinearVel(wheel.body, 20, 0, 0);
    ASSERT_EQ(contact_wheel_ground(field.get(), &wheel, 1), 1);
    EXPECT_NEAR(dBodyGetForce(wheel.body)[0], -(7 + 2 * c), 1e-4);
}

TEST_F(bike_wheel_ground, NoGroundNoJointAndTheDepthCleared) {
    set_down(-0.05f);  // hanging just clear
    wheel.contact_depth = 0.7f;
    wheel.point = {1, 2, 3};
    dBodySetLinearVel(wheel.body, 3, 0, 0);
    EXPECT_EQ(contact_wheel_ground(field.get(), &wheel, 1), 0);
    EXPECT_EQ(wheel.contact_depth, 0.0f);
    EXPECT_EQ(wheel.point.x, 1.0f);
    EXPECT_EQ(dBodyGetNumJoints(wheel.body), 0);
    EXPECT_EQ(dBodyGetForce(wheel.body)[0], 0.0);
    // A friction scale that is not finite cannot make a joint: no contact either.
    set_down(0.1f);
    EXPECT_EQ(contact_wheel_ground(field.get(), &wheel, NAN), 0);
    EXPECT_EQ(wheel.contact_depth, 0.0f);
    EXPECT_EQ(dBodyGetNumJoints(wheel.body), 0);
}

TEST_F(bike_wheel_ground, TileUnderThePointIsClampedToTheMap) {
    // Tiles are 4 ft (2 cells) a side; kind = column + 8 row on an 8 x 8 map.
    for (int i = 0; i < 64; i++) field.tiles[i] = (unsigned char)i;
    struct tile_case {
        vec3 point;
        int kind;
    };
    const tile_case cases[] = {
        {{0, 0, 0}, 0},         {{3.99f, 0, 0}, 0},      {{4, 0, 0}, 1},
        {{9, 0, 13}, 2 + 24},   {{-50, 0, 13}, 24},      {{31.9f, 0, 31.9f}, 63},
        {{1e30f, 0, -1e30f}, 7}, {{NAN, 0, 5}, 0},        {{5, 0, INFINITY}, 0},
    };
    for (const tile_case &k : cases)
        EXPECT_EQ(&contact_tile_kind(field.get(), k.point), &field->kinds[k.kind])
            << k.point.x << " " << k.point.z;
    // The wheel reads the kind under its contact point.
    field.tiles[1 + 8 * 1] = 200;  // the tile under (5, 5)
    set_friction(&field->kinds[200], {{0.25f, 1}});
    set_roll(&field->kinds[200], {{0, 0, 1}});
    set_down(0.1f);
    EXPECT_NEAR(ground(2).surface.mu, 0.5, 1e-6);
}
