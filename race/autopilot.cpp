// The robot's tick: what it reads of its bike, the order of its steps (target, line choice,
// upkeep, then waiting, the start or driving) and the controls handed to the bike.
#include "race/autopilot.h"

#include <cmath>

#include "bike/bike_step.h"
#include "bike/drivetrain.h"
#include "bike/riding.h"
#include "bike/wheel_contacts.h"
#include "core/util.h"
#include "race/lines.h"
#include "race/race.h"
#include "race/tick_profile.h"
#include "race/timing.h"
#include "terrain/terrain.h"

robot_other autopilot_others[RIDER_SLOTS];
int autopilot_other_count = 0;

static void ground_of_terrain(float x, float z, float *grip, float normal[3]) {
    *grip = 1;
    normal[0] = normal[2] = 0;
    normal[1] = 1;
    if (!terrain_current) return;
    float f = contact_tile_kind(terrain_current, {x, terrain_height_at(terrain_current, x, z), z}).friction_a[0];
    *grip = std::isfinite(f) ? std::fmax(f, 0.125f) : 1.0f;
    vec3 n;
    terrain_normal_at(terrain_current, x, z, &n);
    double len = std::sqrt((double)n.x * n.x + (double)n.y * n.y + (double)n.z * n.z);
    if (!(len > 1e-9) || !std::isfinite(len)) return;
    normal[0] = (float)(n.x / len);
    normal[1] = (float)(n.y / len);
    normal[2] = (float)(n.z / len);
}

void (*autopilot_ground_hook)(float x, float z, float *grip, float normal[3]) = ground_of_terrain;

static float finite_or_zero(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

int autopilot_sense(rider_slot *s, robot_sense *in) {
    dBodyID frame = s ? bike_frame_body(s) : nullptr;
    if (!frame) return 0;
    *in = {};
    const dReal *p = dBodyGetPosition(frame), *r = dBodyGetRotation(frame);
    const dReal *v = dBodyGetLinearVel(frame), *w = dBodyGetAngularVel(frame);
    for (int i = 0; i < 3; i++) {
        in->position[i] = (float)p[i];
        in->x_axis[i] = (float)r[4 * i];
        in->y_axis[i] = (float)r[4 * i + 1];
        in->z_axis[i] = (float)r[4 * i + 2];
        in->velocity[i] = (float)v[i];
    }
    in->speed = (float)std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    in->tilt = bike_body_tilt(frame);
    in->roll_rate = (float)(w[0] * r[2] + w[1] * r[6] + w[2] * r[10]);
    in->pitch_rate = (float)(w[0] * r[0] + w[1] * r[4] + w[2] * r[8]);
    in->front_touch = bike_front_contact_depth(s) > 0;
    in->rear_touch = bike_rear_contact_depth(s) > 0;
    dBodyID fw = bike_body_of(s, BIKE_BODY_FRONT_WHEEL), rw = bike_body_of(s, BIKE_BODY_REAR_WHEEL);
    in->front_wheel_y = fw ? (float)dBodyGetPosition(fw)[1] : in->position[1];
    in->rear_wheel_y = rw ? (float)dBodyGetPosition(rw)[1] : in->position[1];
    vec3 slide;
    if (in->front_touch && bike_front_contact_slip(s, &slide)) in->front_slide = std::sqrt(vec3_length2(slide));
    double load = 0;
    for (const wheel_contact *c : {&s->front_contact, &s->rear_contact})
        if (c->contact_depth > 0)
            load += (double)c->joint_feedback.f1[0] * c->normal.x + (double)c->joint_feedback.f1[1] * c->normal.y +
                    (double)c->joint_feedback.f1[2] * c->normal.z;
    in->mass = s->total_mass;
    in->load = s->total_mass > 0 ? (float)(load / (32.0 * s->total_mass)) : 0;
    in->rpm = bike_engine_rpm(s);
    in->gear = s->gear;
    in->respawning = s->respawn_counter > 0;
    const bike_info *row = bike_row_of(s);
    in->start_gear_value = row ? bike_v(row, BIKE_V_GEARS + 1) : 1;
    in->clutch_rpm = row ? bike_v(row, 177) : 0;
    dJointID steering = bike_joint_of(s, BIKE_JOINT_STEERING);
    if (steering) {
        in->steer_angle = (float)dJointGetHingeAngle(steering);
        in->steer_rate = (float)dJointGetHingeAngleRate(steering);
    }
    in->steering_response = bike_steering_response(s, bike_front_travel_angle(s));
    for (float *f : {&in->speed, &in->tilt, &in->roll_rate, &in->pitch_rate, &in->front_wheel_y, &in->rear_wheel_y,
                     &in->front_slide, &in->load, &in->rpm, &in->mass, &in->start_gear_value, &in->clutch_rpm,
                     &in->steer_angle, &in->steer_rate, &in->steering_response})
        *f = finite_or_zero(*f);
    for (float *a : {in->position, in->x_axis, in->y_axis, in->z_axis, in->velocity})
        for (int i = 0; i < 3; i++) a[i] = finite_or_zero(a[i]);
    return 1;
}

void autopilot_gather_others() {
    autopilot_other_count = 0;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        rider_slot *s = &rider_table[slot];
        dBodyID frame = bike_frame_body(s);
        if (!frame || !rider_is_solid(s)) continue;
        robot_other &o = autopilot_others[autopilot_other_count];
        const dReal *p = dBodyGetPosition(frame), *v = dBodyGetLinearVel(frame), *r = dBodyGetRotation(frame);
        o.slot = slot;
        for (int i = 0; i < 3; i++) {
            o.position[i] = finite_or_zero((float)p[i]);
            o.velocity[i] = finite_or_zero((float)v[i]);
        }
        o.speed = std::sqrt(o.velocity[0] * o.velocity[0] + o.velocity[1] * o.velocity[1] +
                            o.velocity[2] * o.velocity[2]);
        robot_sense view = {};
        for (int i = 0; i < 3; i++) {
            view.velocity[i] = o.velocity[i];
            view.z_axis[i] = finite_or_zero((float)r[4 * i + 2]);
        }
        autopilot_travel_direction(view, o.direction);
        autopilot_other_count++;
    }
}

// Nothing to ride: stop and wait.
static void stop_and_wait(robot_controls *out) {
    out->throttle = out->clutch = 0;
    out->front_brake = out->rear_brake = 1;
    out->steer = 0;
    out->sit_dab = 1;
}

// The line for the next segment, when the working line runs short.
static void choose_next_line(rider_slot *s, const robot_sense &in, int now) {
    int n = s->working_line.count;
    if (s->target_index < n - ROBOT_CHOICE_AHEAD || line_store.row_count <= 0 || s->finished) return;
    int segment = s->robot.next_segment;
    line_choice_input c = {};
    c.segment = segment;
    c.cost_type = autopilot_cost_type(s);
    c.now = now;
    c.line = (const line_point *)s->working_line.items;
    c.count = n;
    for (int i = 0; i < 3; i++) c.position[i] = in.position[i];
    race_tick_marks(TICK_PART_ROBOTS);
    int chosen = autopilot_choose_line(c);
    race_tick_marks(TICK_PART_CHOICE);
    if (chosen < 0) return;
    line_slot *row = line_store_row(line_store_row_of_segment(segment));
    autopilot_mark_picked(row, chosen, now);
    const line_slot &line = row[chosen];
    if (line.point_count <= 0) return;
    s->followed_serials[segment & 3] = line.serial;
    s->robot.next_segment = segment + 1;
    float forward[3] = {-in.z_axis[0], -in.z_axis[1], -in.z_axis[2]};
    autopilot_extend_line(s, &line, segment, forward);
}

void autopilot_restart_line(rider_slot *s, int segment) {
    s->working_line.count = 0;
    s->target_index = 0;
    s->robot.next_segment = segment < 0 ? 0 : segment;
    s->robot.recovery = 0;
    s->robot.last_advance_tic = race_state.current_tick;
}

void autopilot_control(rider_slot *s, const robot_sense &in, robot_controls *out) {
    *out = {};
    out->auto_shift = 1;
    int now = race_state.current_tick;
    autopilot_advance(s, in, now);
    choose_next_line(s, in, now);
    if (s->target_index < 0 || s->target_index >= s->working_line.count) {
        stop_and_wait(out);
        return;
    }
    if (autopilot_start(s, in, out)) return;
    if (s->robot.recovery > 0)
        autopilot_recovery_drive(s, in, out);
    else
        autopilot_normal_drive(s, in, out);
}

void autopilot_apply(rider_slot *s, const robot_sense &in, const robot_controls &out) {
    s->setup_flags |= ROBOT_ASSISTS;
    if (!out.auto_shift) {
        s->setup_flags &= (unsigned char)~ROBOT_AUTO_SHIFT;
        bike_select_gear(s, out.gear);
    }
    if (out.keep) return;
    rider_set_throttle(s, in.respawning ? 0 : out.throttle);
    rider_set_clutch(s, out.clutch);
    rider_set_front_brake(s, out.front_brake);
    rider_set_rear_brake(s, out.rear_brake);
    rider_set_steer(s, out.steer);
    rider_set_sit_dab(s, in.respawning ? 0 : out.sit_dab);
    if (out.set_limits) {
        bike_set_full_lock_speed(s, 1);
        bike_set_restricted_lock_speed(s, 50);
        bike_set_restricted_lock(s, out.restricted_lock);
    }
    dBodyID frame = bike_frame_body(s);
    if (out.carry && frame) {
        bike_pull_horizontal(frame, 2000, {out.carry_velocity[0], out.carry_velocity[1], out.carry_velocity[2]});
        bike_add_force(s, frame, {0, 16 * s->total_mass, 0});
    }
}

void autopilot_drive(rider_slot *s) {
    if (!s || s->autopilot_personality == 0) return;
    robot_sense in;
    if (!autopilot_sense(s, &in)) return;
    robot_controls out;
    autopilot_control(s, in, &out);
    autopilot_apply(s, in, out);
}
