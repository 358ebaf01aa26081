// The loading screen: status lines of long steps and progress ticks of long scans, which keep
// the window alive (input drained, the whole screen redrawn at once), and the slowest-step
// record. Clock, events and frames come through frame_io, the pictures through loading_hooks.
#pragma once

#include <cstdint>

struct loading_state {
    char status[80];              // the current status text, at most 79 characters
    double last_status_time;      // seconds
    double slowest_gap;           // the longest gap between two status calls
    char slowest_text[80];        // the status shown during it
    int dots;                     // 0..3 trailing dots of loading_progress
    double last_dots_time;
    uint32_t ticks;               // progress ticks counted, never reset (wraps)
    double last_tick_time;        // of the last progress redraw; < 0 before the first
    double first_progress_time;   // of the first progress drawing, for the fade-in; < 0 none
};

extern loading_state loading;
// What the loading screen takes from the program above it (loading_screen_install sets them).
// Without them nothing is drawn, nothing is released and a window close is dropped.
struct loading_hook_table {
    int (*begin_frame)();                    // 1 when a frame began with the projection set
    void (*draw_screen)(const char *text);   // the status screen; "" the splash screen
    void (*draw_progress)(uint32_t counter); // the progress screen
    void (*release_input)();                 // every control and pointer button released
    void (*close_requested)();               // a window close arrived while loading
};
extern loading_hook_table loading_hooks;

// Takes and drops every pending input event; a window close goes to the close hook.
void loading_drain_events();
// Shows the status screen with the text at once; drains events and releases every control.
void loading_status(const char *text);
// Starts a named step: loading_status, the text logged as "%s\n", the dots back to none.
void loading_begin(const char *text);
// The step's status with 0 to 3 trailing dots, redrawn at most every 0.125 s.
void loading_progress(const char *text);
// Shows "%.64s...done".
void loading_done(const char *text);
// loading_status, then the text logged as "%s\n" when it is not empty.
void loading_status_log(const char *text);
// Counts a progress tick, drains events, and redraws the progress screen at most every 1/16 s.
void loading_tick();

constexpr int LOADING_TEXT_MAX = 79;
constexpr double LOADING_DOTS_INTERVAL = 0.125;
constexpr double LOADING_TICK_INTERVAL = 1.0 / 16.0;
constexpr int LOADING_DRAIN_MAX = 4096;   // events dropped per call at most
