// The cameras off the bike: view rotations of angles, tracking a rider with its rate limits and
// zoom, turning by the controls, and the ground height under a camera.
#include <gtest/gtest.h>

#include <cmath>

#include "present/camera.h"
#include "terrain/terrain.h"
#include "tests/terrain/memory_field.h"

static const float PI_F = 3.14159265358979f;

struct present_camera : testing::Test {
    void SetUp() override { camera_tracking = 1; }
    void TearDown() override {
        camera_tracking = 0;
        terrain_current = &terrain_main_record;
    }
};

// The direction a camera looks along: the negated third column of its view rotation.
static vec3 look(const float m[9]) {
    return {-m[2], -m[5], -m[8]};
}

TEST_F(present_camera, AnglesGiveTheViewRotation) {
    const struct { float pitch, yaw; vec3 along; } cases[] = {
        {0, 0, {0, 0, 1}},
        {0, PI_F / 2, {1, 0, 0}},
        {PI_F / 2, 0, {0, 1, 0}},
        {-PI_F / 4, PI_F, {0, -0.70710678f, -0.70710678f}},
    };
    for (const auto &k : cases) {
        float m[9];
        camera_matrix_from_angles(m, k.pitch, k.yaw);
        vec3 l = look(m);
        EXPECT_NEAR(l.x, k.along.x, 1e-6);
        EXPECT_NEAR(l.y, k.along.y, 1e-6);
        EXPECT_NEAR(l.z, k.along.z, 1e-6);
        // Orthonormal: columns of unit length, right-handed (right x up = backward).
        vec3 r = {m[0], m[3], m[6]}, u = {m[1], m[4], m[7]}, b = {m[2], m[5], m[8]};
        vec3 c = {r.y * u.z - r.z * u.y, r.z * u.x - r.x * u.z, r.x * u.y - r.y * u.x};
        EXPECT_NEAR(c.x, b.x, 1e-6);
        EXPECT_NEAR(c.y, b.y, 1e-6);
        EXPECT_NEAR(c.z, b.z, 1e-6);
    }
    // A quarter turn about y as a quaternion.
    float q[9];
    float h = sqrtf(0.5f);
    camera_matrix_from_quat(q, h, 0, h, 0);
    EXPECT_NEAR(q[2], 1, 1e-6);    // x' = z
    EXPECT_NEAR(q[6], -1, 1e-6);
    EXPECT_NEAR(q[4], 1, 1e-6);
}

TEST_F(present_camera, SnapPointsAtTheRiderAndZoomsAtOnce) {
    camera c = {0, 0, 0, 2.0f, 0.3f, 0, 0, 40, 10};
    control_record none{};
    camera_track_rider(&c, &none, {10, 0, 0}, {0, 0, 0}, 1);
    EXPECT_NEAR(c.yaw, PI_F / 2, 1e-5);
    EXPECT_NEAR(c.pitch, 0, 1e-5);
    EXPECT_NEAR(c.fov, 90, 1e-3);          // autofovsize 10 at 10 ft
    // A rider straight below: pitch -pi/2, held at the clamp.
    camera_track_rider(&c, &none, {0, -20, 0}, {0, 0, 0}, 1);
    EXPECT_NEAR(c.pitch, -PI_F / 2, 1e-5);
    // Snapping keeps the rates: a turning camera carries its rate past the target.
    c.yaw_rate = 1;
    camera_track_rider(&c, &none, {10, 0, 0}, {0, 0, 0}, 1);
    EXPECT_NEAR(c.yaw, PI_F / 2 + 1.0f / 128, 1e-5);
    EXPECT_EQ(c.yaw_rate, 1);
    camera_track_rider(&c, &none, {0, -20, 0}, {0, 0, 0}, 1);
    for (int i = 0; i < 50; i++) camera_track_rider(&c, &none, {0, -20, 0}, {0, 0, 0}, 0);
    EXPECT_GE(c.pitch, -PI_F / 2);
}

TEST_F(present_camera, TurnRatesAndZoomAreLimited) {
    // A 90-degree error, rider at rest: the yaw rate grows by pi rad/s each second.
    camera c = {0, 0, 0, 0, 0, 0, 0, 60, 10};
    control_record none{};
    camera_track_rider(&c, &none, {10, 0, 0}, {0, 0, 0}, 0);
    EXPECT_NEAR(c.yaw_rate, PI_F / 128, 1e-6);
    EXPECT_NEAR(c.yaw, PI_F / 128 / 128, 1e-7);
    // The zoom closes a 30-degree gap at first by (2 * 30 + 1) degrees per second.
    EXPECT_NEAR(c.fov, 60 + (2 * 30 + 1) / 128.0f, 1e-3);
    for (int i = 0; i < 128 * 10; i++) camera_track_rider(&c, &none, {10, 0, 0}, {0, 0, 0}, 0);
    EXPECT_NEAR(c.yaw, PI_F / 2, 0.05);
    EXPECT_NEAR(c.fov, 90, 0.5);

    // A rider crossing in front: the camera never turns faster than the rider's angular speed
    // plus the clamped error (pi / 2).
    camera d = {0, 0, 0, 0, 0, 0, 0, 60, 0};
    float last = 0;
    for (int i = 0; i < 640; i++) {
        float x = -50 + 100.0f * i / 640, z = 20;
        camera_track_rider(&d, &none, {x, 0, z}, {100.0f / 5, 0, 0}, 0);
        float omega = 20 * 20 / (z * z + x * x);   // v z / r^2
        EXPECT_LE(std::fabs(d.yaw_rate), omega + PI_F / 2 + 1e-3) << i;
        last = d.yaw;
    }
    EXPECT_GT(last, 0);
}

TEST_F(present_camera, WithoutTrackingTheControlsTurnIt) {
    camera_tracking = 0;
    camera c = {0, 0, 0, 3.1f, 0, 0, 0, 60, 0};
    control_record axes{};
    axes.axis[CONTROL_STEER] = 1;
    axes.axis[CONTROL_SHIFT] = -1;
    for (int i = 0; i < 256; i++) camera_track_rider(&c, &axes, {0, 0, 0}, {0, 0, 0}, 0);
    EXPECT_NEAR(c.yaw_rate, 1.1780972f, 1e-4);     // 3 pi / 8
    EXPECT_NEAR(c.pitch_rate, -PI_F / 4, 1e-4);
    EXPECT_GT(c.yaw, -PI_F);                         // wrapped past pi
    EXPECT_LT(c.yaw, 0);
    // NaN controls leave it as it was.
    camera before = c;
    axes.axis[CONTROL_STEER] = NAN;
    camera_track_rider(&c, &axes, {0, 0, 0}, {0, 0, 0}, 0);
    EXPECT_EQ(c.yaw, before.yaw);
}

TEST_F(present_camera, GroundHeightIsTheWeightedMeanAround) {
    // Heights rise 1 ft per sample along x; spacing 2 ft.
    memory_field field(33, 2.0f, [](int x, int) { return (float)x; });
    terrain_current = field.f.get();
    // Symmetric around a grid point: the mean is that point's height.
    EXPECT_NEAR(camera_ground_height(20, 20, 10), 10, 1e-4);
    // A radius below the cell size still averages the ring one cell further out.
    EXPECT_NEAR(camera_ground_height(21, 20, 0.5f), 10.5f, 1e-4);
    // Beyond the grid the edge heights hold.
    EXPECT_NEAR(camera_ground_height(-500, 20, 10), 0, 1e-4);
    EXPECT_NEAR(camera_ground_height(500, 20, 10), 32, 1e-4);
    EXPECT_TRUE(std::isfinite(camera_ground_height(NAN, 0, 10)));
    EXPECT_TRUE(std::isfinite(camera_ground_height(1e30f, 1e30f, 1e30f)));
    // Radius 0 right on a point weighs nothing within, the ring around still counts.
    EXPECT_NEAR(camera_ground_height(20, 20, 0), 10, 1e-4);
    terrain_current = nullptr;
    EXPECT_EQ(camera_ground_height(1, 2, 3), 0);
}
