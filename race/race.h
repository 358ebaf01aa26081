// The running race: its state, the kinds and line-up of the 160 slots, race reset, the world
// tick and the player's controls.
#pragma once

#include "bike/controls.h"
#include "bike/rider.h"

struct running_order_entry {
    int slot;
    int points;    // timing points passed
    int time;      // ticks
};

struct race_state_record {
    int current_tick;       // 0 after a reset, +1 at the end of every race tick
    int gate_drop_tick;
    int countdown_ticks;
    int race_time;          // ticks; 0 for a lap race
    int laps;
    int final_lap;
    int half_way_lap;
    int time_trial;
    int erode_amount;       // 1024 x erosion strength of this race; 0 or less: no erosion
    int robot_level;        // 0 novice, 1 amateur, 2 expert, -1 none
    int first_lap_points;   // timing points of the first lap and of a normal lap
    int lap_points;
    int running_count;      // entry 0 is the leader
    running_order_entry running_order[RIDER_SLOTS];
};

extern race_state_record race_state;
// What the race calls in the layers above it, set by start-up: the track script unloaded with its
// sounds before a reset, and the request for memory and priority after one. Null does nothing.
struct race_hook_table {
    void (*script_unload)();
    void (*script_free_sounds)();
    void (*boost_process)();
    void (*engine_sound_free)(int slot);                         // before the bike is freed
    void (*engine_sound_load)(int slot, const char *texture);    // after the bike is loaded
};
extern race_hook_table race_hooks;
// Per slot: 0 simulated here from the local controls, 1 driven from its history, 2 robot.
extern int rider_status[RIDER_SLOTS];
// The line-up handed to race_reset (0 none, 1 the local rider, 2 a robot ...), and the roles
// the running race was started with.
extern int race_lineup[RIDER_SLOTS];
extern int race_roles[RIDER_SLOTS];
// Per slot: the engine sound of its rider (null: none) and one word the race clears.
extern void *race_engine_sounds[RIDER_SLOTS];
extern int race_slot_words[RIDER_SLOTS];
extern int viewed_slot;
// The last controls applied to each slot.
extern control_record race_last_controls[RIDER_SLOTS];

// Starts a race on the track of the Track choice (or of the demo when play_demo is set and the
// demo opens), loading it when it is not the loaded one; roles null means a time trial.
// 1, or 0 when the track cannot be loaded (the race then has no track).
int race_reset(const int *roles, int play_demo, int record_demo, int race_time, int laps,
               int robot_level);
// Advances the world by one tick: one physics step, the contact group emptied, tick + 1.
void race_tick();
// Ends the player's run of a time trial.
void race_end();
// 1 when the race draws the slot's rider as a ghost (off course, or its history gone stale).
int race_rider_is_ghost(int slot);
// Applies the player's controls of one tick to the slot's rider.
void race_apply_controls(int slot, const control_record *controls);

constexpr int RACE_COUNTDOWN_TICKS = 640;
constexpr int RACE_TIME_TRIAL_START_TICK = 38400;
constexpr int RACE_NO_FINAL_LAP = 1000000;
