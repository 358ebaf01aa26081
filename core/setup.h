// The bike setup as start-up and the frame loop use it: the bike choice, the stability preset
// and the setup-change report.
#pragma once

// The bike model of the setup.
extern const char *setup_bike_model;

// Selects the bike model in the setup's bike choice.
void setup_select_bike(const char *model);
// Fills the steering and damping settings from the preset for a Stability value.
void setup_apply_stability_preset(int stability);
// Marks every setup value as reported.
void setup_mark_reported();
// Reports changed setup values, at most every 5 s of frame_clock.
void setup_change_report();

constexpr int SETUP_STABILITY_DEFAULT = 100;
