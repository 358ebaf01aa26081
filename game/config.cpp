// Reading and writing "@config": every line is a key of the settings table and its value.
#include "game/config.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "core/console.h"
#include "core/util.h"
#include "core/vfs.h"
#include "game/setup.h"
#include "race/catalogue.h"
#include "race/track.h"

// One line of at most CONFIG_LINE_MAX bytes into line (CONFIG_LINE_MAX + 1 bytes), without its
// line feed; the rest of a longer line is dropped. 0 at the end of the file.
static int config_read_line(file_stream *s, char *line) {
    int n = 0, c;
    while ((c = stream_getc(s)) >= 0 && c != '\n')
        if (n < CONFIG_LINE_MAX) line[n++] = (char)c;
    line[n] = 0;
    return c >= 0 || n > 0;
}

static void config_apply_line(char *line) {
    char *eq = strchr(line, '=');
    if (!eq) return;
    *eq = 0;
    char *value = eq + 1;
    size_t n = strlen(value);
    while (n > 0 && (value[n - 1] == '\r' || value[n - 1] == '\n')) value[--n] = 0;
    if (setup_parse_key(line, value)) return;
    const setting_key *k = settings_find(line);
    if (k) config_apply_value(*k, value);
}

void config_read() {
    file_stream *s = stream_open("@config", "rb");
    if (!s) return;
    char line[CONFIG_LINE_MAX + 1];
    while (config_read_line(s, line)) config_apply_line(line);
    stream_close(s);
}

static int config_apply_int(const setting_key &k, const char *value) {
    int v;
    if (!util_parse_int(value, &v)) return 0;
    if (v < k.minimum || v > k.maximum)
        v = k.flags & SETTING_OUT_OF_RANGE_DEFAULT ? (int)k.number
            : v < k.minimum                        ? (int)k.minimum
                                                   : (int)k.maximum;
    *k.target.integer = v;
    return 1;
}

static int config_apply_buffer(const setting_key &k, const char *value) {
    size_t n = strlen(value);
    if ((k.flags & SETTING_TOO_LONG_IGNORED) && n >= (size_t)k.max_length) return 0;
    if (n > (size_t)k.max_length) n = (size_t)k.max_length;
    memcpy(k.target.buffer, value, n);
    k.target.buffer[n] = 0;
    return 1;
}

int config_apply_value(const setting_key &k, const char *value) {
    double v;
    switch (k.kind) {
    case SETTING_INT:
        return config_apply_int(k, value);
    case SETTING_FLOAT:
        if (!util_parse_number(value, &v)) return 0;
        *k.target.real = (float)(v < k.minimum ? k.minimum : v > k.maximum ? k.maximum : v);
        return 1;
    case SETTING_SLIDER:
        return widget_slider_parse(k.target.slider, value);
    case SETTING_CHOICE:
        return choice_select_text(k.target.choice, value);
    case SETTING_TEXT:
        return widget_text_set(k.target.field, value);
    case SETTING_BUFFER:
        return config_apply_buffer(k, value);
    case SETTING_BINDING:
        config_parse_binding(k.target.binding, value);
        return 1;
    case SETTING_TRACK:
        settings.track_key = util_intern(value);
        return 1;
    case SETTING_USE_FBO:
        if (strcmp(value, "Yes") == 0)
            return choice_select_text(&settings.render_texture, "Hardware/Direct");
        if (strcmp(value, "No") == 0)
            return choice_select_text(&settings.render_texture, "Hardware/Copy");
        return 0;
    case SETTING_IGNORED:
        return 0;
    }
    return 0;
}

// "(min,max" with two finite numbers: 1; 0 when it does not read; -1 when a number is not finite.
static int config_read_range(const char *value, float *minimum, float *maximum) {
    char *end;
    double a = strtod(value + 1, &end);
    if (end == value + 1 || *end != ',') return 0;
    const char *second = end + 1;
    double b = strtod(second, &end);
    if (end == second) return 0;
    // A range that does not fit a float is as unusable as one that is not a number.
    float fa = (float)a, fb = (float)b;
    if (!std::isfinite(fa) || !std::isfinite(fb)) return -1;
    *minimum = fa;
    *maximum = fb;
    return 1;
}

void config_parse_binding(control_binding *b, const char *value) {
    while (isspace((unsigned char)*value)) value++;
    const char *key_name = nullptr, *axis_name = nullptr;
    float minimum = 0.0f, maximum = 1.0f;
    const char *close = strchr(value, ')');
    if (value[0] == '(' && close) {
        int read = config_read_range(value, &minimum, &maximum);
        if (read < 0) return;   // the binding stays as it was
        if (read > 0) {
            axis_name = util_intern(close + 1);
            // Kept as written so the file reads back the same; the frame loop treats such an
            // axis as a switch.
            if (minimum == maximum)
                console_printf("Warning: empty axis range for %s\n", b->label ? b->label : "?");
        }
    }
    if (!axis_name) {
        key_name = util_intern(strncmp(value, "(k)", 3) == 0 ? value + 3 : value);
        minimum = 0.0f;
        maximum = 1.0f;
    }
    b->key_name = key_name;
    b->key_code = -1;
    b->axis_name = axis_name;
    b->axis = nullptr;
    b->axis_min = minimum;
    b->axis_max = maximum;
}

// "key=text\n", the text up to its first line break so that it stays one line.
static int write_text(file_stream *s, const char *key, const char *text) {
    return stream_printf(s, "%s=%.*s\n", key, (int)strcspn(text, "\r\n"), text) >= 0;
}

static int write_binding(file_stream *s, const char *key, const control_binding *b) {
    if (b->key_name) {
        return stream_printf(s, "%s=(k)%.*s\n", key, (int)strcspn(b->key_name, "\r\n"),
                             b->key_name) >= 0;
    }
    if (b->axis_name) {
        return stream_printf(s, "%s=(%f,%f)%.*s\n", key, (double)b->axis_min,
                             (double)b->axis_max, (int)strcspn(b->axis_name, "\r\n"),
                             b->axis_name) >= 0;
    }
    return 1;
}

// The Track choice's text; without a catalogue, the track the configuration named.
static const char *track_text() {
    if (settings.track.option_count > 0) return choice_text(&settings.track);
    return settings.track_key ? settings.track_key : "";
}

int config_write_value(file_stream *s, const setting_key &k) {
    switch (k.kind) {
    case SETTING_INT:
        return stream_printf(s, "%s=%d\n", k.key, *k.target.integer) >= 0;
    case SETTING_FLOAT:
        return stream_printf(s, "%s=%f\n", k.key, (double)*k.target.real) >= 0;
    case SETTING_SLIDER:
        return stream_printf(s, "%s=%f\n", k.key, k.target.slider->value) >= 0;
    case SETTING_CHOICE:
        return write_text(s, k.key, choice_text(k.target.choice));
    case SETTING_TEXT:
        return write_text(s, k.key, k.target.field->text);
    case SETTING_BUFFER:
        return write_text(s, k.key, k.target.buffer);
    case SETTING_BINDING:
        return write_binding(s, k.key, k.target.binding);
    case SETTING_TRACK:
        return write_text(s, k.key, track_text());
    case SETTING_USE_FBO:
    case SETTING_IGNORED:
        return 1;
    }
    return 1;
}

static int config_write_all(file_stream *s) {
    setting_table t = settings_table();
    int good = 1, setup_written = 0;
    for (int i = 0; i < t.count; i++) {
        const setting_key &k = t.keys[i];
        if (k.flags & SETTING_READ_ONLY) continue;
        if (k.flags & SETTING_SETUP) {
            if (!setup_written && !setup_write(s)) good = 0;
            setup_written = 1;
            continue;
        }
        if (!config_write_value(s, k)) good = 0;
    }
    return good;
}

int config_write() {
    file_stream *s = stream_open("@config.tmp", "wb");
    int good = 0;
    if (s) {
        good = config_write_all(s);
        if (stream_flush(s) != 0) good = 0;
        if (!stream_close(s)) good = 0;
        if (good) good = path_rename_replace("@config.tmp", "@config");
        if (!good) path_remove("@config.tmp");
    }
    if (!good) console_print("Warning: couldn't write config\n");
    return good;
}

int config_select_start_track() {
    if (track_name) {
        int matches = 0, i = track_find_by_name(track_name, &matches);
        if (i < 0) {
            fprintf(stderr,
                    matches ? "Track name '%.900s' matches more than one track\n"
                            : "No track named '%.900s'\n",
                    track_name);
            return 0;
        }
        settings.track.current = i;
        track_name = util_intern(settings.track.options[i]);
        return 1;
    }
    int i = track_find_by_name(settings.track_key, nullptr);
    if (i >= 0) settings.track.current = i;
    return 1;
}
