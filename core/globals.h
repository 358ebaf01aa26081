// Program-wide values the core's services read: the frame clock, the HUD's line count and the
// open window and sound output, which the fatal path closes, and the loading screen's tick.
#pragma once

struct window_context;

extern double frame_clock;             // seconds of real time summed by the frame loop
extern int message_lines;              // console lines the HUD shows (configuration key)
extern window_context *game_window;    // the game window, or null
extern int game_sound_open;            // 1 while sound output is open
// Called by long scans (the file index) to keep the loading screen alive; null until the
// loading screen sets it.
extern void (*loading_tick_hook)();
