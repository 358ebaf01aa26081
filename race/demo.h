// Demos: recording a race's rider states into a file, playing one back through the riders'
// histories, and seeking inside a playback.
#pragma once

#include <cstdint>

// One rider of the demo being played back: its names as the header gives them (interned; null
// when absent) and the slot the race reset placed it in (-1: none).
struct demo_rider_record {
    const char *model, *number, *name, *body, *head, *bike, *wheels;
    int slot;
};

// Where the recorder takes the riders' states from and which slots hold a rider (tests put
// fakes here): bike_pack_state and rider_has_bike.
struct demo_source_table {
    void (*pack)(int slot, unsigned char out[39]);
    int (*in_use)(int slot);
};

// What the last recording that finished was kept as.
struct demo_recording_summary {
    char path[1024];      // the '@' name
    int frames;
    long long bytes;
};

extern demo_rider_record demo_rider[160];
// Riders of the demo being played back (0 when none is).
extern int demo_rider_count;
// The track of the demo opened for playback, or null.
extern const char *demo_playback_track;
// The demo the player opens (a path or '@' name; null: the command line's, else the track's
// fast lap in a time trial, else "@demos/default.zrdemo").
extern const char *demo_chosen_file;
extern demo_source_table demo_source;
// Where the player queues the erosion messages a demo holds (erode_queue_message).
extern void (*demo_queue_erosion)(const unsigned char *bytes, int length);
extern demo_recording_summary demo_last_recording;

// ---- Recording ------------------------------------------------------------------------------
// Opens the recording (older ones rotated first) and writes its header; nothing when the file
// cannot be created.
void demo_start_recording();
// The demo frame of this tick: forced at race end and reset.
void demo_write_frame(int force);
// Writes what is pending, closes the recording and keeps it (under the name given, if any).
void demo_finish_recording();
// 1 while a recording is open.
int demo_recording();
// A frame of another type (a text, an erode command, erosion data) at the current tick, while
// recording; nothing otherwise.
void demo_write_record(int type, const void *bytes, int length);
// The console's "namedemo": the name the current recording is kept under.
void console_cmd_namedemo(const char *name);

// ---- Playback -------------------------------------------------------------------------------
// Opens the chosen demo and reads its header into the race state, the track name and the
// demo_rider table: 1, or 0 (with a warning) when it cannot be played.
int demo_open_playback();
// Closes the demo being played back (nothing when none); no playback riders remain.
void demo_close_playback();
// 1 while a demo is open for playback.
int demo_playing();
// The version of the demo being played back, 5 when none is.
int demo_playback_version();
// The next playback rider not yet given a slot, placed in that slot: its index, or -1.
int demo_place_next_rider(int slot);
// The file position of the next frame (or block) the player reads, -1 when not playing.
int32_t demo_playback_position();
// Reads the demo frames due at the current tick.
void demo_read_frames();
// Moves playback by a signed number of seconds (Rewind -1, Skip +1).
void demo_seek(float seconds);

// The console's file name limit for a demo name.
constexpr int DEMO_NAME_MAX = 255;
constexpr int64_t DEMO_FILE_MAX = 2147483647;
