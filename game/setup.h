// The bike setup: its keys in "@config" and setup files, the stability preset, the hand-off of
// the setup to the player's bike and the report of changed setup values.
#pragma once

#include "bike/rider.h"
#include "core/stream.h"

struct slider_widget;

// One reported setup value: its value at the last report and whether it changed since.
struct setup_change_row {
    double reported;
    int changed;
    char letter;
    slider_widget *setting;
};

// The reporting state: the rows, the last refusal and the next report (frame_clock seconds).
struct setup_report_state {
    setup_change_row rows[39];
    double last_refusal;
    double next_report;
};

// The bike's side of the hand-off: its frame speed (negative: no bike in the slot) and its
// setters. Tests put their own calls here.
struct setup_bike_calls {
    float (*frame_speed)(int slot);
    void (*apply)(int slot, const bike_setup_values &values);
};

extern setup_report_state setup_report;
extern setup_bike_calls setup_bike;

// Applies one setup key: 1 when the key belongs to the setup, else 0.
int setup_parse_key(const char *key, const char *value);
// Writes the setup block: 1, or 0 on a write error.
int setup_write(file_stream *s);
// Selects the bike model in the setup's "Bike" choice.
void setup_select_bike(const char *model);
// Fills the fifteen steering and damping settings from the preset for a Stability value;
// returns the preset column used (0..4).
int setup_apply_stability_preset(int stability);
// The setup settings converted for the bike's setters.
bike_setup_values setup_collect_values();
// Copies the setup onto the slot's bike, or refuses while the bike moves (a second refusal
// within 10 s says so). Nothing happens when the slot holds no bike.
void setup_apply_to_bike(int slot);
// Marks every setup value as reported.
void setup_mark_reported();
// Reports changed setup values, at most every 5 s of frame_clock.
void setup_change_report();

constexpr int SETUP_STABILITY_DEFAULT = 100;
constexpr int SETUP_CHANGE_ROWS = 39;
constexpr int SETUP_PRESET_ROWS = 15;
constexpr float SETUP_STILL_SPEED = 0.125f;      // feet per second a bike may move and be set up
constexpr double SETUP_REFUSAL_REPEAT = 10.0;    // seconds within which a refusal is reported
constexpr double SETUP_REPORT_INTERVAL = 5.0;
