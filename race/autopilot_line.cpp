// The robot's working line: moving the target on, choosing the line of the next segment over
// the coming rows, and joining the chosen line onto the working line.
#include <cmath>
#include <cstring>

#include "core/settings.h"
#include "core/util.h"
#include "platform/plyx.h"
#include "race/autopilot.h"
#include "race/lines.h"
#include "race/planner.h"
#include "race/race.h"
#include "race/start_gate.h"
#include "race/timing.h"

static double distance_xz(const line_centre &o, const line_point &p) {
    double dx = (double)p.x - o.x, dz = (double)p.z - o.z;
    return std::sqrt(dx * dx + dz * dz);
}

static double clamp01(double v) {
    return v < 0 ? 0 : v > 1 ? 1 : v;
}

int autopilot_advance(rider_slot *s, const robot_sense &in, int now) {
    line_point *line = (line_point *)s->working_line.items;
    int n = s->working_line.count;
    int t = s->target_index;
    if (!line || t < 0 || t >= n) return 0;
    double capture = s->robot.recovery == 3 ? ROBOT_CAPTURE_RECOVERY : ROBOT_CAPTURE;
    double dx = (double)line[t].x - in.position[0], dz = (double)line[t].z - in.position[2];
    double d = std::sqrt(dx * dx + dz * dz);
    if (!(d < capture)) return 0;
    if (d > 4 && t > 0) {
        // A point behind a bend that turns back against the heading is not skipped.
        double sx = (double)line[t].x - line[t - 1].x, sz = (double)line[t].z - line[t - 1].z;
        double forward_x = -in.z_axis[0], forward_z = -in.z_axis[2];
        if (sx * sx + sz * sz > 1 && sx * forward_x + sz * forward_z < 0) return 0;
    }
    s->target_index = t + 1;
    s->robot.last_advance_tic = now;
    if (s->target_index >= n) {
        s->working_line.count = 0;
        s->target_index = 0;
    }
    if (s->robot.recovery > 0) s->robot.recovery--;
    return 1;
}

void autopilot_line_weights(const line_choice_input &in, float weight[LINE_SLOTS_PER_SEGMENT]) {
    // best(l): the cheapest chain from slot l over the coming rows.
    int32_t best[LINE_SLOTS_PER_SEGMENT];
    autopilot_least_chain_costs(best, in.segment, ROBOT_CHOICE_ROWS, in.cost_type);
    int32_t least = PLAN_NO_CHAIN;
    for (int l = 0; l < LINE_SLOTS_PER_SEGMENT; l++)
        if (best[l] < least) least = best[l];
    for (int l = 0; l < LINE_SLOTS_PER_SEGMENT; l++)
        weight[l] = best[l] < 1 ? 1.0f : (float)((double)least / best[l]);
    int row = line_store_row_of_segment(in.segment);
    line_slot *slots = line_store_row(row);
    if (in.cost_type >= 0 && in.cost_type <= 2 && slots) {
        // The level's plan gains weight as the race settles.
        line_slot **plan = autopilot_plan_list(in.cost_type);
        double seconds = (double)in.now / RACE_TICKS_PER_SECOND;
        float b = (float)clamp01((seconds - 40) * 0.05);
        line_slot *planned = plan ? plan[row] : nullptr;
        if (planned >= slots && planned < slots + LINE_SLOTS_PER_SEGMENT) {
            float &w = weight[planned - slots];
            w += b * (1 - w);
        }
    }
    if (in.segment == 0)
        for (int l = 0; l < LINE_SLOTS_PER_SEGMENT; l++) weight[l] = 0.2f * weight[l] + 0.8f;
}

float autopilot_line_match(const line_choice_input &in, const line_slot *slot) {
    if (!slot->points || slot->point_count <= 0) return 0;
    if (!in.line || in.count < 3) {
        const line_point &p = slot->points[0];
        double dx = (double)p.x - in.position[0], dy = (double)p.y - in.position[1],
               dz = (double)p.z - in.position[2];
        double c = clamp01((100 - std::sqrt(dx * dx + dy * dy + dz * dz)) / 96);
        return (float)(10 * c * c * c);
    }
    if (slot->point_count < 2) return 0;
    const line_point *e = in.line + in.count - 3;
    line_centre o = autopilot_circle_through_points(&e[0], &e[1], &e[2]);
    double r0 = distance_xz(o, e[2]), e0 = std::fabs((double)e[2].speed);
    double e1 = std::fabs((double)slot->points[0].speed);
    double d1 = distance_xz(o, slot->points[0]), d2 = distance_xz(o, slot->points[1]);
    double a = clamp01((e1 + LINE_JOIN_SLOWER - e0) / 5);
    double b = clamp01((5 - std::fabs(r0 - d1)) / 3.5);
    double c = clamp01((3 - std::fabs(d2 - d1)) / 2);
    double bc = b * c;
    return (float)(a * bc * bc * bc);
}

int autopilot_choose_line(const line_choice_input &in) {
    int row = line_store_row_of_segment(in.segment);
    line_slot *slots = line_store_row(row);
    if (!slots) return -1;
    int chosen = -1;
    for (int l = 0; l < LINE_SLOTS_PER_SEGMENT && chosen < 0; l++)
        if (slots[l].point_count > 0) chosen = l;
    if (chosen < 0) return -1;
    float weight[LINE_SLOTS_PER_SEGMENT];
    autopilot_line_weights(in, weight);
    // Only used slots compete; the best so far starts at 0 with the lowest of them.
    double best = 0;
    float match[LINE_SLOTS_PER_SEGMENT] = {};
    double since[LINE_SLOTS_PER_SEGMENT] = {};
    for (int l = 0; l < LINE_SLOTS_PER_SEGMENT; l++) {
        const line_slot &t = slots[l];
        if (t.point_count <= 0) continue;
        match[l] = autopilot_line_match(in, &t);
        since[l] = ((double)in.now - t.last_picked) / RACE_TICKS_PER_SECOND;
        double total = match[l] + clamp01(since[l] / 3) * weight[l];
        if (total > best) {
            best = total;
            chosen = l;
        }
    }
    if (game_settings.debug_level)
        plyx_log("auto pilot: picking %d score = %f match = %f last_picked = %f\n", chosen,
                 (double)weight[chosen], (double)match[chosen], since[chosen]);
    return chosen;
}

void autopilot_mark_picked(line_slot *row, int chosen, int now) {
    if (!row || chosen < 0 || chosen >= LINE_SLOTS_PER_SEGMENT) return;
    line_slot &c = row[chosen];
    c.last_picked = now;
    if (!c.points || c.point_count <= 0) return;
    const line_point &end = c.points[c.point_count - 1];
    for (int l = 0; l < LINE_SLOTS_PER_SEGMENT; l++) {
        const line_slot &t = row[l];
        if (!t.points || t.point_count <= 0) continue;
        const line_point &e = t.points[t.point_count - 1];
        double dx = (double)e.x - end.x, dy = (double)e.y - end.y, dz = (double)e.z - end.z;
        if (dx * dx + dy * dy + dz * dz < 9) row[l].last_picked = now;
    }
}

// Points b + 1 .. a - 1 become a cubic Hermite curve from point b to point a.
static void join(line_point *w, int n, int b, int a, const float forward[3]) {
    const line_point &p0 = w[b], &p1 = w[a];
    double span = a - b;
    double t0[3], t1[3];
    if (b > 0) {
        t0[0] = ((double)p0.x - w[b - 1].x) * span;
        t0[1] = ((double)p0.y - w[b - 1].y) * span;
        t0[2] = ((double)p0.z - w[b - 1].z) * span;
    } else {
        for (int i = 0; i < 3; i++) t0[i] = 7.5 * a * forward[i];
    }
    t1[0] = ((double)w[a + 1].x - p1.x) * span;
    t1[1] = ((double)w[a + 1].y - p1.y) * span;
    t1[2] = ((double)w[a + 1].z - p1.z) * span;
    (void)n;
    const double q0[3] = {p0.x, p0.y, p0.z}, q1[3] = {p1.x, p1.y, p1.z};
    for (int k = b + 1; k < a; k++) {
        double u = (k - b) / span, u2 = u * u, u3 = u2 * u;
        double h00 = 2 * u3 - 3 * u2 + 1, h10 = u3 - 2 * u2 + u, h01 = -2 * u3 + 3 * u2, h11 = u3 - u2;
        double v[3];
        for (int i = 0; i < 3; i++) v[i] = h00 * q0[i] + h10 * t0[i] + h01 * q1[i] + h11 * t1[i];
        line_point &p = w[k];
        p.x = (float)v[0];
        p.y = (float)v[1];
        p.z = (float)v[2];
        float blend = (float)((1 - u) * p0.speed + u * p1.speed);
        p.speed = std::fmin(p.speed, blend);
        p.tilt = (float)((1 - u) * p0.tilt + u * p1.tilt);
    }
}

void autopilot_extend_line(rider_slot *s, const line_slot *chosen, int segment, const float forward[3]) {
    if (!chosen || !chosen->points || chosen->point_count <= 0) return;
    growable_array *w = &s->working_line;
    if (s->target_index > ROBOT_KEEP_BEHIND) {
        int drop = s->target_index - ROBOT_KEEP_BEHIND;
        if (drop >= w->count) {
            w->count = 0;
            s->target_index = 0;
        } else {
            line_point *p = (line_point *)w->items;
            memmove(p, p + drop, sizeof(line_point) * (size_t)(w->count - drop));
            w->count -= drop;
            s->target_index = ROBOT_KEEP_BEHIND;
        }
    }
    if (w->count == 0)
        for (int i = 0; i < ROBOT_SEED_COPIES; i++) plyx_array_append(w, &chosen->points[0]);
    int a = w->count;
    int b = a - ROBOT_SEED_COPIES > s->target_index ? a - ROBOT_SEED_COPIES : s->target_index;
    for (int i = 0; i < chosen->point_count; i++)
        if (!plyx_array_append(w, &chosen->points[i])) break;
    line_point *line = (line_point *)w->items;
    int n = w->count;
    // The junction, where neither end nor any point between was taken in the air, and the new
    // line has a point after its first.
    bool ground = b >= 0 && b < a && a + 1 < n && chosen->point_count >= 2;
    for (int k = b; ground && k <= a; k++) ground = line[k].speed >= 0;
    if (ground) join(line, n, b, a, forward);
    if (segment == 0) {
        int t = n - 1;
        for (int i = 1; i < n; i++) {
            double dx = (double)line[i].x - line[0].x, dy = (double)line[i].y - line[0].y,
                   dz = (double)line[i].z - line[0].z;
            if (dx * dx + dy * dy + dz * dz > ROBOT_START_CLEAR * ROBOT_START_CLEAR) {
                t = i;
                break;
            }
        }
        s->target_index = t;
        s->robot.last_advance_tic = ROBOT_START_ADVANCE_TIC;
    }
}
