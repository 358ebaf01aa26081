// The "flaggers" file: the start flagger who walks off, the lap flagger, the gate flaggers.
#include "race/flaggers.h"

#include <cmath>
#include <cstdio>

#include "core/console.h"
#include "core/stream.h"
#include "race/objects.h"
#include "race/timing.h"
#include "race/track.h"

flagger_setup track_flagger_setup = {-1, {}, {}, {}, 1, -1, {}};

static void flagger_warning(const char *format, const char *file_name) {
    char text[1024];
    snprintf(text, sizeof text, format, file_name);
    console_print(text);
}

static bool finite_all(const float *v, int n) {
    for (int i = 0; i < n; i++)
        if (!std::isfinite(v[i])) return false;
    return true;
}

// count names read into names[]: false at the first that does not parse.
static bool read_names(file_stream *s, char names[][1024], int count) {
    for (int i = 0; i < count; i++)
        if (stream_scanf(s, " %1023s", names[i]) != 1) return false;
    return true;
}

static int32_t load_texture(const char *name) {
    return track_loaders.texture ? (int32_t)track_loaders.texture(name) : 0;
}

static int clamp_checkpoint(int c) {
    int last = timing_gates.count - 1;
    if (c > last) c = last;
    return c < -1 ? -1 : c;
}

void track_read_flaggers(file_stream *s, const char *file_name) {
    flagger_setup &f = track_flagger_setup;
    float v[9];
    char names[5][1024];
    if (stream_scanf(s, " [ %f %f %f ] [ %f %f %f ] %f %f %f ", &v[0], &v[1], &v[2], &v[3], &v[4],
                     &v[5], &v[6], &v[7], &v[8]) != 9 ||
        !read_names(s, names, 5))
        return;
    if (finite_all(v, 9)) {
        for (int i = 0; i < 3; i++) {
            f.start_position[i] = v[i];
            f.end_position[i] = v[3 + i];
        }
        f.walk_time = v[8] > 0 ? v[8] : 1;
        f.start_billboard = track_add_billboard(v[0], v[1], v[2], v[6], v[7], names[0]);
        for (int i = 0; i < 5; i++) f.start_textures[i] = load_texture(names[i]);
    } else {
        flagger_warning("Warning: bad row in '%.900s'\n", file_name);
    }

    if (stream_scanf(s, " [ %f %f %f ] %f %f ", &v[0], &v[1], &v[2], &v[3], &v[4]) != 5 ||
        !read_names(s, names, 4))
        return;
    if (finite_all(v, 5)) {
        f.lap_billboard = track_add_billboard(v[0], v[1], v[2], v[3], v[4], names[0]);
        for (int i = 0; i < 4; i++) f.lap_textures[i] = load_texture(names[i]);
    } else {
        flagger_warning("Warning: bad row in '%.900s'\n", file_name);
    }

    int c[4], rows = 0;
    while (stream_scanf(s, " [ %f %f %f ] %f %f %d %d %d %d", &v[0], &v[1], &v[2], &v[3], &v[4],
                        &c[0], &c[1], &c[2], &c[3]) == 9 &&
           read_names(s, names, 2)) {
        if (rows++ >= TRACK_FILE_ROWS_MAX) {
            flagger_warning("Warning: too many rows in '%.900s'; the rest is ignored\n", file_name);
            break;
        }
        if (!finite_all(v, 5)) {
            flagger_warning("Warning: bad row in '%.900s'\n", file_name);
            continue;
        }
        flagger g;
        g.billboard = track_add_billboard(v[0], v[1], v[2], v[3], v[4], names[0]);
        if (g.billboard < 0) continue;
        g.normal_texture = load_texture(names[0]);
        g.alert_texture = load_texture(names[1]);
        for (int i = 0; i < 4; i++) g.checkpoints[i] = clamp_checkpoint(c[i]);
        if (track_flaggers.items) plyx_array_append(&track_flaggers, &g);
    }
}
