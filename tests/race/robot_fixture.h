// Robot test fixtures: line stores built in memory from rings of lanes, slots filled point by
// point, and a robot whose bike is only a sensed state.
#pragma once

#include <cmath>
#include <vector>

#include "core/mem.h"
#include "race/autopilot.h"
#include "race/lines.h"
#include "race/planner.h"
#include "tests/race/timing_fixture.h"

// Gates for F first-lap and N normal-lap segments on one checkpoint; the store gets F + N rows.
inline void robot_store(int first, int normal) {
    std::vector<int> laps((size_t)(first + normal), 0);
    fixture_gates({{0, 0, 1, 0, 10}}, first, laps);
}

// Slot k of the row holds these points and statistics (times in ticks).
inline line_slot &robot_slot(int row, int k, const std::vector<line_point> &points, int passes = 5,
                             int total_time = 5000, int failures = 0) {
    line_slot &t = line_store_row(row)[k];
    line_slot_clear(&t);
    t.point_count = (int)points.size();
    t.points = (line_point *)mem_alloc_or_die(sizeof(line_point) * (points.empty() ? 1 : points.size()));
    for (size_t i = 0; i < points.size(); i++) t.points[i] = points[i];
    t.passes = passes;
    t.failures = failures;
    t.total_time = total_time;
    t.recorded_time = passes > 0 ? total_time / passes : 1000;
    t.recorded_time_two = 2 * t.recorded_time;
    t.serial = line_store_next_serial();
    return t;
}

// `count` points on the circle of that radius about the origin, from angle a0 in steps of da
// (rad, counter-clockwise seen from above: x = r cos, z = -r sin), at the speed.
inline std::vector<line_point> robot_arc(double radius, double a0, double da, int count, float speed = 30) {
    std::vector<line_point> p;
    for (int i = 0; i < count; i++) {
        double a = a0 + da * i;
        p.push_back({(float)(radius * std::cos(a)), 0, (float)(-radius * std::sin(a)), speed, 0});
    }
    return p;
}

// A store of F + N rows whose lanes ride whole rings: lane l runs on the circle of radius
// radii[l]; normal-lap row F + i covers the i-th of N equal arcs with `points` points, and the
// first-lap rows repeat the last normal-lap rows, so every row joins the next. costs[l]: the
// lane's one-segment time with 5 passes.
inline void robot_rings(int first, int normal, const std::vector<double> &radii, const std::vector<int> &costs,
                        int points = 6) {
    robot_store(first, normal);
    double step = 2 * M_PI / (normal * points);
    for (int r = 0; r < first + normal; r++) {
        int arc = r >= first ? r - first : ((r - first) % normal + normal) % normal;
        for (size_t l = 0; l < radii.size(); l++)
            robot_slot(r, (int)l, robot_arc(radii[l], arc * points * step, step, points), 5, 5 * costs[l]);
    }
}

// A robot in slot 0 of the given personality with an empty working line, its bike only a
// sensed state.
inline rider_slot *robot_rider(int personality = 1) {
    rider_slot *s = fixture_rider(0);
    s->autopilot_personality = personality;
    s->robot = {};
    s->robot.lean_limit_tic = -1000000;
    s->target_index = 0;
    for (int &f : s->followed_serials) f = 0;
    return s;
}

inline void robot_set_line(rider_slot *s, const std::vector<line_point> &points) {
    s->working_line.count = 0;
    for (const line_point &p : points) plyx_array_append(&s->working_line, &p);
}

inline const line_point *robot_line(const rider_slot *s) {
    return (const line_point *)s->working_line.items;
}

// Upright at rest at the position, facing along (fx, fz) (a unit vector), on both wheels.
inline robot_sense robot_at(float x, float y, float z, float fx = 0, float fz = -1, float speed = 0) {
    robot_sense in = {};
    in.position[0] = x;
    in.position[1] = y;
    in.position[2] = z;
    // Forward is -z: the z axis points backward; x to the right (forward x up).
    in.z_axis[0] = -fx;
    in.z_axis[2] = -fz;
    in.y_axis[1] = 1;
    in.x_axis[0] = -fz;
    in.x_axis[2] = fx;
    in.velocity[0] = fx * speed;
    in.velocity[2] = fz * speed;
    in.speed = speed;
    in.front_touch = in.rear_touch = 1;
    in.load = 1;
    in.mass = 8;
    in.start_gear_value = 1.5f;
    in.clutch_rpm = 9400;
    in.gear = 2;
    return in;
}

// Flat ground of one grip; tests may bank it.
inline float robot_ground_grip = 1;
inline float robot_ground_normal[3] = {0, 1, 0};
inline void robot_flat_ground(float, float, float *grip, float normal[3]) {
    *grip = robot_ground_grip;
    for (int i = 0; i < 3; i++) normal[i] = robot_ground_normal[i];
}

// Every control finite and in its range.
inline bool robot_controls_sound(const robot_controls &c) {
    auto in = [](float v, float lo, float hi) { return std::isfinite(v) && v >= lo && v <= hi; };
    return in(c.throttle, 0, 1) && in(c.clutch, 0, 1) && in(c.front_brake, 0, 1) && in(c.rear_brake, 0, 1) &&
           in(c.steer, -1, 1) && in(c.sit_dab, 0, 1) && in(c.restricted_lock, 0, 0.7853982f) &&
           in(c.carry_velocity[0], -5.01f, 5.01f) && in(c.carry_velocity[2], -5.01f, 5.01f);
}
