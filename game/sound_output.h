// The game's sound output: the device (or the recording of --record-audio) opened at start-up,
// its per-frame update and per-tick recording, and closing it.
#pragma once

// Opens sound output as the run's options ask; game_sound_open is 1 when it opened.
void sound_output_open();
// Lets the driver update once a frame.
void sound_output_update();
// With --record-audio: renders one tick of sound and appends it to the recording file.
void sound_output_record_tick();
// Closes sound output and the recording file.
void sound_output_close();

// The recording: 8-bit stereo at 88320 frames a second, one block of 690 frames per tick.
constexpr int SOUND_RECORD_RATE = 88320;
constexpr int SOUND_RECORD_FRAMES = 690;
constexpr int SOUND_RECORD_BYTES = SOUND_RECORD_FRAMES * 2;
