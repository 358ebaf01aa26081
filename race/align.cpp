// The realign target: the look-ahead point on the learned lines, a robot's target point or the
// checkpoint ahead, and the timing gate of the realign.
#include "race/align.h"

#include <algorithm>
#include <cmath>

#include "race/race.h"
#include "race/robots.h"
#include "race/timing.h"

static const int AHEAD_POINTS = 4;

// The best line of the segment the timing index lies in: the slot with points and the smallest
// recorded time (slot 0 unless another qualifies); null when the row has none.
static const line_slot *best_line(int timing_index) {
    const line_slot *row = line_store_row(line_store_row_of_segment(rider_count_timed_points(timing_index)));
    if (!row) return nullptr;
    int best = 0;
    for (int k = 1; k < LINE_SLOTS_PER_SEGMENT; k++)
        if (row[k].point_count > 0 && row[k].points &&
            (row[best].point_count <= 0 || row[k].recorded_time < row[best].recorded_time))
            best = k;
    return row[best].point_count > 0 && row[best].points ? &row[best] : nullptr;
}

static int put_point(const line_point &p, float out[3]) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return 0;
    out[0] = p.x;
    out[1] = p.y;
    out[2] = p.z;
    return 1;
}

// A person's look-ahead along the best lines: 1 with the point, 0 when the lines give none.
static int line_target(rider_slot *s, int depth, const dReal *at, float out[3]) {
    for (; depth < 2; depth++) {
        const line_slot *l = best_line(s->timing_count + depth);
        if (!l || l->point_count < 2) return 0;
        int nearest = 0;
        double best = INFINITY;
        for (int i = 0; i < l->point_count; i++) {
            const line_point &p = l->points[i];
            double dx = p.x - at[0], dy = p.y - at[1], dz = p.z - at[2];
            double d2 = dx * dx + dy * dy + dz * dz;
            if (d2 < best) {
                best = d2;
                nearest = i;
            }
        }
        if (nearest == l->point_count - 1) continue;   // at its end: look in the next segment
        if (nearest + AHEAD_POINTS < l->point_count) return put_point(l->points[nearest + AHEAD_POINTS], out);
        const line_slot *next = best_line(s->timing_count + depth + 1);
        if (!next) return 0;
        int j = std::min(nearest + AHEAD_POINTS - l->point_count, next->point_count - 1);
        return put_point(next->points[j], out);
    }
    return 0;
}

// The centre of the checkpoint the lap list gives for the rider's next timing index.
static int checkpoint_target(const rider_slot *s, float out[3]) {
    int position = timing_lap_position(s->timing_count);
    if (position < 0 || position >= timing_gates.lap_list.count) return 0;
    int entry = ((const int *)timing_gates.lap_list.items)[position];
    if (entry >= TIMING_NO_SEGMENT) entry -= TIMING_NO_SEGMENT;
    if (entry < 0 || entry >= timing_gates.count || entry >= TIMING_CHECKPOINTS_MAX) return 0;
    const float *a = timing_gates.checkpoints[entry].a;
    if (!std::isfinite(a[0]) || !std::isfinite(a[1]) || !std::isfinite(a[2])) return 0;
    for (int i = 0; i < 3; i++) out[i] = a[i];
    return 1;
}

int bike_align_target(rider_slot *s, int depth, float out[3]) {
    if (!s || timing_gates.count <= 0) return 0;
    dBodyID frame = bike_frame_body(s);
    if (!frame) return 0;
    if (s->autopilot_personality == 0) {
        if (line_target(s, depth, dBodyGetPosition(frame), out)) return 1;
    } else if (s->target_index >= 0 && s->target_index < s->working_line.count) {
        const line_point *points = (const line_point *)s->working_line.items;
        if (put_point(points[s->target_index], out)) return 1;
    }
    return checkpoint_target(s, out);
}

int race_realign_allowed(rider_slot *s) {
    if (!s || timing_gates.count <= 0 || s->timing_count < 1) return 0;
    return !rider_check_finished(s->slot_index);
}
