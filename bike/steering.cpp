// Steering: the torque about the steering axis from the steer input, the bike's lean and roll,
// and the front wheel's travel, in the normal and the arcade physics.
#include <algorithm>
#include <cmath>

#include "bike/bike_step.h"
#include "bike/contact.h"
#include "bike/physics.h"
#include "bike/riding.h"
#include "core/util.h"
#include "terrain/terrain.h"

static const float QUARTER_PI = 0.7853981633974483f;
static const float PI_F = 3.14159265358979f;

static vec3 to_vec3(const dReal *v) {
    return {(float)v[0], (float)v[1], (float)v[2]};
}

// The steering axis in the bike's own coordinates: from the lower fork's rest position to the
// upper's, unit length.
static vec3 steering_axis(const bike_info *row) {
    vec3 k = {bike_v(row, 23) - bike_v(row, 32), bike_v(row, 24) - bike_v(row, 33),
              bike_v(row, 25) - bike_v(row, 34)};
    float len = sqrtf(vec3_length2(k));
    if (!(len > 1e-6f)) return {0, 1, 0};
    return k * (1.0f / len);
}

void bike_steer_torque(rider_slot *s, float torque) {
    dBodyID frame = bike_frame_body(s), wheel = bike_body_of(s, BIKE_BODY_FRONT_WHEEL);
    if (!frame || !wheel) return;
    vec3 k = steering_axis(bike_row_of(s));
    dVector3 a;
    dBodyVectorToWorld(frame, k.x, k.y, k.z, a);
    vec3 t = vec3{(float)a[0], (float)a[1], (float)a[2]} * torque;
    bike_add_torque(s, wheel, t);
    bike_add_torque(s, frame, t * -1.0f);
}

float bike_front_travel_angle(rider_slot *s) {
    dBodyID wheel = bike_body_of(s, BIKE_BODY_FRONT_WHEEL), upper = bike_body_of(s, BIKE_BODY_FORK_UPPER);
    if (!wheel || !upper) return 0;
    const dReal *v = dBodyGetLinearVel(wheel);
    dVector3 b;
    dBodyVectorFromWorld(upper, v[0], v[1], v[2], b);
    vec3 k = steering_axis(bike_row_of(s));
    float x = (float)b[0];
    float f = (float)(-k.z * b[1] + k.y * b[2]);
    if (!(x * x + f * f > 1)) return 0;
    return -atan2f(x, -f);
}

float bike_steering_response(rider_slot *s, float target) {
    dJointID j = bike_joint_of(s, BIKE_JOINT_STEERING);
    if (!j || !std::isfinite(target)) return 0;
    float a = (float)dJointGetHingeAngle(j), r = (float)dJointGetHingeAngleRate(j);
    float e = target - a, d;
    if (e < -0.25f) {
        d = -1.75f - r;
    } else {
        e = std::min(e, 0.25f);
        if (std::fabs(e) <= 1.0f / 32)
            d = -r;
        else
            d = 8 * (e - (e > 0 ? 1.0f / 32 : -1.0f / 32)) - r;
    }
    const float creep = 0.0004166666666666667f;
    float moved = d > 0 ? d - creep : d + creep;
    if ((d > 0) != (moved > 0) || d == 0) return 0;
    return std::clamp(moved * 0.5f, -2.0f / 3, 2.0f / 3);
}

// The front wheel's first friction coefficient from the tile under its centre, at least 1/8.
static float front_friction(vec3 centre) {
    if (!terrain_current) return 1;
    float f0 = contact_tile_kind(terrain_current, centre).friction_a[0];
    return std::isfinite(f0) ? std::max(f0, 0.125f) : 1.0f;
}

// The greatest lock the bars may take at the front wheel's ground speed s.
float bike_lock_angle(const rider_slot *s, float speed, vec3 centre) {
    float full = s->full_lock_speed;
    float F = std::max(full + 1, s->restricted_lock_speed);
    double den = 1.0 / full - 1.0 / F;
    float w;
    if (std::isfinite(den) && den > 0)
        w = util_clamp((float)((1.0 / std::max(1.0f, speed) - 1.0 / F) / den), 0, 1);
    else
        w = speed <= full ? 1.0f : 0.0f;
    float R = std::min(s->restricted_lock / front_friction(centre), QUARTER_PI);
    if (!std::isfinite(R)) R = QUARTER_PI;
    return R + (QUARTER_PI - R) * w;
}

// How far the share a of the travel past grip p is between lo and hi; a lock of 0 (no room
// between them) gives all or nothing.
static float past_grip(float travel, float lo, float hi) {
    if (!(hi - lo >= 1e-6f)) return travel > lo ? 1.0f : 0.0f;
    return util_clamp((travel - lo) / (hi - lo), 0, 1);
}

void bike_steering(rider_slot *s) {
    s->steering_aux = 0;
    dBodyID frame = bike_frame_body(s);
    if (!frame || s->respawn_counter > 0) return;
    const bike_info *row = bike_row_of(s);
    const float h = RIDING_TICK;
    float upper = s->max_steering_force, lower = -s->max_steering_force;
    float Td = s->steering_strength * s->controls.steer * s->direct_steering;

    float axle_rate = (float)dJointGetHingeAngleRate(bike_joint_of(s, BIKE_JOINT_FRONT_AXLE));
    float speed = axle_rate * (bike_v(row, 3) + bike_v(row, 4));
    float t = bike_body_tilt(frame);
    float b = (float)dJointGetHingeAngle(bike_joint_of(s, BIKE_JOINT_STEERING));
    float g = bike_front_travel_angle(s);
    vec3 centre = to_vec3(dBodyGetPosition(bike_body_of(s, BIKE_BODY_FRONT_WHEEL)));
    float L = bike_lock_angle(s, speed, centre);

    float c = centre.y - physics_ground_height_at(terrain_current, centre.x, centre.z) -
              bike_v(row, 3) - bike_v(row, 4);
    if (speed > 1 && c < 0.5f) {
        float L2 = L + (QUARTER_PI - L) * util_clamp(2 * c, 0, 1);
        float knee = 1.125f * L2 + 0.015f;
        if (g > L2) lower *= 1.25f * util_clamp((g - knee) / (L2 - knee), 0, 1) - 0.25f;
        if (g < -L2) upper *= 1.25f * util_clamp((g + knee) / (knee - L2), 0, 1) - 0.25f;
    }

    float D;
    if (s->front_contact.contact_depth <= 0 || axle_rate <= QUARTER_PI) {
        s->land_damping_scale = s->land_damping_factor;
        D = -50 * b;
        if (!(s->setup_flags & SETUP_AIR_STEERING)) Td = 0;
    } else {
        dVector3 w;
        const dReal *aw = dBodyGetAngularVel(frame);
        dBodyVectorFromWorld(frame, aw[0], aw[1], aw[2], w);
        float z = (float)w[2];
        D = z * s->roll_damping * s->land_damping_scale;
        if (s->land_damping_scale > 1) {
            if (s->land_damping_falloff > 0)
                s->land_damping_scale -= (s->land_damping_factor - 1) * h / s->land_damping_falloff;
            else
                s->land_damping_scale = 1;
            if (!(s->land_damping_scale >= 1)) s->land_damping_scale = 1;
        }
        float P = t * s->leveling;
        float v = sqrtf(vec3_length2(to_vec3(dBodyGetLinearVel(frame))));
        if (v < s->slow_damping_speed) {
            float m = s->slow_damping_factor +
                      (1 - s->slow_damping_factor) * util_clamp(v / s->slow_damping_speed, 0, 1);
            P *= m;
            D *= m;
        }
        if ((z > 0) == (t > 0) && z != 0 && std::fabs(t) > s->roll_limit_angle)
            D *= 1 + (std::fabs(t) - s->roll_limit_angle) * s->roll_limit_factor;
        D += P;
        if (s->direct_steering < 1) {
            float e = -s->controls.steer * s->roll_limit_angle - t;
            float cap = e * t < 0 ? 9.817477226257324f : 3.9269909858703613f;
            float y = std::clamp(2.5f * e, -cap, cap);
            float u = util_clamp(4 * (z - (y - std::clamp(y - z, -0.125f, 0.125f))), -1, 1);
            Td = (Td - s->steering_strength * u) * s->direct_steering + s->steering_strength * u;
        }
    }
    if (s->rider_contact_timer > 0) {
        float m = 200 * util_clamp((64 - s->rider_contact_timer) / 64, 0, 1);
        D = std::clamp(D, -m, m);
    }
    float T = 1.5f * (Td + D);
    T = std::max(lower, std::min(upper, T));
    bike_steer_torque(s, T);

    float p = util_clamp((speed - 5) / 10, 0, 1);
    float lo = 0.25f * p * L, hi = (0.625f * p + 0.125f) * L;
    float a1, a2;
    if (t >= 0) {
        a1 = past_grip(-g, lo, hi);
        a2 = util_clamp((b - PI_F / 12) * 12 / PI_F, 0, 1);
    } else {
        a1 = past_grip(g, lo, hi);
        a2 = util_clamp(-(b + PI_F / 12) * 12 / PI_F, 0, 1);
    }
    s->steering_aux = std::max(a1, a2);
}

void bike_arcade_steering(rider_slot *s) {
    dBodyID frame = bike_frame_body(s);
    if (!frame || s->respawn_counter >= 1) return;
    const bike_info *row = bike_row_of(s);
    float steer = s->controls.steer;
    if (s->front_contact.contact_depth <= 0) {
        vec3 p = to_vec3(dBodyGetPosition(frame)) + to_vec3(dBodyGetLinearVel(frame)) +
                 vec3{0, -16, 0};
        float ground = physics_ground_height_at(terrain_current, p.x, p.z);
        if (p.y - ground >= bike_v(row, 17)) {
            float a = (s->setup_flags & SETUP_AIR_STEERING)
                          ? s->steering_strength * steer * s->direct_steering : 0.0f;
            float b = (float)dJointGetHingeAngle(bike_joint_of(s, BIKE_JOINT_STEERING));
            bike_steer_torque(s, 1.5f * (a - 50 * b));
            return;
        }
    }
    float t = bike_body_tilt(frame);
    float x = util_clamp((s->roll_damping - 40) * 0.025f, 0, 1);
    float target = steer * -QUARTER_PI;
    float rate = (1.5f - 0.5f * x) * std::min(std::fabs(t - target), 0.0625f) * 16;
    if (t >= target) rate = -rate;
    dVector3 axis;
    dBodyVectorToWorld(frame, 0, 0, 1, axis);
    bike_frame_amotor(s, {(float)axis[0], (float)axis[1], (float)axis[2]}, rate, 1000);
    bike_steer_torque(s, bike_steering_response(s, bike_front_travel_angle(s) - 0.5f * steer) *
                             s->steering_strength);
    dVector3 v;
    dBodyGetRelPointVel(frame, 0, 0, 20, v);
    bike_add_force_at_rel_pos(s, frame, to_vec3(v) * -0.25f, {0, 0, 20});
}
