// The loading screen: status lines of long steps and progress ticks of long scans, which keep
// the window alive (input drained, the whole screen redrawn at once), the splash screen of the
// frame loop, and the slowest-step record. Clock, events and frames come through frame_io.
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
// The title image of the status screen (0 until loaded at start-up).
extern uint32_t loading_title_texture;

// Takes and drops every pending input event; a window close is kept as quit_requested.
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
// Draws the status screen into the current frame; an empty text gives the splash screen.
void loading_draw_screen(const char *text);
// Draws the progress screen into the current frame: a row of 32 squares showing the
// counter's low bits, with a moving wave.
void loading_draw_progress(uint32_t counter);

constexpr int LOADING_TEXT_MAX = 79;
constexpr double LOADING_DOTS_INTERVAL = 0.125;
constexpr double LOADING_TICK_INTERVAL = 1.0 / 16.0;
constexpr int LOADING_DRAIN_MAX = 4096;   // events dropped per call at most
