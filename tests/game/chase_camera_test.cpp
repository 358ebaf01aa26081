// The chase camera behind the viewed bike or orbiting it, and the camera view's controls: the
// orbit, the free camera's flight and the tracking switch.
#include <gtest/gtest.h>

#include <cmath>

#include "core/settings.h"
#include "game/chase_camera.h"
#include "present/camera.h"
#include "present/scene.h"
#include "race/flaggers.h"
#include "race/timing.h"
#include "terrain/terrain.h"
#include "tests/bike/bike_test_support.h"
#include "tests/terrain/memory_field.h"

static const float PI_F = 3.14159265358979f;

struct game_chase_camera : bike_fixture {
    void SetUp() override {
        bike_fixture::SetUp();
        chase_camera_reset();
        free_camera = {0, 0, 0, 0, 0, 0, 0, 90, 0};
        camera_tracking = 0;
        current_camera = -1;
    }
    void TearDown() override {
        settings.rigid_camera.current = 0;
        terrain_current = &terrain_main_record;
        bike_fixture::TearDown();
    }
    // Every body of the slot moving at the velocity.
    static void set_velocity(rider_slot *s, vec3 v) {
        for (int b = 0; b < BIKE_BODIES; b++)
            dBodySetLinearVel(bike_body_of(s, b), v.x, v.y, v.z);
    }
    // The unit horizontal direction from the target to the eye, and the eye.
    static vec3 eye_direction(int slot, vec3 *eye_out = nullptr) {
        float eye[3], rot[9];
        EXPECT_EQ(chase_camera_view(slot, 1, eye, rot), 1);
        vec3 e = {eye[0], eye[1], eye[2]};
        if (eye_out) *eye_out = e;
        dVector3 p;
        const float *c = run_options.chase_center;
        dBodyGetRelPointPos(bike_frame_body(&rider_table[slot]), c[0], c[1], c[2], p);
        vec3 d = {e.x - (float)p[0], 0, e.z - (float)p[2]};
        return d * (1.0f / sqrtf(vec3_length2(d)));
    }
};

TEST_F(game_chase_camera, DirectionFollowsTheForwardAxisThenTheVelocity) {
    rider_slot *s = load();
    ASSERT_NE(s, nullptr);
    // Facing -z, sliding along -x: behind the nose at a walk, behind the slide when fast.
    const struct { float speed; int rigid; vec3 expected; } cases[] = {
        {5, 0, {0, 0, 1}},
        {20, 0, {10, 0, 0.5f}},     // the even blend of (0, 0, -1) and (-20, 0, 0), negated
        {40, 0, {1, 0, 0}},
        {40, 1, {0, 0, 1}},
    };
    for (const auto &k : cases) {
        settings.rigid_camera.current = k.rigid;
        set_velocity(s, {-k.speed, 0, 0});
        vec3 eye;
        vec3 d = eye_direction(0, &eye);
        vec3 want = k.expected * (1.0f / sqrtf(vec3_length2(k.expected)));
        EXPECT_NEAR(d.x, want.x, 1e-4) << k.speed << " " << k.rigid;
        EXPECT_NEAR(d.z, want.z, 1e-4) << k.speed << " " << k.rigid;
        // The view looks from the eye at the target.
        float e[3], rot[9];
        chase_camera_view(0, 1, e, rot);
        vec3 back = {rot[2], rot[5], rot[8]};
        EXPECT_NEAR(vec3_length2(back), 1, 1e-5);
    }
}

TEST_F(game_chase_camera, EyeStaysAboveTheGroundAndFinite) {
    // A ridge along x at z = 64 ft, 30 ft high: the bike stands on the low ground in front.
    memory_field field(65, 2.0f, [](int, int z) { return z >= 30 && z <= 34 ? 30.0f : 0.0f; });
    terrain_current = field.f.get();
    rider_slot *s = load();
    ASSERT_NE(s, nullptr);
    bike_translate(0, 60, 0, 60 - 3.6f);   // the eye lands on the ridge behind
    vec3 eye;
    eye_direction(0, &eye);
    EXPECT_GE(eye.y, camera_ground_height(eye.x, eye.z, 10) + 5 - 1e-4);
    EXPECT_GT(eye.y, 10);   // lifted by the ridge, not only the height above the target

    // Pointing straight up at rest: no direction of its own, the last one is kept.
    bike_set_orientation(s, 1, 0, 0, PI_F / 2);
    set_velocity(s, {0, 0, 0});
    vec3 d = eye_direction(0, &eye);
    EXPECT_TRUE(std::isfinite(eye.x) && std::isfinite(eye.y) && std::isfinite(eye.z));
    EXPECT_NEAR(d.z, 1, 1e-4);
    // Rolling backwards where the blend cancels: still finite.
    bike_set_orientation(s, 0, 1, 0, 0);
    float v = 1 / 0.05f * 0.5f + 10;     // w(v) v = 1 - w(v): about 11.6 ft/s
    for (float sp = v - 1; sp < v + 1; sp += 1.0f / 64) {
        set_velocity(s, {0, 0, sp});
        eye_direction(0, &eye);
        ASSERT_TRUE(std::isfinite(eye.x) && std::isfinite(eye.y) && std::isfinite(eye.z)) << sp;
    }
    // A non-finite frame keeps the last view.
    float before[3], after[3], rot[9];
    chase_camera_view(0, 1, before, rot);
    dBodySetPosition(bike_frame_body(s), NAN, 0, 0);
    chase_camera_view(0, 1, after, rot);
    EXPECT_EQ(before[0], after[0]);
    EXPECT_EQ(before[1], after[1]);
    dBodySetPosition(bike_frame_body(s), 0, 2, 0);
}

TEST_F(game_chase_camera, OrbitControls) {
    control_record axes{};
    axes.axis[CONTROL_THROTTLE] = 1;
    for (int i = 0; i < 128; i++) camera_controls_tick(&axes, 3);
    EXPECT_NEAR(chase_camera.distance, 8, 1e-4);
    for (int i = 0; i < 1024; i++) camera_controls_tick(&axes, 3);
    EXPECT_EQ(chase_camera.distance, 0.25f);
    axes = {};
    axes.axis[CONTROL_FRONT_BRAKE] = 1;
    axes.axis[CONTROL_STEER] = 1;
    axes.axis[CONTROL_LEAN] = -1;
    for (int i = 0; i < 600; i++) {
        camera_controls_tick(&axes, 3);
        ASSERT_LE(std::fabs(chase_camera.yaw), PI_F) << i;
    }
    EXPECT_NEAR(chase_camera.distance, 0.25f + 600.0f / 64, 1e-3);
    EXPECT_NEAR(chase_camera.height, 5 - 600.0f / 128, 1e-3);
    EXPECT_NEAR(chase_camera.yaw, 600 * PI_F / 512 - 2 * PI_F, 1e-3);
    // Another rider's orbit: the eye at the orbit's distance and yaw.
    rider_slot *s = load();
    ASSERT_NE(s, nullptr);
    chase_camera.yaw = PI_F / 2;
    chase_camera.distance = 10;
    float eye[3], rot[9];
    ASSERT_EQ(chase_camera_view(0, 0, eye, rot), 1);
    dVector3 p;
    const float *c = run_options.chase_center;
    dBodyGetRelPointPos(bike_frame_body(s), c[0], c[1], c[2], p);
    EXPECT_NEAR(eye[0] - p[0], 10, 1e-3);
    EXPECT_NEAR(eye[2] - p[2], 0, 1e-3);
}

TEST_F(game_chase_camera, FreeCameraFlies) {
    control_record axes{};
    axes.axis[CONTROL_THROTTLE] = 1;
    free_camera.pitch = -0.25f;
    free_camera.y = 50;
    for (int i = 0; i < 640; i++) camera_controls_tick(&axes, 4);
    // Top speed (the drag of the tick already taken off).
    EXPECT_NEAR(chase_camera.free_speed, 100 - 60.0f / 128, 1e-3);
    EXPECT_GE(free_camera.y, 2);
    EXPECT_EQ(free_camera.fov, (float)settings.fov.value);
    axes = {};
    int ticks = 0;
    while (chase_camera.free_speed != 0 && ticks < 1000) {
        camera_controls_tick(&axes, 4);
        ticks++;
    }
    EXPECT_NEAR(ticks, 128 * 5 / 3, 2);   // 1 2/3 s
    // The sit/dab axis toggles tracking on its rising edge only.
    axes.axis[CONTROL_SIT_DAB] = 1;
    camera_controls_tick(&axes, 4);
    camera_controls_tick(&axes, 4);
    EXPECT_EQ(camera_tracking, 1);
    axes.axis[CONTROL_SIT_DAB] = 0;
    camera_controls_tick(&axes, 4);
    axes.axis[CONTROL_SIT_DAB] = 1;
    camera_controls_tick(&axes, 4);
    EXPECT_EQ(camera_tracking, 0);
}

// While tracking, the camera named for the viewed rider's next timing point takes over from
// another trackside camera (never from the free camera).
TEST_F(game_chase_camera, TrackingSwitchesCamerasByTimingPoint) {
    timing_gates_clear();
    timing_gates.count = 3;
    plyx_array_init(&timing_gates.lap_list, sizeof(int), 8);
    // A first lap of three points, then laps of two.
    for (int entry : {0, 100001, 2, 1, 0}) ASSERT_TRUE(plyx_array_append(&timing_gates.lap_list, &entry));
    timing_gates.first_lap_length = 3;
    timing_gates.lap_length = 2;
    track_flaggers_reset();
    gate_camera[0] = 0;
    gate_camera[1] = 1;
    rider_slot *s = rider_slot_at(3);
    struct row {
        int tracking, camera, timing_count;
        int switched, camera_after;
    } rows[] = {
        {1, 1, 0, 1, 0},     // point 0: camera 0
        {1, 0, 1, 1, 1},     // point 1 (an entry without a segment): camera 1
        {1, 0, 2, 0, 0},     // point 2 has no camera
        {1, 0, 5, 1, 1},     // the second normal lap's first point: entry 1
        {1, 1, 5, 0, 1},     // already that camera
        {0, 1, 0, 0, 1},     // not tracking
        {1, -1, 0, 0, -1},   // the free camera stays
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.timing_count);
        camera_tracking = r.tracking;
        current_camera = r.camera;
        s->timing_count = r.timing_count;
        EXPECT_EQ(camera_switch_by_timing(3), r.switched);
        EXPECT_EQ(current_camera, r.camera_after);
    }
    s->timing_count = 0;
    timing_gates_clear();
    track_flaggers_reset();
}

// After the chase view is drawn the listener moves with the followed bike.
TEST_F(game_chase_camera, ListenerTakesTheBikesVelocity) {
    rider_slot *s = load();
    ASSERT_NE(s, nullptr);
    set_velocity(s, {3, -1, -20});
    camera_draw_chase(0, 90);
    EXPECT_FLOAT_EQ(scene_viewer.velocity[0], 3);
    EXPECT_FLOAT_EQ(scene_viewer.velocity[1], -1);
    EXPECT_FLOAT_EQ(scene_viewer.velocity[2], -20);
}
