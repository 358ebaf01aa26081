// The onboard view: the eye on the frame, the gimbal that lets the view lag the bike's pitching
// and ease back, the look-down.
#include "present/onboard.h"

#include <cmath>
#include <cstdio>

#include "core/settings.h"
#include "race/race.h"
#include "present/scene.h"

onboard_gimbal_record onboard_gimbal_state;

static vec3 unit_or(vec3 v, vec3 fallback) {
    float l = std::sqrt(vec3_length2(v));
    return l >= POSE_TINY && std::isfinite(l) ? v * (1 / l) : fallback;
}

void onboard_view(const body_pose &frame, const float seat[3], double t, float eye[3],
                  float rotation[9]) {
    float h = (float)settings.first_person_height.value;
    vec3 at = {seat[0] + ONBOARD_LOW[0] + (ONBOARD_HIGH[0] - ONBOARD_LOW[0]) * h,
               seat[1] + ONBOARD_LOW[1] + (ONBOARD_HIGH[1] - ONBOARD_LOW[1]) * h,
               seat[2] + ONBOARD_LOW[2] + (ONBOARD_HIGH[2] - ONBOARD_LOW[2]) * h};
    vec3 e = body_pose_point(frame, at);
    vec3 right = body_pose_axis(frame, 0), up = body_pose_axis(frame, 1),
         back = body_pose_axis(frame, 2);
    float gimbal = (float)settings.first_person_gimbal.value;
    onboard_gimbal_record &g = onboard_gimbal_state;
    if (gimbal > 0.5f) {
        vec3 u = {g.backward[0], g.backward[1], g.backward[2]};
        float p = std::atan2(vec3_dot(u, up), vec3_dot(u, back));
        const float quarter = (float)M_PI / 4;
        p = p > quarter ? quarter : p < -quarter ? -quarter : p;
        float p1 = p;
        if (t > g.time) {
            float k = 1 - gimbal * 0.01f;
            float rate = 100 * k * k * k + 5;
            p1 = p - p * rate * (float)std::fmin(t - g.time, 0.125);
            if (p1 * p < 0) p1 = 0;
        }
        vec3 b1 = unit_or(back + up * std::tan(p1), back);
        up = vec3_cross(b1, right);
        back = b1;
        g.backward[0] = b1.x;
        g.backward[1] = b1.y;
        g.backward[2] = b1.z;
        g.time = t;
    }
    eye[0] = e.x;
    eye[1] = e.y;
    eye[2] = e.z;
    vec3 cols[3] = {right, up, back};
    auto store = [&](float *r) {
        for (int c = 0; c < 3; c++) {
            r[c] = cols[c].x;
            r[3 + c] = cols[c].y;
            r[6 + c] = cols[c].z;
        }
    };
    store(rotation);
    if (game_settings.print_orientation) onboard_print_orientation(t, eye, rotation);
    float a = (float)(settings.first_person_angle.value * M_PI / 180);
    float ca = std::cos(a), sa = std::sin(a);
    cols[1] = up * ca - back * sa;
    cols[2] = back * ca + up * sa;
    store(rotation);
}

void onboard_print_orientation(double t, const float eye[3], const float r[9]) {
    // Video frames own standard output when they are recorded.
    FILE *out = run_options.record_video ? stderr : stdout;
    fprintf(out, "t=%f p0=%f p1=%f p2=%f x0=%f x1=%f x2=%f z0=%f z1=%f z2=%f\n", t, eye[0], eye[1],
            eye[2], r[0], r[3], r[6], r[2], r[5], r[8]);
}

void onboard_seat(const bike_info *row, float seat[3]) {
    seat[0] = seat[1] = seat[2] = 0;
    if (!row) return;
    for (int i = 0; i < 3; i++) seat[i] = row->a[183 + i] - row->a[16 + i];
}

void scene_draw_rider_view(dBodyID body, int slot) {
    body_pose frame = body_pose_read(body);
    float eye[3], rotation[9], seat[3];
    const rider_slot *s = slot >= 0 && slot < RIDER_SLOTS ? &rider_table[slot] : nullptr;
    onboard_seat(s ? bike_row_of(s) : nullptr, seat);
    onboard_view(frame, seat, race_state.current_tick / 128.0, eye, rotation);
    for (int i = 0; i < 3; i++) scene_viewer.velocity[i] = frame.velocity[i];
    scene_draw(eye, rotation, (float)settings.fov.value, slot);
}
