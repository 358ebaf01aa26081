// The engine and drivetrain: torque tables, clutch, drive spring, shifting and brakes.
#include "bike/drivetrain.h"

#include <cmath>

#include "bike/bike_step.h"
#include "core/util.h"

static const double TICK = 1.0 / 128.0;
static const double TWO_PI = 6.283185307179586;

float bike_engine_rpm(const rider_slot *s) {
    return s ? s->engine_speed * RIDER_RPM_PER_RAD_S : 0.0f;
}

float bike_torque_curve(const bike_info *row, float rpm, float throttle) {
    float x = util_clamp(rpm * 0.002f, 0, BIKE_TORQUE_ENTRIES - 1);
    int i = (int)std::floor(x);
    float f = x - (float)i;
    int j = i + 1 < BIKE_TORQUE_ENTRIES ? i + 1 : BIKE_TORQUE_ENTRIES - 1;
    const float *closed = &row->a[BIKE_V_CLOSED_TORQUE], *open = &row->a[BIKE_V_OPEN_TORQUE];
    float c = closed[i] + f * (closed[j] - closed[i]);
    float o = open[i] + f * (open[j] - open[i]);
    return c + (o - c) * util_clamp(throttle, 0, 1);
}

float bike_engine_torque(const rider_slot *s) {
    if (!s) return 0.0f;
    float torque = bike_torque_curve(bike_row_of(s), bike_engine_rpm(s), s->controls.throttle);
    dBodyID frame = bike_frame_body(s);
    if (frame && bike_stop_wheelies(s) == STOP_WHEELIES_FULL && !(s->front_contact.contact_depth > 0) &&
        s->rear_contact.contact_depth > 0 && torque >= 0) {
        const dReal *r = dBodyGetRotation(frame), *w = dBodyGetAngularVel(frame);
        double pitch_rate = w[0] * r[0] + w[1] * r[4] + w[2] * r[8];
        if (pitch_rate > -0.03125) torque = 0;
    }
    return torque;
}

static float gear_ratio(const bike_info *row, int gear) {
    if (gear < 0 || gear > 5) return 0;
    return row->a[BIKE_V_GEARS + gear];
}

float bike_overall_ratio(const rider_slot *s) {
    const bike_info *row = bike_row_of(s);
    float g = gear_ratio(row, s->gear);
    if (!(g > 0)) return 0;
    float n = row->a[65] * g * s->final_drive;
    return std::isfinite(n) && n > 0 ? n : 0;
}

float bike_clutch_engagement(const rider_slot *s, float rpm) {
    float a = s->auto_clutch_rpms, lever = util_clamp(s->controls.clutch, 0, 1);
    if (rpm > a + 2000) return lever;
    float c = util_clamp((rpm - a) / 2000, 0, 1);
    return c < lever ? c : lever;
}

static float contact_speed2(const wheel_contact &w) {
    return vec3_length2(w.velocity);
}

static bool touches(const wheel_contact &w) {
    return w.contact_depth > 0;
}

// Shifts one gear when the wheel's speed leaves the band, never into a missing gear.
static void auto_shift(rider_slot *s, const bike_info *row, dJointID rear_axle, float n) {
    if (!(bike_current_tick() % 32 == 0)) return;
    dJointID arm = bike_joint_of(s, BIKE_JOINT_SWINGARM);
    if (!(dJointGetHingeAngle(arm) < -0.01)) return;
    if (touches(s->rear_contact) && contact_speed2(s->rear_contact) > 4) return;
    float r = (float)dJointGetHingeAngleRate(rear_axle) * n * RIDER_RPM_PER_RAD_S;
    int gear = s->gear;
    if (r < row->a[177])
        gear--;
    else if (r > row->a[178])
        gear++;
    gear = gear < 0 ? 0 : gear > 5 ? 5 : gear;
    while (gear > 0 && !(gear_ratio(row, gear) > 0)) gear--;
    s->gear = gear;
}

void bike_drivetrain(rider_slot *s) {
    dJointID rear_axle = bike_joint_of(s, BIKE_JOINT_REAR_AXLE);
    dBodyID frame = bike_frame_body(s), rear = bike_body_of(s, BIKE_BODY_REAR_WHEEL);
    if (!rear_axle || !frame || !rear) return;
    const bike_info *row = bike_row_of(s);
    float n = bike_overall_ratio(s);
    if (bike_auto_shift(s) && n > 0) {
        auto_shift(s, row, rear_axle, n);
        n = bike_overall_ratio(s);
    }
    float a = (float)dJointGetHingeAngle(rear_axle);
    float rate = (float)dJointGetHingeAngleRate(rear_axle);
    // A corrupt engine speed or phase: the drive starts over from the wheel, the slot marked.
    if (!(std::fabs(s->engine_speed) <= ENGINE_SPEED_LIMIT) ||
        !(std::fabs(s->drive_phase) <= DRIVE_PHASE_LIMIT)) {
        s->engine_speed = 0;
        s->drive_phase = a;
        s->nonfinite_mark = 1;
    }
    float te = bike_engine_torque(s);
    float w = s->engine_speed, p = s->drive_phase;
    float u = p - a;
    if (u > (float)M_PI)
        u -= (float)TWO_PI;
    else if (u < -(float)M_PI)
        u += (float)TWO_PI;
    float c = bike_clutch_engagement(s, w * RIDER_RPM_PER_RAD_S);
    float g = 0;
    if (n > 0) {
        float q = util_clamp(row->a[76] * (w - rate * n), -DRIVE_DAMPING_LIMIT, DRIVE_DAMPING_LIMIT) +
                  row->a[75] * u;
        if (q < 0) c = util_clamp(s->controls.clutch, 0, 1);
        q = util_clamp(q, -DRIVE_TORQUE_LIMIT, DRIVE_TORQUE_LIMIT);
        float limit = c * DRIVE_CLUTCH_WINDUP;
        if (u > limit)
            p = a + limit;
        else if (u < -limit)
            p = a - limit;
        g = c * c * q;
        bike_add_rel_torque(s, rear, {-g, 0, 0});
        bike_add_rel_torque(s, frame, {g, 0, 0});
        w += (float)(TICK * (te - g / n) / row->a[74]);
        p += (float)(TICK * w / n);
    } else {
        // No gear: the engine turns free and the drive follows the wheel.
        w += (float)(TICK * te / row->a[74]);
        p = a;
    }
    if (!std::isfinite(w) || !std::isfinite(p)) {
        p = a;
        w = 0;
        s->nonfinite_mark = 1;
    }
    s->engine_speed = w;
    s->drive_phase = (float)std::remainder((double)p, TWO_PI);

    float bf = util_clamp(s->brake_torque, 0, 1e9f) * util_clamp(s->controls.front_brake, 0, 1);
    if (bike_front_antilock(s) && touches(s->front_contact) &&
        contact_speed2(s->front_contact) > ANTILOCK_SLIP * ANTILOCK_SLIP)
        bf = 0;
    if ((bike_stop_wheelies(s) & 2) && touches(s->front_contact) && !touches(s->rear_contact)) bf = 0;
    dJointID front_axle = bike_joint_of(s, BIKE_JOINT_FRONT_AXLE);
    bike_joint_param(s, front_axle, dParamVel, 0);
    bike_joint_param(s, front_axle, dParamFMax, bf);
    float br = util_clamp(s->rear_brake_torque, 0, 1e9f) * util_clamp(s->controls.rear_brake, 0, 1);
    if (bike_rear_antilock(s) && touches(s->rear_contact) &&
        contact_speed2(s->rear_contact) > ANTILOCK_SLIP * ANTILOCK_SLIP)
        br = 0;
    bike_joint_param(s, rear_axle, dParamVel, 0);
    bike_joint_param(s, rear_axle, dParamFMax, br);
}
