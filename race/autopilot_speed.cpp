// The robot's speed controller, shared by every way of driving, and its recovery driving back
// to the line.
#include <cmath>

#include "core/util.h"
#include "race/autopilot.h"
#include "race/race.h"
#include "race/start_gate.h"

void autopilot_speed_control(const robot_sense &in, float target, robot_controls *out) {
    float v = in.speed, w = target;
    if (in.rear_touch) {
        out->front_brake = out->rear_brake = 0;
        if (v < w - 1) {
            out->throttle = 1;
        } else if (v < w) {
            out->throttle = w - v;
        } else {
            out->throttle = 0;
            out->front_brake = out->rear_brake = std::fmin(v - w, 1.0f);
        }
        // In first gear the clutch bites as the engine comes up to the downshift speed.
        out->clutch = in.gear >= 1 ? 1 : util_clamp((in.rpm - (in.clutch_rpm - 1000)) / 1000, 0, 1);
        return;
    }
    out->front_brake = out->rear_brake = 0;
    float q = in.pitch_rate;
    const float pi = 3.14159265358979f;
    if ((in.rear_wheel_y > in.front_wheel_y && q < 0) || q < -pi / 4) {
        out->throttle = 1;   // the spinning wheel lifts the nose
        out->clutch = 0.125f;
    } else {
        out->throttle = 0;
        out->clutch = 0.125f;
        if (in.front_wheel_y > in.rear_wheel_y + 1 && q >= -pi / 8) {
            out->clutch = 0;   // the rear brake brings the nose down
            out->rear_brake = 1;
        }
    }
}

// The target in the frame's own coordinates: to the left and ahead.
static void frame_offset(const robot_sense &in, const line_point &p, double *side, double *ahead) {
    double d[3] = {(double)p.x - in.position[0], (double)p.y - in.position[1], (double)p.z - in.position[2]};
    *side = -(d[0] * in.x_axis[0] + d[1] * in.x_axis[1] + d[2] * in.x_axis[2]);
    *ahead = -(d[0] * in.z_axis[0] + d[1] * in.z_axis[1] + d[2] * in.z_axis[2]);
}

void autopilot_recovery_drive(rider_slot *s, const robot_sense &in, robot_controls *out) {
    const line_point *line = (const line_point *)s->working_line.items;
    int n = s->working_line.count;
    if (!line || n <= 0) return;
    int now = race_state.current_tick;
    robot_record &r = s->robot;
    if ((long long)now - r.last_advance_tic > 40LL * RACE_TICKS_PER_SECOND) {
        // Stuck for good: start again from another point of the line.
        s->target_index = (int)((unsigned)now % (unsigned)n);
        r.recovery = 3;
        r.last_advance_tic = now;
    }
    int t = s->target_index < 0 ? 0 : s->target_index >= n ? n - 1 : s->target_index;
    const line_point &target = line[t];
    if ((long long)now - r.last_advance_tic > 19LL * RACE_TICKS_PER_SECOND) {
        // Carried toward the target at walking pace, half its weight lifted.
        double dx = (double)target.x - in.position[0], dz = (double)target.z - in.position[2];
        double d = std::sqrt(dx * dx + dz * dz);
        out->carry = 1;
        out->carry_velocity[0] = d > 1e-6 ? (float)(5 * dx / d) : 0;
        out->carry_velocity[1] = 0;
        out->carry_velocity[2] = d > 1e-6 ? (float)(5 * dz / d) : 0;
        out->steer = util_clamp(-(in.steer_angle + in.steer_rate) / 4, -1, 1);
        out->sit_dab = 1;
        out->throttle = out->clutch = out->front_brake = out->rear_brake = 0;
        return;
    }
    float v = in.speed, gain, target_speed;
    out->sit_dab = 0;
    if (v >= 10) {
        target_speed = 15;
        gain = (1.0f / 3 + 2.0f / 3 * util_clamp((v - 10) / 10, 0, 1)) / 2;
    } else {
        out->sit_dab = 1;
        gain = 1.0f / 6;
        target_speed = std::fabs(in.tilt) > 1.0f / 6 ? 5 : 15;
    }
    double side, ahead;
    frame_offset(in, target, &side, &ahead);
    float aim;
    if (ahead > std::fabs(side))
        aim = util_clamp((float)(0.5 * side / ahead), -gain, gain);
    else
        aim = side >= 0 ? gain : -gain;
    bool aligned = ahead >= 4 * std::fabs(side);
    for (int k = t; k <= t + 8 && k < n && aligned; k++) aligned = line[k].speed >= 0;
    if (!aligned) r.recovery = 3;
    float rate = util_clamp(4 * (aim - in.tilt), -4, 4);
    out->steer = util_clamp(2 * (in.roll_rate - rate), -1, 1);
    autopilot_speed_control(in, target_speed, out);
}
