// The player's setting records that start-up and the frame loop read, the settings derived from
// them, and the values the command line sets for one run.
#pragma once

#include "ui/widget.h"

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

// The setting records: the menus edit them in place, "@config" reads and writes them by key.
struct setting_records {
    int xres, yres;          // window size when windowed
    int spy;                 // the view may leave the player's own bike
    choice_widget video_mode;
    slider_widget fov;
    choice_widget time_trial_abort;   // "Backing Up Aborts Attempt"
    choice_widget record_demo;
    slider_widget minutes;
    slider_widget laps;
    choice_widget robot_skill;
    choice_widget track;              // options: the track catalogue's folders
    // Graphics.
    slider_widget ground_detail;
    choice_widget ground_mipmaps;
    choice_widget texture_compress;
    choice_widget render_texture;
    choice_widget ground_texture_dim;
    choice_widget use_shader;
    slider_widget ground_texture_detail;
    choice_widget lens_flare;
    slider_widget model_detail;
    choice_widget reflections;
    slider_widget model_texture_detail;
    slider_widget roost_density;
    slider_widget reshade_delay;
    control_binding bindings[BINDING_COUNT];
};

// Settings the program core derives or the command line sets, read by other subsystems.
struct core_settings {
    int debug_level;                  // --debug 1, --super-debug 2
    int erode_amount;                 // 1024 x erosion strength (--erode)
    int editor_mode;                  // --editor
    int low_quality_drawing;          // --fugly
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

// Puts every setting, derived setting and run value back to its default.
void settings_reset();
// Gives the thirteen graphics settings the values of one column (0..3) of their presets.
void settings_apply_graphics_preset(int column);
// Computes the derived settings of game_settings from the setting records.
void settings_derive();

constexpr int GRAPHICS_PRESET_COLUMNS = 4;
constexpr int ERODE_AMOUNT_DEFAULT = 1024;
