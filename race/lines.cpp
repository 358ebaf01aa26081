// The line store's rows and the line files of the robots' levels.
#include "race/lines.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "core/console.h"
#include "core/mem.h"
#include "core/settings.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "race/timing.h"
#include "race/track.h"

int line_store_next_serial() {
    return ++line_store.serial_counter;
}

int line_row_used(int row) {
    line_slot *slots = line_store_row(row);
    int n = 0;
    for (int k = 0; slots && k < LINE_SLOTS_PER_SEGMENT; k++) n += slots[k].point_count >= 1;
    return n;
}

// ---- Reading ----------------------------------------------------------------------------------

// Passes and failures halved (the totals scaled with the passes) until they fit, then capped.
static void rescale_statistics(line_slot *t) {
    for (int pass = 0; pass < 16; pass++) {
        if (!(t->total_time_two > LINE_TIME_MAX || t->passes > LINE_COUNT_MAX ||
              t->failures > LINE_COUNT_MAX))
            break;
        if (t->passes / 2 != 0) {
            t->total_time = t->total_time / t->passes * (t->passes / 2);
            t->total_time_two = t->total_time_two / t->passes * (t->passes / 2);
            t->passes /= 2;
        }
        t->failures /= 2;
    }
    if (t->total_time > LINE_TIME_MAX) t->total_time = LINE_TIME_MAX;
    if (t->total_time_two > LINE_TIME_MAX) t->total_time_two = LINE_TIME_MAX;
    if (t->passes > LINE_COUNT_MAX) t->passes = LINE_COUNT_MAX;
    if (t->failures > LINE_COUNT_MAX) t->failures = LINE_COUNT_MAX;
}

static bool statistics_sound(const line_slot *t) {
    const int times[4] = {t->recorded_time, t->recorded_time_two, t->best_time, t->best_time_two};
    for (int v : times)
        if (v < 0 || v > LINE_TIME_MAX) return false;
    return t->passes >= 0 && t->failures >= 0 && t->total_time >= 0 && t->total_time_two >= 0;
}

static bool point_sound(const line_point &p) {
    const float v[5] = {p.x, p.y, p.z, p.speed, p.tilt};
    for (float f : v)
        if (!std::isfinite(f)) return false;
    return std::fabs(p.x) <= LINE_COORD_MAX && std::fabs(p.y) <= LINE_COORD_MAX &&
           std::fabs(p.z) <= LINE_COORD_MAX && std::fabs(p.speed) <= LINE_SPEED_MAX;
}

// One slot of the file into t (null: read and thrown away): 1, or 0 for a bad record.
static int read_slot(file_stream *s, line_slot *t) {
    line_slot v = {};
    int got = stream_scanf(s, " %d %d %d %d %d %d %d %d %d ", &v.point_count, &v.recorded_time,
                           &v.recorded_time_two, &v.passes, &v.best_time, &v.best_time_two,
                           &v.total_time, &v.total_time_two, &v.failures);
    if (got != 9 || v.point_count < 1 || v.point_count > LINE_POINTS_MAX || !statistics_sound(&v))
        return 0;
    line_point *points = (line_point *)mem_alloc_or_die((size_t)v.point_count * sizeof(line_point));
    for (int i = 0; i < v.point_count; i++) {
        line_point &p = points[i];
        if (stream_scanf(s, " [ %f %f %f ] %f %f ", &p.x, &p.y, &p.z, &p.speed, &p.tilt) != 5 ||
            !point_sound(p)) {
            mem_free(points);
            return 0;
        }
    }
    if (!t) {
        mem_free(points);
        return 1;
    }
    rescale_statistics(&v);
    line_slot_clear(t);
    v.points = points;
    v.last_picked = t->last_picked;
    v.serial = line_store_next_serial();
    *t = v;
    return 1;
}

int lines_read(file_stream *s, const char *name) {
    line_store_clear();
    int rows = 0;
    if (stream_scanf(s, "ct03 %d ", &rows) != 1 || rows != line_store.row_count) return 0;
    for (int r = 0; r < rows; r++) {
        int n = 0;
        if (stream_scanf(s, " %d ", &n) != 1) break;
        if (game_settings.debug_level) plyx_log("%d: %d\n", r, n);
        bool bad = n < 0;
        line_slot *row = line_store_row(r);
        for (int k = 0; k < n && !bad; k++)
            bad = !read_slot(s, k < LINE_SLOTS_PER_SEGMENT ? &row[k] : nullptr);
        if (bad) {
            console_printf("Warning: bad line file '%.900s'\n", name);
            break;
        }
    }
    return 1;
}

// ---- Writing ----------------------------------------------------------------------------------

int lines_write(file_stream *s) {
    int good = stream_printf(s, "ct03 %d\n", line_store.row_count) >= 0;
    for (int r = 0; r < line_store.row_count; r++) {
        const line_slot *row = line_store_row(r);
        if (stream_printf(s, "%d\n", line_row_used(r)) < 0) good = 0;
        for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++) {
            const line_slot &t = row[k];
            if (t.point_count < 1) continue;
            if (stream_printf(s, "%d %d %d %d %d %d %d %d %d\n", t.point_count, t.recorded_time,
                              t.recorded_time_two, t.passes, t.best_time, t.best_time_two,
                              t.total_time, t.total_time_two, t.failures) < 0)
                good = 0;
            for (int i = 0; i < t.point_count; i++) {
                const line_point &p = t.points[i];
                if (stream_printf(s, "[%f %f %f] %f %f\n", (double)p.x, (double)p.y, (double)p.z,
                                  (double)p.speed, (double)p.tilt) < 0)
                    good = 0;
            }
        }
    }
    return good;
}

const char *lines_file_name(int level) {
    static const char *const names[3] = {"lines_novice", "lines_amateur", "lines_expert"};
    return level >= 0 && level <= 2 ? names[level] : nullptr;
}

int autopilot_read_lines(int level) {
    line_store_clear();
    const char *file = lines_file_name(level);
    if (!file || !track_name || line_store.row_count <= 0) return 0;
    std::string name = std::string("@") + track_name + "/" + file;
    file_stream *s = stream_open(name.c_str(), "rb");
    if (!s) return 0;
    int matched = lines_read(s, name.c_str());
    stream_close(s);
    return matched;
}

void autopilot_write_lines(int level) {
    const char *file = lines_file_name(level);
    if (!game_settings.autopilot_learning || !file || !track_name || timing_gates.count <= 0 ||
        line_store.row_count <= 0)
        return;
    std::string name = std::string("@") + track_name + "/" + file;
    std::string temporary = name + ".tmp";
    file_stream *s = stream_open(temporary.c_str(), "wb");
    int good = 0;
    if (s) {
        good = lines_write(s);
        if (stream_flush(s) != 0) good = 0;
        if (!stream_close(s)) good = 0;
        if (good) good = path_rename_replace(temporary.c_str(), name.c_str());
        if (!good) path_remove(temporary.c_str());
    }
    if (!good) console_printf("Warning: couldn't write '%.900s'\n", name.c_str());
}

void autopilot_load_lines(int level) {
    autopilot_read_lines(level);
    autopilot_prune_lines();
}

// ---- Worst line, crossing and pruning ----------------------------------------------------------

long long line_slot_score(const line_slot *t) {
    if (t->passes > 0)
        return (long long)t->total_time_two / t->passes +
               (long long)t->failures * LINE_FAILURE_PENALTY / ((long long)t->passes + t->failures);
    return 5LL * t->recorded_time_two / 4 + (t->failures > 0 ? LINE_FAILURE_PENALTY : 0);
}

int line_worst_slot(int row) {
    line_slot *slots = line_store_row(row);
    if (!slots) return -1;
    int good = 0;
    for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++)
        good += slots[k].point_count >= 1 && slots[k].passes > slots[k].failures;
    int worst = -1;
    long long worst_score = 0;
    for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++) {
        const line_slot &t = slots[k];
        if (t.point_count < 1) continue;
        if (good <= LINE_GOOD_KEEP && t.passes > t.failures) continue;
        long long score = line_slot_score(&t);
        bool lone = true;
        for (int m = 0; m < LINE_SLOTS_PER_SEGMENT && lone; m++) {
            const line_slot &o = slots[m];
            if (m == k || o.point_count < 1) continue;
            double dx = (double)o.points[0].x - t.points[0].x, dy = (double)o.points[0].y - t.points[0].y,
                   dz = (double)o.points[0].z - t.points[0].z;
            lone = dx * dx + dy * dy + dz * dz >= 4;
        }
        if (lone) score = score * 3 / 4;
        if (worst < 0 || score > worst_score) {
            worst = k;
            worst_score = score;
        }
    }
    return worst;
}

static double side_of(const line_point *a, const line_point *b, const line_point *p,
                      const line_point *at) {
    return ((double)a->z - b->z) * ((double)p->x - at->x) + ((double)b->x - a->x) * ((double)p->z - at->z);
}

int autopilot_crosses_segment(const line_point *a, const line_point *b, const line_point *c,
                              const line_point *d) {
    bool c_positive = side_of(a, b, c, a) >= 0;
    bool d_positive = side_of(a, b, d, b) >= 0;
    return c_positive != d_positive;
}

// 1 when some step of m and some step of k separate each other.
static int slots_cross(const line_slot &m, const line_slot &k) {
    for (int i = 0; i + 1 < m.point_count; i++)
        for (int j = 0; j + 1 < k.point_count; j++) {
            const line_point *a = &m.points[i], *b = &m.points[i + 1];
            const line_point *c = &k.points[j], *d = &k.points[j + 1];
            if (autopilot_crosses_segment(a, b, c, d) && autopilot_crosses_segment(c, d, a, b)) return 1;
        }
    return 0;
}

// The first victim's tie rule: 1 when slot b replaces slot a on an equal count.
static bool prune_prefers(const line_slot &a, const line_slot &b) {
    if (b.passes > 0 && a.passes <= 0) return true;
    if (b.passes > 0 && a.passes > 0) return b.total_time_two / b.passes < a.total_time_two / a.passes;
    if (b.passes <= 0 && a.passes <= 0) return b.recorded_time_two < a.recorded_time_two;
    return false;
}

void autopilot_prune_lines() {
    for (int r = 0; r < timing_gates.first_lap_timed && r < line_store.row_count; r++) {
        line_slot *slots = line_store_row(r);
        for (int used = line_row_used(r); used >= LINE_PRUNE_FROM; used -= 2) {
            int victim = -1, victim_count = 0;
            for (int m = 0; m < LINE_SLOTS_PER_SEGMENT; m++) {
                if (slots[m].point_count < 2) continue;
                int count = 0;
                for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++)
                    if (k != m && slots[k].point_count >= 2) count += slots_cross(slots[m], slots[k]);
                if (count == 0) continue;
                if (victim < 0 || count > victim_count ||
                    (count == victim_count && prune_prefers(slots[victim], slots[m]))) {
                    victim = m;
                    victim_count = count;
                }
            }
            if (victim >= 0) line_slot_clear(&slots[victim]);
            int second = line_worst_slot(r);
            if (second >= 0) line_slot_clear(&slots[second]);
        }
    }
}
