// Putting a bike at its rest pose, turning and moving it, its presence (solid, ghost, hidden,
// fading), where the rider's feet are, and the small geometric services the bike step shares.
#include <cmath>
#include <cstring>

#include "bike/rider.h"
#include "core/util.h"
#include "terrain/terrain.h"

// Rest positions (V index) of the bodies in body order.
static const int BODY_REST[BIKE_BODIES] = {16, 0, 8, 23, 32, 26, 183};

void bike_body_to_rest(dBodyID b, const bike_info *row, int body) {
    int at = BODY_REST[body];
    dBodySetPosition(b, bike_v(row, at), bike_v(row, at + 1), bike_v(row, at + 2));
    dMatrix3 R;
    dRSetIdentity(R);
    dBodySetRotation(b, R);
    dBodySetLinearVel(b, 0, 0, 0);
    dBodySetAngularVel(b, 0, 0, 0);
    dBodySetForce(b, 0, 0, 0);
    dBodySetTorque(b, 0, 0, 0);
}

void bike_reseat_rider(rider_slot *s) {
    dBodyID frame = bike_frame_body(s), rider = bike_rider_body(s);
    dJointID joint = bike_joint_of(s, BIKE_JOINT_RIDER);
    if (!frame || !rider || !joint) return;
    const bike_info *row = bike_row_of(s);
    dVector3 keep_position;
    dQuaternion keep_rotation;
    memcpy(keep_position, dBodyGetPosition(rider), sizeof(dReal) * 3);
    memcpy(keep_rotation, dBodyGetQuaternion(rider), sizeof keep_rotation);
    dVector3 seat;
    dBodyGetRelPointPos(frame, bike_v(row, 183) - bike_v(row, 16), bike_v(row, 184) - bike_v(row, 17),
                        bike_v(row, 185) - bike_v(row, 18), seat);
    dBodySetPosition(rider, seat[0], seat[1], seat[2]);
    dBodySetQuaternion(rider, dBodyGetQuaternion(frame));
    dJointAttach(joint, rider, frame);
    dBodySetPosition(rider, keep_position[0], keep_position[1], keep_position[2]);
    dBodySetQuaternion(rider, keep_rotation);
}

static void set_bodies_enabled(rider_slot *s, bool enabled) {
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = bike_body_of(s, b);
        if (!body) continue;
        if (enabled)
            dBodyEnable(body);
        else
            dBodyDisable(body);
    }
}

void bike_reset(rider_slot *s) {
    if (!bike_frame_body(s)) return;
    const bike_info *row = bike_row_of(s);
    for (int b = 0; b < BIKE_BODIES; b++) bike_body_to_rest(bike_body_of(s, b), row, b);
    s->controls = {};
    s->gear = s->last_shift = 0;
    s->drive_phase = s->engine_speed = 0;
    s->timing_count = 0;
    s->timing_tics.count = 0;
    s->sample_buffers[0].count = s->sample_buffers[1].count = s->working_line.count = 0;
    memset(s->followed_serials, 0, sizeof s->followed_serials);
    s->target_index = 0;
    s->autopilot_personality = 0;
    s->robot = {};
    s->robot.lean_limit_tic = -1000000;
    s->contact_tick = -1;
    s->finished = 0;
    s->last_rider_contact_tic = -1;
    s->down_flag = 0;
    s->sample_cancel_bits = 0;
    s->land_damping_scale = 1;
    s->air_tic = s->landing_tic = s->respawn_counter = s->fall_count = 0;
    s->fall_tic = 0;
    memset(s->fall_points, 0, sizeof s->fall_points);
    s->rider_contact_timer = 0;
    s->steering_aux = 0;
    s->rider_presence = RIDER_PRESENCE_SOLID;
    memset(s->rider_velocity_ring, 0, sizeof s->rider_velocity_ring);
    set_bodies_enabled(s, true);
    bike_reseat_rider(s);
    for (dJointFeedback &f : s->joint_feedback)
        for (int i = 0; i < 4; i++) f.f1[i] = f.t1[i] = f.f2[i] = f.t2[i] = 0;
    for (erode_batch &b : s->erode_batches) {
        for (erode_point &p : b.points) p.x = p.z = p.value1 = p.value2 = 0;
        erode_batch_clear(&b);
    }
}

void bike_set_orientation(rider_slot *s, float ax, float ay, float az, float angle) {
    if (!bike_frame_body(s)) return;
    if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(az) || !std::isfinite(angle))
        return;
    dMatrix3 R;
    dRFromAxisAndAngle(R, ax, ay, az, angle);
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = bike_body_of(s, b);
        const dReal *p = dBodyGetPosition(body);
        dReal x = R[0] * p[0] + R[1] * p[1] + R[2] * p[2];
        dReal y = R[4] * p[0] + R[5] * p[1] + R[6] * p[2];
        dReal z = R[8] * p[0] + R[9] * p[1] + R[10] * p[2];
        dBodySetRotation(body, R);
        dBodySetPosition(body, x, y, z);
    }
}

// The presence change: forces cleared when the rider was not simulated, bodies enabled only
// above the ghost's presence.
static void set_presence(rider_slot *s, float presence) {
    if (s->rider_presence <= RIDER_PRESENCE_GHOST)
        for (int b = 0; b < BIKE_BODIES; b++) {
            dBodySetForce(bike_body_of(s, b), 0, 0, 0);
            dBodySetTorque(bike_body_of(s, b), 0, 0, 0);
        }
    s->rider_presence = presence;
    set_bodies_enabled(s, presence > RIDER_PRESENCE_GHOST);
}

void bike_hold_visible(rider_slot *s) {
    if (bike_frame_body(s)) set_presence(s, 1);
}

void bike_hold_hidden(rider_slot *s) {
    if (bike_frame_body(s)) set_presence(s, 0);
}

void bike_hold_ghost(rider_slot *s) {
    if (!bike_frame_body(s) || s->rider_presence > RIDER_PRESENCE_GHOST) return;
    set_presence(s, s->rider_presence == 0 ? 1.0f : RIDER_PRESENCE_GHOST);
}

void bike_fade_out(rider_slot *s) {
    if (!bike_frame_body(s) || !(s->rider_presence > 0)) return;
    set_presence(s, util_clamp(s->rider_presence - 1.0f / 128, 0, 1));
}

static vec3 world_point(dBodyID body, vec3 p) {
    dVector3 w;
    dBodyGetRelPointPos(body, p.x, p.y, p.z, w);
    return {(float)w[0], (float)w[1], (float)w[2]};
}

static vec3 row_point(const bike_info *row, int at) {
    return {bike_v(row, at), bike_v(row, at + 1), bike_v(row, at + 2)};
}

void rider_pose_points(rider_slot *s, vec3 *left_out, vec3 *right_out, float *left_weight,
                       float *right_weight) {
    dBodyID frame = bike_frame_body(s), rider = bike_rider_body(s);
    if (!frame || !rider) {
        *left_out = *right_out = {0, 0, 0};
        if (left_weight) *left_weight = 0;
        if (right_weight) *right_weight = 0;
        return;
    }
    const bike_info *row = bike_row_of(s);
    vec3 left = row_point(row, 578), right = row_point(row, 581);
    int n = s->respawn_counter;
    if (n > 0) {
        float t = (float)(n < 1 ? 1 : n > 128 ? 128 : n) / 128.0f;
        float spread = util_clamp(2 * t - 1, 0, 1) * 0.5f, rise = util_clamp(2 * t, 0, 1);
        float back = util_clamp(t * 4.0f / 3.0f, 0, 1);
        left.x -= spread;
        right.x += spread;
        left.y += 1.75f * rise;
        right.y += 1.75f * rise;
        left.z += back;
        right.z += back;
    }
    vec3 L = world_point(frame, left), R = world_point(frame, right);
    float wl = 0, wr = 0;
    if (s->controls.foot_down != 0 && n <= 127) {
        vec3 hl = world_point(rider, row_point(row, 566)), hr = world_point(rider, row_point(row, 569));
        vec3 d = hr - hl;
        const dReal *rot = dBodyGetRotation(frame);
        vec3 f = {(float)-rot[2], (float)-rot[6], (float)-rot[10]};
        const dReal *v = dBodyGetLinearVel(frame);
        vec3 vel = {(float)v[0], (float)v[1], (float)v[2]};
        float k = 1 - s->controls.foot_down;
        float lean = bike_body_tilt(frame);
        float sp = util_clamp(vec3_dot(f, vel) / 15.0f, 0, 1);
        float lf = util_clamp(std::fabs(lean) * 4.0f / 3.14159265f, 0, 1);
        float reach = (1.25f * sp - 0.25f) * lf * 2.5f;
        vec3 o = f * reach;
        if (lean > -0.1f) {
            vec3 t = hl + d * (0.5f * lf - 0.5f) + o;
            float h = physics_ground_height_at(terrain_current, t.x, t.z);
            float w = util_clamp((lean + 0.5f) * 2.5f, 0, 1);
            wl = 1 - w * k;
            L = L + (vec3{t.x, h + 0.125f, t.z} - L) * wl;
        }
        if (lean < 0.1f) {
            vec3 t = hr + d * (0.5f - 0.5f * lf) + o;
            float h = physics_ground_height_at(terrain_current, t.x, t.z);
            float w = util_clamp((0.5f - lean) * 2.5f, 0, 1);
            wr = 1 - w * k;
            R = R + (vec3{t.x, h + 0.125f, t.z} - R) * wr;
        }
    }
    if (n > 0) {
        int m = 2 * n - 128;
        float g = (float)(m < 1 ? 1 : m > 128 ? 128 : m) / 128.0f;
        L = L + (s->fall_points[0] - L) * g;
        R = R + (s->fall_points[2] - R) * g;
        wl = wr = 1;
    }
    *left_out = L;
    *right_out = R;
    if (left_weight) *left_weight = wl;
    if (right_weight) *right_weight = wr;
}

float physics_ground_height_at(const terrain_field *terrain, float x, float z) {
    if (!terrain || !terrain->heights || terrain->n <= 0) return 0.0f;
    float h = terrain_height_at(terrain, x, z);
    return std::isfinite(h) ? h : 0.0f;
}

float bike_body_tilt(dBodyID body) {
    if (!body) return 0.0f;
    const dReal *p = dBodyGetPosition(body);
    dVector3 up, fwd;
    dBodyGetRelPointPos(body, 0, 1, 0, up);
    dBodyGetRelPointPos(body, 0, 0, -1, fwd);
    double ux = up[0] - p[0], uz = up[2] - p[2], fx = fwd[0] - p[0], fz = fwd[2] - p[2];
    double h = std::sqrt(fx * fx + fz * fz);
    if (!(h >= 1e-6)) return 0.0f;
    double c = (uz * fx - ux * fz) / h;
    c = c < -1 ? -1 : c > 1 ? 1 : c;
    return (float)(std::acos(c) - 1.5707963267948966);
}

void bike_pull_horizontal(dBodyID body, float strength, vec3 target) {
    if (!body) return;
    const dReal *v = dBodyGetLinearVel(body);
    double dx = v[0] - target.x, dy = v[1] - target.y, dz = v[2] - target.z;
    double len2 = dx * dx + dy * dy + dz * dz;
    if (!(len2 >= 0.0625)) return;
    double len = std::sqrt(len2);
    double b = (len - 0.25) * 0.8;
    b = b < 0 ? 0 : b > 1 ? 1 : b;
    double k = -(b * strength / len);
    if (!std::isfinite(k)) return;
    dBodyAddForce(body, k * dx, 0, k * dz);
}
