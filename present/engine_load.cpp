// Engine sound descriptions: the ".braap" reader and the loader that (re)builds a rider's
// engine sound from its bike's class and texture.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "bike/rider.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "present/engine_sound.h"

// Reads up to max numbers ("%lf") finite as floats from text: the count read. A number that
// is not, or a "nan" or "inf" word, sets *bad.
static int read_numbers(const char *text, double *out, int max, bool *bad) {
    int n = 0;
    *bad = false;
    while (n < max) {
        while (*text == ' ' || *text == '\t' || *text == '\r' || *text == '\n') text++;
        double v;
        int used = 0;
        if (stream_scan_text(text, "%lf%n", &v, &used) != 1 || used <= 0) {
            const char *w = text + (*text == '-' || *text == '+');
            if (strncasecmp(w, "nan", 3) == 0 || strncasecmp(w, "inf", 3) == 0) *bad = true;
            break;
        }
        if (!std::isfinite((float)v)) {
            *bad = true;
            break;
        }
        out[n++] = v;
        text += used;
    }
    return n;
}

// The text after a keyword at the start of the line (after blanks when indented is allowed),
// when the keyword is followed by a blank or the end; else null.
static const char *after_keyword(const char *line, const char *word, bool indented,
                                 bool needs_blank) {
    if (indented)
        while (*line == ' ' || *line == '\t') line++;
    size_t n = strlen(word);
    if (strncmp(line, word, n) != 0) return nullptr;
    char next = line[n];
    if (needs_blank && next != 0 && !isspace((unsigned char)next)) return nullptr;
    return line + n;
}

static void read_list(const char *text, float *out, int32_t *count) {
    double values[100];
    bool bad;
    int n = read_numbers(text, values, 100, &bad);
    for (int i = 0; i < n; i++) out[i] = (float)values[i];
    *count = n;
}

static void read_one(const char *text, float *out) {
    double v;
    bool bad;
    if (read_numbers(text, &v, 1, &bad) == 1) *out = (float)v;
}

static void read_pipe(engine_sound_params *p, const char *text) {
    double v[3] = {5.0, 0.918, -0.85};
    bool bad;
    int n = read_numbers(text, v, 3, &bad);
    if (bad) return;
    int taps[2] = {0, 15};
    const char *rest = text;
    if (n == 3) {
        // Skip the three numbers again to reach the taps.
        for (int i = 0; i < 3; i++) {
            double skip;
            int used = 0;
            while (*rest == ' ' || *rest == '\t') rest++;
            stream_scan_text(rest, "%lf%n", &skip, &used);
            rest += used;
        }
        for (int i = 0; i < 2; i++) {
            int t, used = 0;
            if (stream_scan_text(rest, " %d%n", &t, &used) != 1) break;
            taps[i] = t;
            rest += used;
        }
    }
    engine_sound_set_pipe(p, (float)v[0], (float)v[1], (float)v[2], taps[0], taps[1]);
}

void engine_sound_read_braap(engine_sound_params *p, file_stream *s) {
    engine_sound_set_pipe(p, 1.0f, 1.0f, 0.0f, 0, 15);
    char line[1024];
    while (stream_read_line(s, line, sizeof line)) {
        char *hash = strchr(line, '#');
        if (hash) *hash = 0;
        const char *rest;
        if ((rest = after_keyword(line, "pipe", false, false))) {
            read_pipe(p, rest);
        } else if ((rest = after_keyword(line, "minrpm", false, false))) {
            read_one(rest, &p->min_rpm);
        } else if ((rest = after_keyword(line, "lowtorque", false, false))) {
            read_one(rest, &p->low_torque);
        } else if ((rest = after_keyword(line, "hightorque", false, false))) {
            read_one(rest, &p->high_torque);
        } else if ((rest = after_keyword(line, "bias", true, true))) {
            read_list(rest, p->bias, &p->bias_count);
        } else if ((rest = after_keyword(line, "scale", true, true))) {
            read_list(rest, p->scale, &p->scale_count);
        } else if ((rest = after_keyword(line, "soundtable", true, true))) {
            while (isspace((unsigned char)*rest)) rest++;
            std::string name = rest;
            while (!name.empty() && isspace((unsigned char)name.back())) name.pop_back();
            const sound_table *t = sound_table_load(name.c_str());
            if (t) p->table = t;
        }
    }
}

file_stream *engine_sound_open_class_default(const char *engine_class) {
    static const char *const classes[] = {"50", "125", "250f", "250", "450f"};
    if (!engine_class) return nullptr;
    for (const char *c : classes)
        if (strcmp(engine_class, c) == 0) {
            std::string name = std::string("@default") + c + ".braap";
            return stream_open(name.c_str(), "rb");
        }
    return nullptr;
}

file_stream *engine_sound_open_default(int slot) {
    if (slot < 0 || slot >= RIDER_SLOTS) return nullptr;
    return engine_sound_open_class_default(bike_engine_class(rider_slot_at(slot)));
}

// The description file of the texture: its last component with the extension, then each
// '-' part from the end, replaced by ".braap"; else the class default.
static file_stream *open_description(const char *engine_class, const char *texture) {
    if (texture && *texture) {
        std::string name = texture;
        size_t base = name.rfind('/');
        base = base == std::string::npos ? 0 : base + 1;
        size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot >= base) {
            name = name.substr(0, dot);
            for (;;) {
                file_stream *s = stream_open((name + ".braap").c_str(), "rb");
                if (s) return s;
                size_t dash = name.rfind('-');
                if (dash == std::string::npos || dash < base) break;
                name = name.substr(0, dash);
            }
        }
    }
    return engine_sound_open_class_default(engine_class);
}

void engine_sound_load_class(engine_sound *e, const char *engine_class, const char *texture) {
    engine_sound_builtin(nullptr);
    memset(e->ring, 0, sizeof e->ring);
    e->fire_freq = 10;
    e->audible = 1;
    e->last_rpm = 1000;
    e->write_pos = 11025;
    e->fire_phase = 0;
    e->fire_count = 0;
    e->params = *engine_sound_builtin(engine_class);
    file_stream *s = open_description(engine_class, texture);
    if (s) {
        engine_sound_read_braap(&e->params, s);
        stream_close(s);
    }
    if (e->params.scale_count <= 0) {
        e->params.scale[0] = 1;
        e->params.scale_count = 1;
    }
    if (e->params.bias_count <= 0) {
        e->params.bias[0] = 0;
        e->params.bias_count = 1;
    }
    const sound_table *t = e->params.table;
    for (auto &o : e->osc) {
        o = {};
        o.wave = t && t->cells ? t->cells[0].wave : nullptr;
        o.length = t && t->cells ? t->cells[0].length : 0;
    }
}

void engine_sound_free(engine_sound *e) {
    if (e->sound) plyx_sound_free(e->sound);
    e->sound = nullptr;
}

void engine_sound_load(engine_sound *e, int slot, const char *texture) {
    engine_sound_free(e);
    void *device = plyx_sound_current();
    if (device) {
        static unsigned char silence[ENGINE_RING];
        memset(silence, 128, sizeof silence);
        e->sound = plyx_sound_create(device, ENGINE_RING, silence, 0);
        if (e->sound) {
            plyx_sound_set_loop(e->sound, 1);
            plyx_sound_set_volume(e->sound, 0);
            plyx_sound_play(e->sound);
        }
    }
    const rider_slot *s = slot >= 0 && slot < RIDER_SLOTS ? rider_slot_at(slot) : nullptr;
    const char *engine_class = s ? bike_engine_class(s) : nullptr;
    if (!texture && s) texture = bike_texture_name(s);
    engine_sound_load_class(e, engine_class, texture);
}

void engine_sound_load_slot(int slot, const char *texture) {
    if (slot >= 0 && slot < RIDER_SLOTS) engine_sound_load(&engine_sounds[slot], slot, texture);
}

void engine_sound_free_slot(int slot) {
    if (slot >= 0 && slot < RIDER_SLOTS) engine_sound_free(&engine_sounds[slot]);
}
