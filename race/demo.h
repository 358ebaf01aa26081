// Demo recording and playback.
#pragma once

// The track of the demo opened for playback, or null.
extern const char *demo_playback_track;

// Opens the demo named on the command line: non-zero on success.
int demo_open_playback();
// Closes the demo being played back (nothing when none).
void demo_close_playback();
// Reads the demo frames due at the current tick.
void demo_read_frames();
// Moves playback back (-1) or forward (+1).
void demo_seek(float direction);
// Closes the demo being recorded (nothing when none).
void demo_finish_recording();
// Writes the demo frame of this tick (forced: 1 at a reset).
void demo_write_frame(int force);
