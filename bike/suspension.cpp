// Suspension and rider springs: seat springs, rider joint suspension, fork and shock.
#include "bike/suspension.h"

#include <cmath>

#include "bike/bike_step.h"
#include "core/util.h"

static const float TICK = 1.0f / 128.0f;

static vec3 body_axis(dBodyID b, int column) {
    const dReal *r = dBodyGetRotation(b);
    return {(float)r[column], (float)r[4 + column], (float)r[8 + column]};
}

static vec3 body_position(dBodyID b) {
    const dReal *p = dBodyGetPosition(b);
    return {(float)p[0], (float)p[1], (float)p[2]};
}

int bike_seat_spring_values(const rider_slot *s, seat_spring out[2]) {
    out[0] = out[1] = {};
    dBodyID frame = bike_frame_body(s), rider = bike_rider_body(s);
    if (!frame || !rider) return 0;
    const bike_info *row = bike_row_of(s);
    float mf = row->a[188] * RIDER_MASS_FACTOR;
    vec3 y = body_axis(frame, 1), z = body_axis(frame, 2);
    dVector3 seat;
    dBodyGetRelPointPos(frame, row->a[183] - row->a[16], row->a[184] - row->a[17],
                        row->a[185] - row->a[18], seat);
    vec3 d = vec3{(float)seat[0], (float)seat[1], (float)seat[2]} - body_position(rider);
    float dy = vec3_dot(d, y), dz = vec3_dot(d, z);
    float sit = s->controls.sit_dab, lean = s->controls.lean;

    // Fore and aft: the rider's seat moves forward with the lean and with height.
    float shift = util_clamp(dy * (0.5f * sit + 0.5f) - lean, -0.75f, 0.75f);
    float e = dz - shift;
    seat_spring &f = out[0];
    f.normal = e >= 0 ? z : -z;
    f.depth = std::fabs(e);
    if (dz < -0.75f || dz > 0.75f) {
        f.kp = f.kd = SEAT_STIFF * mf;
    } else {
        f.kp = (600 * s->rider_zspring + 100 * std::fabs(e)) * mf;
        f.kd = 0;
    }
    f.made = f.kp > 0;

    // Vertical: sitting lowers the rider's rest point by half a foot.
    float g = dy + 0.125f - 0.5f * sit;
    seat_spring &v = out[1];
    v.normal = g >= 0 ? y : -y;
    v.depth = std::fabs(g);
    if (dy > 0.5f || dy < -0.75f) {
        v.kp = v.kd = SEAT_STIFF * mf;
    } else {
        v.kp = 400 * s->rider_yspring * mf;
        v.kd = 100 * s->rider_ydamping * mf;
    }
    v.made = v.kp + v.kd > 0;
    return 1;
}

void bike_seat_springs(rider_slot *s) {
    seat_spring springs[2];
    if (!bike_seat_spring_values(s, springs)) return;
    dBodyID frame = bike_frame_body(s), rider = bike_rider_body(s);
    vec3 at = body_position(rider);
    for (const seat_spring &k : springs)
        if (k.made) bike_spring_contact(s, rider, frame, at, k.normal, k.depth, k.kp, k.kd);
    float mf = bike_row_of(s)->a[188] * RIDER_MASS_FACTOR;
    dJointID joint = bike_joint_of(s, BIKE_JOINT_RIDER);
    bike_joint_param(s, joint, dParamSuspensionERP, 0);
    bike_joint_param(s, joint, dParamSuspensionCFM, bike_rider_suspension_cfm(mf, s->rider_zdamping));
}

double bike_rider_suspension_cfm(float mf, float forward_damping) {
    double damping = RIDER_SUSPENSION_FIRMNESS * mf * (30.0 * util_clamp(forward_damping, 0, 1) + 5.0);
    return damping > 0 ? 1.0 / damping : 0.0;
}

float suspension_damper(float u, float c, float slow) {
    float m = std::fabs(u);
    float f = std::fmin(8 * c * m, c * m + slow);
    if (!(f > 0)) return 0;
    return u > 0 ? -f : u < 0 ? f : 0;
}

float bike_fork_force(const rider_slot *s, float x, float u) {
    const bike_info *row = bike_row_of(s);
    float travel = row->a[48];
    float damping = u < 0 ? suspension_damper(u, s->fork_compression, s->fork_slow_compression)
                          : suspension_damper(u, s->fork_rebound, s->fork_slow_rebound);
    float coil = (s->fork_preload - x) * s->fork_spring_rate + damping;
    float k = util_clamp(-x, 0, travel);
    float gap = travel + s->fork_oil_level;
    float air = 0;
    if (gap - k > 1e-6f) air = FORK_AIR_CONSTANT * std::pow(gap / (gap - k), FORK_AIR_EXPONENT) - FORK_AIR_CONSTANT;
    if (!(travel > 0)) return 0;
    float q = 32 * (-x) / travel;
    return q >= 0 ? (coil + air) * std::fmin(1.0f, q) : 0.0f;
}

// One segment of the cubic Hermite curve: value and slope (per unit of the segment's local t).
static linkage_point hermite(float p0, float p1, float m0, float m1, float g, float t) {
    float t2 = t * t, t3 = t2 * t;
    float value = (2 * t3 - 3 * t2 + 1) * p0 + (t3 - 2 * t2 + t) * g * m0 + (-2 * t3 + 3 * t2) * p1 +
                  (t3 - t2) * g * m1;
    float dt = (6 * t2 - 6 * t) * p0 + (3 * t2 - 4 * t + 1) * g * m0 + (-6 * t2 + 6 * t) * p1 +
               (3 * t2 - 2 * t) * g * m1;
    return {value, g > 0 ? dt / g : 0.0f};
}

linkage_point bike_linkage(const bike_info *row, float r) {
    float split = util_clamp(row->a[61], 0, 1);
    r = util_clamp(r, 0, 1);
    if (r <= split && split > 0) return hermite(0, row->a[58], row->a[62], row->a[63], split, r / split);
    float g = 1 - split;
    if (!(g > 0)) return {row->a[59], row->a[64]};
    return hermite(row->a[58], row->a[59], row->a[63], row->a[64], g, (r - split) / g);
}

float bike_shock_torque(const rider_slot *s, float a, float w) {
    const bike_info *row = bike_row_of(s);
    float travel = row->a[60];
    if (!(travel > 0)) return 0;
    float r = util_clamp(-a / travel, 0, 1);
    linkage_point lp = bike_linkage(row, r);
    float v = w * lp.slope;
    float damping = v < 0 ? suspension_damper(v, s->shock_compression, s->shock_slow_compression)
                          : suspension_damper(v, s->shock_rebound, s->shock_slow_rebound);
    float t = lp.slope * ((lp.stroke + s->shock_preload) * s->shock_spring_rate + damping);
    float q = 32 * (-a) / travel;
    return q >= 0 ? t * std::fmin(1.0f, q) : 0.0f;
}

// A spring force on a joint's motor: velocity 100 pushes, 0 brakes both ways; FMax |force|.
static void joint_spring(rider_slot *s, dJointID j, float force) {
    if (!std::isfinite(force)) {
        s->nonfinite_mark = 1;
        return;
    }
    bike_joint_param(s, j, dParamVel, force >= 0 ? 100 : 0);
    bike_joint_param(s, j, dParamFMax, std::fabs(force));
}

void bike_suspension_step(rider_slot *s) {
    bike_seat_springs(s);
    dJointID fork = bike_joint_of(s, BIKE_JOINT_FORK), arm = bike_joint_of(s, BIKE_JOINT_SWINGARM);
    if (fork)
        joint_spring(s, fork, bike_fork_force(s, (float)dJointGetSliderPosition(fork),
                                              (float)dJointGetSliderPositionRate(fork)));
    if (arm)
        joint_spring(s, arm, bike_shock_torque(s, (float)dJointGetHingeAngle(arm),
                                               (float)dJointGetHingeAngleRate(arm)));
}

float suspension_readout_damping(float u, float a, float b, float c, float d) {
    float r = u < 0 ? b / (-u * a + b) : d / (u * c + d);
    return std::isfinite(r) ? r : 0.0f;
}

void bike_front_suspension(const rider_slot *s, float *compression, float *speed, float *damping) {
    dJointID fork = bike_joint_of(s, BIKE_JOINT_FORK);
    float x = fork ? (float)dJointGetSliderPosition(fork) : 0, u = fork ? (float)dJointGetSliderPositionRate(fork) : 0;
    const bike_info *row = bike_row_of(s);
    float c = row->a[48] > 0 ? -x / row->a[48] : 0;
    if (compression) *compression = c;
    if (speed) *speed = u;
    if (damping) *damping = suspension_readout_damping(u, row->a[44], row->a[45], row->a[46], row->a[47]);
}

void bike_rear_suspension(const rider_slot *s, float *compression, float *speed, float *damping) {
    dJointID arm = bike_joint_of(s, BIKE_JOINT_SWINGARM);
    float a = arm ? (float)dJointGetHingeAngle(arm) : 0, w = arm ? (float)dJointGetHingeAngleRate(arm) : 0;
    const bike_info *row = bike_row_of(s);
    float r = row->a[60] > 0 ? util_clamp(-a / row->a[60], 0, 1) : 0;
    float v = w * bike_linkage(row, r).slope;
    if (compression) *compression = r;
    if (speed) *speed = v;
    if (damping) *damping = suspension_readout_damping(v, row->a[54], row->a[55], row->a[56], row->a[57]);
}
