// Time trials: the player's laps against the ghost of the track's fastest lap, kept as demo
// files in the track folder ("lastlap.zrdemo", "fastlap.zrdemo").
#pragma once

#include <string>

// The player's last lap and the best lap of this run (the player's or the ghost's), ticks; 0
// when none.
extern int last_lap_ticks;
extern int best_lap_ticks;

// What the lap cycle needs of the demo recorder and player; null entries do nothing (no demos).
struct time_trial_demo_table {
    void (*start_recording)();   // records the next lap to the track's "lastlap.zrdemo"
    int (*recording)();          // 1 while a recording is open
    void (*open_ghost)();        // plays the track's "fastlap.zrdemo" in slots 1 and up
};
extern time_trial_demo_table time_trial_demo;

// The slot's lap over timing indices F - 1 .. F + N - 1 in ticks: 0 when any of them is not
// passed.
int time_trial_lap_ticks(int slot);
// The lap cycle after the tick's demo step: laps[0] and laps[1] are the completed laps of slots 0
// and 1 noted at the start of the tick.
void time_trial_lap_cycle(const int laps[2]);
// Copies the track's "lastlap.zrdemo" over its "fastlap.zrdemo" through a temporary file: 1, or 0
// with a warning and the old fast lap left whole.
int time_trial_keep_fast_lap();
// The '@' name of a demo file in the loaded track's folder.
std::string time_trial_file(const char *file);
