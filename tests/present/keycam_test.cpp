// Key-frame playback: the keys reached before, at and after their ticks, the path between them,
// the short way round between quaternions of opposite sign, and keys that cannot be played.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "present/camera.h"
#include "present/keycam.h"

namespace {

// A key looking along the yaw (radians) with pitch 0: the quaternion of a turn about +y.
camera_key yaw_key(int tick, float x, float y, float z, float yaw, float fov = 90) {
    return {x, y, z, 0, sinf(yaw / 2), 0, cosf(yaw / 2), fov, tick};
}

struct view {
    float eye[3], rotation[9], fov;
};

view view_at(int tick) {
    view v;
    EXPECT_EQ(keycam_view(tick, v.eye, v.rotation, &v.fov), 1) << tick;
    return v;
}

// The angle (degrees) of the turn between two rotations.
double turn_between(const float a[9], const float b[9]) {
    double trace = 0;
    for (int i = 0; i < 9; i++) trace += (double)a[i] * b[i];
    return std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0)) * 180 / M_PI;
}

bool finite_view(const view &v) {
    for (float e : v.eye)
        if (!std::isfinite(e)) return false;
    for (float r : v.rotation)
        if (!std::isfinite(r)) return false;
    return std::isfinite(v.fov) && v.fov >= 1 && v.fov <= 179;
}

}  // namespace

// The keys' quaternions give the same view as the free camera's angles (the quaternion stored
// x, y, z, w); every key is reached exactly at its tick, the first before it, the last after.
TEST(present_keycam, KeysAreReachedAtTheirTicks) {
    EXPECT_EQ(keycam_mode, 0);
    camera_keys.clear();
    float eye[3], rotation[9], fov;
    EXPECT_EQ(keycam_view(0, eye, rotation, &fov), 0);   // no keys: nothing to play

    camera_keys_insert(yaw_key(300, 30, 3, 0, 1.5f, 60));
    camera_keys_insert(yaw_key(0, 0, 5, 0, 0.0f, 90));
    camera_keys_insert(yaw_key(100, 10, 5, 4, -0.5f, 70));
    camera_keys_insert(yaw_key(200, 20, 4, 8, 0.75f, 80));
    ASSERT_EQ(camera_keys.size(), 4u);
    for (int k = 0; k < 4; k++) EXPECT_EQ(camera_keys[k].tick, 100 * k);

    struct {
        int tick, key;
    } cases[] = {{-500, 0}, {0, 0}, {100, 1}, {200, 2}, {300, 3}, {301, 3}, {1000000, 3}};
    for (auto &c : cases) {
        const camera_key &k = camera_keys[c.key];
        view v = view_at(c.tick);
        EXPECT_FLOAT_EQ(v.eye[0], k.x) << c.tick;
        EXPECT_FLOAT_EQ(v.eye[1], k.y) << c.tick;
        EXPECT_FLOAT_EQ(v.eye[2], k.z) << c.tick;
        EXPECT_FLOAT_EQ(v.fov, k.fov) << c.tick;
        float angles[9];
        camera_matrix_from_angles(angles, 0, 2 * atan2f(k.qy, k.qw));
        for (int i = 0; i < 9; i++) EXPECT_NEAR(v.rotation[i], angles[i], 1e-5) << c.tick << " " << i;
    }

    // One key: the camera stays at it for the whole race.
    camera_keys = {yaw_key(50, 1, 2, 3, 0.3f)};
    for (int t : {0, 50, 5000}) EXPECT_FLOAT_EQ(view_at(t).eye[2], 3);

    // Two keys of one tick: the first before it, the second from it on; inserts keep the
    // order they were made in.
    camera_keys.clear();
    camera_keys_insert(yaw_key(100, 1, 0, 0, 0));
    camera_keys_insert(yaw_key(100, 2, 0, 0, 0));
    EXPECT_FLOAT_EQ(view_at(99).eye[0], 1);
    EXPECT_FLOAT_EQ(view_at(100).eye[0], 2);
    camera_keys.clear();
}

// Between keys: the cubic path with the neighbours' slopes (a straight line through evenly
// spaced keys, an ease in and out between two lone keys) and a linear field of view.
TEST(present_keycam, PathBetweenKeys) {
    struct {
        std::vector<camera_key> keys;
        int tick;
        float x, fov;
    } cases[] = {
        // Two keys: no neighbours, so no slopes: 3u^2 - 2u^3 of the way.
        {{yaw_key(0, 0, 0, 0, 0, 60), yaw_key(100, 10, 0, 0, 0, 90)}, 50, 5, 75},
        {{yaw_key(0, 0, 0, 0, 0, 60), yaw_key(100, 10, 0, 0, 0, 90)}, 25, 10 * (3 / 16.f - 2 / 64.f), 67.5f},
        // Evenly spaced on a line: the path is the line.
        {{yaw_key(0, 0, 0, 0, 0), yaw_key(100, 10, 0, 0, 0), yaw_key(200, 20, 0, 0, 0),
          yaw_key(300, 30, 0, 0, 0)},
         130, 13, 90},
        // The neighbours' spans are rescaled to this one: twice as long, the same speed.
        {{yaw_key(0, 0, 0, 0, 0), yaw_key(200, 20, 0, 0, 0), yaw_key(300, 30, 0, 0, 0),
          yaw_key(500, 50, 0, 0, 0)},
         250, 25, 90},
    };
    for (auto &c : cases) {
        camera_keys = c.keys;
        view v = view_at(c.tick);
        EXPECT_NEAR(v.eye[0], c.x, 1e-4) << c.tick;
        EXPECT_NEAR(v.fov, c.fov, 1e-4) << c.tick;
    }
    camera_keys.clear();
}

// Keys a quarter turn apart, the second stored with the opposite sign (the same rotation): the
// view never turns more than a quarter turn from either key (the long way round passes three
// quarters away from one of them).
TEST(present_keycam, OppositeSignTakesTheShortWay) {
    camera_key a = yaw_key(0, 0, 0, 0, 0), b = yaw_key(100, 0, 0, 0, (float)M_PI / 2),
               c = yaw_key(200, 0, 0, 0, (float)M_PI), d = yaw_key(300, 0, 0, 0, 3 * (float)M_PI / 2);
    for (camera_key *k : {&b, &d}) {
        k->qx = -k->qx;
        k->qy = -k->qy;
        k->qz = -k->qz;
        k->qw = -k->qw;
    }
    camera_keys = {a, b, c, d};
    for (int i = 0; i < 3; i++) {
        view from = view_at(100 * i), to = view_at(100 * i + 100);
        EXPECT_NEAR(turn_between(from.rotation, to.rotation), 90, 1e-2) << i;
        for (int t = 100 * i; t <= 100 * i + 100; t += 5) {
            view v = view_at(t);
            EXPECT_LE(turn_between(v.rotation, from.rotation), 90.01) << t;
            EXPECT_LE(turn_between(v.rotation, to.rotation), 90.01) << t;
        }
    }
    camera_keys.clear();
}

// Keys from a file can hold anything: playback skips keys with a non-finite value or a
// quaternion of no length, copes with keys out of tick order, and always gives a finite view.
TEST(present_keycam, BadKeysGiveAFiniteView) {
    camera_key zero = yaw_key(100, 50, 50, 50, 0);
    zero.qy = zero.qw = 0;
    camera_key nan_fov = yaw_key(100, 50, 50, 50, 0, NAN);
    camera_key nan_eye = yaw_key(100, NAN, 50, 50, 0);
    camera_key inf_quat = yaw_key(100, 50, 50, 50, 0);
    inf_quat.qx = INFINITY;
    camera_key tiny = yaw_key(100, 50, 50, 50, 0);
    tiny.qy = 0;
    tiny.qw = 1e-7f;
    const camera_key first = yaw_key(0, 0, 0, 0, 0, 60), last = yaw_key(200, 20, 0, 0, 1, 80);
    struct {
        const char *what;
        std::vector<camera_key> keys;
        int skipped;   // 1: the path runs from first to last as if the middle key were not there
    } cases[] = {
        {"zero quaternion", {first, zero, last}, 1},
        {"NaN field of view", {first, nan_fov, last}, 1},
        {"NaN position", {first, nan_eye, last}, 1},
        {"infinite quaternion", {first, inf_quat, last}, 1},
        {"quaternion shorter than 1e-6", {first, tiny, last}, 1},
        {"out of order", {last, yaw_key(100, 5, 0, 0, 2), first, yaw_key(-50, 9, 9, 9, -2)}, 0},
        {"far apart", {yaw_key(0, -3e38f, 0, 0, 0), yaw_key(1, 3e38f, 0, 0, 0),
                       yaw_key(2000000000, -3e38f, 0, 0, 0), yaw_key(2000000001, 3e38f, 0, 0, 0)}, 0},
    };
    for (auto &c : cases) {
        camera_keys = c.keys;
        for (int t : {-100, 0, 1, 50, 100, 150, 200, 300, 1000000000, 2000000000}) {
            view v = view_at(t);
            EXPECT_TRUE(finite_view(v)) << c.what << " at " << t;
        }
        if (c.skipped) {
            camera_keys = {first, last};
            view without = view_at(100);
            camera_keys = c.keys;
            view with = view_at(100);
            EXPECT_FLOAT_EQ(with.eye[0], without.eye[0]) << c.what;
            EXPECT_FLOAT_EQ(with.fov, without.fov) << c.what;
        }
    }
    // Nothing playable: no view (the camera view falls back to its cameras).
    camera_keys = {zero, nan_fov};
    float eye[3], rotation[9], fov;
    EXPECT_EQ(keycam_view(100, eye, rotation, &fov), 0);
    camera_keys.clear();
}
