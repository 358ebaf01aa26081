// The setting records with their labels, options and defaults, the graphics presets, the
// derived settings and the values of one run.
#include "core/settings.h"

#include <cmath>

static const char *NO_YES[] = {"No", "Yes"};
static const char *VIDEO_MODES[] = {"Default Fullscreen", "Windowed"};
static const char *ROBOT_SKILLS[] = {"Novice", "Amateur", "Expert"};
static const char *COMPRESS_MODES[] = {"No", "Yes", "Always"};
static const char *RENDER_METHODS[] = {"Software", "Hardware/Copy", "Hardware/Direct",
                                       "Shaders/Copy", "Shaders/Direct"};
static const char *TEXTURE_DIMS[] = {"32x32",   "64x64",   "128x128",
                                     "256x256", "512x512", "1024x1024"};

template <int N>
static choice_widget make_choice(const char *label, const char *(&options)[N], int current) {
    return {label, options, N, current, {0, 0, 0, 0}};
}

static slider_widget make_slider(const char *label, double value, double step, double minimum,
                                 double maximum) {
    return {label, value, step, minimum, maximum, {0, 0, 0, 0}, 0, 0};
}

static control_binding make_binding(const char *label, const char *key) {
    return {label, key, -1, nullptr, nullptr, 0.0f, 1.0f};
}

static setting_records settings_defaults() {
    setting_records s = {};
    s.xres = 640;
    s.yres = 480;
    s.spy = 0;
    s.video_mode = make_choice("Video Mode", VIDEO_MODES, 0);
    s.fov = make_slider("Field Of View", 110, 1, 10, 170);
    s.time_trial_abort = make_choice("Backing Up Aborts Attempt", NO_YES, 1);
    s.record_demo = make_choice("Record Demo", NO_YES, 0);
    s.minutes = make_slider("Minutes", 0, 1, 0, 60);
    s.laps = make_slider("Laps", 5, 1, 0, 50);
    s.robot_skill = make_choice("Robot Skill", ROBOT_SKILLS, 0);
    s.track = {"Track", nullptr, 0, 0, {0, 0, 0, 0}};
    s.ground_detail = make_slider("Ground Geometric Detail", 50, 1, 0, 100);
    s.ground_mipmaps = make_choice("Enable Ground Mipmaps", NO_YES, 1);
    s.texture_compress = make_choice("Compress Textures", COMPRESS_MODES, 1);
    s.render_texture = make_choice("Terrain Rendering Method", RENDER_METHODS, 2);
    s.ground_texture_dim = make_choice("Ground Texture Resolution", TEXTURE_DIMS, 2);
    s.use_shader = make_choice("Use Shader Programs", NO_YES, 1);
    s.ground_texture_detail = make_slider("Ground Texture Levels", 9, 1, 0, 10);
    s.lens_flare = make_choice("Enable Lens Flares", NO_YES, 1);
    s.model_detail = make_slider("Model Geometric Detail", 50, 1, 0, 100);
    s.reflections = make_choice("Enable Reflections", NO_YES, 1);
    s.model_texture_detail = make_slider("Model Texture Detail", 9, 1, 0, 10);
    s.roost_density = make_slider("Roost Density", 250, 10, 0, 1000);
    s.reshade_delay = make_slider("Reshade Delay", 0, 1, 0, 20);
    control_binding *b = s.bindings;
    b[BINDING_THROTTLE] = make_binding("Throttle", "x");
    b[BINDING_FRONT_BRAKE] = make_binding("Front Brake", "c");
    b[BINDING_REAR_BRAKE] = make_binding("Rear Brake", "v");
    b[BINDING_LEFT] = make_binding("Left", "left");
    b[BINDING_RIGHT] = make_binding("Right", "right");
    b[BINDING_CLUTCH] = make_binding("Clutch", "z");
    b[BINDING_UPSHIFT] = make_binding("Upshift", "up");
    b[BINDING_DOWNSHIFT] = make_binding("Downshift", "down");
    b[BINDING_DAB] = make_binding("Sit/Dab", "right ctrl");
    b[BINDING_BACK_UP] = make_binding("Back up", "b");
    b[BINDING_LEAN_FORWARD] = make_binding("Lean Forward", "n");
    b[BINDING_LEAN_BACKWARD] = make_binding("Lean Backward", "m");
    b[BINDING_PAUSE] = make_binding("Pause", "pause");
    b[BINDING_STEP] = make_binding("Step", ".");
    b[BINDING_REWIND] = make_binding("Rewind", "\\");
    b[BINDING_SKIP] = make_binding("Skip", "/");
    b[BINDING_PREV] = make_binding("Previous Bike", "[");
    b[BINDING_NEXT] = make_binding("Next Bike", "]");
    b[BINDING_CONSOLE] = make_binding("Chat", "t");
    b[BINDING_SCREENSHOT] = make_binding("Screenshot", "s");
    return s;
}

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

setting_records settings = settings_defaults();
core_settings game_settings = game_settings_defaults();
run_values run_options = run_defaults();

void settings_reset() {
    settings = settings_defaults();
    game_settings = game_settings_defaults();
    run_options = run_defaults();
}

// One graphics setting's four preset values: numbers for a slider, option texts for a choice.
struct graphics_preset {
    slider_widget *slider;
    choice_widget *choice;
    double numbers[GRAPHICS_PRESET_COLUMNS];
    const char *texts[GRAPHICS_PRESET_COLUMNS];
};

void settings_apply_graphics_preset(int column) {
    if (column < 0 || column >= GRAPHICS_PRESET_COLUMNS) return;
    setting_records &s = settings;
    const graphics_preset presets[] = {
        {&s.ground_detail, nullptr, {70, 50, 70, 90}, {}},
        {nullptr, &s.ground_mipmaps, {}, {"Yes", "Yes", "Yes", "Yes"}},
        {nullptr, &s.texture_compress, {}, {"No", "Yes", "Yes", "No"}},
        {nullptr, &s.render_texture, {},
         {"Software", "Hardware/Direct", "Shaders/Direct", "Shaders/Direct"}},
        {nullptr, &s.ground_texture_dim, {}, {"64x64", "64x64", "128x128", "256x256"}},
        {nullptr, &s.use_shader, {}, {"Yes", "No", "Yes", "Yes"}},
        {&s.ground_texture_detail, nullptr, {9, 7, 9, 10}, {}},
        {nullptr, &s.lens_flare, {}, {"Yes", "No", "Yes", "Yes"}},
        {&s.model_detail, nullptr, {50, 25, 50, 75}, {}},
        {nullptr, &s.reflections, {}, {"Yes", "No", "Yes", "Yes"}},
        {&s.model_texture_detail, nullptr, {9, 7, 9, 10}, {}},
        {&s.roost_density, nullptr, {1000, 0, 1000, 1000}, {}},
        {&s.reshade_delay, nullptr, {8, 10, 8, 0}, {}},
    };
    for (const graphics_preset &p : presets) {
        if (p.slider) p.slider->value = p.numbers[column];
        if (p.choice) choice_select_text(p.choice, p.texts[column]);
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
