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
    int view_delay;         // ticks by which history riders, script time and gate arms lag
    int gate_count;         // starting gates of the track (starting_gates, race/timing.h)
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
// What the race calls in the layers above it, set by start-up: the track script's tick handler,
// the script unloaded with its sounds before a reset, and the request for memory and priority
// after one. Null does nothing.
struct race_hook_table {
    void (*script_tic)();
    void (*script_unload)();
    void (*script_free_sounds)();
    void (*boost_process)();
    void (*apply_setup)(int slot);       // the player's bike setup onto the slot's bike
    void (*mark_setup_reported)();       // the setup change report starts from the current values
    void (*engine_sound_free)(int slot);                         // before the bike is freed
    void (*engine_sound_load)(int slot, const char *texture);    // after the bike is loaded
    int (*script_load)(const char *path);   // the track's "frills.js", after the track loads
    void (*place_free_camera)(const float position[3]);   // the free camera to this point
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
// Per slot the rider's name in this race ("Roborider" for robots), or null.
extern const char *race_rider_names[RIDER_SLOTS];
// Per slot what its bike was loaded with (interned; null: none): model, rider number and the
// body, head, bike and wheel textures. Demo headers name them.
struct race_slot_look {
    const char *model, *number, *body, *head, *bike, *wheels;
};
extern race_slot_look race_slot_looks[RIDER_SLOTS];
// A server race's track and gate drop tick, as the server sent them (null: none).
extern const char *race_server_track;
extern int race_server_gate_drop;
// What the reset loads bikes with (bike_load; tests put a spy here).
extern rider_slot *(*race_bike_load)(const char *model, int slot, int no_wheel_contacts,
                                     const char *number, const char *body, const char *head,
                                     const char *bike, const char *wheels);

// The robots' roster: 80 rows handed out in an order shuffled at every reset.
struct race_roster_row {
    char number[4];
    const char *personality;
    const char *model;
};
extern race_roster_row race_roster[80];
extern int race_roster_order[80];
extern int race_roster_next;
// Seeds the race's generator and shuffles the roster order into one cycle; the next row is 0.
void race_shuffle_roster(uint32_t seed);
// Puts the slot's bike at (x, ground, z) turned by yaw and lifts it clear of the ground.
void race_drop_to_ground(int slot, float x, float z, float yaw);
// Set once the race's results are written; the running order then stays as it is.
extern int results_written;
// The race rules the server may change: how long after the drop the off-course rule starts (s)
// and its scale.
extern float off_course_bias;
extern float off_course_scale;

// Six rings of suspension read-outs of the viewed rider (fork compression, speed, damping, then
// the swingarm's); index 1024 marks a graph not started.
struct suspension_graph_record {
    float rings[6][1024];
    int index;
};
extern suspension_graph_record suspension_graph;
extern int suspension_graph_on;

// Starts a race on the track of the Track choice (or of the demo when play_demo is set and the
// demo opens), loading it when it is not the loaded one; roles null means a time trial.
// 1, or 0 when the track cannot be loaded (the race then has no track).
int race_reset(const int *roles, int play_demo, int record_demo, int race_time, int laps,
               int robot_level);
// Advances the world by one tick, in one fixed order: script, history riders, contacts, roost,
// the world step, ruts, every rider's driving and bike step, particles, gate arms, the clock,
// demo frames, the time-trial cycle and the suspension graph.
void race_tick();
// Rebuilds the running order (unless the results are written): occupied slots ranked by timing
// points passed, then the tick of the last one, then slot.
void race_update_standings();
// The running order's ranking: more points first, then the earlier time, then the lower slot.
int race_compare_results(const void *a, const void *b);
// 1 while the slot's rider counts as in the race for the online contact rule.
int race_rider_in_race(int slot);
// Loads the playback demo's rider k into the slot as a history rider (its looks noted, the demo
// rider mapped to the slot): 1, or 0 when it has no bike.
int race_load_demo_rider(int slot, int k);
// Ends the player's run of a time trial.
void race_end();
// 1 when the race draws the slot's rider as a ghost (off course, or its history gone stale).
int race_rider_is_ghost(int slot);
// Applies the player's controls of one tick to the slot's rider.
void race_apply_controls(int slot, const control_record *controls);
// 1 while "Sticky Sit/Dab" is on and the slot's sticky dab is held.
int race_sticky_dab_held(int slot);

constexpr int RACE_ROSTER_ROWS = 80;
constexpr int RACE_COUNTDOWN_TICKS = 640;
constexpr int RACE_TIME_TRIAL_START_TICK = 38400;
constexpr int RACE_NO_FINAL_LAP = 1000000;
