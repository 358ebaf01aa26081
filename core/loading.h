// The loading screen: status lines of long steps, progress ticks of long scans, and the splash
// screen of the frame loop. Each call keeps the window alive by draining its events.
#pragma once

#include <cstdint>

// Progress ticks counted so far (never reset).
extern unsigned loading_tick_count;
// The title image of the status screen (0 until loaded).
extern uint32_t loading_title_texture;

// Takes and drops every pending input event; a window close is kept as quit_requested.
void loading_drain_events();
// Counts a progress tick, drains events, and redraws the progress screen at most every 1/16 s.
void loading_tick();
// Shows the status screen with the text; drains events and releases every held control.
void loading_status(const char *text);
// loading_status, then the text logged as "%s\n" when it is not empty.
void loading_status_log(const char *text);
// Draws the status screen into the current frame; an empty text gives the splash screen.
void loading_draw_screen(const char *text);
// Draws the progress screen with the low 32 bits of the tick counter as its mask (begins and
// ends its own frame).
void loading_draw_progress(unsigned mask);

constexpr double LOADING_TICK_INTERVAL = 1.0 / 16.0;
