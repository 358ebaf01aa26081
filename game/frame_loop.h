// The frame loop: one pass draws a frame, updates the sound, waits until simulated time is due
// and runs fixed ticks of 1/128 s until it has caught up with real time.
#pragma once

#include <cstdint>

#include "bike/controls.h"
#include "core/frame_io.h"

enum view_modes { VIEW_ONBOARD = 0, VIEW_EDITOR = 2, VIEW_CHASE = 3, VIEW_CAMERA = 4, VIEW_SPLASH = 5 };

struct frame_loop_state {
    int quit_requested;          // the loop ends at the next pass
    int paused;                  // offline only
    int view_mode;
    int windowed;                // the window was opened windowed: its size is the setting
    double previous_time;        // real time of the last pacing step
    double simulated_time;       // advances one tick per tick
    double target_time;          // advances by each pass's advance
    int histogram[8];            // pass durations: below 2^k ticks (k 0..6), and longer
    double smallest_advance, largest_advance;
    double stutter_threshold;    // seconds; 0 = off
    double stage_mark;           // real time the last stage ended
    control_record axes;         // the nine control axes of the current tick
    int pointer_x, pointer_y;    // last readings of the pointer axes
    int last_event_page;         // menu_page at the previous event
    int screenshot_counter;
    int screenshot_pending;      // the screenshot key asked for the next finished frame
};

extern frame_loop_state frame_loop;

// Puts the loop's state back to its start (view 0, nothing paused, the histogram empty).
void frame_loop_reset();
// The start of the loop: the previous frame time is now, simulated and target time 0.
void frame_loop_begin();
// One pass: 0 when the loop ends (quit requested before the pass, or a failed buffer swap).
int frame_loop_pass();
// Passes until one returns 0.
void frame_loop_run();

// The pacing step: measures the pass, sleeps as the rules ask, stores the time it took last in
// *now and returns the advance of simulated time in seconds.
double frame_pace(double *now);
// The factor the advance takes online, by how far the race is behind the server.
double frame_online_scale(int server_tick, int current_tick, int gate_drop_tick);
// Marks the end of a stage; over the stutter threshold the console gets "Stutter in ...".
void frame_stage(const char *label);
// 1 when the view is the player's own bike.
int frame_player_view();
// One input event of a tick; and the key dispatch for events nothing else took.
void frame_take_event(int code, int pressed);
void frame_dispatch_key(int code, int pressed);
// The ticks of one pass, up to the target time; now is the pass's time.
void frame_run_ticks(double now);
// The drawing step: 0 when the buffer swap failed.
int frame_draw();

constexpr double TICK_SECONDS = 1.0 / 128.0;
constexpr double FRAME_MAX_ADVANCE = 0.125;
constexpr int FRAME_WARP_TICKS = 100;
constexpr int FRAME_PACE_SLEEPS_MAX = 1000;
constexpr int KEY_TAB = 9;
