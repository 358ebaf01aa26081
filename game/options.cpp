// The command-line parser: the option table, tried in order for every argument, and the one
// bare argument, a demo file to play.
#include "game/options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/settings.h"
#include "core/util.h"
#include "net/client.h"
#include "platform/plyx.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "ui/menu.h"

option_cursor options_begin(int argc, char **argv) {
    return {argv + 1, argc > 0 ? argc - 1 : 0, 0};
}

static void consume(option_cursor *c) {
    c->next++;
    c->left--;
}

int option_match(option_cursor *c, const char *name, const char **value) {
    if (c->left <= 0 || c->ended) return 0;
    const char *arg = *c->next;
    if (!value) {
        if (strcmp(arg, name) != 0) return 0;
        consume(c);
        return 1;
    }
    if (strcmp(arg, "--") == 0) {
        c->ended = 1;
        consume(c);
        return 0;
    }
    if (strcmp(arg, name) == 0) {
        consume(c);
        *value = nullptr;
        if (c->left > 0) {
            *value = *c->next;
            consume(c);
        }
        return 1;
    }
    size_t n = strlen(name);
    if (strncmp(arg, name, n) == 0 && arg[n] == '=') {
        *value = arg + n + 1;
        consume(c);
        return 1;
    }
    return 0;
}

enum option_status { OPTION_OK, OPTION_BAD_ARG, OPTION_OPEN_HOME };

enum option_kind {
    OPTION_FLAG,
    OPTION_VALUE,           // a missing value is a bad argument
    OPTION_VALUE_UNUSED,    // the value is not read: a missing one is no error
};

struct option_entry {
    const char *name;
    option_kind kind;
    option_status (*apply)(const char *value);
};

static int clamp_int(int v, int lo, int hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

// "%d" checked: a value that does not start with a number is a bad argument.
static option_status read_int(const char *value, int lo, int hi, int *out) {
    int v;
    if (!util_parse_int(value, &v)) return OPTION_BAD_ARG;
    *out = clamp_int(v, lo, hi);
    return OPTION_OK;
}

// "%f" checked: a single-precision number that must read and be finite.
static option_status read_float(const char *value, float *out) {
    char *end;
    float v = strtof(value, &end);
    if (end == value || !std::isfinite(v)) return OPTION_BAD_ARG;
    *out = v;
    return OPTION_OK;
}

// "%d" unchecked: text that is not a number leaves the value as it is.
static option_status read_unchecked(const char *value, int *out) {
    util_parse_int(value, out);
    return OPTION_OK;
}

// A window size: also a negative one leaves the value as it is.
static option_status read_size(const char *value, int *out) {
    int v;
    if (util_parse_int(value, &v) && v >= 0) *out = v;
    return OPTION_OK;
}

// A plain decimal conversion: text that is not a number reads as 0.
static option_status read_decimal(const char *value, int *out) {
    if (!util_parse_int(value, out)) *out = 0;
    return OPTION_OK;
}

// A window's colour depth: 16, 24 or 32 bits; anything else leaves the setting, so no value
// can reach the window's flag bits above them.
static option_status read_colour_depth(const char *value) {
    int v;
    if (util_parse_int(value, &v) && (v == 16 || v == 24 || v == 32)) run_options.colour_bits = v;
    return OPTION_OK;
}

static option_status set_flag(int *flag, int v) {
    *flag = v;
    return OPTION_OK;
}

static core_settings &G = game_settings;
static run_values &R = run_options;

static option_status apply_nommx(const char *) {
    if (terrain_mmx) plyx_log("Ignoring MMX\n");
    terrain_mmx = 0;
    return OPTION_OK;
}

static option_status apply_texture_detail(const char *value) {
    int v;
    if (read_int(value, 0, 4, &v) != OPTION_OK) return OPTION_BAD_ARG;
    G.texture_reduce_levels = G.ground_texture_reduce_levels = v;
    return OPTION_OK;
}

static option_status apply_erode(const char *value) {
    float v;
    if (read_float(value, &v) != OPTION_OK) return OPTION_BAD_ARG;
    v = v < 0.0f ? 0.0f : v > 100.0f ? 100.0f : v;
    G.erode_amount = (int)std::floor(v * 1024.0);
    return OPTION_OK;
}

// The terrain divides by its detail: only a positive one is taken.
static option_status apply_detail(const char *value) {
    float v;
    if (read_float(value, &v) != OPTION_OK || v <= 0.0f) return OPTION_BAD_ARG;
    G.terrain_detail = v;
    return OPTION_OK;
}

static option_status apply_lod_scale(const char *value) {
    float v;
    if (read_float(value, &v) != OPTION_OK) return OPTION_BAD_ARG;
    G.lod_scale = v < 0.000001f ? 0.000001f : v > 1000000.0f ? 1000000.0f : v;
    return OPTION_OK;
}

static option_status apply_lock_fps(const char *value) {
    float v;
    if (read_float(value, &v) != OPTION_OK) return OPTION_BAD_ARG;
    R.lock_fps = v;
    return OPTION_OK;
}

static option_status apply_fake_lag(const char *value) {
    float v;
    if (read_float(value, &v) != OPTION_OK) return OPTION_BAD_ARG;
    double seconds = v * 0.001;
    G.fake_lag = seconds < 0.0 ? 0.0 : seconds > 1.0 ? 1.0 : seconds;
    return OPTION_OK;
}

static option_status apply_connect(const char *value) {
    static const char PREFIX[] = "zrsimulator:";
    if (strncmp(value, PREFIX, sizeof PREFIX - 1) == 0) value += sizeof PREFIX - 1;
    widget_text_set(&settings.server_name, value);
    const char *name = settings.server_name.text;
    if (name[0] && strcmp(name, net_recent_servers[0]) != 0) {
        memmove(net_recent_servers[1], net_recent_servers[0],
                sizeof net_recent_servers - sizeof net_recent_servers[0]);
        snprintf(net_recent_servers[0], sizeof net_recent_servers[0], "%s", name);
        menu_server_selected = -1;
    }
    connect_address = util_intern(value);
    return OPTION_OK;
}

static option_status apply_chase_center(const char *value) {
    float v[3];
    const char *p = value;
    for (int i = 0; i < 3; i++) {
        char *end;
        v[i] = strtof(p, &end);
        if (end == p || !std::isfinite(v[i])) return OPTION_BAD_ARG;
        if (i < 2 && *end != ',') return OPTION_BAD_ARG;
        p = end + 1;
    }
    for (int i = 0; i < 3; i++) R.chase_center[i] = v[i];
    return OPTION_OK;
}

// In the order they are tried: "--" is caught by the first option that takes a value.
static const option_entry OPTIONS[] = {
    {"--fugly", OPTION_FLAG, [](const char *) { return set_flag(&G.low_quality_drawing, 1); }},
    {"--nosound", OPTION_FLAG, [](const char *) { return set_flag(&R.no_sound, 1); }},
    {"--novertexarrays", OPTION_FLAG, [](const char *) { return set_flag(&G.no_vertex_arrays, 1); }},
    {"--learn", OPTION_FLAG, [](const char *) { return set_flag(&G.autopilot_learning, 1); }},
    {"--nolearn", OPTION_FLAG, [](const char *) { return set_flag(&G.autopilot_learning, 0); }},
    {"--nommx", OPTION_FLAG, apply_nommx},
    {"--debug", OPTION_FLAG, [](const char *) { return set_flag(&G.debug_level, 1); }},
    {"--super-debug", OPTION_FLAG, [](const char *) { return set_flag(&G.debug_level, 2); }},
    {"--practice", OPTION_FLAG, [](const char *) { return set_flag(&G.practice_mode, 1); }},
    {"--warp", OPTION_FLAG, [](const char *) { return set_flag(&R.warp, 1); }},
    {"--texture-detail", OPTION_VALUE, apply_texture_detail},
    {"--ground-texture-detail", OPTION_VALUE,
     [](const char *v) { return read_int(v, 0, 4, &G.ground_texture_reduce_levels); }},
    {"--roostfrequency", OPTION_VALUE,
     [](const char *v) { return read_int(v, 0, 1000, &G.roost_frequency); }},
    {"--erode", OPTION_VALUE, apply_erode},
    {"--detail", OPTION_VALUE, apply_detail},
    {"--max-detail-distance", OPTION_VALUE,
     [](const char *v) {
         float unused;
         return read_float(v, &unused);
     }},
    {"--lod-scale", OPTION_VALUE, apply_lod_scale},
    {"--lod-bias", OPTION_VALUE, [](const char *v) { return read_float(v, &G.lod_bias); }},
    {"--lock-fps", OPTION_VALUE, apply_lock_fps},
    {"--fake-lag", OPTION_VALUE, apply_fake_lag},
    {"--fake-loss", OPTION_VALUE, [](const char *v) { return read_int(v, 0, 100, &G.fake_loss); }},
    {"--record-audio", OPTION_VALUE,
     [](const char *v) {
         R.record_audio_file = util_intern(v);
         return OPTION_OK;
     }},
    {"--record-video", OPTION_FLAG, [](const char *) { return set_flag(&R.record_video, 1); }},
    {"--rotate-lineup", OPTION_VALUE, [](const char *v) { return read_unchecked(v, &G.rotate_lineup); }},
    {"--editor", OPTION_FLAG, [](const char *) { return set_flag(&G.editor_mode, 1); }},
    {"--hidden-pause", OPTION_FLAG, [](const char *) { return set_flag(&R.show_pause_text, 0); }},
    {"--hidden-hud", OPTION_FLAG, [](const char *) { return set_flag(&R.show_hud, 0); }},
    {"--bikes", OPTION_VALUE_UNUSED,
     [](const char *) {
         fputs("--bikes doesn't do anything anymore\n", stderr);
         return OPTION_OK;
     }},
    {"--width", OPTION_VALUE, [](const char *v) { return read_size(v, &settings.xres); }},
    {"--height", OPTION_VALUE, [](const char *v) { return read_size(v, &settings.yres); }},
    {"--depth", OPTION_VALUE, read_colour_depth},
    {"--zdepth", OPTION_VALUE, [](const char *v) { return read_decimal(v, &R.depth_bits); }},
    {"--draw-fps", OPTION_VALUE, [](const char *v) { return read_decimal(v, &settings.draw_fps); }},
    {"--draw-time", OPTION_VALUE, [](const char *v) { return read_decimal(v, &settings.draw_time); }},
    {"--draw-ping", OPTION_VALUE, [](const char *v) { return read_decimal(v, &settings.draw_ping); }},
    {"--draw-speed", OPTION_VALUE,
     [](const char *v) { return read_decimal(v, &settings.draw_speed); }},
    {"--draw-render-stats", OPTION_VALUE,
     [](const char *v) { return read_decimal(v, &G.draw_render_stats); }},
    {"--accurate-skip", OPTION_FLAG, [](const char *) { return set_flag(&G.accurate_skip, 1); }},
    {"--track", OPTION_VALUE,
     [](const char *v) {
         track_name = util_intern(v);
         return OPTION_OK;
     }},
    {"--connect", OPTION_VALUE, apply_connect},
    {"--password", OPTION_VALUE,
     [](const char *v) {
         server_password = util_intern(v);
         return OPTION_OK;
     }},
    {"--chase-center", OPTION_VALUE, apply_chase_center},
    {"--open-home", OPTION_FLAG, [](const char *) { return OPTION_OPEN_HOME; }},
    {"--glfinish", OPTION_FLAG, [](const char *) { return set_flag(&R.glfinish, 1); }},
    {"--print-orientation", OPTION_FLAG,
     [](const char *) { return set_flag(&G.print_orientation, 1); }},
};

static options_result stop(int code, const std::string &message) {
    return {1, code, 0, message};
}

options_result options_parse(option_cursor *c) {
    while (c->left > 0) {
        const option_entry *hit = nullptr;
        const char *value = nullptr;
        for (const option_entry &e : OPTIONS) {
            if (option_match(c, e.name, e.kind == OPTION_FLAG ? nullptr : &value)) {
                hit = &e;
                break;
            }
        }
        if (hit) {
            option_status status = hit->kind == OPTION_VALUE && !value ? OPTION_BAD_ARG
                                                                        : hit->apply(value);
            if (status == OPTION_BAD_ARG)
                return stop(1, std::string("Bad arg for ") + hit->name + "\n");
            if (status == OPTION_OPEN_HOME) return {1, 0, 1, ""};
            continue;
        }
        if (c->left <= 0) break;   // "--" was the last argument
        const char *arg = *c->next;
        consume(c);
        if (arg[0] == '-' && !c->ended) return stop(1, std::string("bad option '") + arg + "'\n");
        if (run_options.demo_file) return stop(1, "Too many files!\n");
        run_options.demo_file = util_intern(arg);
    }
    // Connecting starts no race of its own.
    if (connect_address) track_name = nullptr;
    return {0, 0, 0, ""};
}
