// The finite check: every force, torque and joint value a bike hands the physics passes one
// checked call, and after each world step a bike holding a value that is not finite is put
// back where it last was sound.
#include <cmath>

#include "bike/bike_step.h"
#include "bike/physics.h"
#include "core/console.h"
#include "platform/plyx.h"

int bike_current_tick() {
    return bike_hooks.current_tick ? bike_hooks.current_tick() : 0;
}

int bike_gate_drop_tick() {
    return bike_hooks.gate_drop_tick ? bike_hooks.gate_drop_tick() : 0;
}

static bool finite3(vec3 v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// 1 when the values are finite; else the slot is marked and 0.
static bool checked(rider_slot *s, bool ok) {
    if (!ok && s) s->nonfinite_mark = 1;
    return ok;
}

void bike_add_force(rider_slot *s, dBodyID body, vec3 f) {
    if (body && checked(s, finite3(f))) dBodyAddForce(body, f.x, f.y, f.z);
}

void bike_add_force_at_rel_pos(rider_slot *s, dBodyID body, vec3 f, vec3 p) {
    if (body && checked(s, finite3(f) && finite3(p)))
        dBodyAddForceAtRelPos(body, f.x, f.y, f.z, p.x, p.y, p.z);
}

void bike_add_torque(rider_slot *s, dBodyID body, vec3 t) {
    if (body && checked(s, finite3(t))) dBodyAddTorque(body, t.x, t.y, t.z);
}

void bike_add_rel_torque(rider_slot *s, dBodyID body, vec3 t) {
    if (body && checked(s, finite3(t))) dBodyAddRelTorque(body, t.x, t.y, t.z);
}

void bike_joint_param(rider_slot *s, dJointID joint, int param, double value) {
    if (!joint || !checked(s, std::isfinite(value))) return;
    switch (dJointGetType(joint)) {
    case dJointTypeHinge:
        dJointSetHingeParam(joint, param, value);
        break;
    case dJointTypeHinge2:
        dJointSetHinge2Param(joint, param, value);
        break;
    case dJointTypeSlider:
        dJointSetSliderParam(joint, param, value);
        break;
    case dJointTypeAMotor:
        dJointSetAMotorParam(joint, param, value);
        break;
    default:
        break;
    }
}

dJointID bike_frame_amotor(rider_slot *s, vec3 axis, double velocity, double fmax) {
    dBodyID frame = bike_frame_body(s);
    if (!frame || !physics_world) return nullptr;
    if (!checked(s, finite3(axis) && std::isfinite(velocity) && std::isfinite(fmax))) return nullptr;
    dJointID j = dJointCreateAMotor(physics_world, physics_contact_group);
    dJointAttach(j, frame, nullptr);
    dJointSetAMotorMode(j, dAMotorUser);
    dJointSetAMotorNumAxes(j, 1);
    dJointSetAMotorAxis(j, 0, 0, axis.x, axis.y, axis.z);
    dJointSetAMotorParam(j, dParamVel, velocity);
    dJointSetAMotorParam(j, dParamFMax, fmax < 0 ? 0 : fmax);
    return j;
}

int bike_soft_values(float kp, float kd, double *erp, double *cfm) {
    double rate = kd + (double)kp * PHYSICS_TICK;
    if (!(rate > 0) || !std::isfinite(rate)) return 0;
    *cfm = 1.0 / rate;
    *erp = (double)kp * PHYSICS_TICK / rate;
    return 1;
}

dJointID bike_spring_contact(rider_slot *s, dBodyID b1, dBodyID b2, vec3 position, vec3 normal,
                             float depth, float kp, float kd) {
    double rate = kd + (double)kp * PHYSICS_TICK;
    if (!checked(s, finite3(position) && finite3(normal) && std::isfinite(depth) &&
                        std::isfinite(rate)))
        return nullptr;
    dContact c{};
    if (!bike_soft_values(kp, kd, &c.surface.soft_erp, &c.surface.soft_cfm)) return nullptr;
    c.surface.mode = dContactSoftERP | dContactSoftCFM;
    c.surface.mu = 0;
    contact_set_geometry(&c, position, normal, depth);
    dJointID j = contact_joint_create(c, b1, b2);
    checked(s, j != nullptr);
    return j;
}

static bool finite_vector(const dReal *v, int n) {
    for (int i = 0; i < n; i++)
        if (!std::isfinite(v[i])) return false;
    return true;
}

bool bike_state_finite(const rider_slot *s) {
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = bike_body_of(s, b);
        if (!body) continue;
        const dReal *v = dBodyGetLinearVel(body), *w = dBodyGetAngularVel(body);
        // Forces and torques waiting for the next step count too (the step zeroes them).
        if (!finite_vector(dBodyGetPosition(body), 3) || !finite_vector(dBodyGetQuaternion(body), 4) ||
            !finite_vector(v, 3) || !finite_vector(w, 3) || !finite_vector(dBodyGetForce(body), 3) ||
            !finite_vector(dBodyGetTorque(body), 3))
            return false;
        if (v[0] * v[0] + v[1] * v[1] + v[2] * v[2] > BIKE_RUNAWAY_SPEED * BIKE_RUNAWAY_SPEED) return false;
        if (w[0] * w[0] + w[1] * w[1] + w[2] * w[2] > BIKE_RUNAWAY_SPIN * BIKE_RUNAWAY_SPIN) return false;
    }
    return std::isfinite(s->engine_speed) && std::isfinite(s->drive_phase);
}

void bike_hold_finite(rider_slot *s) {
    if (!bike_frame_body(s)) return;
    s->nonfinite_mark = 1;
    for (int b = 0; b < BIKE_BODIES; b++) {
        dBodyID body = bike_body_of(s, b);
        if (!body) continue;
        if (!finite_vector(dBodyGetPosition(body), 3))
            dBodySetPosition(body, s->safe_valid ? s->safe_x : 0, 0, s->safe_valid ? s->safe_z : 0);
        if (!finite_vector(dBodyGetQuaternion(body), 4)) {
            dQuaternion q = {1, 0, 0, 0};
            dBodySetQuaternion(body, q);
        }
        dBodySetLinearVel(body, 0, 0, 0);
        dBodySetAngularVel(body, 0, 0, 0);
        dBodySetForce(body, 0, 0, 0);
        dBodySetTorque(body, 0, 0, 0);
    }
    s->engine_speed = 0;
    s->drive_phase = 0;
}

// The frame's heading about the vertical, as bike_set_orientation takes it.
static float frame_yaw(dBodyID frame) {
    const dReal *r = dBodyGetRotation(frame);
    double fx = -r[2], fz = -r[10];   // the body's -z axis in the world
    if (!(fx * fx + fz * fz > 1e-12)) return 0;
    return (float)std::atan2(-fx, -fz);
}

int bike_check_finite(int slot) {
    if (!rider_has_bike(slot)) return 1;
    rider_slot *s = &rider_table[slot];
    if (!s->nonfinite_mark && bike_state_finite(s)) {
        // The bike's origin under the frame: where bike_drop_to_ground puts the frame back.
        const dReal *p = dBodyGetPosition(bike_frame_body(s));
        const bike_info *row = bike_row_of(s);
        float yaw = frame_yaw(bike_frame_body(s));
        dMatrix3 R;
        dRFromAxisAndAngle(R, 0, 1, 0, yaw);
        double rx = bike_v(row, 16), ry = bike_v(row, 17), rz = bike_v(row, 18);
        s->safe_x = (float)(p[0] - (R[0] * rx + R[1] * ry + R[2] * rz));
        s->safe_z = (float)(p[2] - (R[8] * rx + R[9] * ry + R[10] * rz));
        s->safe_yaw = yaw;
        s->safe_valid = 1;
        return 1;
    }
    float x = s->safe_valid ? s->safe_x : 0, z = s->safe_valid ? s->safe_z : 0;
    float yaw = s->safe_valid ? s->safe_yaw : 0;
    // What the race keeps in the slot survives the reset; the engine stops.
    rider_controls controls = s->controls;
    int gear = s->gear, timing_count = s->timing_count, timing_tics = s->timing_tics.count;
    int down = s->down_flag, falls = s->fall_count, finished = s->finished;
    bike_drop_to_ground(slot, x, z, yaw);
    s->controls = controls;
    s->gear = gear;
    s->timing_count = timing_count;
    s->timing_tics.count = timing_tics;
    s->down_flag = down;
    s->fall_count = falls;
    s->finished = finished;
    s->engine_speed = 0;
    s->drive_phase = (float)dJointGetHingeAngle(bike_joint_of(s, BIKE_JOINT_REAR_AXLE));
    s->nonfinite_mark = 0;
    console_printf("Warning: bike in slot %d reset after a non-finite value\n", slot);
    return 0;
}
