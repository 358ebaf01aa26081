// Rider posing: the limb solver's cases, sound frames for any pose, the rest pose against the
// generator's skeleton, hands that stay on turned bars, and skinning that is still at rest.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "bike/bike_info.h"
#include "present/pose.h"
#include "tools/zrdatagen/modelgen.h"

static float dist(vec3 a, vec3 b) {
    return std::sqrt(vec3_length2(a - b));
}

static vec3 v3(const double *d) {
    return {(float)d[0], (float)d[1], (float)d[2]};
}

static const bike_info *example_row() {
    const bike_info *row = bike_info_find("yz250f(2017)");
    EXPECT_NE(row, nullptr);
    return row;
}

// Frames are orthonormal and right-handed.
static void expect_frame(const vec3 a[3], const char *what) {
    for (int i = 0; i < 3; i++) {
        ASSERT_TRUE(std::isfinite(a[i].x) && std::isfinite(a[i].y) && std::isfinite(a[i].z)) << what;
        for (int j = 0; j < 3; j++)
            ASSERT_NEAR(vec3_dot(a[i], a[j]), i == j ? 1.0f : 0.0f, 1e-4f) << what << " " << i << j;
    }
    ASSERT_NEAR(vec3_dot(vec3_cross(a[0], a[1]), a[2]), 1.0f, 1e-4f) << what;
}

TEST(present_pose, LimbSolverCases) {
    const limb_fallback fb = {{0, -1, 0}, {0, 0, 1}, {0, 1, 0}};
    const float a = 1.0f, b = 1.2f;
    const vec3 root = {0, 0, 0}, hint = {0, 0, 5};
    struct {
        const char *name;
        vec3 target, hint;
        bool reachable;
    } cases[] = {
        {"inside reach", {0, -1.5f, 0}, hint, true},
        {"at 0.95 of the reach", {0, -0.95f * (a + b), 0}, hint, true},
        {"beyond", {0, -5, 0}, hint, false},
        {"nearer than the difference", {0, -0.1f, 0}, hint, false},
        {"on the root", root, hint, false},
        {"hint on the line", {0, -1.5f, 0}, {0, -0.7f, 0}, true},
    };
    for (auto &c : cases) {
        vec3 m;
        draw_solve_limb(&m, root, a, c.target, b, c.hint, fb);
        ASSERT_TRUE(std::isfinite(m.x) && std::isfinite(m.y) && std::isfinite(m.z)) << c.name;
        EXPECT_NEAR(dist(m, root), a, 1e-4f) << c.name;
        if (c.reachable) {
            EXPECT_NEAR(dist(m, c.target), b, 1e-4f) << c.name;
        }
        // The bend goes to the hint's side (the fallback's +z for the hint on the line).
        if (dist(c.target, root) > 0) {
            EXPECT_GT(m.z, 0.0f) << c.name;
        }
    }
}

TEST(present_pose, AnyPoseGivesSoundBones) {
    const bike_info *row = example_row();
    std::mt19937 rng(2117);
    std::uniform_real_distribution<float> unit(-1, 1);
    auto random_rotation = [&](float r[9]) {
        float q[4], n = 0;
        do {
            n = 0;
            for (float &x : q) {
                x = unit(rng);
                n += x * x;
            }
        } while (n < 1e-3f || n > 1);
        n = std::sqrt(n);
        for (float &x : q) x /= n;
        float w = q[0], x = q[1], y = q[2], z = q[3];
        float m[9] = {1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * w * z, 2 * x * z + 2 * w * y,
                      2 * x * y + 2 * w * z, 1 - 2 * x * x - 2 * z * z, 2 * y * z - 2 * w * x,
                      2 * x * z - 2 * w * y, 2 * y * z + 2 * w * x, 1 - 2 * x * x - 2 * y * y};
        for (int i = 0; i < 9; i++) r[i] = m[i];
    };
    for (int n = 0; n < 100000; n++) {
        body_pose bodies[BIKE_BODIES];
        for (auto &b : bodies) {
            random_rotation(b.rotation);
            for (int i = 0; i < 3; i++) {
                b.position[i] = 100 * unit(rng);
                b.velocity[i] = (n % 7 == 0 ? 0.0f : 60 * unit(rng));
            }
        }
        // The rider and the fork within 16 ft of the frame.
        for (int k : {BIKE_BODY_RIDER, BIKE_BODY_FORK_UPPER})
            for (int i = 0; i < 3; i++)
                bodies[k].position[i] = bodies[BIKE_BODY_FRAME].position[i] + 16 * unit(rng);
        if (n % 11 == 0) {   // the rider body on the frame, looking straight down
            const float down[9] = {1, 0, 0, 0, 0, 1, 0, -1, 0};
            for (int i = 0; i < 9; i++) bodies[BIKE_BODY_RIDER].rotation[i] = down[i];
        }
        vec3 feet[2] = {body_pose_point(bodies[0], {-0.55f, -0.73f, 0.65f}),
                        body_pose_point(bodies[0], {0.55f, -0.73f, 0.65f})};
        if (n % 13 == 0) feet[0] = body_pose_point(bodies[BIKE_BODY_RIDER], {-0.32f, -1.3f, 0.2f});
        rider_pose p;
        rider_pose_compute(&p, row, bodies, feet, (unit(rng) + 1) / 2);
        for (int b = 0; b < POSE_BONES; b++) {
            expect_frame(p.axes[b], "bone");
            ASSERT_TRUE(std::isfinite(p.root[b].x + p.root[b].y + p.root[b].z));
        }
        vec3 head[3];
        for (int c = 0; c < 3; c++)
            head[c] = {p.head_rotation[c], p.head_rotation[3 + c], p.head_rotation[6 + c]};
        expect_frame(head, "head");
    }
}

// The rider the generator models sits where posing puts it: every joint of the rest pose lies
// on the generator's skeleton, hands at the grips, soles at the pegs.
TEST(present_pose, RestPoseMatchesTheGeneratorsSkeleton) {
    const bike_info *row = example_row();
    const rider_pose *rest = rider_rest_pose(row);
    ASSERT_NE(rest, nullptr);
    const datagen_rider_skeleton &s = datagen_skeleton;
    const datagen_bike_rest &r = datagen_rest;
    for (int k = 0; k < 2; k++) {
        int ua = k ? RIDER_BONE_RIGHT_UPPER_ARM : RIDER_BONE_LEFT_UPPER_ARM;
        int th = k ? RIDER_BONE_RIGHT_THIGH : RIDER_BONE_LEFT_THIGH;
        EXPECT_LT(dist(rest->shoulder[k], v3(s.bones[ua].root)), 0.01f) << k;
        EXPECT_LT(dist(rest->elbow[k], v3(s.bones[ua].end)), 0.01f) << k;
        EXPECT_LT(dist(rest->elbow[k], v3(s.bones[ua + 1].root)), 0.01f) << k;
        EXPECT_LT(dist(rest->hip[k], v3(s.bones[th].root)), 0.01f) << k;
        EXPECT_LT(dist(rest->knee[k], v3(s.bones[th].end)), 0.01f) << k;
        // The hand: the forearm's end, the grip on the fork (rider-body coordinates).
        vec3 grip = v3(s.grips[k]) + v3(r.fork_upper) - v3(r.rider);
        vec3 hand = rest->elbow[k] + (rest->grip[k] - rest->elbow[k]) *
                                         ((float)s.forearm / dist(rest->grip[k], rest->elbow[k]));
        EXPECT_LT(dist(hand, v3(s.bones[ua + 1].end)), 0.01f) << k;
        EXPECT_LT(dist(hand, grip), 0.01f) << k;
        vec3 ankle = rest->knee[k] + (rest->foot[k] - rest->knee[k]) *
                                         ((float)s.shin / dist(rest->foot[k], rest->knee[k]));
        EXPECT_LT(dist(ankle, v3(s.bones[th + 1].end)), 0.01f) << k;
        // The sole, a quarter foot under the ankle, on the peg.
        vec3 peg = v3(s.pegs[k]) + v3(r.frame) - v3(r.rider);
        EXPECT_LT(std::fabs(ankle.y - 0.2675f - peg.y), 0.02f) << k;
        EXPECT_LT(std::fabs(ankle.x - peg.x), 0.01f) << k;
    }
    EXPECT_LT(dist(rest->head_position, v3(s.head)), 0.01f);
    EXPECT_LT(dist(rest->root[POSE_TORSO], v3(s.bones[RIDER_BONE_TORSO].root)), 0.01f);
}

static body_pose rest_body(const bike_info *row, int at) {
    body_pose b = body_pose_read(nullptr);
    for (int j = 0; j < 3; j++) b.position[j] = bike_v(row, at + j);
    return b;
}

TEST(present_pose, HandsStayOnTurnedBarsAndSkinIsStillAtRest) {
    const bike_info *row = example_row();
    const int rest_at[BIKE_BODIES] = {16, 0, 8, 23, 32, 26, 183};
    body_pose bodies[BIKE_BODIES];
    for (int k = 0; k < BIKE_BODIES; k++) bodies[k] = rest_body(row, rest_at[k]);
    vec3 feet[2] = {body_pose_point(bodies[0], {bike_v(row, 578), bike_v(row, 579), bike_v(row, 580)}),
                    body_pose_point(bodies[0], {bike_v(row, 581), bike_v(row, 582), bike_v(row, 583)})};
    rider_pose p;
    rider_pose_compute(&p, row, bodies, feet, 0);
    rider_skin skin;
    rider_pose_skin(&skin, p, *rider_rest_pose(row), bodies[BIKE_BODY_RIDER]);
    for (int b = 0; b < POSE_BONES; b++)
        for (int i = 0; i < 9; i++)
            EXPECT_NEAR(skin.rotations[9 * b + i], (i % 4 == 0) ? 1.0f : 0.0f, 1e-5f) << b;
    for (int i = 0; i < 3 * POSE_BONES; i++)
        EXPECT_NEAR(skin.translations[i], skin.centres[i], 1e-5f);
    for (float degrees : {-30.0f, 30.0f}) {
        // About the steering axis (from the lower fork to the upper), through the upper fork.
        float a = degrees * (float)M_PI / 180, c = std::cos(a), s = std::sin(a);
        vec3 k = {bike_v(row, 23) - bike_v(row, 32), bike_v(row, 24) - bike_v(row, 33),
                  bike_v(row, 25) - bike_v(row, 34)};
        k = k * (1 / std::sqrt(vec3_length2(k)));
        body_pose fork = bodies[BIKE_BODY_FORK_UPPER];
        const float turn[9] = {c + k.x * k.x * (1 - c), k.x * k.y * (1 - c) - k.z * s,
                               k.x * k.z * (1 - c) + k.y * s, k.y * k.x * (1 - c) + k.z * s,
                               c + k.y * k.y * (1 - c), k.y * k.z * (1 - c) - k.x * s,
                               k.z * k.x * (1 - c) - k.y * s, k.z * k.y * (1 - c) + k.x * s,
                               c + k.z * k.z * (1 - c)};
        for (int i = 0; i < 9; i++) fork.rotation[i] = turn[i];
        body_pose turned[BIKE_BODIES];
        for (int k = 0; k < BIKE_BODIES; k++) turned[k] = bodies[k];
        turned[BIKE_BODY_FORK_UPPER] = fork;
        rider_pose q;
        rider_pose_compute(&q, row, turned, feet, 1);
        for (int k = 0; k < 2; k++) {
            vec3 e = q.elbow[k], g = q.grip[k];
            vec3 hand = e + (g - e) * (bike_v(row, 585) / dist(g, e));
            EXPECT_LT(dist(hand, g), 0.02f) << degrees << " " << k;
        }
    }
}

TEST(present_pose, DisplayTiltTurnsAboutTheHip) {
    const bike_info *row = example_row();
    body_pose rider = rest_body(row, 183), fork = rest_body(row, 23);
    body_pose before = rider;
    // The rest pose leans no nearer than 1.25 ft: untouched.
    float chest_bar = dist(body_pose_point(rider, {bike_v(row, 594), bike_v(row, 595), bike_v(row, 596)}),
                           body_pose_point(fork, {bike_v(row, 597), bike_v(row, 598), bike_v(row, 599)}));
    if (chest_bar >= 1.25f) {
        EXPECT_EQ(rider_display_tilt(&rider, row, fork), 0);
    }
    // Pull the rider onto the bars: tilted back, the hip kept.
    rider = before;
    vec3 bar = body_pose_point(fork, {bike_v(row, 597), bike_v(row, 598), bike_v(row, 599)});
    vec3 chest = body_pose_point(rider, {bike_v(row, 594), bike_v(row, 595), bike_v(row, 596)});
    for (int i = 0; i < 3; i++) rider.position[i] += (&bar.x)[i] - (&chest.x)[i];
    vec3 hip = body_pose_point(rider, {bike_v(row, 566), bike_v(row, 567), bike_v(row, 568)});
    ASSERT_EQ(rider_display_tilt(&rider, row, fork), 1);
    EXPECT_LT(dist(hip, body_pose_point(rider, {bike_v(row, 566), bike_v(row, 567), bike_v(row, 568)})),
              1e-5f);
    // At most about 20.6 degrees, backward (the up axis gains +z).
    vec3 up = body_pose_axis(rider, 1);
    EXPECT_NEAR(std::acos(up.y) * 180 / M_PI, std::atan(0.375) * 180 / M_PI, 0.05);
    EXPECT_GT(up.z, 0.0f);
}
