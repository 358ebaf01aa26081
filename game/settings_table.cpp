// The table of every "@config" key: kind, record, label, range, options and defaults. Reading,
// writing and resetting the settings all go through it, so they cannot disagree about a key.
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bike/bike_models.h"
#include "core/console.h"
#include "core/globals.h"
#include "core/settings.h"
#include "game/settings_table.h"
#include "net/client.h"

static const char *NO_YES[] = {"No", "Yes"};
static const char *ROBOT_SKILLS[] = {"Novice", "Amateur", "Expert"};
static const char *GATE_ROLES[] = {"Empty", "Human", "Robot", "Robot (2 stroke)",
                                   "Robot (4 stroke)"};
static const char *VIDEO_MODES[] = {"Default Fullscreen", "Windowed"};
static const char *TEXTURE_DIMS[] = {"32x32",   "64x64",   "128x128",
                                     "256x256", "512x512", "1024x1024"};
static const char *COMPRESS_MODES[] = {"No", "Yes", "Always"};
static const char *RENDER_METHODS[] = {"Software", "Hardware/Copy", "Hardware/Direct",
                                       "Shaders/Copy", "Shaders/Direct"};
static const char *BRAKE_MODES[] = {"Normal", "Antilock"};
static const char *STOP_WHEELIES[] = {"No", "Yes", "Front Only"};
static const char *PLAYBACK_MODES[] = {"Playback Only", "Race Against"};

// The roles of the starting gates before the player chooses: the player at gate 20 with
// robots around it.
static const char *gate_default(int gate) {
    if (gate == 19) return "Human";
    if (gate >= 17 && gate <= 22) return "Robot";
    return "Empty";
}

static char gate_keys[GATE_COUNT][16];
static char gate_labels[GATE_COUNT][16];
static char history_keys[SERVER_HISTORY][32];

namespace {
// Builds the table in file order.
struct table_builder {
    std::vector<setting_key> keys;

    setting_key &add(const char *key, setting_kind kind, const char *label, int flags) {
        setting_key k = {};
        k.key = key;
        k.kind = kind;
        k.label = label;
        k.flags = flags;
        keys.push_back(k);
        return keys.back();
    }
    void integer(const char *key, int *v, int def, int flags = 0, double lo = INT_MIN,
                 double hi = INT_MAX) {
        setting_key &k = add(key, SETTING_INT, nullptr, flags);
        k.target.integer = v;
        k.number = def;
        k.minimum = lo;
        k.maximum = hi;
    }
    setting_key &slider(const char *key, slider_widget *s, const char *label, double lo, double hi,
                        double step, double def, int flags = 0) {
        setting_key &k = add(key, SETTING_SLIDER, label, flags);
        k.target.slider = s;
        k.minimum = lo;
        k.maximum = hi;
        k.step = step;
        k.number = def;
        return k;
    }
    template <int N>
    setting_key &choice(const char *key, choice_widget *c, const char *label,
                        const char *(&options)[N], const char *def, int flags = 0) {
        setting_key &k = add(key, SETTING_CHOICE, label, flags);
        k.target.choice = c;
        k.options = options;
        k.option_count = N;
        k.text = def;
        return k;
    }
    void text(const char *key, setting_kind kind, char *buffer, text_field_widget *field,
              const char *label, int max_length, const char *def, int flags = 0) {
        setting_key &k = add(key, kind, label, flags);
        if (kind == SETTING_TEXT)
            k.target.field = field;
        else
            k.target.buffer = buffer;
        k.max_length = max_length;
        k.text = def;
    }
    void binding(const char *key, control_binding *b, const char *label, const char *def) {
        setting_key &k = add(key, SETTING_BINDING, label, 0);
        k.target.binding = b;
        k.text = def;
    }
};
}  // namespace

static void startup_number(setting_key &k, double v) {
    k.has_startup = 1;
    k.startup_number = v;
}

static void startup_text(setting_key &k, const char *text) {
    k.has_startup = 1;
    k.startup_text = text;
}

static void add_setup_keys(table_builder &t, setting_records &s) {
    constexpr int SETUP = SETTING_SETUP;
    t.choice("bike", &s.bike, "Bike", bike_model_names, "yz250f(2017)", SETUP);
    t.text("name", SETTING_TEXT, nullptr, &s.rider_name, "Name", 63, "Joe Motocross", SETUP);
    t.text("number", SETTING_TEXT, nullptr, &s.rider_number, "Number", 3, "999", SETUP);
    t.text("rider_texture", SETTING_BUFFER, s.rider_texture, nullptr, nullptr, TEXTURE_NAME_MAX,
           "", SETUP);
    t.text("head_texture", SETTING_BUFFER, s.head_texture, nullptr, nullptr, TEXTURE_NAME_MAX, "",
           SETUP);
    t.text("bike_texture", SETTING_BUFFER, s.bike_texture, nullptr, nullptr, TEXTURE_NAME_MAX, "",
           SETUP);
    t.text("wheel_texture", SETTING_BUFFER, s.wheel_texture, nullptr, nullptr, TEXTURE_NAME_MAX,
           "", SETUP);
    t.slider("stability", &s.stability, "Stability", 0, 100, 1, 100, SETUP);
    t.slider("leveling", &s.leveling, "Leveling", 0, 100, 1, 20, SETUP);
    t.slider("roll_damping", &s.roll_damping, "Roll Damping", 0, 100, 1, 60, SETUP);
    t.slider("roll_limit_angle", &s.roll_limit_angle, "Roll Limit Angle", 0, 180, 1, 45, SETUP);
    t.slider("roll_limit_factor", &s.roll_limit_factor, "Roll Limit Factor", 0, 64, 1, 10, SETUP);
    t.slider("steering_damping", &s.steering_damping, "Steering Damping", 0, 100, 1, 45, SETUP);
    t.slider("steering_strength", &s.steering_strength, "Steering Strength", 0, 100, 1, 75,
             SETUP);
    t.slider("max_steering_force", &s.max_steering_force, "Max Steering Force", 0, 1000, 5, 400,
             SETUP);
    t.slider("direct_steering", &s.direct_steering, "Direct Steering", 0, 1, 0.125, 1, SETUP);
    t.slider("slow_damping_speed", &s.slow_damping_speed, "Slow Damping Speed", 0, 100, 1, 40,
             SETUP);
    t.slider("slow_damping_factor", &s.slow_damping_factor, "Slow Damping Factor", 1, 10, 0.25, 2,
             SETUP);
    t.slider("land_damping_falloff", &s.land_damping_falloff, "Landing Damping Falloff", 0, 0.5,
             0.0625, 0.25, SETUP);
    t.slider("land_damping_factor", &s.land_damping_factor, "Landing Damping Factor", 1, 3, 0.25,
             2, SETUP);
    t.slider("full_lock_speed", &s.full_lock_speed, "Full Lock Speed", 1, 100, 1, 10, SETUP);
    t.slider("restricted_lock_speed", &s.restricted_lock_speed, "Restricted Lock Speed", 1, 100, 1,
             50, SETUP);
    t.slider("restricted_lock", &s.restricted_lock, "Restricted Lock Angle", 0, 45, 0.125, 7.5,
             SETUP);
    t.choice("arcade", &s.arcade, "Arcade Physics", NO_YES, "Yes", SETUP);
    t.choice("front_brake", &s.front_brake, "Front Brake", BRAKE_MODES, "Antilock", SETUP);
    t.choice("rear_brake", &s.rear_brake, "Rear Brake", BRAKE_MODES, "Normal", SETUP);
    t.choice("stop_wheelies", &s.stop_wheelies, "Stop Wheelies", STOP_WHEELIES, "Yes", SETUP);
    t.choice("auto_shift", &s.auto_shift, "Automatic Shifting", NO_YES, "Yes", SETUP);
    t.choice("auto_dab", &s.auto_dab, "Dab When Stopped", NO_YES, "Yes", SETUP);
    t.choice("auto_align", &s.auto_align, "Realign After Fall", NO_YES, "Yes", SETUP);
    t.choice("sticky_dab", &s.sticky_dab, "Sticky Sit/Dab", NO_YES, "No", SETUP);
    t.choice("reverse_steering", &s.reverse_steering, "Reversed Steering", NO_YES, "Yes", SETUP);
    t.choice("lean_indicator", &s.lean_indicator, "Lean Indicator", NO_YES, "Yes", SETUP);
    t.slider("auto_clutch_rpms", &s.auto_clutch_rpms, "Auto Clutch RPMs", 0, 5000, 100, 5000,
             SETUP);
    t.slider("brake_torque", &s.brake_torque, "Braking Torque (Front)", 0, 500, 10, 500, SETUP);
    t.slider("rear_brake_torque", &s.rear_brake_torque, "Braking Torque (Rear)", 0, 500, 10, 250,
             SETUP);
    t.slider("max_dab_speed", &s.max_dab_speed, "Max Dab Speed (MPH)", 5, 60, 1, 60, SETUP);
    // The sprockets are written too, so that a saved setup keeps its gearing.
    t.slider("front_sprocket_adjustment", &s.front_sprocket, "Countershaft Sprocket", -2, 2, 1, 0,
             SETUP);
    t.slider("rear_sprocket_adjustment", &s.rear_sprocket, "Rear Sprocket", -2, 2, 1, 0, SETUP);
    struct {
        const char *key;
        slider_widget *slider;
        const char *label;
        double def;
    } suspension[] = {
        {"fork_compression_adjustment", &s.fork_compression,
         "Fork High Speed Compression Damping", 50},
        {"fork_slow_compression_adjustment", &s.fork_slow_compression,
         "Fork Low Speed Compression Damping", 50},
        {"fork_rebound_adjustment", &s.fork_rebound, "Fork High Speed Rebound Damping", 50},
        {"fork_slow_rebound_adjustment", &s.fork_slow_rebound, "Fork Low Speed Rebound Damping",
         50},
        {"fork_spring_rate_adjustment", &s.fork_spring_rate, "Fork Spring Rate", 50},
        {"fork_preload_adjustment", &s.fork_preload, "Fork Preload", 50},
        {"fork_oil_level_adjustment", &s.fork_oil_level, "Fork Oil Level", 50},
        {"shock_compression_adjustment", &s.shock_compression,
         "Shock High Speed Compression Damping", 75},
        {"shock_slow_compression_adjustment", &s.shock_slow_compression,
         "Shock Low Speed Compression Damping", 50},
        {"shock_rebound_adjustment", &s.shock_rebound, "Shock High Speed Rebound Damping", 75},
        {"shock_slow_rebound_adjustment", &s.shock_slow_rebound, "Shock Low Speed Rebound Damping",
         50},
        {"shock_spring_rate_adjustment", &s.shock_spring_rate, "Shock Spring Rate", 50},
        {"shock_preload_adjustment", &s.shock_preload, "Shock Preload", 50},
        {"rider_yspring", &s.rider_yspring, "Rider Vertical Spring", 50},
        {"rider_ydamping", &s.rider_ydamping, "Rider Vertical Damping", 50},
        {"rider_zspring", &s.rider_zspring, "Rider Forward Spring", 50},
        {"rider_zdamping", &s.rider_zdamping, "Rider Forward Damping", 50},
    };
    for (auto &k : suspension) t.slider(k.key, k.slider, k.label, 0, 100, 1, k.def, SETUP);
    t.slider("rider_mass_distribution", &s.rider_mass_distribution, "Rider Mass Distribution",
             0.33, 0.5, 0.01, 0.33, SETUP);
}

static void add_graphics_keys(table_builder &t, setting_records &s) {
    startup_number(t.slider("ground_detail", &s.ground_detail, "Ground Geometric Detail", 0, 100,
                            1, 50),
                   70);
    t.add("ground_texture_distance", SETTING_IGNORED, nullptr, SETTING_READ_ONLY);
    startup_number(t.slider("ground_texture_detail", &s.ground_texture_detail,
                            "Ground Texture Levels", 0, 10, 1, 9),
                   9);
    startup_text(t.choice("ground_texture_dim", &s.ground_texture_dim, "Ground Texture Resolution",
                          TEXTURE_DIMS, "128x128"),
                 "64x64");
    startup_text(t.choice("ground_mipmaps", &s.ground_mipmaps, "Enable Ground Mipmaps", NO_YES,
                          "Yes"),
                 "Yes");
    startup_text(t.choice("texture_compress", &s.texture_compress, "Compress Textures",
                          COMPRESS_MODES, "Yes"),
                 "No");
    t.add("use_fbo", SETTING_USE_FBO, "Use Framebuffer Objects", SETTING_READ_ONLY);
    startup_text(t.choice("render_texture", &s.render_texture, "Terrain Rendering Method",
                          RENDER_METHODS, "Hardware/Direct"),
                 "Software");
    startup_text(t.choice("use_shader", &s.use_shader, "Use Shader Programs", NO_YES, "Yes"),
                 "Yes");
    startup_number(t.slider("roost_density", &s.roost_density, "Roost Density", 0, 1000, 10, 250),
                   1000);
    startup_number(t.slider("reshade_delay", &s.reshade_delay, "Reshade Delay", 0, 20, 1, 0), 8);
    startup_text(t.choice("lens_flare", &s.lens_flare, "Enable Lens Flares", NO_YES, "Yes"),
                 "Yes");
    startup_text(t.choice("reflections", &s.reflections, "Enable Reflections", NO_YES, "Yes"),
                 "Yes");
    t.choice("hide_rider", &s.hide_rider, "Hide 1st Person Rider", NO_YES, "No");
    t.choice("rigid_camera", &s.rigid_camera, "Rigid 3rd person camera", NO_YES, "No");
    startup_number(t.slider("model_detail", &s.model_detail, "Model Geometric Detail", 0, 100, 1,
                            50),
                   50);
    startup_number(t.slider("model_texture_detail", &s.model_texture_detail,
                            "Model Texture Detail", 0, 10, 1, 9),
                   9);
    t.slider("fov", &s.fov, "Field Of View", 10, 170, 1, 110);
    t.slider("first_person_height", &s.first_person_height, "1st Person Height", 0, 1, 0.03125, 0);
    t.slider("first_person_angle", &s.first_person_angle, "1st Person Angle", 0, 40, 1, 0);
    t.slider("first_person_gimbal", &s.first_person_gimbal, "1st Person Gimbal", 0, 100, 1, 0);
    t.slider("third_person_height", &s.third_person_height, "3rd Person Height", 0, 20, 1, 5);
    t.slider("third_person_distance", &s.third_person_distance, "3rd Person Distance", 5, 40, 1,
             10);
    t.slider("volume", &s.volume, "Volume", 0, 10, 1, 10);
    t.slider("comp_volume", &s.comp_volume, "Competitor Volume", 0, 10, 1, 8);
}

static std::vector<setting_key> build_table() {
    setting_records &s = settings;
    table_builder t;
    t.integer("xres", &s.xres, 640, SETTING_OUT_OF_RANGE_DEFAULT, 0, INT_MAX);
    t.integer("yres", &s.yres, 480, SETTING_OUT_OF_RANGE_DEFAULT, 0, INT_MAX);
    t.integer("draw_fps", &s.draw_fps, 0);
    t.integer("draw_time", &s.draw_time, 0);
    t.integer("draw_ping", &s.draw_ping, 1);
    t.integer("draw_speed", &s.draw_speed, 0);
    t.integer("spy", &s.spy, 0);
    t.add("track", SETTING_TRACK, "Track", 0).target.choice = &s.track;
    t.choice("record", &s.record_demo, "Record Demo", NO_YES, "No");
    t.choice("skill", &s.robot_skill, "Robot Skill", ROBOT_SKILLS, "Novice");
    t.slider("minutes", &s.minutes, "Minutes", 0, 60, 1, 0);
    t.slider("laps", &s.laps, "Laps", 0, 50, 1, 5);
    for (int i = 0; i < GATE_COUNT; i++) {
        snprintf(gate_keys[i], sizeof gate_keys[i], "slot%02d", i);
        snprintf(gate_labels[i], sizeof gate_labels[i], "Gate %d", i + 1);
        t.choice(gate_keys[i], &s.gates[i], gate_labels[i], GATE_ROLES, gate_default(i));
    }
    t.slider("ghost_fade_distance", &s.ghost_fade_distance, "Ghost Fade Distance", 0, 40, 1, 10);
    t.choice("time_trial_abort", &s.time_trial_abort, "Backing Up Aborts Attempt", NO_YES, "Yes");
    add_setup_keys(t, s);
    // The display modes are listed at start-up (config_build_video_modes); until then the
    // choice offers the two that need none.
    t.choice("video_mode", &s.video_mode, "Video Mode", VIDEO_MODES, "Default Fullscreen");
    t.text("server_name", SETTING_TEXT, nullptr, &s.server_name, "Server", 127, "localhost");
    for (int i = 0; i < SERVER_HISTORY; i++) {
        snprintf(history_keys[i], sizeof history_keys[i], "server_name_hist%02d", i);
        t.text(history_keys[i], SETTING_BUFFER, net_recent_servers[i], nullptr, nullptr, 127, "",
               SETTING_TOO_LONG_IGNORED);
    }
    add_graphics_keys(t, s);
    t.choice("playback_mode", &s.playback_mode, "Playback Mode", PLAYBACK_MODES, "Playback Only");
    t.integer("billboard_optimize_lookahead", &s.billboard_optimize_lookahead, 8);
    t.integer("message_lines", &message_lines, 5, 0, 0, CONSOLE_LINES);
    t.integer("demo_backups", &s.demo_backups, 0);
    setting_key &map = t.add("map_scale", SETTING_FLOAT, nullptr, 0);
    map.target.real = &s.map_scale;
    map.number = 1.0;
    map.minimum = 0.125;
    map.maximum = 8.0;
    struct {
        const char *key;
        int index;
        const char *label, *def;
    } bindings[] = {
        {"throttle_key", BINDING_THROTTLE, "Throttle", "x"},
        {"front_brake_key", BINDING_FRONT_BRAKE, "Front Brake", "c"},
        {"rear_brake_key", BINDING_REAR_BRAKE, "Rear Brake", "v"},
        {"left_key", BINDING_LEFT, "Left", "left"},
        {"right_key", BINDING_RIGHT, "Right", "right"},
        {"clutch_key", BINDING_CLUTCH, "Clutch", "z"},
        {"upshift_key", BINDING_UPSHIFT, "Upshift", "up"},
        {"downshift_key", BINDING_DOWNSHIFT, "Downshift", "down"},
        {"dab_key", BINDING_DAB, "Sit/Dab", "right ctrl"},
        {"back_up_key", BINDING_BACK_UP, "Back up", "b"},
        {"lean_forward_key", BINDING_LEAN_FORWARD, "Lean Forward", "n"},
        {"lean_backward_key", BINDING_LEAN_BACKWARD, "Lean Backward", "m"},
        {"pause_key", BINDING_PAUSE, "Pause", "pause"},
        {"step_key", BINDING_STEP, "Step", "."},
        {"rewind_key", BINDING_REWIND, "Rewind", "\\"},
        {"skip_key", BINDING_SKIP, "Skip", "/"},
        {"prev_key", BINDING_PREV, "Previous Bike", "["},
        {"next_key", BINDING_NEXT, "Next Bike", "]"},
        {"console_key", BINDING_CONSOLE, "Chat", "t"},
        {"screenshot_key", BINDING_SCREENSHOT, "Screenshot", "s"},
    };
    for (auto &b : bindings) t.binding(b.key, &s.bindings[b.index], b.label, b.def);
    return t.keys;
}

setting_table settings_table() {
    static const std::vector<setting_key> table = build_table();
    return {table.data(), (int)table.size()};
}

const setting_key *settings_find(const char *key) {
    setting_table t = settings_table();
    for (int i = 0; i < t.count; i++)
        if (strcmp(t.keys[i].key, key) == 0) return &t.keys[i];
    return nullptr;
}
