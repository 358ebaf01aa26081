// The table of every "@config" key with the records it sets, and the resets, graphics presets
// and derived settings that walk it.
#pragma once

#include "core/settings.h"

// How a key's value is read and written.
enum setting_kind {
    SETTING_INT,       // "%d" into an int
    SETTING_FLOAT,     // "%f" into a float, clamped to the key's range
    SETTING_SLIDER,    // "%f", clamped to the slider's range
    SETTING_CHOICE,    // the text of an option
    SETTING_TEXT,      // a text field's text
    SETTING_BUFFER,    // a text kept in a buffer of max_length + 1 bytes
    SETTING_BINDING,   // "(k)key", "(min,max)axis" or a bare key name
    SETTING_TRACK,     // read: kept for start-up; written: the Track choice's text
    SETTING_USE_FBO,   // read only: "Yes" or "No" picks the terrain rendering method
    SETTING_IGNORED,   // read and ignored
};

enum setting_flags {
    SETTING_SETUP = 1,             // part of the bike setup block
    SETTING_READ_ONLY = 2,         // never written
    SETTING_TOO_LONG_IGNORED = 4,  // a text longer than max_length - 1 is ignored, not cut
    SETTING_OUT_OF_RANGE_DEFAULT = 8,   // an int outside minimum..maximum takes the default
};

// One key of "@config": its kind, the record it sets and that record's look and defaults.
struct setting_key {
    const char *key;
    setting_kind kind;
    int flags;
    const char *label;                // sliders, choices, text fields, bindings
    double minimum, maximum, step;    // sliders; bounds of ints and floats
    const char **options;             // choices; null: options given at run time
    int option_count;
    int max_length;                   // texts: characters kept
    double number;                    // default of ints, floats and sliders
    const char *text;                 // default option, text or key name
    int has_startup;                  // start-up (steps before reading "@config") differs
    double startup_number;
    const char *startup_text;
    union {
        int *integer;
        float *real;
        slider_widget *slider;
        choice_widget *choice;
        text_field_widget *field;
        char *buffer;
        control_binding *binding;
    } target;
};

// Every key of "@config" in the order the file is written (read-only keys where they are read).
struct setting_table {
    const setting_key *keys;
    int count;
};

// The table of keys.
setting_table settings_table();
// The key's entry, or null when the table has no such key.
const setting_key *settings_find(const char *key);
// Puts every setting, derived setting and run value back to its default.
void settings_reset();
// Gives the thirteen graphics settings the values of one column (0..3) of their presets.
// Column 0 holds their start-up values (the table's), the others belong to the menus.
void settings_apply_graphics_preset(int column);
// Computes the derived settings of game_settings from the setting records.
void settings_derive();

constexpr int GRAPHICS_PRESET_COLUMNS = 4;
