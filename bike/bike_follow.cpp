// Riders driven from their history: records applied to a ghost's bodies or pulled toward by a
// solid rider's forces, the full-precision snapshot, and the rotation helpers they share.
#include <cmath>
#include <cstring>

#include "bike/packed_state.h"
#include "bike/rider.h"
#include "core/util.h"
#include "terrain/terrain.h"

void quat_to_matrix3(const float q[4], float m[9]) {
    float w = q[0], x = q[1], y = q[2], z = q[3];
    m[0] = 1 - 2 * (y * y + z * z), m[1] = 2 * (x * y - w * z), m[2] = 2 * (x * z + w * y);
    m[3] = 2 * (x * y + w * z), m[4] = 1 - 2 * (x * x + z * z), m[5] = 2 * (y * z - w * x);
    m[6] = 2 * (x * z - w * y), m[7] = 2 * (y * z + w * x), m[8] = 1 - 2 * (x * x + y * y);
}

static void matrix_of(const double q[4], double m[9]) {
    double w = q[0], x = q[1], y = q[2], z = q[3];
    m[0] = 1 - 2 * (y * y + z * z), m[1] = 2 * (x * y - w * z), m[2] = 2 * (x * z + w * y);
    m[3] = 2 * (x * y + w * z), m[4] = 1 - 2 * (x * x + z * z), m[5] = 2 * (y * z - w * x);
    m[6] = 2 * (x * z - w * y), m[7] = 2 * (y * z + w * x), m[8] = 1 - 2 * (x * x + y * y);
}

static double dot(const double a[3], const double b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

static void cross(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

static const double TINY2 = 1e-20;

void axis_angle_between(const double axis_in[3], const double v[3], const double d[3], double out[3]) {
    out[0] = out[1] = out[2] = 0;
    double a2 = dot(axis_in, axis_in);
    if (!(a2 >= TINY2)) return;
    double al = std::sqrt(a2), axis[3] = {axis_in[0] / al, axis_in[1] / al, axis_in[2] / al};
    double k = dot(v, axis), p[3] = {v[0] - k * axis[0], v[1] - k * axis[1], v[2] - k * axis[2]};
    double q[3] = {p[0] + d[0], p[1] + d[1], p[2] + d[2]};
    double p2 = dot(p, p), q2 = dot(q, q);
    if (!(p2 >= TINY2) || !(q2 >= TINY2)) return;
    double c[3];
    cross(axis, p, c);
    if (dot(c, d) < 0) axis[0] = -axis[0], axis[1] = -axis[1], axis[2] = -axis[2];
    double cosine = dot(p, q) / std::sqrt(p2 * q2);
    cosine = cosine < -1 ? -1 : cosine > 1 ? 1 : cosine;
    double angle = std::acos(cosine);
    if (!std::isfinite(angle)) return;
    for (int i = 0; i < 3; i++) out[i] = axis[i] * angle;
}

void angular_velocity_between(const double q0[4], const double q1[4], double out[3]) {
    out[0] = out[1] = out[2] = 0;
    double m0[9], m1[9];
    matrix_of(q0, m0);
    matrix_of(q1, m1);
    double axes[3][3], diffs[3][3];
    for (int k = 0; k < 3; k++)
        for (int i = 0; i < 3; i++) {
            axes[k][i] = m0[3 * i + k];
            diffs[k][i] = m1[3 * i + k] - m0[3 * i + k];
        }
    double candidates[3][3];
    cross(diffs[0], diffs[1], candidates[0]);
    cross(diffs[1], diffs[2], candidates[1]);
    cross(diffs[2], diffs[0], candidates[2]);
    int best = -1;
    double best2 = TINY2;
    for (int c = 0; c < 3; c++) {
        double l2 = dot(candidates[c], candidates[c]);
        if (std::isfinite(l2) && l2 > best2) best = c, best2 = l2;
    }
    if (best < 0) return;
    // The body axis farthest from the rotation axis measures the angle best.
    int k = 0;
    double most = -1;
    for (int j = 0; j < 3; j++) {
        double c[3];
        cross(candidates[best], axes[j], c);
        double l2 = dot(c, c);
        if (l2 > most) most = l2, k = j;
    }
    axis_angle_between(candidates[best], axes[k], diffs[k], out);
    for (int i = 0; i < 3; i++) out[i] *= 128.0;
}

// The rider's feet where the fall begins, with the rider body's velocity there.
static void capture_fall_points(rider_slot *s) {
    int counter = s->respawn_counter;
    s->respawn_counter = 0;
    vec3 l, r;
    rider_pose_points(s, &l, &r, nullptr, nullptr);
    s->respawn_counter = counter;
    dVector3 vl, vr;
    dBodyGetPointVel(bike_rider_body(s), l.x, l.y, l.z, vl);
    dBodyGetPointVel(bike_rider_body(s), r.x, r.y, r.z, vr);
    s->fall_points[0] = l;
    s->fall_points[1] = {(float)vl[0], (float)vl[1], (float)vl[2]};
    s->fall_points[2] = r;
    s->fall_points[3] = {(float)vr[0], (float)vr[1], (float)vr[2]};
}

static unsigned char gear_byte_of(const unsigned char *record, int version) {
    return record[version == 4 ? 23 : 36];
}

// What a slot was last posed between: the velocities from its older to its newer record, and
// the bodies as the newer record puts them, which the next pair's older record mostly is. A
// record's bodies depend on nothing but the record, its version, the bike row and the terrain's
// ranges; what else unpacking leaves (gear, throttle, engine) the current record sets again.
struct follow_memory {
    bool pair_known, newer_known;
    unsigned char older[PACKED_STATE_BYTES], newer[PACKED_STATE_BYTES];
    int n, version, row;
    double extent, min_height;
    double linear[BIKE_BODIES][3], angular[BIKE_BODIES][3];
    double positions[BIKE_BODIES][3], quaternions[BIKE_BODIES][4];   // the newer record's bodies
};
static follow_memory follow_memories[RIDER_SLOTS];

static follow_memory *memory_of(const rider_slot *s) {
    return s >= rider_table && s < rider_table + RIDER_SLOTS ? &follow_memories[s - rider_table] : nullptr;
}

// Whether the memory's newer record is this record, unpacked under the same conditions.
static bool same_newer(const follow_memory &m, const unsigned char *record, int version, int row,
                       const packed_ranges &r) {
    return m.newer_known && m.version == version && m.row == row && m.extent == r.extent &&
           m.min_height == r.min_height && memcmp(m.newer, record, PACKED_STATE_BYTES) == 0;
}

static void read_bodies(rider_slot *s, double positions[BIKE_BODIES][3], double quaternions[BIKE_BODIES][4]) {
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = bike_body_of(s, b);
        memcpy(positions[b], dBodyGetPosition(body), sizeof positions[b]);
        for (int i = 0; i < 4; i++) quaternions[b][i] = dBodyGetQuaternion(body)[i];
    }
}

// The velocities that take the bodies from the older record to the newer, n ticks later; the
// bodies are left as the newer record puts them. Remembered in m when plain.
static void velocities_between(rider_slot *s, follow_memory *m, bool plain, const unsigned char *older,
                               const unsigned char *newer, int n, int version, int row,
                               const packed_ranges &r, double linear[BIKE_BODIES][3],
                               double angular[BIKE_BODIES][3]) {
    double positions[BIKE_BODIES][3], quaternions[BIKE_BODIES][4];
    if (plain && m && same_newer(*m, older, version, row, r)) {
        memcpy(positions, m->positions, sizeof positions);
        memcpy(quaternions, m->quaternions, sizeof quaternions);
    } else {
        bike_unpack_state(s, older, version);
        read_bodies(s, positions, quaternions);
    }
    bike_unpack_state(s, newer, version);
    double now_positions[BIKE_BODIES][3], now_quaternions[BIKE_BODIES][4];
    read_bodies(s, now_positions, now_quaternions);
    double c = n > 1 ? n : 1;
    for (int b = 0; b < BIKE_BODIES; b++) {
        const double *p = now_positions[b];
        double seconds = c / 128.0;
        for (int i = 0; i < 3; i++) linear[b][i] = (p[i] - positions[b][i]) / seconds;
        double w[3];
        angular_velocity_between(quaternions[b], now_quaternions[b], w);
        for (int i = 0; i < 3; i++) angular[b][i] = w[i] / c;
    }
    if (!m) return;
    // Only a plain pair's unpacking is free of re-seating, which moves the rider's bodies.
    m->pair_known = m->newer_known = plain;
    if (!plain) return;
    memcpy(m->older, older, PACKED_STATE_BYTES);
    memcpy(m->newer, newer, PACKED_STATE_BYTES);
    m->n = n, m->version = version, m->row = row;
    m->extent = r.extent, m->min_height = r.min_height;
    memcpy(m->linear, linear, sizeof m->linear);
    memcpy(m->angular, angular, sizeof m->angular);
    memcpy(m->positions, now_positions, sizeof m->positions);
    memcpy(m->quaternions, now_quaternions, sizeof m->quaternions);
}

void bike_apply_packed_states(rider_slot *s, const unsigned char *current, const unsigned char *older,
                              const unsigned char *newer, int n, int version) {
    if (!bike_frame_body(s) || !current || !older || !newer) return;
    if (s->rider_presence > RIDER_PRESENCE_GHOST) {
        bike_pull_to_states(s, current, older, newer, n);
        return;
    }
    bool was_riding = s->respawn_counter == 0;
    // Plain: nobody respawning, so unpacking the older and newer records changes nothing that
    // unpacking the current one does not set again; their velocities can be remembered.
    bool plain = was_riding && (gear_byte_of(older, version) & 7) != 7 && (gear_byte_of(newer, version) & 7) != 7;
    follow_memory *m = memory_of(s);
    int row = bike_info_index(bike_row_of(s));
    packed_ranges r = bike_packed_ranges(s);
    double linear[BIKE_BODIES][3], angular[BIKE_BODIES][3];
    if (plain && m && m->pair_known && m->n == n && same_newer(*m, newer, version, row, r) &&
        memcmp(m->older, older, PACKED_STATE_BYTES) == 0) {
        memcpy(linear, m->linear, sizeof linear);
        memcpy(angular, m->angular, sizeof angular);
    } else {
        velocities_between(s, m, plain, older, newer, n, version, row, r, linear, angular);
    }
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = bike_body_of(s, b);
        dBodySetLinearVel(body, linear[b][0], linear[b][1], linear[b][2]);
        dBodySetAngularVel(body, angular[b][0], angular[b][1], angular[b][2]);
    }
    bike_unpack_state(s, current, version);
    // Never below the ground: the rear tyre's lowest point is lifted onto it.
    dVector3 down;
    dBodyVectorToWorld(bike_frame_body(s), 0, -s->rear_contact.ring_radius, 0, down);
    const dReal *rear = dBodyGetPosition(bike_body_of(s, BIKE_BODY_REAR_WHEEL));
    double px = rear[0] + down[0], py = rear[1] + down[1], pz = rear[2] + down[2];
    double g = physics_ground_height_at(terrain_current, (float)px, (float)pz);
    if (g > py)
        for (int b = 0; b < BIKE_BODIES; b++) {
            const dReal *p = dBodyGetPosition(bike_body_of(s, b));
            dBodySetPosition(bike_body_of(s, b), p[0], p[1] + (g - py), p[2]);
        }
    if (was_riding && s->respawn_counter > 0) capture_fall_points(s);
    unsigned char gb = gear_byte_of(current, version);
    if ((gb & 7) == 7 || (gb & 8)) {
        float f = s->controls.foot_down + 8.0f / 128;
        s->controls.foot_down = f > 1 ? 1 : f;
    }
}

static void limit_length(double v[3], double limit) {
    double l2 = dot(v, v);
    if (!std::isfinite(l2)) {
        v[0] = v[1] = v[2] = 0;
        return;
    }
    if (l2 > limit * limit) {
        double k = limit / std::sqrt(l2);
        for (int i = 0; i < 3; i++) v[i] *= k;
    }
}

void bike_pull_to_states(rider_slot *s, const unsigned char *cur, const unsigned char *older,
                         const unsigned char *newer, int n) {
    dBodyID frame = bike_frame_body(s);
    if (!frame || !cur || !older || !newer) return;
    packed_ranges r = bike_packed_ranges(s);
    packed_values c = packed_state_decode(cur, 5, r), o = packed_state_decode(older, 5, r),
                  w = packed_state_decode(newer, 5, r);
    float P = s->rider_presence;
    double K = 0, D = 0;
    if (P > 0.75f) {
    } else if (P > 0.5f) {
        double k = util_clamp((0.75f - P) * 4, 0, 1);
        K = 5000 * k, D = -500 * k;
    } else {
        double k = util_clamp((0.5f - P) * 2, 0, 1);
        K = 5000 + 45000 * k, D = -500;
    }
    double ticks = (n > 1 ? n : 1) / 128.0;
    if (K != 0 || D != 0) {
        const dReal *p = dBodyGetPosition(frame), *v = dBodyGetLinearVel(frame), *av = dBodyGetAngularVel(frame);
        double F[3], T[3], q[4], spin[3];
        for (int i = 0; i < 3; i++) {
            double target_v = (w.frame_position[i] - o.frame_position[i]) / ticks;
            F[i] = D * (v[i] - target_v) + K * (c.frame_position[i] - p[i]);
        }
        limit_length(F, 2500);
        dBodyAddForce(frame, F[0], F[1], F[2]);
        for (int i = 0; i < 4; i++) q[i] = dBodyGetQuaternion(frame)[i];
        angular_velocity_between(q, c.frame_quaternion, spin);
        for (int i = 0; i < 3; i++) T[i] = K * spin[i] / 128.0 + D * av[i];
        limit_length(T, 2500);
        dBodyAddTorque(frame, T[0], T[1], T[2]);
    }
    dJointID steering = bike_joint_of(s, BIKE_JOINT_STEERING);
    double a = dJointGetHingeAngle(steering), rate = dJointGetHingeAngleRate(steering);
    s->controls.steer = util_clamp((float)(0.25 * (c.steering - a - rate)), -1, 1);
    unsigned char g = c.gear_flags;
    if ((g & 7) == 7 && s->respawn_counter == 0) capture_fall_points(s);
    bike_apply_gear_flags(s, g);
    s->controls.sit_dab = s->respawn_counter > 0 ? 0.0f : (g & 8 ? 1.0f : 0.0f);
    if (s->respawn_counter > 0) {
        s->controls.lean = 0;
    } else {
        double m[9];
        double qn[4];
        double ql = std::sqrt(dot(c.frame_quaternion, c.frame_quaternion) + c.frame_quaternion[3] * c.frame_quaternion[3]);
        for (int i = 0; i < 4; i++) qn[i] = ql > 1e-12 ? c.frame_quaternion[i] / ql : (i == 0);
        matrix_of(qn, m);
        const bike_info *row = bike_row_of(s);
        double ey[3] = {m[1], m[4], m[7]}, ez[3] = {m[2], m[5], m[8]};
        double Y = dot(c.rider_offset, ey) - (bike_v(row, 184) - bike_v(row, 17));
        double Z = dot(c.rider_offset, ez) - (bike_v(row, 185) - bike_v(row, 18));
        s->controls.lean = util_clamp((float)(Z - Y * (0.5 + 0.5 * s->controls.sit_dab)), -1, 1);
    }
    s->engine_speed = (float)(c.rpm * 0.10471975511965977);
}

void bike_snapshot_write(rider_slot *s, float out[51]) {
    for (int i = 0; i < BIKE_SNAPSHOT_VALUES; i++) out[i] = 0;
    if (!bike_frame_body(s)) return;
    for (int b = 0; b < BIKE_BODIES; b++) {
        const dReal *p = dBodyGetPosition(bike_body_of(s, b)), *q = dBodyGetQuaternion(bike_body_of(s, b));
        for (int i = 0; i < 3; i++) out[7 * b + i] = (float)p[i];
        for (int i = 0; i < 4; i++) out[7 * b + 3 + i] = (float)q[i];
    }
    out[49] = s->controls.throttle;
    out[50] = s->engine_speed * RIDER_RPM_PER_RAD_S;
}

void bike_snapshot_read(rider_slot *s, const float in[51]) {
    if (!bike_frame_body(s)) return;
    for (int i = 0; i < BIKE_SNAPSHOT_VALUES; i++)
        if (!std::isfinite(in[i])) return;
    for (int b = 0; b < BIKE_BODIES; b++) {
        const float *q = in + 7 * b + 3;
        if (q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3] < 1e-12f) return;
    }
    int tick = bike_hooks.current_tick ? bike_hooks.current_tick() : 0;
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = bike_body_of(s, b);
        const float *p = in + 7 * b, *q = in + 7 * b + 3;
        double ql = std::sqrt((double)q[0] * q[0] + (double)q[1] * q[1] + (double)q[2] * q[2] + (double)q[3] * q[3]);
        double qn[4] = {q[0] / ql, q[1] / ql, q[2] / ql, q[3] / ql};
        if (tick > 0) {
            const dReal *now = dBodyGetPosition(body);
            dBodySetLinearVel(body, (p[0] - now[0]) * 128, (p[1] - now[1]) * 128, (p[2] - now[2]) * 128);
            double q0[4] = {dBodyGetQuaternion(body)[0], dBodyGetQuaternion(body)[1],
                            dBodyGetQuaternion(body)[2], dBodyGetQuaternion(body)[3]};
            double w[3];
            angular_velocity_between(q0, qn, w);
            dBodySetAngularVel(body, w[0], w[1], w[2]);
        }
        dBodySetPosition(body, p[0], p[1], p[2]);
        dQuaternion dq = {qn[0], qn[1], qn[2], qn[3]};
        dBodySetQuaternion(body, dq);
    }
    s->controls.throttle = s->respawn_counter > 0 ? 0.0f : util_clamp(in[49], 0, 1);
    s->engine_speed = (float)(in[50] * 0.10471975511965977);
}
