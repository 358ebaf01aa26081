// The chase camera that follows the viewed rider from behind (or orbits another rider), and the
// controls of the camera view: the orbit, the free camera's flight and the tracking switch.
#include "game/chase_camera.h"

#include <algorithm>
#include <cmath>

#include "bike/rider.h"
#include "core/settings.h"
#include "game/frame_loop.h"
#include "present/camera.h"
#include "present/scene.h"
#include "race/flaggers.h"
#include "race/race.h"
#include "race/timing.h"

static const float PI_F = 3.14159265358979f;

chase_camera_state chase_camera = {0, 10, 5, {0, 0, 1}, 0, {0, 0, 0},
                                   {1, 0, 0, 0, 1, 0, 0, 0, 1}, 0, 0};

void chase_camera_reset() {
    chase_camera = {0, 10, 5, {0, 0, 1}, 0, {0, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, 0, 0};
}

static vec3 to_vec3(const dReal *v) {
    return {(float)v[0], (float)v[1], (float)v[2]};
}

static bool finite3(vec3 v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The rotation looking from the eye at the target with the world's up: columns right, up and
// backward.
static void look_at(vec3 eye, vec3 target, float m[9]) {
    vec3 back = eye - target;
    back = back * (1.0f / sqrtf(vec3_length2(back)));
    vec3 right = {back.z, 0, -back.x};   // (0, 1, 0) x back
    float r = sqrtf(vec3_length2(right));
    right = r > 1e-6f ? right * (1.0f / r) : vec3{1, 0, 0};
    vec3 up = {back.y * right.z - back.z * right.y, back.z * right.x - back.x * right.z,
               back.x * right.y - back.y * right.x};
    const vec3 cols[3] = {right, up, back};
    for (int c = 0; c < 3; c++) {
        m[c] = cols[c].x;
        m[3 + c] = cols[c].y;
        m[6 + c] = cols[c].z;
    }
}

int chase_camera_view(int slot, int player_view, float eye[3], float rotation[9]) {
    chase_camera_state &cc = chase_camera;
    auto keep = [&]() {
        for (int i = 0; i < 3; i++) eye[i] = cc.eye[i];
        for (int i = 0; i < 9; i++) rotation[i] = cc.rotation[i];
    };
    if (!rider_has_bike(slot)) {
        keep();
        return 0;
    }
    dBodyID frame = bike_frame_body(&rider_table[slot]);
    const float *cc_point = run_options.chase_center;
    dVector3 pw;
    dBodyGetRelPointPos(frame, cc_point[0], cc_point[1], cc_point[2], pw);
    vec3 P = to_vec3(pw);
    vec3 d;
    float distance, height;
    if (player_view) {
        const dReal *R = dBodyGetRotation(frame);
        vec3 F = {(float)-R[2], 0, (float)-R[10]};
        const dReal *lv = dBodyGetLinearVel(frame);
        vec3 V = {(float)lv[0], 0, (float)lv[2]};
        if (settings.rigid_camera.current == 1) {
            d = F;
        } else if (vec3_length2(V) >= 900) {
            d = V;
        } else {
            float w = std::clamp((sqrtf(vec3_length2(V)) - 10) * 0.05f, 0.0f, 1.0f);
            d = F + (V - F) * w;
        }
        d = d * -1.0f;
        distance = (float)settings.third_person_distance.value;
        height = (float)settings.third_person_height.value;
    } else {
        d = {sinf(cc.yaw), 0, cosf(cc.yaw)};
        distance = cc.distance;
        height = cc.height;
    }
    // A frame pointing straight up, or a blend that cancels, gives no direction: keep the last.
    float len2 = vec3_length2(d);
    if (!(len2 >= 1e-6f) || !finite3(d))
        d = cc.direction;
    else
        cc.direction = d = d * (1.0f / sqrtf(len2));
    vec3 E = P + d * distance;
    E.y = std::max(camera_ground_height(E.x, E.z, 10) + 5, P.y + height);
    vec3 off = E - P;
    if (!finite3(off) || !finite3(E) || !(vec3_length2(off) > 1e-12f)) {
        keep();
        return 1;
    }
    cc.eye[0] = E.x;
    cc.eye[1] = E.y;
    cc.eye[2] = E.z;
    look_at(E, P, cc.rotation);
    cc.has_view = 1;
    keep();
    return 1;
}

void camera_draw_chase(int slot, float fov_degrees) {
    float eye[3], rotation[9];
    chase_camera_view(slot, frame_player_view(), eye, rotation);
    scene_draw(eye, rotation, fov_degrees, -1);
    // The listener moves with the bike it follows.
    vec3 v = {0, 0, 0};
    if (rider_has_bike(slot)) v = to_vec3(dBodyGetLinearVel(bike_frame_body(&rider_table[slot])));
    if (!finite3(v)) v = {0, 0, 0};
    scene_viewer.velocity[0] = v.x;
    scene_viewer.velocity[1] = v.y;
    scene_viewer.velocity[2] = v.z;
}

// The orbit of the chase view around another rider.
static void orbit_tick(const control_record *axes) {
    chase_camera_state &cc = chase_camera;
    const float *a = axes->axis;
    float yaw = cc.yaw + a[CONTROL_STEER] * PI_F / 512;
    if (yaw > PI_F) yaw -= 2 * PI_F;
    if (yaw < -PI_F) yaw += 2 * PI_F;
    if (std::isfinite(yaw)) cc.yaw = yaw;
    if (a[CONTROL_THROTTLE] > 0.5f) cc.distance = std::max(0.25f, cc.distance - 1.0f / 64);
    if (a[CONTROL_FRONT_BRAKE] > 0.5f) cc.distance += 1.0f / 64;
    float height = cc.height + a[CONTROL_LEAN] * CAMERA_TICK;
    if (std::isfinite(height)) cc.height = height;
}

int camera_switch_by_timing(int slot) {
    if (!camera_tracking || current_camera == -1 || timing_gates.count <= 0) return 0;
    rider_slot *s = rider_slot_at(slot);
    if (!s) return 0;
    int position = timing_lap_position(s->timing_count);
    if (position < 0 || position >= timing_gates.lap_list.count) return 0;
    int entry = ((const int *)timing_gates.lap_list.items)[position];
    if (entry >= TIMING_NO_SEGMENT) entry -= TIMING_NO_SEGMENT;
    if (entry < 0 || entry >= TIMING_CHECKPOINTS_MAX) return 0;
    int number = gate_camera[entry];
    if (number == -1 || number == current_camera) return 0;
    current_camera = number;
    return 1;
}

// The camera view: the tracking switch, the camera in use turned toward the viewed rider or by
// the axes, and the free camera's flight.
static void camera_view_tick(const control_record *axes) {
    chase_camera_state &cc = chase_camera;
    const float *a = axes->axis;
    float dab = a[CONTROL_SIT_DAB];
    if (dab >= 0.5f && !(cc.previous_sit_dab >= 0.5f)) camera_tracking = !camera_tracking;
    cc.previous_sit_dab = dab;
    int switched = camera_switch_by_timing(viewed_slot);

    camera *c = camera_in_use();
    vec3 position = {c->x, c->y, c->z}, velocity = {0, 0, 0};
    int slot = viewed_slot;
    if (rider_has_bike(slot)) {
        dBodyID frame = bike_frame_body(&rider_table[slot]);
        position = to_vec3(dBodyGetPosition(frame));
        if (!frame_loop.paused) velocity = to_vec3(dBodyGetLinearVel(frame));
    }
    camera_track_rider(c, axes, position, velocity, switched);

    float speed = cc.free_speed;
    if (a[CONTROL_THROTTLE] > 0.5f) speed = std::min(100.0f, speed + 80 * CAMERA_TICK);
    if (a[CONTROL_FRONT_BRAKE] > 0.5f) speed = std::max(-100.0f, speed - 80 * CAMERA_TICK);
    float drag = 60 * CAMERA_TICK;
    speed = speed > 0 ? std::max(0.0f, speed - drag) : std::min(0.0f, speed + drag);
    cc.free_speed = speed;
    camera &f = free_camera;
    if (std::fabs(speed) > 0.0001f) {
        float cp = cosf(f.pitch), step = speed * CAMERA_TICK;
        f.x += step * sinf(f.yaw) * cp;
        f.y += step * sinf(f.pitch);
        f.z += step * cosf(f.yaw) * cp;
        f.y = std::max(f.y, camera_ground_height(f.x, f.z, 10) + 2);
    }
    f.fov = (float)settings.fov.value;
}

void camera_controls_tick(const control_record *axes, int view_mode) {
    if (!axes) return;
    if (view_mode == 3)
        orbit_tick(axes);
    else if (view_mode == 4)
        camera_view_tick(axes);
}
