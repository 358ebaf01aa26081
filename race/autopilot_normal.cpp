// Normal driving along the working line: the target speed from the line, jumps taken upright,
// the turn toward a look-ahead point with the lean the ground allows, room for riders ahead,
// the steering toward the wanted lean and the throttle's shaping.
#include <cmath>

#include "core/util.h"
#include "race/autopilot.h"
#include "race/lines.h"
#include "race/race.h"
#include "race/start_gate.h"

static const float PI_F = 3.14159265358979f;

void autopilot_travel_direction(const robot_sense &in, float direction[2]) {
    double vx = in.velocity[0], vz = in.velocity[2];
    double h = std::sqrt(vx * vx + vz * vz);
    if (!(h >= 1)) {
        vx = -in.z_axis[0];
        vz = -in.z_axis[2];
        h = std::sqrt(vx * vx + vz * vz);
    }
    if (!(h > 1e-9)) {
        direction[0] = 0;
        direction[1] = -1;
        return;
    }
    direction[0] = (float)(vx / h);
    direction[1] = (float)(vz / h);
}

float autopilot_present_radius(float speed, float tilt, float k) {
    double t = std::tan((double)tilt);
    double e = (double)speed * speed / (32.0 * k * t);
    if (!std::isfinite(e) || std::fabs(e) > ROBOT_FAR) e = t < 0 ? -ROBOT_FAR : ROBOT_FAR;
    return (float)e;
}

float autopilot_turn_radius(float side, float ahead, float present) {
    if (!(ahead > 0)) return side < 0 ? -10.0f : 10.0f;
    // P: the point of the present path (the circle of radius |E| about (E, 0)) toward T.
    double e = present, r = std::fabs(e);
    double tx = side - e, ty = ahead;
    double len = std::sqrt(tx * tx + ty * ty);
    double px = e, py = 0;
    if (len > 1e-9) {
        px = e + r * tx / len;
        py = r * ty / len;
    }
    double k = side + 2 * (side - px), l = ahead + 2 * (ahead - py);
    if (std::fabs(k) < 0.000001) k = k < 0 ? -0.000001 : 0.000001;
    double radius = (k * k + l * l) / (2 * k);
    if (!std::isfinite(radius)) radius = k < 0 ? -ROBOT_FAR : ROBOT_FAR;
    return (float)radius;
}

float autopilot_grip_angle(float grip) {
    float a = std::atan(std::isfinite(grip) ? std::fmax(grip, 0.0f) : 1.0f);
    return std::fmin(a, ROBOT_LEAN_CAP);
}

void autopilot_lean_window(float allowed, float bank, float *low, float *high) {
    *low = bank - allowed;
    *high = bank + allowed;
}

float autopilot_restricted_lock(float c) {
    float share = std::fmin(std::fabs(c) / PI_F, 1.0f);
    if (!std::isfinite(share)) share = 1;
    return std::fmin((1 + 4 * share) * PI_F / 180, PI_F / 4);
}

// The point of the line at a fractional index, clamped to the line.
static line_point point_at(const line_point *line, int n, double index) {
    if (!(index > 0)) return line[0];
    if (index >= n - 1) return line[n - 1];
    int i = (int)index;
    float f = (float)(index - i);
    const line_point &a = line[i], &b = line[i + 1];
    return {a.x + f * (b.x - a.x), a.y + f * (b.y - a.y), a.z + f * (b.z - a.z),
            a.speed + f * (b.speed - a.speed), a.tilt + f * (b.tilt - a.tilt)};
}

static const line_point &point_of(const line_point *line, int n, long long i) {
    return line[i < 0 ? 0 : i >= n ? n - 1 : i];
}

// The angle of the ground's unit normal under the frame toward the bike's left.
static float bank_under(const robot_sense &in, float grip_out[1]) {
    float grip = 1, normal[3] = {0, 1, 0};
    autopilot_ground_hook(in.position[0], in.position[2], &grip, normal);
    grip_out[0] = grip;
    double lx = -in.x_axis[0], lz = -in.x_axis[2];
    double h = std::sqrt(lx * lx + lz * lz);
    if (!(h > 1e-9)) return 0;
    double across = (normal[0] * lx + normal[2] * lz) / h;
    float b = (float)std::atan2(across, (double)normal[1]);
    return std::isfinite(b) ? b : 0.0f;
}

// Whether two riders' boxes (4 ft wide, from 4 ft behind to 4 + speed ft ahead) cross.
static bool boxes_cross(const float pa[3], const float da[2], float sa, const float pb[3], const float db[2], float sb) {
    line_point ca[4], cb[4];
    auto corners = [](line_point *c, const float p[3], const float d[2], float speed) {
        float lx = d[1], lz = -d[0];   // the left of the direction of travel
        float back = -4, front = 4 + speed;
        const float along[4] = {back, front, front, back}, side[4] = {2, 2, -2, -2};
        for (int i = 0; i < 4; i++)
            c[i] = {p[0] + along[i] * d[0] + side[i] * lx, 0, p[2] + along[i] * d[1] + side[i] * lz, 0, 0};
    };
    corners(ca, pa, da, sa);
    corners(cb, pb, db, sb);
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            const line_point &a = ca[i], &b = ca[(i + 1) & 3], &c = cb[j], &d = cb[(j + 1) & 3];
            if (autopilot_crosses_segment(&a, &b, &c, &d) && autopilot_crosses_segment(&c, &d, &a, &b)) return true;
        }
    return false;
}

// Room for the nearest rider ahead whose box crosses this robot's: the new target speed.
static float make_room(rider_slot *s, const robot_sense &in, const float dir[2], float target) {
    int slot = (int)(s - rider_table);
    const robot_other *nearest = nullptr;
    double nearest_gap = 0;
    for (int i = 0; i < autopilot_other_count; i++) {
        const robot_other &o = autopilot_others[i];
        if (o.slot == slot) continue;
        double dx = (double)o.position[0] - in.position[0], dz = (double)o.position[2] - in.position[2];
        double gap = std::sqrt(dx * dx + dz * dz);
        if (gap > 16.0 + in.speed + o.speed || dx * dir[0] + dz * dir[1] <= 0) continue;
        if (nearest && gap >= nearest_gap) continue;
        if (!boxes_cross(in.position, dir, in.speed, o.position, o.direction, o.speed)) continue;
        nearest = &o;
        nearest_gap = gap;
    }
    if (!nearest) return target;
    double t = (race_state.current_tick - race_state.gate_drop_tick) * (double)ROBOT_TICK;
    float a = util_clamp((float)(t - 3) / 2, 0, 1) * util_clamp((float)(120 - t) / 100, 0, 1);
    float along = nearest->velocity[0] * dir[0] + nearest->velocity[2] * dir[1];
    float cap = (1 - a / 4) * std::fmax(along, 0.0f);
    float close = 12 + 8 * a;
    if (nearest_gap < close) return std::fmin(target, cap);
    if (cap >= target) return target;
    float room = (in.speed * in.speed - cap * cap) / 10;
    float w = util_clamp(1 - (float)(nearest_gap - close) / std::fmax(room, 1.0f), 0, 1);
    if (w > 0) {
        for (int &serial : s->followed_serials) serial = 0;   // this segment is not rated
        target += w * (cap - target);
    }
    return target;
}

void autopilot_normal_drive(rider_slot *s, const robot_sense &in, robot_controls *out) {
    const line_point *line = (const line_point *)s->working_line.items;
    int n = s->working_line.count;
    int now = race_state.current_tick;
    robot_record &r = s->robot;
    if (!line || n <= 0) return;
    if ((long long)now - r.last_advance_tic > 3LL * RACE_TICKS_PER_SECOND) {
        r.recovery = 3;
        out->keep = 1;
        return;
    }
    out->sit_dab = 0;
    float forward[3] = {-in.z_axis[0], -in.z_axis[1], -in.z_axis[2]};
    double p = autopilot_line_progress(line, n, s->target_index, in.position, forward);
    if (!std::isfinite(p)) p = 0;
    p = std::fmin(std::fmax(p, 0.0), (double)(n - 1));
    long long o = (long long)std::floor(p);
    float so = std::fabs(point_of(line, n, o).speed), so1 = std::fabs(point_of(line, n, o + 1).speed);
    float target = so + (float)(p - o) * (so1 - so);

    // A jump ahead: take off straight and upright.
    long long jump = -1;
    for (long long j = o; j < o + 20 && j + 1 < n; j++)
        if (point_of(line, n, j).speed < 0 && point_of(line, n, j + 1).speed < 0) {
            jump = j;
            break;
        }
    const line_point &po = point_of(line, n, o);
    double to_o = std::sqrt(((double)po.x - in.position[0]) * ((double)po.x - in.position[0]) +
                            ((double)po.y - in.position[1]) * ((double)po.y - in.position[1]) +
                            ((double)po.z - in.position[2]) * ((double)po.z - in.position[2]));
    double time = jump >= 0 ? to_o / std::fmax(in.speed, 1.0f) + 0.25 * (double)(jump - o) : ROBOT_FAR;
    float grip_factor = in.front_touch ? util_clamp((16 - in.front_slide) / 16, 0, 1) : 1.0f;
    float most_lean = PI_F / 2;
    if (time < 3) {
        float w = std::fmin((float)(3 - time) / 2, 1.0f);
        target += w * (std::fmax(in.speed, so + 2) - target);
        grip_factor += w * (1 - grip_factor);
        most_lean = PI_F / 2 - ROBOT_JUMP_NARROWING * w;
    }

    // The turn toward the look-ahead point.
    float dir[2];
    autopilot_travel_direction(in, dir);
    float left[2] = {dir[1], -dir[0]};
    auto side_of = [&](double x, double z) {
        return (x - in.position[0]) * left[0] + (z - in.position[2]) * left[1];
    };
    auto ahead_of = [&](double x, double z) {
        return (x - in.position[0]) * dir[0] + (z - in.position[2]) * dir[1];
    };
    int straight_run = 0;
    for (long long j = o + 1; j < n && straight_run < 20; j++) {
        const line_point &q = line[j];
        double a = ahead_of(q.x, q.z), sd = side_of(q.x, q.z);
        if (!(a > 0 && std::fabs(sd) <= a / 8)) break;
        straight_run++;
    }
    float straight = util_clamp((20.0f - straight_run) / 17, 0, 1);
    double look = p + (straight_run < 5 || std::fabs(in.tilt) >= PI_F / 8 ? 2 : 3);
    line_point t = point_at(line, n, look);
    if (time < 2 && jump >= 0) {
        float w = util_clamp((float)(2 - time) * 2, 0, 1);
        const line_point &take = point_of(line, n, jump), &take3 = point_of(line, n, jump + 3);
        const line_point &o3 = point_of(line, n, o + 3);
        double gx = in.position[0] + ((double)take3.x - take.x), gz = in.position[2] + ((double)take3.z - take.z);
        t.x = (float)(o3.x + w * (gx - o3.x));
        t.z = (float)(o3.z + w * (gz - o3.z));
    }
    double side = side_of(t.x, t.z), ahead = ahead_of(t.x, t.z);
    float k = std::fmax(in.load - 1, 1.0f);
    if (!std::isfinite(k)) k = 1;
    float present = autopilot_present_radius(in.speed, in.tilt, k);
    float radius = autopilot_turn_radius((float)side, (float)ahead, present);
    double v2 = (double)in.speed * in.speed;
    float wanted = std::fabs(radius) > 1e-6f ? (float)std::atan(v2 / ((double)radius * 32 * k)) : 0.0f;

    // The lean the ground allows: the least grip under the coming points and where the bike
    // will be in a quarter second, around the slope across the bike.
    float grip_here;
    float bank = bank_under(in, &grip_here);
    float allowed = ROBOT_LEAN_CAP;
    for (int i = 0; i < 6; i++) {
        float x, z;
        if (i < 5) {
            const line_point &q = point_of(line, n, o + i);
            x = q.x;
            z = q.z;
        } else {
            x = in.position[0] + 0.25f * in.velocity[0];
            z = in.position[2] + 0.25f * in.velocity[2];
        }
        float grip = 1, normal[3];
        autopilot_ground_hook(x, z, &grip, normal);
        allowed = std::fmin(allowed, autopilot_grip_angle(grip));
    }
    float low, high;
    autopilot_lean_window(allowed, bank, &low, &high);
    if (wanted < low || wanted > high) {
        wanted = util_clamp(wanted, low, high);
        float cap = (float)std::sqrt(std::tan(std::fabs((double)wanted)) * k * std::fabs((double)radius) * 32);
        if (std::isfinite(cap)) target = std::fmin(target, cap);
        r.lean_limit_tic = now;
    }
    wanted = util_clamp(wanted, -most_lean, most_lean);

    target = make_room(s, in, dir, target);

    // Slow riding wants no lean; at walking pace (held up behind a rider, say) the rider puts a
    // foot down, or the bike topples over as it stops.
    if (in.speed < 7.5f) {
        wanted = 0;
        grip_factor = 1;
        out->sit_dab = 1;
    } else if (in.speed < 10) {
        float w = (in.speed - 7.5f) * 0.4f;
        wanted *= w;
        grip_factor = 1 + w * (grip_factor - 1);
    }

    // Steering: the lean correction through the roll rate.
    float c = 4 * (wanted - in.tilt) * straight;
    float limit = PI_F / k;
    if (c * in.tilt < 0) limit *= 2;   // back toward upright
    c = util_clamp(c, -limit, limit);
    out->set_limits = 1;
    out->restricted_lock = autopilot_restricted_lock(c);
    float d = in.roll_rate - c;
    d = std::fabs(d) <= 0.125f ? 0 : d - (d > 0 ? 0.125f : -0.125f);
    float steer = in.steering_response;
    if (in.front_touch) {
        float w = util_clamp((4 - in.front_slide) / 4, 0, 1);
        steer += w * (4 * d - steer);
    }
    out->steer = util_clamp(steer, -1, 1);

    // Speed, with the throttle shaped by the grip and by the last lean limit.
    autopilot_speed_control(in, target, out);
    float throttle = out->throttle * grip_factor;
    float memory = r.throttle_memory;
    if ((long long)now - r.lean_limit_tic <= RACE_TICKS_PER_SECOND / 8)
        throttle = std::fmin(throttle, memory + 1.0f / 32);
    else
        throttle = std::fmax(throttle, memory - 1.0f / 32);
    if (!std::isfinite(throttle)) throttle = 0;
    r.throttle_memory = throttle;
    out->throttle = util_clamp(throttle, 0, 1);
}
