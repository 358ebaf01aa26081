// Reading the drawn frame back: numbered screenshots and the raw video of --record-video.
#pragma once

#include <cstdio>

// The next screenshot number. While *counter is 0 or less, every name that scans as
// "screenshot%u" (whatever follows the number) first raises it to the highest such number;
// the result is *counter + 1, and the counter moves on to it.
int screenshot_next_number(int *counter, const char *const *names);
// Saves the front buffer of a width x height window as "@screenshot%03d.png" and says so on the
// console once it is written.
void screenshot_save(int width, int height);
// Saves a screenshot of the game window (the screenshot key).
void screenshot_take();
// Reads the current frame and writes it to out as a binary PPM, top row first: 1, or 0 when
// the frame cannot be read or written.
int video_write_frame(FILE *out, int width, int height);

constexpr int CAPTURE_MAX_SIDE = 16384;
