// Contacts with the terrain: the cell searches for spheres and tyres on in-memory fields, the
// joints of spheres and shapes on the ground under the world step, and inputs that must never
// reach the physics.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "bike/contact.h"
#include "bike/physics.h"
#include "core/mem.h"
#include "tests/bike/contact_test_support.h"
#include "tests/support/test_support.h"
#include "tests/terrain/memory_field.h"

static const float RING = 0.8333f, SECTION = 0.3333f;  // the example front tyre

// A world for the bodies made here, closed at the end.
struct bike_terrain_contact : testing::Test {
    void SetUp() override { ASSERT_EQ(physics_open(), 1); }
    void TearDown() override {
        physics_close();
        shape_free_cache();
    }
    temp_dir dir;
    // A wheel with the example tyre on a new body at c (identity rotation, gravity off).
    static wheel_contact wheel_at(vec3 c, double mass = 1) {
        wheel_contact w{};
        w.body = test_body_at(c, mass);
        w.axle = {1, 0, 0};
        w.ring_radius = RING;
        w.section_radius = SECTION;
        return w;
    }
};

static void expect_vec_near(vec3 got, vec3 want, float tolerance, const std::string &what) {
    EXPECT_NEAR(got.x, want.x, tolerance) << what;
    EXPECT_NEAR(got.y, want.y, tolerance) << what;
    EXPECT_NEAR(got.z, want.z, tolerance) << what;
}

// A body pointer that must never reach the physics engine: any call with it crashes.
static dBodyID const POISON_BODY = (dBodyID)(uintptr_t)16;

TEST_F(bike_terrain_contact, SearchesFindThePlaneOnBothParitiesDiagonalsAndBeyondTheEdge) {
    // 17 x 17 samples 2 ft apart: a flat field at 3 ft, and a plane rising 1 in 4 along z (flat
    // beyond its first and last rows, level along x everywhere).
    memory_field flat(17, 2.0f, [](int, int) { return 3.0f; });
    memory_field ramp(17, 2.0f, [](int, int z) { return z * 2.0f / 4; });
    struct spot {
        terrain_field *field;
        float x, z;        // where the contact is
        float y0, slope;   // the plane there: y = y0 + slope z
        bool on_edge;      // on a diagonal or a sample: two triangles meet under the contact
        const char *what;
    };
    const spot spots[] = {
        {flat.get(), 5.4f, 7.1f, 3, 0, false, "flat, odd cell"},
        {flat.get(), 4.6f, 4.5f, 3, 0, false, "flat, even cell"},
        {flat.get(), 5.3f, 5.3f, 3, 0, true, "flat, even diagonal"},
        {flat.get(), 5.2f, 6.8f, 3, 0, true, "flat, odd diagonal"},
        {flat.get(), 6.0f, 6.0f, 3, 0, true, "flat, on a sample"},
        {flat.get(), -3.5f, 10.3f, 3, 0, false, "flat, beyond x = 0"},
        {flat.get(), 36.3f, 36.6f, 3, 0, false, "flat, beyond the far corner"},
        {ramp.get(), 5.4f, 7.1f, 0, 0.25f, false, "ramp, odd cell"},
        {ramp.get(), 4.6f, 4.5f, 0, 0.25f, false, "ramp, even cell"},
        {ramp.get(), 5.3f, 5.3f, 0, 0.25f, true, "ramp, even diagonal"},
        {ramp.get(), 5.2f, 6.8f, 0, 0.25f, true, "ramp, odd diagonal"},
        {ramp.get(), -3.5f, 10.3f, 0, 0.25f, false, "ramp, beyond x = 0"},
        {ramp.get(), 35.3f, 20.6f, 0, 0.25f, false, "ramp, beyond x = 32"},
        {ramp.get(), 10.3f, -4.0f, 0, 0, false, "ramp, flat before its first row"},
        {ramp.get(), 10.3f, 36.5f, 8, 0, false, "ramp, flat after its last row"},
    };
    for (const spot &s : spots) {
        double nl = std::sqrt(1.0 + (double)s.slope * s.slope);
        vec3 n = {0, (float)(1 / nl), (float)(-s.slope / nl)};
        vec3 ground = {s.x, s.y0 + s.slope * s.z, s.z};
        vec3 point, normal;
        float depth;

        // A sphere of radius 1 sunk 0.3.
        vec3 c = ground + n * 0.7f;
        ASSERT_EQ(collide_sphere_terrain(s.field, c, 1.0f, &point, &normal, &depth), 1) << s.what;
        EXPECT_NEAR(depth, 0.3f, 1e-5) << s.what;
        expect_vec_near(normal, n, 1e-5f, s.what);
        expect_vec_near(point, c - n, 1e-5f, s.what);

        // The tyre 0.1 deep (the ring above the ground) and 0.5 deep (the ring through it).
        for (float sink : {0.1f, 0.5f}) {
            std::string what = std::string(s.what) + ", tyre " + std::to_string(sink);
            wheel_contact w = wheel_at(ground + n * (RING + SECTION - sink));
            const dReal *p = dBodyGetPosition(w.body);
            vec3 centre = {(float)p[0], (float)p[1], (float)p[2]};
            ASSERT_EQ(collide_wheel_terrain_joint(s.field, w, &point, &normal, &depth), 1) << what;
            EXPECT_NEAR(depth, sink, 1e-5) << what;
            vec3 deepest = centre - n * (RING + SECTION);
            if (!s.on_edge) {
                expect_vec_near(normal, n, 1e-5f, what);
                expect_vec_near(point, deepest, 1e-5f, what);
            } else {
                // Where two triangles meet, one's face and the other's edge find the same touch
                // to within rounding, and either may win: the edge's answer has the point on
                // the edge, on the ground above the tyre's deepest point, and a normal from
                // the edge search.
                expect_vec_near(normal, n, 1e-4f, what);
                vec3 ground_point = deepest + n * sink;
                float off = std::fmin(vec3_length2(point - deepest), vec3_length2(point - ground_point));
                EXPECT_LT(std::sqrt(off), 2e-5f) << what;
            }
            if (sink < SECTION) {
                // With the ring above the ground only the face under it answers the first-hit
                // search, and that answer is the plane's.
                ASSERT_EQ(collide_wheel_terrain(s.field, w, &point, &normal, &depth), 1) << what;
                EXPECT_NEAR(depth, sink, 1e-5) << what;
                expect_vec_near(normal, n, 1e-5f, what);
            }
        }
    }
}

TEST_F(bike_terrain_contact, FirstHitSearchesFromTheMiddleDeepestTakesTheDeepest) {
    // A valley along x with 45-degree sides meeting at z = 4 (samples 0.25 ft apart). The tyre
    // stands over the front side, nearer to it, so that side is touched deeper; its touch lies
    // in row 12, the far side's in row 18. Rows go 15, 16, 14, 17, 13, 18, 12, ... from the
    // middle, so the first-hit search meets the far side first where rows in order would meet
    // the near side.
    memory_field valley(33, 0.25f, [](int, int z) { return std::fabs(z * 0.25f - 4.0f); });
    const double yc = 1.5, zc = 3.95;
    wheel_contact w = wheel_at({4.1f, (float)yc, (float)zc});
    double near_distance = (yc + zc - 4) / std::sqrt(2.0), far_distance = (yc - zc + 4) / std::sqrt(2.0);
    const float h = (float)std::sqrt(0.5);

    vec3 point, normal;
    float depth;
    ASSERT_EQ(collide_wheel_terrain(valley.get(), w, &point, &normal, &depth), 1);
    EXPECT_NEAR(depth, RING + SECTION - far_distance, 1e-5);
    expect_vec_near(normal, {0, h, -h}, 1e-5f, "first hit");
    EXPECT_GT(point.z, 4.5f);

    ASSERT_EQ(collide_wheel_terrain_joint(valley.get(), w, &point, &normal, &depth), 1);
    EXPECT_NEAR(depth, RING + SECTION - near_distance, 1e-5);
    expect_vec_near(normal, {0, h, h}, 1e-5f, "deepest");
    EXPECT_LT(point.z, 3.25f);

    // Lifted clear of both sides: nothing, and the outputs stay as they were.
    dBodySetPosition(w.body, 4.1, 3.0, 3.95);
    vec3 kept_point = {7, 7, 7}, kept_normal = {8, 8, 8};
    float kept_depth = 9;
    EXPECT_EQ(collide_wheel_terrain(valley.get(), w, &kept_point, &kept_normal, &kept_depth), 0);
    EXPECT_EQ(collide_wheel_terrain_joint(valley.get(), w, &kept_point, &kept_normal, &kept_depth), 0);
    EXPECT_EQ(kept_point.x, 7.0f);
    EXPECT_EQ(kept_normal.y, 8.0f);
    EXPECT_EQ(kept_depth, 9.0f);
}

TEST_F(bike_terrain_contact, EmptyCellRangesFindNothing) {
    memory_field flat(17, 2.0f, [](int, int) { return 3.0f; });
    vec3 point = {7, 7, 7}, normal = {8, 8, 8};
    float depth = 9;
    // A point sphere on a grid line, sunk: x0 = x1, so no cells, though it is under the ground.
    EXPECT_EQ(collide_sphere_terrain(flat.get(), {4, 2, 5}, 0, &point, &normal, &depth), 0);
    EXPECT_EQ(collide_sphere_terrain(flat.get(), {5, 2, 4}, 0, &point, &normal, &depth), 0);
    // Off the lines it has one cell, and is found 1 deep.
    EXPECT_EQ(collide_sphere_terrain(flat.get(), {5, 2, 5}, 0, &point, &normal, &depth), 1);
    EXPECT_FLOAT_EQ(depth, 1.0f);
    // A negative radius has no cells either.
    depth = 9;
    EXPECT_EQ(collide_sphere_terrain(flat.get(), {5, 2, 5}, -0.1f, &point, &normal, &depth), 0);
    EXPECT_EQ(depth, 9.0f);
    // A field without heights (no track loaded) has nothing to touch.
    terrain_field none{};
    EXPECT_EQ(collide_sphere_terrain(&none, {5, 2, 5}, 1, &point, &normal, &depth), 0);
    EXPECT_EQ(contact_sphere_terrain(&none, {5, 2, 5}, 1, 1, POISON_BODY), 0);
}

TEST_F(bike_terrain_contact, HugeReachSearchesOnlyTheCellsAroundTheCentre) {
    // A flat field at 0 with one peak 55 ft high at column 10. A sphere of radius 100 over the
    // middle (column 64) reaches the peak, whose touch (54 cells away) would be deeper than
    // the ground straight below; the search stops 32 cells from the centre's cell (the tyre
    // searches share the same cell range).
    memory_field peaked(129, 1.0f, [](int x, int) { return x == 10 ? 55.0f : 0.0f; });
    const vec3 centre = {64.5f, 60.0f, 64.5f};
    vec3 point, normal;
    float depth;
    ASSERT_EQ(collide_sphere_terrain(peaked.get(), centre, 100, &point, &normal, &depth), 1);
    EXPECT_NEAR(depth, 40.0f, 1e-3f);
    EXPECT_GT(point.x, centre.x - CONTACT_SEARCH_SIDE_MAX / 2 - 1);
    expect_vec_near(normal, {0, 1, 0}, 1e-5f, "capped sphere");
}

TEST_F(bike_terrain_contact, DownwardNormalsTurnSidewaysOrUp) {
    const float edge = std::sqrt(1.0f / 1024);
    struct row {
        vec3 in, out;
    };
    const row rows[] = {
        {{0, 1, 0}, {0, 1, 0}},
        {{0, 2, 0}, {0, 1, 0}},                      // made unit
        {{0.6f, 0.8f, 0}, {0.6f, 0.8f, 0}},           // upward: kept
        {{0.6f, -0.8f, 0}, {1, 0, 0}},               // down with a side: the side alone
        {{0, -0.6f, -0.8f}, {0, 0, -1}},
        {{edge, -1, 0}, {1, 0, 0}},                  // side exactly 1/32: still sideways
        {{0.03f, -1, 0}, {0, 1, 0}},                 // nearly straight down: up
        {{0, -1, 0}, {0, 1, 0}},
        {{0, 0, 0}, {0, 1, 0}},                      // nothing to go by: up
        {{NAN, 1, 0}, {0, 1, 0}},
    };
    for (const row &r : rows) {
        vec3 n = r.in;
        contact_clean_normal(&n);
        expect_vec_near(n, r.out, 1e-6f, std::to_string(r.in.x) + " " + std::to_string(r.in.y));
    }
}

TEST_F(bike_terrain_contact, SphereSettlesWhereTheGroundCarriesItsWeight) {
    memory_field flat(17, 2.0f, [](int, int) { return 3.0f; });
    const double mass = 2, radius = 0.5;
    dBodyID b = test_body_at({10, 3.5f, 10}, mass);
    dBodySetGravityMode(b, 1);
    for (int tick = 0; tick < 384; tick++) {
        const dReal *p = dBodyGetPosition(b);
        int touched = contact_sphere_terrain(flat.get(), {(float)p[0], (float)p[1], (float)p[2]},
                                             (float)radius, 1.0f, b);
        EXPECT_EQ(dBodyGetNumJoints(b), touched);
        ASSERT_EQ(physics_step(), 1);
        EXPECT_EQ(dBodyGetNumJoints(b), 0);  // the group is emptied after every step
    }
    double depth = radius - (dBodyGetPosition(b)[1] - 3.0);
    EXPECT_NEAR(depth, mass * 32 / 2500, 0.1 * mass * 32 / 2500);
    EXPECT_NEAR(dBodyGetPosition(b)[0], 10, 1e-9);
}

TEST_F(bike_terrain_contact, WheelRollsDownASlopeAtTheRollingAcceleration) {
    // A 10-degree slope falling along +x; the wheel kept upright by a plane-2D joint (motion in
    // z = 0, turning about z only), its axle along z. Friction 1, no rolling resistance.
    const double theta = 10 * M_PI / 180, g = 32;
    const float s = 2;
    memory_field slope(65, s, [&](int x, int) { return (float)(-x * s * std::tan(theta)); });
    tile_kind &kind = slope->kinds[0];
    for (int j = 0; j < 8; j++) {
        kind.friction_a[j] = 1;
        kind.friction_b[j] = j == 0 ? 1 : TERRAIN_FRICTION_UNUSED;
        kind.roll_a[j] = kind.roll_b[j] = 0;
        kind.roll_c[j] = j == 0 ? 1 : 0;
    }
    const double mass = 1;
    wheel_contact w = wheel_at({0, 0, 0}, mass);
    dMass m;
    dMassSetCylinderTotal(&m, mass, 1, RING, 0.3);  // a disc about the body's x axis
    dBodySetMass(w.body, &m);
    dBodySetGravityMode(w.body, 1);
    dMatrix3 r;
    dRFromAxisAndAngle(r, 0, 1, 0, M_PI / 2);
    dBodySetRotation(w.body, r);
    // Start just touching at x = 20, normal (sin, cos, 0).
    double x = 20, nx = std::sin(theta), ny = std::cos(theta), lift = RING + SECTION - 0.01;
    dBodySetPosition(w.body, x + nx * lift, -x * std::tan(theta) + ny * lift, 0);
    dJointID plane = dJointCreatePlane2D(physics_world, nullptr);
    dJointAttach(plane, w.body, nullptr);

    // Speed along the slope and the distance of the centre from it, over 0.5 s .. 1.5 s.
    auto along = [&] {
        const dReal *v = dBodyGetLinearVel(w.body);
        return v[0] * ny - v[1] * nx;
    };
    double v0 = 0, rolling_radius = 0;
    int samples = 0;
    for (int tick = 0; tick < 192; tick++) {
        if (tick == 64) v0 = along();
        if (tick >= 64) {
            const dReal *p = dBodyGetPosition(w.body);
            rolling_radius += (p[1] + p[0] * std::tan(theta)) * ny;
            samples++;
        }
        ASSERT_EQ(contact_wheel_ground(slope.get(), &w, 1.0f), 1) << tick;
        ASSERT_EQ(physics_step(), 1);
    }
    rolling_radius /= samples;
    double inertia = m.I[0];  // about the axle
    double expected = g * std::sin(theta) / (1 + inertia / (mass * rolling_radius * rolling_radius));
    double measured = (along() - v0) / (128.0 / 128);
    EXPECT_NEAR(measured, expected, 0.1 * expected) << "rolling radius " << rolling_radius;
    // Rolling, not sliding: the spin matches the speed.
    EXPECT_NEAR(std::fabs(dBodyGetAngularVel(w.body)[2]) * rolling_radius, along(), 0.05 * along());
    EXPECT_EQ(dBodyGetNumJoints(w.body), 1);  // only the plane joint is left
}

TEST_F(bike_terrain_contact, SphereAndShapeJointsOnTheGround) {
    memory_field flat(17, 2.0f, [](int, int) { return 3.0f; });
    const double mass = 4;

    // One sphere 0.2 deep under the body's centre: spring 2500, damper 250, pushed up.
    dBodyID b = test_body_at({10, 3.3f, 10}, mass);
    ASSERT_EQ(contact_sphere_terrain(flat.get(), {10, 3.3f, 10}, 0.5f, 0.7f, b), 1);
    ASSERT_EQ(physics_step(), 1);
    EXPECT_NEAR(dBodyGetLinearVel(b)[1], contact_expected_speed(2500, 250, 0.2, mass), 1e-5);
    // Without a body: touching, nothing made.
    EXPECT_EQ(contact_sphere_terrain(flat.get(), {10, 3.3f, 10}, 0.5f, 0.7f, nullptr), 1);
    EXPECT_EQ(contact_sphere_terrain(flat.get(), {10, 3.6f, 10}, 0.5f, 0.7f, b), 0);
    EXPECT_EQ(dBodyGetNumJoints(b), 0);

    // Friction while sliding fast is mu times the push: mu along normal x direction (here x),
    // mu2 across it; a direction along the normal leaves mu both ways.
    struct slide {
        vec3 direction, velocity;
        double mu;
    };
    const slide slides[] = {
        {{0, 0, 1}, {20, 0, 0}, 0.2},
        {{0, 0, 1}, {0, 0, 20}, 0.6},
        {{0, 1, 0}, {0, 0, 20}, 0.2},
        {{0, 0, 2}, {0, 0, 20}, 0.6},
    };
    for (const slide &k : slides) {
        dBodyID body = test_body_at({10, 3.4f, 10}, mass);
        dBodySetLinearVel(body, k.velocity.x, k.velocity.y, k.velocity.z);
        ASSERT_EQ(contact_sphere_terrain_body(flat.get(), {10, 3.4f, 10}, 0.5f, 0.2f, 0.6f,
                                              k.direction, body),
                  1);
        ASSERT_EQ(physics_step(), 1);
        const dReal *v = dBodyGetLinearVel(body);
        double slowed = 20 - std::fabs(v[0] + v[2]);
        EXPECT_NEAR(slowed, k.mu * v[1], 1e-3 * v[1]) << k.direction.y << " " << k.velocity.x;
    }

    // A shape of three spheres, turned a quarter about y: the two low ones touch, each with its
    // own joint; the high one does not.
    test_write_file(dir.file("s.shp"),
                    "3\n0 0 1 0.5 1 0 0\n0 0 -1 0.5 1 0 0\n0 3 0 0.5 1 0 0\n");
    collision_shape *shape = shape_copy(dir.file("s.shp").c_str());
    ASSERT_NE(shape, nullptr);
    dBodyID s = test_body_at({6, 3.4f, 6}, mass);
    dMatrix3 r;
    dRFromAxisAndAngle(r, 0, 1, 0, M_PI / 2);
    dBodySetRotation(s, r);
    shape_transform t = shape_transform_from_body(s);
    EXPECT_EQ(contact_shape_terrain(shape, nullptr, t, flat.get()), 1);
    EXPECT_EQ(dBodyGetNumJoints(s), 0);
    EXPECT_EQ(contact_shape_terrain(shape, s, t, flat.get()), 1);
    EXPECT_EQ(dBodyGetNumJoints(s), 2);
    EXPECT_NEAR(shape->rows[0].centre.x, 7, 1e-6);  // body z turned onto world x
    ASSERT_EQ(physics_step(), 1);
    // Two equal pushes either side of the centre: each acts as on half the mass.
    EXPECT_NEAR(dBodyGetLinearVel(s)[1], contact_expected_speed(2500, 250, 0.1, mass / 2), 1e-5);
    shape_transform high = upright_at({6, 5, 6});
    EXPECT_EQ(contact_shape_terrain(shape, s, high, flat.get()), 0);
    EXPECT_EQ(dBodyGetNumJoints(s), 0);
    mem_free(shape);
}

TEST_F(bike_terrain_contact, CentresNotFiniteOrFarAwayNeverReachThePhysics) {
    memory_field flat(17, 2.0f, [](int, int) { return 3.0f; });
    const float bad[] = {NAN, INFINITY, -INFINITY};
    vec3 point = {7, 7, 7}, normal = {8, 8, 8};
    float depth = 9;
    for (float v : bad)
        for (int axis = 0; axis < 3; axis++) {
            vec3 c = {10, 3, 10};
            (&c.x)[axis] = v;
            EXPECT_EQ(collide_sphere_terrain(flat.get(), c, 1, &point, &normal, &depth), 0);
            // A call into the engine with this body would crash.
            EXPECT_EQ(contact_sphere_terrain(flat.get(), c, 1, 1, POISON_BODY), 0);
            EXPECT_EQ(contact_sphere_terrain_body(flat.get(), c, 1, 1, 1, {0, 0, 1}, POISON_BODY), 0);
            EXPECT_EQ(collide_sphere_terrain(flat.get(), {10, 3, 10}, v, &point, &normal, &depth), 0);
            collision_shape *shape = nullptr;
            test_write_file(dir.file("one.shp"), "1\n0 0 0 1 1 0 0\n");
            shape = shape_copy(dir.file("one.shp").c_str());
            ASSERT_NE(shape, nullptr);
            shape_transform t = upright_at(c);
            EXPECT_EQ(contact_shape_terrain(shape, POISON_BODY, t, flat.get()), 0);
            mem_free(shape);

            wheel_contact w = wheel_at({10, 1, 10});
            dBodySetPosition(w.body, c.x, c.y, c.z);
            w.contact_depth = 0.5f;
            EXPECT_EQ(collide_wheel_terrain(flat.get(), w, &point, &normal, &depth), 0);
            EXPECT_EQ(collide_wheel_terrain_joint(flat.get(), w, &point, &normal, &depth), 0);
            EXPECT_EQ(contact_wheel_ground(flat.get(), &w, 1), 0);
            EXPECT_EQ(w.contact_depth, 0.0f);
            EXPECT_EQ(dBodyGetNumJoints(w.body), 0);
            EXPECT_EQ(dBodyGetForce(w.body)[0], 0.0);
        }
    EXPECT_EQ(point.x, 7.0f);
    EXPECT_EQ(normal.y, 8.0f);
    EXPECT_EQ(depth, 9.0f);

    // Far off the grid: a few cells at most (bounds clamped to 2^30 cells), nothing found.
    const vec3 far[] = {{1e9f, 100, 1e9f}, {1e12f, 0, 1e12f}, {-3e38f, 0, 5}, {5, 0, 3e38f}};
    for (vec3 c : far) {
        EXPECT_EQ(collide_sphere_terrain(flat.get(), c, 1, &point, &normal, &depth), 0) << c.x;
        wheel_contact w = wheel_at(c);
        EXPECT_EQ(contact_wheel_ground(flat.get(), &w, 1), 0) << c.x;
        EXPECT_EQ(dBodyGetNumJoints(w.body), 0);
    }
}
