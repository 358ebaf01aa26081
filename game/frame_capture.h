// Reading the drawn frame back: numbered screenshots and the raw video of --record-video.
#pragma once

#include <cstdio>

// The next screenshot number. While *counter is 0 or less, every name that scans as
// "screenshot%u" (whatever follows the number) first raises it to the highest such number;
// the result is *counter + 1, and the counter moves on to it.
int screenshot_next_number(int *counter, const char *const *names);
// Saves the drawn picture in the back buffer of a width x height window as
// "@screenshot%03d.png" and says so on the console ("Saved ..." only once written).
void screenshot_save(int width, int height);
// Saves the back buffer's picture as a PNG of that name ('@' for the home folder, else a path):
// 1, or 0 with a warning; "Saved ..." only once written.
int screenshot_save_file(const char *name, int width, int height);
// The file the pending screenshot goes to instead of the next numbered one (null: numbered);
// cleared once used.
extern const char *screenshot_file;
// The screenshot key: the next finished frame is saved.
void screenshot_take();
// At the end of a frame's drawing, before the swap: saves it when a screenshot is pending.
void screenshot_finish_frame(int width, int height);
// Reads the current frame and writes it to out as a binary PPM, top row first: 1, or 0 when
// the frame cannot be read or written.
int video_write_frame(FILE *out, int width, int height);

constexpr int CAPTURE_MAX_SIDE = 16384;
