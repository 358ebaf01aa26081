// Balance: the automatic dab, dabbing and the push that holds a slow bike up, the joint-force
// correction, and the rider's foot points.
#include <algorithm>
#include <cmath>

#include "bike/bike_step.h"
#include "bike/contact.h"
#include "bike/riding.h"
#include "core/util.h"
#include "terrain/terrain.h"

static const float PI_F = 3.14159265358979f;

static vec3 to_vec3(const dReal *v) {
    return {(float)v[0], (float)v[1], (float)v[2]};
}

static vec3 row_point(const bike_info *row, int at) {
    return {bike_v(row, at), bike_v(row, at + 1), bike_v(row, at + 2)};
}

static bool both_wheels_touch(const rider_slot *s) {
    return s->front_contact.contact_depth > 0 && s->rear_contact.contact_depth > 0;
}

// The frame's roll rate about its own z axis.
static float roll_rate(dBodyID frame) {
    const dReal *w = dBodyGetAngularVel(frame);
    dVector3 b;
    dBodyVectorFromWorld(frame, w[0], w[1], w[2], b);
    return (float)b[2];
}

void rider_auto_dab(rider_slot *s) {
    dBodyID frame = bike_frame_body(s);
    if (!frame || !(s->setup_flags & SETUP_AUTO_DAB)) return;
    float e = s->max_dab_speed;
    if (s->rider_contact_timer <= -512) e = std::max(e, 75.0f);
    vec3 v = to_vec3(dBodyGetLinearVel(frame));
    float s2 = vec3_length2(v);
    if (!(s2 <= e * e)) return;
    float speed = sqrtf(s2);
    // The lean counts at every speed: a slow bike leaning far dabs too.
    float t = bike_body_tilt(frame);
    if (s2 > RIDING_DAB_SPEED * RIDING_DAB_SPEED) {
        float q = util_clamp((speed - RIDING_DAB_SPEED) / RIDING_DAB_SPEED, 0, 1);
        if (std::fabs(t) < q * PI_F / 4) return;
    }
    rider_controls &c = s->controls;
    bool slow = s2 < RIDING_LOW_SPEED * RIDING_LOW_SPEED;
    if (!(c.throttle == 0 || c.clutch == 0 || slow || std::fabs(t) > PI_F / 16)) return;
    float b = e > 0 ? util_clamp((speed - e) / (0 - e), 0, 1) : 0.0f;
    c.sit_dab = util_clamp(s->respawn_counter < 1 ? std::max(c.sit_dab, b) : 0, 0, 1);
    if (slow && (c.throttle == 0 || c.clutch == 0) && both_wheels_touch(s)) {
        c.front_brake = 1;
        c.rear_brake = 1;
        bike_pull_horizontal(frame, 1000, {0, 0, 0});
    }
}

enum realign_result { REALIGN_NONE, REALIGN_BALANCE, REALIGN_DONE };

// A stopped bike lying over is turned toward the track: a one-tick motor about the world's up
// axis. Outside the cone ahead the wheels are lifted by the bike's weight and the turn is all
// (REALIGN_DONE); inside it the motor weakens as the bike lines up and the balance follows.
static realign_result rider_realign(rider_slot *s) {
    if (!bike_hooks.realign_allowed || !bike_hooks.realign_allowed(s)) return REALIGN_NONE;
    if (!(s->setup_flags & SETUP_AUTO_ALIGN) || !(s->controls.back_up <= 0.125f)) return REALIGN_NONE;
    float target[3];
    if (!bike_hooks.align_target || !bike_hooks.align_target(s, 0, target)) return REALIGN_NONE;
    dBodyID frame = bike_frame_body(s);
    const dReal *R = dBodyGetRotation(frame);
    vec3 z = {(float)R[2], 0, (float)R[10]};
    float len2 = vec3_length2(z);
    if (!(len2 > 1.0f / 1024)) return REALIGN_NONE;
    z = z * (1.0f / sqrtf(len2));
    const dReal *p = dBodyGetPosition(frame);
    vec3 d = {target[0] - (float)p[0], target[1] - (float)p[1], target[2] - (float)p[2]};
    float ahead = -vec3_dot(d, z);
    float side = d.x * z.z - d.z * z.x;
    float rate = s->rider_contact_timer < 0 ? PI_F : PI_F / 2;
    float most = 320 * s->total_mass;
    bool outside = !(ahead > 0) || std::fabs(side) >= 0.25f * ahead;
    float fmax = outside ? most : std::fabs(side) / (0.25f * ahead) * most;
    bike_frame_amotor(s, {0, 1, 0}, side >= 0 ? -rate : rate, fmax);
    if (!outside) return REALIGN_BALANCE;
    const float weight = 32 * s->total_mass;
    if (s->front_contact.contact_depth > 0)
        bike_add_force(s, bike_body_of(s, BIKE_BODY_FRONT_WHEEL), {0, weight, 0});
    if (s->rear_contact.contact_depth > 0)
        bike_add_force(s, bike_body_of(s, BIKE_BODY_REAR_WHEEL), {0, weight, 0});
    return REALIGN_DONE;
}

// The lean still allowed before the balance push acts, at frame speed v.
static float allowed_lean(const rider_slot *s, float v) {
    float m = s->max_dab_speed;
    float A;
    if (v <= 0)
        A = 0;
    else if (v >= m)
        A = 2 * PI_F;
    else if (v <= RIDING_DAB_SPEED)
        A = (1 - powf(1 - util_clamp(v * v / (m * m), 0, 1), 32)) * s->roll_limit_angle;
    else
        A = s->roll_limit_angle + (2 * PI_F - s->roll_limit_angle) *
                                      (v * v - RIDING_DAB_SPEED * RIDING_DAB_SPEED) /
                                      (m * m - RIDING_DAB_SPEED * RIDING_DAB_SPEED);
    return 1.25f * A;
}

void rider_balance(rider_slot *s) {
    dBodyID frame = bike_frame_body(s), rider = bike_rider_body(s);
    if (!frame || !rider) return;
    const float h = RIDING_TICK;
    rider_controls &c = s->controls;
    if (s->respawn_counter > 0) {
        c.foot_down = std::min(1.0f, c.foot_down + 8 * h);
        return;
    }
    if (c.sit_dab == 0) return;
    const bike_info *row = bike_row_of(s);
    if (s->front_contact.contact_depth <= 0) {
        vec3 p, n;
        float depth;
        if (!terrain_current ||
            !collide_sphere_terrain(terrain_current, to_vec3(dBodyGetPosition(rider)),
                                    bike_v(row, 184) + 1, &p, &n, &depth))
            return;
    }
    float e = s->max_dab_speed;
    if (s->rider_contact_timer <= -512) e = std::max(e, 75.0f);
    float v = sqrtf(vec3_length2(to_vec3(dBodyGetLinearVel(frame))));
    if (!(v <= e)) return;
    float t = bike_body_tilt(frame);
    if (v > RIDING_DAB_SPEED && !(both_wheels_touch(s) && std::fabs(t) >= 0.5890486225480862f))
        return;
    c.foot_down = std::min(1.0f, c.foot_down + 8 * h);
    if (s->arcade) return;
    if (v >= RIDING_LOW_SPEED) {
        if (s->rider_contact_timer > 0) return;
    } else if (std::fabs(t) > PI_F / 8 && std::fabs(t) < 1.0995574287564276f) {
        if (rider_realign(s) == REALIGN_DONE) return;
    }

    float z = roll_rate(frame);
    float w = t >= 0 ? -PI_F / 8 : PI_F / 8;
    if ((s->setup_flags & SETUP_AUTO_DAB) && s->rider_contact_timer < 0) w *= 3;
    if (std::fabs(t) < PI_F / 16) w *= std::fabs(t) * 16 / PI_F;
    float F = 0;
    if (w > 0 && w > z) F = -400;
    else if (w < 0 && w < z) F = 400;
    if (std::fabs(t) < PI_F / 32) F *= std::fabs(t) * 32 / PI_F;
    if (c.back_up < 0.125f || v > RIDING_LOW_SPEED) {
        float A = allowed_lean(s, v);
        float steer = w >= 0 ? -c.steer : c.steer;
        float k = util_clamp(2 * (steer - 0.5f), 0, 1);
        float q = util_clamp((std::fabs(t) - A) / 0.25f, 0, 1);
        F *= q + (1 - q) * k;
        if (v > RIDING_LOW_SPEED) F *= s->steering_aux;
    }
    if (F == 0) return;
    dVector3 up, side;
    dBodyVectorToWorld(frame, 0, 1, 0, up);
    if (up[1] >= 0.707) {
        bike_add_force_at_rel_pos(s, frame, {0, 0.125f * std::fabs(F), 0}, {0, 4, 0});
        dBodyVectorToWorld(frame, F, 0, 0, side);
        bike_add_force_at_rel_pos(s, frame, to_vec3(side), {0, 4, 0});
    } else {
        bike_add_force_at_rel_pos(s, frame, {0, std::fabs(F), 0}, {0, 4, 0});
    }
}

void bike_joint_force_correction(rider_slot *s) {
    dBodyID frame = bike_frame_body(s);
    if (!frame || s->respawn_counter > 0) return;
    if (bike_current_tick() < 2) return;
    const dReal *p = dBodyGetPosition(frame);
    double F[3] = {0, 0, 0}, T[3] = {0, 0, 0};
    for (int k = 0; k < BIKE_JOINTS; k++) {
        dJointID j = bike_joint_of(s, BIKE_JOINT_FRONT_AXLE + k);
        dBodyID b1 = dJointGetBody(j, 0), b2 = dJointGetBody(j, 1);
        if (!b1 || !b2) return;
        const dJointFeedback &f = s->joint_feedback[k];
        const dReal *c1 = dBodyGetPosition(b1), *c2 = dBodyGetPosition(b2);
        double r1[3] = {c1[0] - p[0], c1[1] - p[1], c1[2] - p[2]};
        double r2[3] = {c2[0] - p[0], c2[1] - p[1], c2[2] - p[2]};
        for (int i = 0; i < 3; i++) {
            int a = (i + 1) % 3, b = (i + 2) % 3;
            F[i] += f.f1[i] + f.f2[i];
            T[i] += f.t1[i] + f.t2[i] + (r1[a] * f.f1[b] - r1[b] * f.f1[a]) +
                    (r2[a] * f.f2[b] - r2[b] * f.f2[a]);
        }
    }
    bike_add_force(s, frame, {(float)-F[0], (float)-F[1], (float)-F[2]});
    bike_add_torque(s, frame, {(float)-T[0], (float)-T[1], (float)-T[2]});
}

// A lying rider's foot: falls free, stops on the ground, and stays within reach of its hip
// and below it.
static void free_foot(rider_slot *s, vec3 *pos, vec3 *vel, vec3 hip_local, float leg) {
    const float h = RIDING_TICK;
    dBodyID rider = bike_rider_body(s);
    *pos = *pos + *vel * h;
    vel->y -= 32 * h;
    float ground = physics_ground_height_at(terrain_current, pos->x, pos->z) + 0.25f;
    if (pos->y < ground) {
        pos->y = ground;
        *vel = {0, 0, 0};
    }
    *vel = *vel * 0.9375f;
    dVector3 hw, hv, down;
    dBodyGetRelPointPos(rider, hip_local.x, hip_local.y, hip_local.z, hw);
    dBodyGetRelPointVel(rider, hip_local.x, hip_local.y, hip_local.z, hv);
    dBodyVectorToWorld(rider, 0, -1, 0, down);
    vec3 hip = to_vec3(hw), hip_v = to_vec3(hv), dn = to_vec3(down);
    vec3 r = *pos - hip;
    float len = sqrtf(vec3_length2(r));
    if (len > leg && len > 0) {
        vec3 u = r * (1.0f / len);
        *pos = hip + u * leg;
        *vel = *vel - u * vec3_dot(*vel, u) + u * vec3_dot(hip_v, u);
    }
    float below = vec3_dot(*pos - hip, dn);
    if (below < 1) {
        *pos = *pos + dn * (1 - below);
        vec3 body_v = to_vec3(dBodyGetLinearVel(rider));
        *vel = *vel - dn * vec3_dot(*vel, dn) + dn * vec3_dot(body_v, dn);
        // Pushed down, the foot may have left the leg's reach: keep the depth below the hip
        // and shorten the sideways part.
        vec3 q = *pos - hip;
        float depth = std::max(1.0f, vec3_dot(q, dn));
        vec3 side = q - dn * depth;
        float s2 = vec3_length2(side), room = leg * leg - depth * depth;
        if (depth * depth + s2 > leg * leg && room >= 0 && s2 > 0)
            *pos = hip + dn * depth + side * sqrtf(room / s2);
    }
    if (!std::isfinite(pos->x) || !std::isfinite(pos->y) || !std::isfinite(pos->z) ||
        !std::isfinite(vel->x) || !std::isfinite(vel->y) || !std::isfinite(vel->z)) {
        *pos = hip + dn;
        *vel = {0, 0, 0};
    }
}

void rider_update_pose(rider_slot *s) {
    dBodyID rider = bike_rider_body(s);
    if (!rider) return;
    const float h = RIDING_TICK;
    s->controls.foot_down = std::max(0.0f, s->controls.foot_down - 4 * h);
    if (s->respawn_counter < 1) {
        vec3 left, right;
        rider_pose_points(s, &left, &right, nullptr, nullptr);
        dVector3 v;
        s->fall_points[0] = left;
        dBodyGetPointVel(rider, left.x, left.y, left.z, v);
        s->fall_points[1] = to_vec3(v);
        s->fall_points[2] = right;
        dBodyGetPointVel(rider, right.x, right.y, right.z, v);
        s->fall_points[3] = to_vec3(v);
        return;
    }
    const bike_info *row = bike_row_of(s);
    float leg = bike_v(row, 586) + bike_v(row, 587);
    free_foot(s, &s->fall_points[0], &s->fall_points[1], row_point(row, 566), leg);
    free_foot(s, &s->fall_points[2], &s->fall_points[3], row_point(row, 569), leg);
}
