// The player's setting records that every subsystem reads, the settings derived from them, and the
// values the command line sets for one run. Their defaults and the "@config" keys are the table
// of game/settings_table.h.
#pragma once

#include "core/widget_data.h"

struct axis_handle;

// A control bound to a key (by name, its code looked up once the window exists) or to an axis
// with the usable part of its travel, min..max as fractions of full deflection.
struct control_binding {
    const char *label;
    const char *key_name;   // interned, or null
    int key_code;           // -1 until looked up, or when the name has no code
    const char *axis_name;  // interned, or null
    axis_handle *axis;      // open handle, or null
    float axis_min, axis_max;
};

// The twenty bindings, in the order of the configuration file and the controls page.
enum binding_index {
    BINDING_THROTTLE, BINDING_FRONT_BRAKE, BINDING_REAR_BRAKE, BINDING_LEFT, BINDING_RIGHT,
    BINDING_CLUTCH, BINDING_UPSHIFT, BINDING_DOWNSHIFT, BINDING_DAB, BINDING_BACK_UP,
    BINDING_LEAN_FORWARD, BINDING_LEAN_BACKWARD, BINDING_PAUSE, BINDING_STEP, BINDING_REWIND,
    BINDING_SKIP, BINDING_PREV, BINDING_NEXT, BINDING_CONSOLE, BINDING_SCREENSHOT,
    BINDING_COUNT
};

constexpr int GATE_COUNT = 40;
constexpr int SERVER_HISTORY = 16;
constexpr int TEXTURE_NAME_MAX = 1023;   // characters of a paint texture's name

// The setting records: the menus edit them in place, "@config" reads and writes them by key
// (the table below says how).
struct setting_records {
    int xres, yres;          // window size when windowed
    int draw_fps, draw_time, draw_ping, draw_speed;   // the HUD's statistics lines
    int spy;                 // the view may leave the player's own bike
    const char *track_key;   // the configuration's "track" as read (interned), or null
    choice_widget record_demo;
    choice_widget robot_skill;
    slider_widget minutes;
    slider_widget laps;
    choice_widget gates[GATE_COUNT];  // "Gate 1" .. "Gate 40": the starting gates' roles
    slider_widget ghost_fade_distance;
    choice_widget time_trial_abort;   // "Backing Up Aborts Attempt"
    choice_widget track;              // options: the track catalogue's folders
    // The bike setup.
    choice_widget bike;
    text_field_widget rider_name, rider_number;
    char rider_name_text[64], rider_number_text[4];
    // Paint texture names: riding gear, helmet, bike graphics, wheel graphics.
    char rider_texture[TEXTURE_NAME_MAX + 1], head_texture[TEXTURE_NAME_MAX + 1];
    char bike_texture[TEXTURE_NAME_MAX + 1], wheel_texture[TEXTURE_NAME_MAX + 1];
    slider_widget stability;
    slider_widget leveling, roll_damping, roll_limit_angle, roll_limit_factor;
    slider_widget steering_damping, steering_strength, max_steering_force, direct_steering;
    slider_widget slow_damping_speed, slow_damping_factor;
    slider_widget land_damping_falloff, land_damping_factor;
    slider_widget full_lock_speed, restricted_lock_speed, restricted_lock;
    choice_widget arcade, front_brake, rear_brake, stop_wheelies, auto_shift, auto_dab;
    choice_widget auto_align, sticky_dab, reverse_steering, lean_indicator;
    slider_widget auto_clutch_rpms, brake_torque, rear_brake_torque, max_dab_speed;
    slider_widget front_sprocket, rear_sprocket;
    slider_widget fork_compression, fork_slow_compression, fork_rebound, fork_slow_rebound;
    slider_widget fork_spring_rate, fork_preload, fork_oil_level;
    slider_widget shock_compression, shock_slow_compression, shock_rebound, shock_slow_rebound;
    slider_widget shock_spring_rate, shock_preload;
    slider_widget rider_yspring, rider_ydamping, rider_zspring, rider_zdamping;
    slider_widget rider_mass_distribution;
    // Video, network and graphics.
    choice_widget video_mode;         // options: config_build_video_modes
    text_field_widget server_name;
    char server_name_text[128];
    slider_widget ground_detail;
    slider_widget ground_texture_detail;
    choice_widget ground_texture_dim;
    choice_widget ground_mipmaps;
    choice_widget texture_compress;
    choice_widget render_texture;
    choice_widget use_shader;
    slider_widget roost_density;
    slider_widget reshade_delay;
    choice_widget lens_flare;
    choice_widget reflections;
    choice_widget hide_rider;
    choice_widget rigid_camera;
    slider_widget model_detail;
    slider_widget model_texture_detail;
    slider_widget fov;
    slider_widget first_person_height, first_person_angle, first_person_gimbal;
    slider_widget third_person_height, third_person_distance;
    slider_widget volume, comp_volume;
    choice_widget playback_mode;
    int billboard_optimize_lookahead;
    int demo_backups;
    float map_scale;
    control_binding bindings[BINDING_COUNT];
};

// Settings the program core derives or the command line sets, read by other subsystems.
struct core_settings {
    int debug_level;                  // --debug 1, --super-debug 2
    int erode_amount;                 // 1024 x erosion strength (--erode)
    int editor_mode;                  // --editor
    int low_quality_drawing;          // --fugly
    int no_vertex_arrays;             // --novertexarrays
    int autopilot_learning;           // --learn 1, --nolearn 0
    int practice_mode;                // --practice
    int rotate_lineup;                // --rotate-lineup
    int draw_render_stats;            // --draw-render-stats
    int accurate_skip;                // --accurate-skip
    int print_orientation;            // --print-orientation
    double fake_lag;                  // seconds, 0..1 (--fake-lag)
    int fake_loss;                    // percent, 0..100 (--fake-loss)
    double terrain_detail;
    int ground_texture_reduce_levels;
    int ground_texture_size;
    float lod_scale;
    float lod_bias;
    int texture_reduce_levels;
    int texture_compress_mode;
    int roost_frequency;
    int reflections_on;
    int ground_mipmaps_on;
    int shaders_active;
    int terrain_uses_shaders;
};

// Values of one run that the entry routine and the frame loop keep for themselves.
struct run_values {
    int no_sound;                     // --nosound
    int warp;                         // --warp: the loop never sleeps
    double lock_fps;                  // --lock-fps, 0 for no cap
    const char *record_audio_file;    // --record-audio, or null
    int record_video;                 // --record-video: frames as PPM on standard output
    int show_pause_text;              // cleared by --hidden-pause
    int show_hud;                     // cleared by --hidden-hud
    int glfinish;                     // --glfinish
    int colour_bits;                  // --depth
    int depth_bits;                   // --zdepth
    float chase_center[3];            // --chase-center
    const char *demo_file;            // the bare argument: a demo to play, or null
};

extern setting_records settings;
extern core_settings game_settings;
extern run_values run_options;

constexpr int ERODE_AMOUNT_DEFAULT = 1024;
