// Checkpoint passing, lap and finish timing, and the learning and rating of lines.
#include "race/laps.h"

#include <cmath>
#include <cstring>

#include "bike/rider.h"
#include "core/mem.h"
#include "core/settings.h"
#include "race/lines.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/timing.h"

int (*autopilot_gather_hook)(int slot, lap_sample_input *in) = autopilot_gather;

int autopilot_gather(int slot, lap_sample_input *in) {
    rider_slot *s = rider_slot_at(slot);
    dBodyID frame = s ? bike_frame_body(s) : nullptr;
    if (!frame) return 0;
    const dReal *p = dBodyGetPosition(frame);
    const dReal *v = dBodyGetLinearVel(frame);
    dVector3 f;
    dBodyVectorToWorld(frame, 0, 0, -1, f);
    for (int k = 0; k < 3; k++) {
        in->position[k] = (float)p[k];
        in->forward[k] = (float)f[k];
    }
    in->speed = (float)std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    in->airborne = !(s->front_contact.contact_depth > 0) && !(s->rear_contact.contact_depth > 0);
    in->tilt = bike_body_tilt(frame);
    in->personality = s->autopilot_personality;
    in->down_flag = s->down_flag;
    return 1;
}

static int lap_entry_of(int index) {
    int position = timing_lap_position(index);
    if (position < 0 || position >= timing_gates.lap_list.count) return -1;
    return ((const int *)timing_gates.lap_list.items)[position];
}

static growable_array *buffer_of(rider_slot *s, int segment) {
    return &s->sample_buffers[segment & 1];
}

static void empty_buffers(rider_slot *s) {
    s->sample_buffers[0].count = s->sample_buffers[1].count = 0;
}

// The slot of the store row of the segment holding that serial, or null.
static line_slot *slot_with_serial(int segment, int serial) {
    if (serial == 0 || segment < 0) return nullptr;
    line_slot *row = line_store_row(line_store_row_of_segment(segment));
    for (int k = 0; row && k < LINE_SLOTS_PER_SEGMENT; k++)
        if (row[k].point_count > 0 && row[k].serial == serial) return &row[k];
    return nullptr;
}

// The followed line of the segment gets a failure; its serial is forgotten.
static void charge_failure(rider_slot *s, int segment) {
    if (segment < 0) return;
    int serial = s->followed_serials[segment & 3];
    s->followed_serials[segment & 3] = 0;
    line_slot *t = slot_with_serial(segment, serial);
    if (t && t->failures < INT32_MAX) t->failures++;
}

static void forget_serials(rider_slot *s) {
    memset(s->followed_serials, 0, sizeof s->followed_serials);
}

static int32_t add_capped(int32_t total, int32_t add) {
    long long v = (long long)total + add;
    return v > INT32_MAX ? INT32_MAX : (int32_t)v;
}

// Step 1: a sample four times a second for people.
static void take_sample(rider_slot *s, const lap_sample_input &in) {
    if (race_state.current_tick % LAP_SAMPLE_TICKS != 0 || in.personality != 0) return;
    int segment = rider_count_timed_points(s->timing_count);
    growable_array *b = buffer_of(s, segment);
    if (b->count >= LAP_SAMPLES_MAX) {
        s->sample_cancel_bits |= 1 << (segment & 1);
        return;
    }
    line_point p = {in.position[0], in.position[1], in.position[2], in.airborne ? -in.speed : in.speed, in.tilt};
    if (!plyx_array_append(b, &p)) s->sample_cancel_bits |= 1 << (segment & 1);
}

// Step 2: a robot's fall charges the line it follows (and the one before, just after a point).
static void charge_fall(int slot, rider_slot *s, const lap_sample_input &in) {
    if (s->down_flag != 1) return;
    s->down_flag = 2;
    if (in.personality == 0) return;
    charge_failure(s, rider_count_timed_points(s->timing_count));
    int previous = rider_timing_tic(slot, s->timing_count - 1);
    if (previous >= 0 && race_state.current_tick - previous < LAP_FALL_BOTH_TICKS)
        charge_failure(s, rider_count_timed_points(s->timing_count - 1));
    forget_serials(s);
}

static bool passes_checkpoint(int index, const lap_sample_input &in) {
    int entry = lap_entry_of(index);
    if (entry < 0) return false;
    int c = entry >= TIMING_NO_SEGMENT ? entry - TIMING_NO_SEGMENT : entry;
    if (c < 0 || c >= timing_gates.count) return false;
    const checkpoint &cp = timing_gates.checkpoints[c];
    double dx = (double)in.position[0] - cp.a[0], dz = (double)in.position[2] - cp.a[2];
    if (dx * dx + dz * dz > (double)cp.value * cp.value) return false;
    return dx * cp.b[0] + dz * cp.b[2] >= 0;
}

// Step 3: the timing index passed this tick (and the offset it was found at), or -1.
static int scan_checkpoints(int slot, const lap_sample_input &in, int *offset) {
    static const int offsets[5] = {-3, -2, 0, 1, 2};
    int r = rider_timing_count(slot);
    bool gap = false;
    for (int i : offsets) {
        int c = r + i;
        if (c < 0) continue;
        int tick = rider_timing_tic(slot, c);
        if (tick == -1) gap = true;
        bool passed = passes_checkpoint(c, in);
        if (passed && (i >= 0 || gap)) {
            *offset = i;
            return c;
        }
        if (!passed && timing_closes_lap(c) && tick == -1) return -1;
    }
    return -1;
}

// Step 5: the last three segment-ending indices up to c and their ticks. 1 when every entry
// from k0 (or 0) to c was passed.
struct timing_triple {
    int k[3];
    int t[3];
    int complete;
};

static timing_triple triple_of(int slot, int c) {
    timing_triple x = {{-1, -1, c}, {-1, -1, -1}, 0};
    int j = c - 1;
    for (int n = 1; n >= 0; n--) {
        while (j >= 0 && lap_entry_of(j) >= TIMING_NO_SEGMENT) j--;
        x.k[n] = j;   // below 0 when the walk ran out
        if (j >= 0) j--;
    }
    x.complete = 1;
    for (int i = x.k[0] < 0 ? 0 : x.k[0]; i <= c; i++)
        if (rider_timing_tic(slot, i) < 0) x.complete = 0;
    for (int n = 0; n < 3; n++)
        x.t[n] = x.k[n] < 0 ? race_state.gate_drop_tick : rider_timing_tic(slot, x.k[n]);
    return x;
}

// Step 6: a robot's ride of the segment just ended is rated against its working line.
static void rate_robot(int slot, rider_slot *s, const lap_sample_input &in, int c, int g) {
    if (g > 0 && line_store.row_count > 0) {
        const line_point *line = (const line_point *)s->working_line.items;
        int n = s->working_line.count;
        bool on_line = false;
        if (line && n > 0) {
            float p = autopilot_line_progress(line, n, s->target_index, in.position, in.forward);
            int fb = (int)std::floor(p);
            int ia = fb - 1 < 0 ? 0 : (fb - 1 > n - 1 ? n - 1 : fb - 1);
            int ib = fb < 0 ? 0 : (fb > n - 1 ? n - 1 : fb);
            const line_point &a = line[ia], &b = line[ib];
            double ab[3] = {(double)b.x - a.x, (double)b.y - a.y, (double)b.z - a.z};
            double ap[3] = {(double)in.position[0] - a.x, (double)in.position[1] - a.y,
                            (double)in.position[2] - a.z};
            double ab2 = ab[0] * ab[0] + ab[1] * ab[1] + ab[2] * ab[2];
            double ap2 = ap[0] * ap[0] + ap[1] * ap[1] + ap[2] * ap[2];
            double offset2 = ap2;
            if (ab2 > 0) {   // perpendicular distance from the line through a and b
                double d = ap[0] * ab[0] + ap[1] * ab[1] + ap[2] * ab[2];
                offset2 = ap2 - d * d / ab2;
            }
            double v = in.speed;
            bool close = offset2 <= LAP_OFF_LINE_SQUARED;
            bool slow_enough = std::fabs((double)a.speed) >= LAP_SPEED_MARGIN * v ||
                               std::fabs((double)b.speed) >= LAP_SPEED_MARGIN * v;
            on_line = close && slow_enough;
        }
        timing_triple x = triple_of(slot, c);
        if (!on_line) {
            charge_failure(s, g);
            forget_serials(s);
        } else {
            int missing = -1;
            for (int i = x.k[0] + 1; i <= x.k[1] && missing < 0; i++)
                if (i >= 0 && rider_timing_tic(slot, i) < 0) missing = i;
            if (missing >= 0) {
                charge_failure(s, rider_count_timed_points(missing));
                forget_serials(s);
            } else if (x.complete) {
                line_slot *t = slot_with_serial(g - 1, s->followed_serials[(g - 1) & 3]);
                if (t) {
                    int one = x.t[1] - x.t[0], two = x.t[2] - x.t[0];
                    if (t->passes < INT32_MAX) t->passes++;
                    if (one < t->best_time) t->best_time = one;
                    if (two < t->best_time_two) t->best_time_two = two;
                    t->total_time = add_capped(t->total_time, one);
                    t->total_time_two = add_capped(t->total_time_two, two);
                }
            }
        }
    }
    empty_buffers(s);
}

static bool same_line(const line_slot &t, const line_point *points, int n) {
    if (t.point_count != n) return false;
    for (int i = 0; i < n; i++) {
        const line_point &a = t.points[i], &b = points[i];
        if (std::fabs((double)a.speed - b.speed) > LAP_SAME_SPEED) return false;
        double dx = (double)a.x - b.x, dy = (double)a.y - b.y, dz = (double)a.z - b.z;
        if (dx * dx + dy * dy + dz * dz > LAP_SAME_POSITION_SQUARED) return false;
    }
    return true;
}

// Step 7: a person's clean segment is offered to the store.
static void learn_segment(int slot, rider_slot *s, int c, int g) {
    timing_triple x = triple_of(slot, c);
    if (g > 0 && line_store.row_count > 0 && x.complete) {
        int buffer = (g - 1) & 1;
        int row = line_store_row_of_segment(g - 1);
        line_slot *slots = line_store_row(row);
        const growable_array *b = &s->sample_buffers[buffer];
        const line_point *points = (const line_point *)b->items;
        int n1 = x.t[1] - x.t[0], n2 = x.t[2] - x.t[0];
        bool verbose = game_settings.debug_level != 0;
        if (b->count == 0 || (s->sample_cancel_bits >> buffer & 1)) {
            if (verbose) plyx_log("auto pilot: %d canceled\n", row);
        } else {
            bool duplicate = false;
            for (int k = 0; k < LINE_SLOTS_PER_SEGMENT && !duplicate; k++)
                duplicate = slots[k].point_count > 0 && same_line(slots[k], points, b->count);
            int target = -1;
            for (int k = 0; k < LINE_SLOTS_PER_SEGMENT && target < 0 && !duplicate; k++)
                if (slots[k].point_count == 0) target = k;
            if (target < 0 && !duplicate) target = line_worst_slot(row);
            if (duplicate) {
                if (verbose) plyx_log("auto pilot: %d rejected (duplicate)\n", row);
            } else if (target >= 0 && line_slot_score(&slots[target]) >= 5LL * n2 / 4) {
                line_slot &t = slots[target];
                if (verbose) {
                    double avg = t.passes > 0 ? (double)t.total_time / t.passes / 128 : 0;
                    double avg2 = t.passes > 0 ? (double)t.total_time_two / t.passes / 128 : 0;
                    plyx_log("auto pilot: evicting %d (times: %.2f %.2f tested (%d %d): %.2f %.2f repl: %f %f)\n",
                             row, t.recorded_time / 128.0, t.recorded_time_two / 128.0, t.passes, t.failures,
                             avg, avg2, n1 / 128.0, n2 / 128.0);
                }
                line_slot_clear(&t);
                t.points = (line_point *)mem_alloc_or_die(sizeof(line_point) * (size_t)b->count);
                memcpy(t.points, points, sizeof(line_point) * (size_t)b->count);
                t.point_count = b->count;
                t.recorded_time = n1;
                t.recorded_time_two = n2;
                t.serial = line_store_next_serial();
            } else if (verbose) {
                plyx_log("auto pilot: %d rejected (too slow)\n", row);
            }
        }
    }
    int done = rider_count_timed_points(c + 1) & 1;
    s->sample_buffers[done].count = 0;
    s->sample_cancel_bits &= ~(1 << done);
}

// Step 8's slow-down of a finishing robot over the rest of its working line.
static void slow_down(rider_slot *s, const lap_sample_input &in) {
    line_point *line = (line_point *)s->working_line.items;
    int n = s->working_line.count;
    if (!line || n <= 0) return;
    int from = (int)std::floor(autopilot_line_progress(line, n, s->target_index, in.position, in.forward));
    if (from < 0) from = 0;
    if (from >= n) return;   // nothing left to slow
    for (int k = from; k < n; k++) line[k].speed *= 0.75f * (float)(n - k) / (float)(n - from) + 0.25f;
}

// Step 8: a lap line finishes the rider once the leader has finished or its laps are done.
static void check_finish(rider_slot *s, const lap_sample_input &in, int c) {
    if (!timing_closes_lap(c) || s->finished) return;
    int f = timing_gates.first_lap_length, n = timing_gates.lap_length;
    int final_lap = race_state.final_lap;
    int needed = final_lap != 0 ? f + n * (final_lap - 1) - 1 : 0;
    bool leader_done = race_state.running_count > 0 && race_state.running_order[0].points > needed;
    int laps = (c + 1 - f) / n + 1;
    if (!leader_done && laps < final_lap) return;
    s->finished = 1;
    if (in.personality != 0) slow_down(s, in);
}

void autopilot_record_sample(rider_slot *s) {
    if (!s || s < rider_table || s >= rider_table + RIDER_SLOTS) return;
    int slot = (int)(s - rider_table);
    if (timing_gates.count <= 0 || timing_gates.lap_length <= 0 || s->finished) return;
    lap_sample_input in = {};
    if (!autopilot_gather_hook || !autopilot_gather_hook(slot, &in)) return;
    for (float v : {in.position[0], in.position[1], in.position[2], in.speed, in.tilt})
        if (!std::isfinite(v)) return;
    s->down_flag = in.down_flag;
    take_sample(s, in);
    charge_fall(slot, s, in);
    int offset = 0;
    int c = scan_checkpoints(slot, in, &offset);
    if (c < 0 || c >= TIMING_INDEX_LIMIT) return;
    if (s->down_flag) s->sample_cancel_bits |= 1 << (rider_count_timed_points(s->timing_count) & 1);
    s->timing_count = c;
    rider_set_timing_tic(slot, c, race_state.current_tick);
    if (lap_entry_of(c) < TIMING_NO_SEGMENT) {
        int g = rider_count_timed_points(c);
        if (in.personality != 0)
            rate_robot(slot, s, in, c, g);
        else if (offset != 0)
            empty_buffers(s);
        else
            learn_segment(slot, s, c, g);
    }
    s->timing_count = c + 1;
    check_finish(s, in, c);
    race_update_standings();
    s->down_flag = 0;
}
