// Rider posing from body copies: the two-bone limb solver, the bone frames, the head's look and
// the skinning against the row's rest pose.
#include "present/pose.h"

#include <cmath>

static vec3 row_point(const bike_info *row, int at) {
    return {bike_v(row, at), bike_v(row, at + 1), bike_v(row, at + 2)};
}

static float length_of(vec3 v) {
    return std::sqrt(vec3_length2(v));
}

// v made unit, or the fallback when v is shorter than POSE_TINY (or not finite).
static vec3 unit_or(vec3 v, vec3 fallback) {
    float l = length_of(v);
    if (!(l >= POSE_TINY) || !std::isfinite(l)) return fallback;
    return v * (1.0f / l);
}

// v without its part along the unit u.
static vec3 across(vec3 v, vec3 u) {
    return v - u * vec3_dot(v, u);
}

body_pose body_pose_read(dBodyID body) {
    body_pose b = {{0, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}};
    if (!body) return b;
    const dReal *p = dBodyGetPosition(body), *r = dBodyGetRotation(body),
                *v = dBodyGetLinearVel(body);
    for (int i = 0; i < 3; i++) {
        b.position[i] = (float)p[i];
        b.velocity[i] = (float)v[i];
        for (int j = 0; j < 3; j++) b.rotation[3 * i + j] = (float)r[4 * i + j];
    }
    return b;
}

vec3 body_pose_vector(const body_pose &b, vec3 l) {
    const float *r = b.rotation;
    return {r[0] * l.x + r[1] * l.y + r[2] * l.z, r[3] * l.x + r[4] * l.y + r[5] * l.z,
            r[6] * l.x + r[7] * l.y + r[8] * l.z};
}

vec3 body_pose_point(const body_pose &b, vec3 l) {
    vec3 v = body_pose_vector(b, l);
    return {v.x + b.position[0], v.y + b.position[1], v.z + b.position[2]};
}

vec3 body_pose_axis(const body_pose &b, int k) {
    return {b.rotation[k], b.rotation[3 + k], b.rotation[6 + k]};
}

void draw_solve_limb(vec3 *middle, vec3 root, float a, vec3 target, float b, vec3 hint,
                     const limb_fallback &fallback) {
    vec3 d = target - root;
    float L = length_of(d);
    vec3 u = L >= POSE_TINY ? d * (1.0f / L) : unit_or(fallback.down, {0, -1, 0});
    // Never beyond 0.95 of the reach, never nearer than the bones can fold.
    float lo = std::fabs(a - b) + 1e-4f, hi = 0.95f * (a + b);
    if (!(L <= hi)) L = hi;
    if (!(L >= lo)) L = lo;
    float along = (a * a + L * L - b * b) / (2 * L);
    vec3 w = across(hint - root, u);
    if (!(length_of(w) >= POSE_TINY)) w = across(fallback.bend, u);
    if (!(length_of(w) >= POSE_TINY)) w = across(fallback.up, u);
    // Last resort: any direction across u.
    if (!(length_of(w) >= POSE_TINY)) w = across(std::fabs(u.x) < 0.9f ? vec3{1, 0, 0} : vec3{0, 1, 0}, u);
    w = unit_or(w, {0, 0, 1});
    float height = std::sqrt(std::fmax(0.0f, a * a - along * along));
    *middle = root + u * along + w * height;
}

void pose_frame(vec3 out[3], vec3 along, vec3 reference, const vec3 fallback[3]) {
    vec3 x = unit_or(along, fallback[0]);
    vec3 y = across(reference, x);
    for (int k = 1; k < 3 && !(length_of(y) >= POSE_TINY); k++) y = across(fallback[k], x);
    if (!(length_of(y) >= POSE_TINY)) y = across(fallback[0], x);
    y = unit_or(y, fallback[1]);
    out[0] = x;
    out[1] = y;
    out[2] = vec3_cross(x, y);
}

// Both arms: roots at the shoulders, targets at the grips the upper fork carries.
static void pose_arms(rider_pose *p, const bike_info *row, const body_pose &rider,
                      const body_pose &fork, float throttle) {
    vec3 ax[3] = {body_pose_axis(rider, 0), body_pose_axis(rider, 1), body_pose_axis(rider, 2)};
    vec3 shoulder_local[2] = {row_point(row, 588), row_point(row, 591)};
    for (int k = 0; k < 2; k++) {
        p->shoulder[k] = body_pose_point(rider, shoulder_local[k]);
        p->grip[k] = body_pose_point(fork, row_point(row, 572 + 3 * k));
    }
    float upper = bike_v(row, 584), fore = bike_v(row, 585);
    float dy = p->shoulder[1].y - p->shoulder[0].y;
    vec3 g = p->grip[1] - p->grip[0];
    if (!std::isfinite(throttle)) throttle = 0;
    vec3 hint[2] = {
        body_pose_point(rider, shoulder_local[0] +
                                   vec3{-0.5f, -(1 + 1.5f * std::fmax(0.0f, dy)), 2}) - g,
        body_pose_point(rider, shoulder_local[1] +
                                   vec3{0.5f,
                                        -(0.9f + 1.5f * std::fmax(0.0f, -dy) + 0.125f * throttle),
                                        2}) + g};
    // The reference of the upper arms: from the row's reference point to the shoulder, in the
    // rider's centre plane.
    vec3 ref_local = row_point(row, 609);
    limb_fallback fb = {-ax[1], ax[2], ax[1]};
    const vec3 fallback[3] = {ax[1], ax[0], ax[2]};
    for (int k = 0; k < 2; k++) {
        draw_solve_limb(&p->elbow[k], p->shoulder[k], upper, p->grip[k], fore, hint[k], fb);
        int ub = k ? POSE_RIGHT_UPPER_ARM : POSE_LEFT_UPPER_ARM;
        vec3 r = shoulder_local[k] - ref_local;
        r.x = 0;
        pose_frame(p->axes[ub], p->shoulder[k] - p->elbow[k], body_pose_vector(rider, r), fallback);
        p->root[ub] = p->shoulder[k];
        vec3 bar = p->grip[k] - p->grip[1 - k];
        pose_frame(p->axes[ub + 1], p->elbow[k] - p->grip[k], bar, fallback);
        p->root[ub + 1] = p->elbow[k];
    }
}

// Both legs: roots at the hips on the rider body, targets at the foot anchors.
static void pose_legs(rider_pose *p, const bike_info *row, const body_pose &rider,
                      const vec3 feet[2]) {
    vec3 ax[3] = {body_pose_axis(rider, 0), body_pose_axis(rider, 1), body_pose_axis(rider, 2)};
    float thigh = bike_v(row, 586), shin = bike_v(row, 587);
    vec3 hip_local[2] = {row_point(row, 566), row_point(row, 569)};
    for (int k = 0; k < 2; k++) p->hip[k] = body_pose_point(rider, hip_local[k]);
    vec3 hips = p->hip[1] - p->hip[0];
    limb_fallback fb = {-ax[1], -ax[2], ax[1]};
    const vec3 fallback[3] = {ax[1], ax[0], ax[2]};
    for (int k = 0; k < 2; k++) {
        p->foot[k] = feet[k];
        vec3 hint = body_pose_point(rider, hip_local[k] + vec3{k ? 0.5f : -0.5f, 0, -2});
        draw_solve_limb(&p->knee[k], p->hip[k], thigh, feet[k], shin, hint, fb);
        int tb = k ? POSE_RIGHT_THIGH : POSE_LEFT_THIGH;
        pose_frame(p->axes[tb], p->hip[k] - p->knee[k], hips, fallback);
        p->root[tb] = p->hip[k];
        pose_frame(p->axes[tb + 1], p->knee[k] - feet[k], hips, fallback);
        p->root[tb + 1] = p->knee[k];
    }
}

void rider_pose_head(vec3 *position, float rotation[9], const bike_info *row,
                     const body_pose &rider) {
    *position = body_pose_point(rider, row_point(row, 557));
    vec3 x = body_pose_axis(rider, 0), y = body_pose_axis(rider, 1), z = body_pose_axis(rider, 2);
    vec3 v = {rider.velocity[0], rider.velocity[1], rider.velocity[2]};
    if (!std::isfinite(vec3_length2(v))) v = {0, 0, 0};
    float vz = vec3_dot(v, z);
    if (vz >= 0) v = v - z * vz;
    vec3 w = z - v;
    float w2 = vec3_length2(w);
    if (w2 < 1024) w = z + (w - z) * (std::sqrt(w2) / 32);
    float h = std::sqrt(w.x * w.x + w.z * w.z);
    vec3 b = unit_or({w.x, std::fmax(h * (60 - h) * 0.0058333f, 0.0f) + h / 4, w.z}, z);
    const float n = 0.5547002f;
    vec3 r1 = (1.5f * y - z) * n, r2 = (1.5f * y + z) * n;
    vec3 up = {0, 1, 0}, u = up;
    float du = length_of(up - r1);
    if (du > 0.5f) u = r1 + (up - r1) * (0.5f / du);
    float s = vec3_dot(b, r1);
    b = b + r1 * (2 * s);
    float db = length_of(b - r2);
    if (db > 0.75f) b = r2 + (b - r2) * (0.75f / db);
    s = vec3_dot(b, r1);
    b = b - r1 * s + r1 * (s / 3);
    vec3 a2 = unit_or(b, z);
    vec3 a0 = unit_or(vec3_cross(u, a2), unit_or(across(x, a2), unit_or(across(y, a2), z)));
    vec3 a1 = vec3_cross(a2, a0);
    vec3 axes[3] = {a0, a1, a2};
    for (int c = 0; c < 3; c++) {
        rotation[c] = axes[c].x;
        rotation[3 + c] = axes[c].y;
        rotation[6 + c] = axes[c].z;
    }
}

void rider_pose_compute(rider_pose *out, const bike_info *row, const body_pose bodies[7],
                        const vec3 feet[2], float throttle) {
    const body_pose &rider = bodies[BIKE_BODY_RIDER];
    pose_arms(out, row, rider, bodies[BIKE_BODY_FORK_UPPER], throttle);
    pose_legs(out, row, rider, feet);
    vec3 ax[3] = {body_pose_axis(rider, 0), body_pose_axis(rider, 1), body_pose_axis(rider, 2)};
    const vec3 fallback[3] = {ax[0], ax[1], ax[2]};
    vec3 spine = body_pose_vector(rider, row_point(row, 606) - row_point(row, 603));
    pose_frame(out->axes[POSE_TORSO], ax[0], spine, fallback);
    out->root[POSE_TORSO] = body_pose_point(rider, row_point(row, 600));
    rider_pose_head(&out->head_position, out->head_rotation, row, rider);
}

const rider_pose *rider_rest_pose(const bike_info *row) {
    static rider_pose poses[BIKE_INFO_ROWS];
    static bool made[BIKE_INFO_ROWS];
    int i = bike_info_index(row);
    if (i < 0 || i >= BIKE_INFO_ROWS) return nullptr;
    if (made[i]) return &poses[i];
    // The bodies where a reset puts them: at their rest positions, unturned, still.
    static const int REST[BIKE_BODIES] = {16, 0, 8, 23, 32, 26, 183};
    body_pose bodies[BIKE_BODIES];
    for (int k = 0; k < BIKE_BODIES; k++) {
        bodies[k] = body_pose_read(nullptr);
        for (int j = 0; j < 3; j++) bodies[k].position[j] = bike_v(row, REST[k] + j);
    }
    vec3 feet[2] = {body_pose_point(bodies[BIKE_BODY_FRAME], row_point(row, 578)),
                    body_pose_point(bodies[BIKE_BODY_FRAME], row_point(row, 581))};
    rider_pose &p = poses[i];
    rider_pose_compute(&p, row, bodies, feet, 0);
    // Into rider-body coordinates (the rest rider body is unturned).
    vec3 o = row_point(row, 183);
    for (int b = 0; b < POSE_BONES; b++) p.root[b] = p.root[b] - o;
    for (int k = 0; k < 2; k++) {
        vec3 *joints[] = {&p.shoulder[k], &p.elbow[k], &p.grip[k], &p.hip[k], &p.knee[k], &p.foot[k]};
        for (vec3 *j : joints) *j = *j - o;
    }
    p.head_position = p.head_position - o;
    made[i] = true;
    return &p;
}

void rider_pose_skin(rider_skin *out, const rider_pose &pose, const rider_pose &rest,
                     const body_pose &rider) {
    vec3 m[3] = {body_pose_axis(rider, 0), body_pose_axis(rider, 1), body_pose_axis(rider, 2)};
    vec3 origin = {rider.position[0], rider.position[1], rider.position[2]};
    for (int b = 0; b < POSE_BONES; b++) {
        vec3 t = pose.root[b] - origin;
        float rel[3] = {vec3_dot(m[0], t), vec3_dot(m[1], t), vec3_dot(m[2], t)};
        float c[3] = {rest.root[b].x, rest.root[b].y, rest.root[b].z};
        for (int i = 0; i < 3; i++) {
            out->centres[3 * b + i] = c[i];
            out->translations[3 * b + i] = rel[i];
        }
        // R = M^T F F0^T: R[i][j] = sum over k of (rider axis i . bone axis k) x rest axis k's j.
        for (int i = 0; i < 3; i++) {
            float mf[3];
            for (int k = 0; k < 3; k++) mf[k] = vec3_dot(m[i], pose.axes[b][k]);
            for (int j = 0; j < 3; j++) {
                float sum = 0;
                for (int k = 0; k < 3; k++) {
                    const vec3 &r = rest.axes[b][k];
                    sum += mf[k] * (j == 0 ? r.x : j == 1 ? r.y : r.z);
                }
                out->rotations[9 * b + 3 * j + i] = sum;
            }
        }
    }
}

int rider_display_tilt(body_pose *rider, const bike_info *row, const body_pose &fork_upper) {
    vec3 chest = body_pose_point(*rider, row_point(row, 594));
    vec3 bar = body_pose_point(fork_upper, row_point(row, 597));
    float d = length_of(chest - bar);
    if (!(d < 1.25f)) return 0;
    float k = std::fmin(1.25f - d, 1.0f);
    vec3 x = body_pose_axis(*rider, 0), y = body_pose_axis(*rider, 1), z = body_pose_axis(*rider, 2);
    vec3 hip_local = row_point(row, 566);
    vec3 hip = body_pose_point(*rider, hip_local);
    vec3 y1 = unit_or(y + z * (0.375f * k), y);
    vec3 z1 = vec3_cross(x, y1);
    vec3 y2 = vec3_cross(z1, x);
    vec3 cols[3] = {x, y2, z1};
    for (int c = 0; c < 3; c++) {
        rider->rotation[c] = cols[c].x;
        rider->rotation[3 + c] = cols[c].y;
        rider->rotation[6 + c] = cols[c].z;
    }
    vec3 moved = body_pose_vector(*rider, hip_local);
    rider->position[0] = hip.x - moved.x;
    rider->position[1] = hip.y - moved.y;
    rider->position[2] = hip.z - moved.z;
    return 1;
}
