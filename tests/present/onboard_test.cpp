// The onboard camera: its eye on the frame, the gimbal's lag and easing, the look-down and the
// orientation line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "core/settings.h"
#include "present/onboard.h"

static void expect_rotation(const float m[9], const char *what) {
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) {
            float d = m[i] * m[j] + m[3 + i] * m[3 + j] + m[6 + i] * m[6 + j];
            EXPECT_NEAR(d, i == j ? 1.0f : 0.0f, 1e-5f) << what;
        }
    float det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                m[2] * (m[3] * m[7] - m[4] * m[6]);
    EXPECT_NEAR(det, 1.0f, 1e-5f) << what;
}

static body_pose pitched_frame(float pitch) {
    body_pose b = {{10, 2, -5}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, -30}};
    // Nose up: about the x axis.
    float c = std::cos(pitch), s = std::sin(pitch);
    const float r[9] = {1, 0, 0, 0, c, s, 0, -s, c};
    for (int i = 0; i < 9; i++) b.rotation[i] = r[i];
    return b;
}

// The angle by which the view's backward axis is pitched away from the frame's, radians.
static float view_offset(const float r[9], const body_pose &frame) {
    vec3 up = body_pose_axis(frame, 1), back = body_pose_axis(frame, 2);
    vec3 b = {r[2], r[5], r[8]};
    return std::atan2(vec3_dot(b, up), vec3_dot(b, back));
}

TEST(present_onboard, OnboardEyeGimbalAndLookDown) {
    settings.first_person_angle.value = 0;
    settings.first_person_gimbal.value = 0;
    body_pose frame = pitched_frame(0);
    float eye[3], r[9];
    // The eye points are taken from the rider's seat on the frame: the example row's rest
    // points put the eye at the rider's head, 5.0 ft up at height 0 and 5.56 ft at 1.
    float seat[3];
    onboard_seat(&bike_info_table[0], seat);
    const bike_info &row = bike_info_table[0];
    for (int i = 0; i < 3; i++) EXPECT_FLOAT_EQ(seat[i], row.a[183 + i] - row.a[16 + i]);
    for (float h : {0.0f, 1.0f}) {
        settings.first_person_height.value = h;
        onboard_view(frame, seat, 1.0, eye, r);
        const float *p = h == 0 ? ONBOARD_LOW : ONBOARD_HIGH;
        for (int i = 0; i < 3; i++)
            EXPECT_NEAR(eye[i], frame.position[i] + seat[i] + p[i], 1e-5f) << h;
        EXPECT_NEAR(eye[1] - frame.position[1] + row.a[17], h == 0 ? 5.0f : 5.5584f, 0.01f) << h;
    }
    // A turned frame carries the eye round with it: the seat offset turns too.
    body_pose tipped = pitched_frame((float)M_PI / 2);
    settings.first_person_height.value = 0;
    onboard_view(tipped, seat, 1.05, eye, r);
    vec3 at = body_pose_point(tipped, {seat[0] + ONBOARD_LOW[0], seat[1] + ONBOARD_LOW[1],
                                       seat[2] + ONBOARD_LOW[2]});
    EXPECT_NEAR(eye[1], at.y, 1e-5f);
    EXPECT_NEAR(eye[2], at.z, 1e-5f);
    float none[3];
    onboard_seat(nullptr, none);
    EXPECT_EQ(none[0] + none[1] + none[2], 0.0f);
    // Gimbal 0: fixed to the frame, whatever it does.
    body_pose up = pitched_frame(0.5f);
    onboard_view(up, seat, 1.1, eye, r);
    for (int i = 0; i < 9; i++) EXPECT_NEAR(r[i], up.rotation[i], 1e-6f);
    // Gimbal 100: level for a while, then a pitch step of 60 degrees; the view lags at most 45
    // degrees and eases back at 5 per second.
    settings.first_person_gimbal.value = 100;
    onboard_gimbal_state = {};
    double t = 0;
    for (int i = 0; i < 64; i++) onboard_view(frame, seat, t += 1.0 / 64, eye, r);
    EXPECT_NEAR(view_offset(r, frame), 0, 1e-5f);
    body_pose step = pitched_frame((float)M_PI / 3);
    onboard_view(step, seat, t += 1.0 / 64, eye, r);
    expect_rotation(r, "gimbal");
    float lag = -view_offset(r, step);
    EXPECT_GT(lag, 0.5f);
    EXPECT_LE(lag, (float)M_PI / 4 + 1e-5f);
    float before = lag;
    onboard_view(step, seat, t += 0.01, eye, r);
    float after = -view_offset(r, step);
    // tan P' = tan(P - 5 x 0.01 P).
    EXPECT_NEAR(after, before * (1 - 5 * 0.01f), 1e-3f);
    // The same time again: no easing.
    onboard_view(step, seat, t, eye, r);
    EXPECT_NEAR(-view_offset(r, step), after, 1e-5f);
    // Look-down: 40 degrees below the frame's view.
    settings.first_person_gimbal.value = 0;
    settings.first_person_angle.value = 40;
    onboard_view(frame, seat, t + 1, eye, r);
    float look_y = -r[5];
    EXPECT_NEAR(look_y, -std::sin(40 * (float)M_PI / 180), 1e-5f);
    expect_rotation(r, "look-down");
    settings.first_person_angle.value = 0;
}

TEST(present_onboard, OrientationLineGoesToStandardErrorWithVideo) {
    const float eye[3] = {1, 2, 3}, r[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int video : {0, 1}) {
        run_options.record_video = video;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        onboard_print_orientation(0.5, eye, r);
        std::string out = testing::internal::GetCapturedStdout();
        std::string err = testing::internal::GetCapturedStderr();
        const std::string line =
            "t=0.500000 p0=1.000000 p1=2.000000 p2=3.000000 x0=1.000000 x1=0.000000 "
            "x2=0.000000 z0=0.000000 z1=0.000000 z2=1.000000\n";
        EXPECT_EQ(video ? err : out, line);
        EXPECT_EQ(video ? out : err, "");
    }
    run_options.record_video = 0;
}
