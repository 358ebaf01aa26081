// The setting records filled from the table of keys, the graphics presets, the derived
// settings and the values of one run.
#include "core/settings.h"
#include "game/settings_table.h"

#include <cmath>
#include <cstdio>

static core_settings game_settings_defaults() {
    core_settings g = {};
    g.erode_amount = ERODE_AMOUNT_DEFAULT;
    g.ground_mipmaps_on = 1;
    return g;
}

static run_values run_defaults() {
    run_values r = {};
    r.show_pause_text = 1;
    r.show_hud = 1;
    r.colour_bits = 16;
    r.depth_bits = 16;
    r.chase_center[0] = 0.0f;
    r.chase_center[1] = 2.52f;
    r.chase_center[2] = 0.52f;
    return r;
}

static void copy_text(char *buffer, int max_length, const char *text) {
    snprintf(buffer, (size_t)max_length + 1, "%s", text ? text : "");
}

// Gives one key's record its look and its default (start-up: its start-up value when it has one).
static void key_reset(const setting_key &k, int startup) {
    double number = startup && k.has_startup ? k.startup_number : k.number;
    const char *text = startup && k.has_startup ? k.startup_text : k.text;
    switch (k.kind) {
    case SETTING_INT:
        *k.target.integer = (int)number;
        break;
    case SETTING_FLOAT:
        *k.target.real = (float)number;
        break;
    case SETTING_SLIDER:
        *k.target.slider = {k.label, number, k.step, k.minimum, k.maximum, {0, 0, 0, 0}, 0, 0};
        break;
    case SETTING_CHOICE: {
        choice_widget *c = k.target.choice;
        *c = {k.label, k.options, k.option_count, 0, {0, 0, 0, 0}};
        choice_select_text(c, text);
        break;
    }
    case SETTING_TEXT: {
        text_field_widget *f = k.target.field;
        f->label = k.label;
        f->max_length = k.max_length;
        f->caret = 0;
        f->insert_mode = 1;
        f->rect = {0, 0, 0, 0};
        copy_text(f->text, k.max_length, text);
        break;
    }
    case SETTING_BUFFER:
        copy_text(k.target.buffer, k.max_length, text);
        break;
    case SETTING_BINDING:
        *k.target.binding = {k.label, text, -1, nullptr, nullptr, 0.0f, 1.0f};
        break;
    case SETTING_TRACK:
        k.target.choice->label = k.label;
        k.target.choice->current = 0;
        break;
    case SETTING_USE_FBO:
    case SETTING_IGNORED:
        break;
    }
}

static void settings_records_reset() {
    setting_records &s = settings;
    s.track_key = nullptr;
    s.rider_name.text = s.rider_name_text;
    s.rider_number.text = s.rider_number_text;
    s.server_name.text = s.server_name_text;
    setting_table t = settings_table();
    for (int i = 0; i < t.count; i++) key_reset(t.keys[i], 0);
}

// The records are filled from the table before anything else runs.
setting_records settings;
static const int settings_filled = (settings_records_reset(), 1);
core_settings game_settings = game_settings_defaults();
run_values run_options = run_defaults();

void settings_reset() {
    (void)settings_filled;
    settings_records_reset();
    game_settings = game_settings_defaults();
    run_options = run_defaults();
}

// One graphics setting's values in the menus' three preset columns: numbers for a slider,
// option texts for a choice.
struct graphics_preset {
    slider_widget *slider;
    choice_widget *choice;
    double numbers[GRAPHICS_PRESET_COLUMNS - 1];
    const char *texts[GRAPHICS_PRESET_COLUMNS - 1];
};

void settings_apply_graphics_preset(int column) {
    if (column < 0 || column >= GRAPHICS_PRESET_COLUMNS) return;
    if (column == 0) {
        setting_table t = settings_table();
        for (int i = 0; i < t.count; i++)
            if (t.keys[i].has_startup) key_reset(t.keys[i], 1);
        return;
    }
    setting_records &s = settings;
    const graphics_preset presets[] = {
        {&s.ground_detail, nullptr, {50, 70, 90}, {}},
        {nullptr, &s.ground_mipmaps, {}, {"Yes", "Yes", "Yes"}},
        {nullptr, &s.texture_compress, {}, {"Yes", "Yes", "No"}},
        {nullptr, &s.render_texture, {}, {"Hardware/Direct", "Shaders/Direct", "Shaders/Direct"}},
        {nullptr, &s.ground_texture_dim, {}, {"64x64", "128x128", "256x256"}},
        {nullptr, &s.use_shader, {}, {"No", "Yes", "Yes"}},
        {&s.ground_texture_detail, nullptr, {7, 9, 10}, {}},
        {nullptr, &s.lens_flare, {}, {"No", "Yes", "Yes"}},
        {&s.model_detail, nullptr, {25, 50, 75}, {}},
        {nullptr, &s.reflections, {}, {"No", "Yes", "Yes"}},
        {&s.model_texture_detail, nullptr, {7, 9, 10}, {}},
        {&s.roost_density, nullptr, {0, 1000, 1000}, {}},
        {&s.reshade_delay, nullptr, {10, 8, 0}, {}},
    };
    for (const graphics_preset &p : presets) {
        if (p.slider) p.slider->value = p.numbers[column - 1];
        if (p.choice) choice_select_text(p.choice, p.texts[column - 1]);
    }
}

static double clamp_value(double v, double lo, double hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

// A slider value that a configuration file made non-finite counts as the slider's minimum.
static double slider_finite(const slider_widget &s) {
    return std::isfinite(s.value) ? s.value : s.minimum;
}

void settings_derive() {
    const setting_records &s = settings;
    core_settings &g = game_settings;
    // A detail of 0 would make the terrain's detail factor infinite: it counts as 1, the
    // slider's coarsest step.
    double ground_detail = slider_finite(s.ground_detail);
    g.terrain_detail = 0.125 / (ground_detail >= 1.0 ? ground_detail : 1.0);
    g.ground_texture_reduce_levels =
        (int)clamp_value(10.0 - slider_finite(s.ground_texture_detail), 0.0, 10.0);
    int dim = s.ground_texture_dim.current;
    g.ground_texture_size = 32 << (dim >= 0 && dim < 6 ? dim : 0);
    float w = (float)(clamp_value(100.0 - slider_finite(s.model_detail), 0.0, 100.0) * 0.02);
    g.lod_scale = w > 1.0f ? w * w * w : w;
    g.lod_bias = (float)(50.0 - 50.0 * clamp_value((slider_finite(s.model_detail) - 10.0) * 0.05,
                                                   0.0, 1.0));
    g.texture_reduce_levels =
        (int)clamp_value(10.0 - slider_finite(s.model_texture_detail), 0.0, 10.0);
    g.texture_compress_mode = s.texture_compress.current;
    g.roost_frequency = (int)clamp_value(slider_finite(s.roost_density), 0.0, 1000000.0);
    g.reflections_on = s.reflections.current;
}
