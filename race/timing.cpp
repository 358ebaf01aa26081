// The timing gates file: starting gates with their arm statues, checkpoints, lap lists; the
// timed-segment count and the segment-to-row map of the line store.
#include "race/timing.h"

#include <cmath>
#include <cstring>

#include "core/console.h"
#include "core/settings.h"
#include "core/stream.h"
#include "core/util.h"
#include "core/vfs.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/statue.h"
#include "race/track.h"

timing_gates_record timing_gates = {0, {}, {nullptr, 0, 0, sizeof(int)}, 0, 0, 0, 0};
starting_gate starting_gates[TIMING_GATES_MAX];

static const char DEFAULT_GATE_MODEL[] = "@startgate.jm";
static const char DEFAULT_GATE_TEXTURE[] = "@startgate.ppm";
static const char DEFAULT_GATE_SHAPE[] = "@startgate.shp";

void timing_gates_clear() {
    timing_gates.count = 0;
    timing_gates.first_lap_length = 0;
    timing_gates.lap_length = 0;
    timing_gates.first_lap_timed = 0;
    timing_gates.lap_timed = 0;
    timing_gates.lap_list.count = 0;
    race_state.gate_count = 0;
}

static int lap_entry(int i) {
    return ((const int *)timing_gates.lap_list.items)[i];
}

// True when the text (after blanks) starts with the word followed by a blank or the end.
static int starts_with_word(const char *text, const char *word) {
    while (*text == ' ' || *text == '\t' || *text == '\r' || *text == '\n') text++;
    size_t n = strlen(word);
    if (strncmp(text, word, n) != 0) return 0;
    char c = text[n];
    return c == 0 || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Reads one line; the rest of a line longer than the buffer is dropped. Null at the end.
static char *read_whole_line(file_stream *s, char *line) {
    if (!stream_read_line(s, line, TIMING_LINE_MAX)) return nullptr;
    size_t n = strlen(line);
    if (n > 0 && line[n - 1] != '\n' && n == (size_t)TIMING_LINE_MAX - 1) {
        int c;
        while ((c = stream_getc(s)) >= 0 && c != '\n') {
        }
    }
    return line;
}

static const char *gate_name(const char *text, int given, const char *fallback) {
    if (!given) return fallback;
    if (strcmp(text, "null") == 0) return nullptr;
    return util_intern(text);
}

static int all_finite(const float *v, int n) {
    for (int i = 0; i < n; i++)
        if (!std::isfinite(v[i])) return 0;
    return 1;
}

static float normalise_angle(float a) {
    const double pi = 3.14159265358979323846;
    if (a >= -pi && a <= pi) return a;
    double t = (a + pi) / (2 * pi);
    return (float)((t - floor(t)) * 2 * pi - pi);
}

static void bad_number(const char *path) {
    char text[1024];
    snprintf(text, sizeof text, "Warning: bad number in '%.900s'\n", path);
    console_print(text);
}

// The gate section after "startinggate:": 1 when it ended at the "checkpoints:" line.
static int read_starting_gates(file_stream *s, const char *path) {
    char line[TIMING_LINE_MAX];
    int count = 0;
    while (read_whole_line(s, line)) {
        if (starts_with_word(line, "checkpoints:")) {
            race_state.gate_count = count;
            return 1;
        }
        float v[4];
        char names[3][1024];
        int got = stream_scan_text(line, " [ %f %f %f ] %f %1023s %1023s %1023s", &v[0], &v[1],
                                   &v[2], &v[3], names[0], names[1], names[2]);
        if (got < 4) break;
        if (!all_finite(v, 4)) {
            bad_number(path);
            break;
        }
        if (count >= TIMING_GATES_MAX) continue;
        starting_gate &g = starting_gates[count];
        float a = normalise_angle(v[3]);
        g.position[0] = v[0];
        g.position[1] = v[1];
        g.position[2] = v[2];
        g.angle = a;
        g.arm_fraction = 1;
        g.arm_speed = 0;
        g.model = gate_name(names[0], got > 4, DEFAULT_GATE_MODEL);
        g.texture = gate_name(names[1], got > 5, DEFAULT_GATE_TEXTURE);
        g.shape = gate_name(names[2], got > 6, DEFAULT_GATE_SHAPE);
        g.statue = track_add_statue(v[0] - 3 * sinf(a), v[1], v[2] - 3 * cosf(a), a, g.model,
                                    g.texture, g.shape);
        count++;
    }
    race_state.gate_count = count;
    return 0;
}

// Reads lap entries until one fails or the room ends; a lap part that does not fit is read on
// and dropped with a warning. Returns the entries kept.
static int read_lap(file_stream *s, const char *path, int room, int checkpoints, int *timed) {
    int kept = 0, read = 0, dropped = 0;
    *timed = 0;
    int v;
    while (read < TIMING_LAP_LIST_MAX && stream_scanf(s, " %d", &v) == 1) {
        read++;
        if (kept >= room) {
            dropped = 1;
            continue;
        }
        int entry = 0;
        if (v >= 0) {
            int index = v % TIMING_NO_SEGMENT;
            if (index > checkpoints - 1) index = checkpoints - 1;
            entry = (v >= TIMING_NO_SEGMENT ? TIMING_NO_SEGMENT : 0) + index;
        }
        plyx_array_append(&timing_gates.lap_list, &entry);
        if (entry < TIMING_NO_SEGMENT) (*timed)++;
        kept++;
    }
    if (dropped) {
        char text[1024];
        snprintf(text, sizeof text, "Warning: lap list too long in '%.900s'\n", path);
        console_print(text);
    }
    return kept;
}

void track_read_timing_gates(const char *path) {
    timing_gates_clear();
    line_store_free();
    if (!timing_gates.lap_list.items) plyx_array_init(&timing_gates.lap_list, sizeof(int), 64);
    file_stream *s = stream_open(path, "rb");
    if (!s) return;
    char word[TIMING_WORD_MAX + 1] = "";
    if (stream_scanf(s, " %80s", word) != 1) word[0] = 0;
    int checkpoints_follow = strcmp(word, "checkpoints:") == 0;
    if (strcmp(word, "startinggate:") == 0) {
        char rest[TIMING_LINE_MAX];
        read_whole_line(s, rest);   // what follows the word on its line is no gate
        checkpoints_follow = read_starting_gates(s, path);
    }
    if (!checkpoints_follow) {
        stream_close(s);
        return;
    }
    int count = 0;
    while (count < TIMING_CHECKPOINTS_MAX) {
        float v[7];
        if (stream_scanf(s, " %f [ %f %f %f ] [ %f %f %f ] ", &v[0], &v[1], &v[2], &v[3], &v[4],
                         &v[5], &v[6]) != 7)
            break;
        if (!all_finite(v, 7)) {
            bad_number(path);
            break;
        }
        checkpoint &c = timing_gates.checkpoints[count++];
        c.value = v[0];
        memcpy(c.a, v + 1, sizeof c.a);
        memcpy(c.b, v + 4, sizeof c.b);
        c.word = 0;
    }
    int first = 0, normal = 0, first_timed = 0, normal_timed = 0;
    if (stream_scanf(s, " %80s", word) != 1) word[0] = 0;
    if (strcmp(word, "firstlap:") == 0) {
        first = read_lap(s, path, TIMING_LAP_LIST_MAX, count, &first_timed);
        if (stream_scanf(s, " %80s", word) != 1) word[0] = 0;
    }
    if (strcmp(word, "normallap:") == 0)
        normal = read_lap(s, path, TIMING_LAP_LIST_MAX - first, count, &normal_timed);
    stream_close(s);
    if (count < 1 || first <= 2 || normal <= 2 || first_timed <= 2 || normal_timed <= 2) {
        timing_gates.lap_list.count = 0;
        return;
    }
    line_store_create(first_timed + normal_timed);
    timing_gates.count = count;
    timing_gates.first_lap_length = first;
    timing_gates.lap_length = normal;
    timing_gates.first_lap_timed = first_timed;
    timing_gates.lap_timed = normal_timed;
    if (game_settings.debug_level >= 1)
        plyx_log("Found %d timing gates, first lap has %d gates, normal lap has %d\n", count, first,
                 normal);
}

static int is_default_gate(const starting_gate &g) {
    return g.model && g.texture && g.shape && strcmp(g.model, DEFAULT_GATE_MODEL) == 0 &&
           strcmp(g.texture, DEFAULT_GATE_TEXTURE) == 0 && strcmp(g.shape, DEFAULT_GATE_SHAPE) == 0;
}

static const char *name_or_null(const char *name) {
    return name ? name : "null";
}

static int write_timing_gates(file_stream *s) {
    int good = 1;
    auto put = [&](int result) {
        if (result < 0) good = 0;
    };
    if (race_state.gate_count > 0) put(stream_printf(s, "startinggate:\n"));
    for (int i = 0; i < race_state.gate_count && i < TIMING_GATES_MAX; i++) {
        const starting_gate &g = starting_gates[i];
        put(stream_printf(s, "[%f %f %f]", g.position[0], g.position[1], g.position[2]));
        put(stream_printf(s, " %f", g.angle));
        if (is_default_gate(g))
            put(stream_printf(s, "\n"));
        else
            put(stream_printf(s, " %s %s %s\n", name_or_null(g.model), name_or_null(g.texture),
                              name_or_null(g.shape)));
    }
    if (timing_gates.count > 0) put(stream_printf(s, "checkpoints:\n"));
    for (int i = 0; i < timing_gates.count; i++) {
        const checkpoint &c = timing_gates.checkpoints[i];
        put(stream_printf(s, "%f ", c.value));
        put(stream_printf(s, "[%f %f %f]", c.a[0], c.a[1], c.a[2]));
        put(stream_printf(s, " "));
        put(stream_printf(s, "[%f %f %f]", c.b[0], c.b[1], c.b[2]));
        put(stream_printf(s, "\n"));
    }
    const char *titles[2] = {"firstlap:\n", "normallap:\n"};
    int starts[2] = {0, timing_gates.first_lap_length};
    int lengths[2] = {timing_gates.first_lap_length, timing_gates.lap_length};
    for (int part = 0; part < 2; part++) {
        if (lengths[part] <= 0) continue;
        put(stream_printf(s, "%s", titles[part]));
        for (int i = 0; i < lengths[part]; i++)
            put(stream_printf(s, "%d ", lap_entry(starts[part] + i)));
        put(stream_printf(s, "\n"));
    }
    return good;
}

int track_write_timing_gates() {
    int good = 0;
    if (track_name) {
        char path[1100], temporary[1100];
        snprintf(path, sizeof path, "@%.900s/timing_gates", track_name);
        snprintf(temporary, sizeof temporary, "@%.900s/timing_gates.tmp", track_name);
        file_stream *s = stream_open(temporary, "wb");
        if (s) {
            good = write_timing_gates(s);
            if (stream_flush(s) != 0) good = 0;
            if (!stream_close(s)) good = 0;
            if (good) good = path_rename_replace(temporary, path);
            if (!good) path_remove(temporary);
        }
    }
    if (!good) console_print("Can't open 'timing_gates'\n");
    return good;
}

int rider_count_timed_points(int n) {
    const timing_gates_record &t = timing_gates;
    if (n <= 0 || t.count <= 0) return 0;
    if (n < t.first_lap_length) {
        int timed = 0;
        for (int i = 0; i < n; i++) timed += lap_entry(i) < TIMING_NO_SEGMENT;
        return timed;
    }
    if (t.lap_length <= 0) return t.first_lap_timed;
    int k = (n - t.first_lap_length) / t.lap_length;
    int r = (n - t.first_lap_length) % t.lap_length;
    int timed = t.first_lap_timed + k * t.lap_timed;
    for (int i = 0; i < r; i++) timed += lap_entry(t.first_lap_length + i) < TIMING_NO_SEGMENT;
    return timed;
}

int timing_lap_position(int i) {
    const timing_gates_record &t = timing_gates;
    if (i < 0 || t.count <= 0 || t.lap_length <= 0) return -1;
    if (i < t.first_lap_length) return i;
    return t.first_lap_length + (i - t.first_lap_length) % t.lap_length;
}

int line_store_row_of_segment(int s) {
    int first = timing_gates.first_lap_timed, normal = timing_gates.lap_timed;
    if (s <= 0 || line_store.row_count <= 0) return 0;
    if (s < first) return s;
    if (normal <= 0) return first > 0 ? first - 1 : 0;
    return first + (s - first) % normal;
}

int rider_timing_tic(int slot, int i) {
    (void)slot;
    (void)i;
    return -1;
}
