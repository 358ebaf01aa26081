// Timing gates of the track, its starting gates, and the per-rider timing ticks.
#pragma once

#include <cstdint>

#include "platform/plyx.h"

// A timing checkpoint, 32 bytes: the centre a, the direction b it is passed in (x and z used),
// the radius (value) and the flaggers' run-time word.
struct checkpoint {
    float a[3];
    float b[3];
    float value;
    int32_t word;
};

struct timing_gates_record {
    int count;                   // checkpoints; 0 when the track has no (accepted) timing
    checkpoint checkpoints[256];
    growable_array lap_list;     // of int: checkpoint index per lap position (+100000: no segment)
    int first_lap_length;        // entries of the first lap, then of one normal lap
    int lap_length;
    int first_lap_timed;         // entries below 100000 in the first and in a normal lap
    int lap_timed;
};

extern timing_gates_record timing_gates;

// One starting gate: its point (y is a height offset), yaw in -pi..pi, the arm's fraction
// (1 up) and falling speed, the row of its arm statue (-1 none) and the statue's file names as
// the gate file gave them (null: none).
struct starting_gate {
    float position[3];
    float angle;
    float arm_fraction;
    float arm_speed;
    int statue;
    const char *model;
    const char *texture;
    const char *shape;
};

// The first race_state.gate_count entries are the track's gates.
extern starting_gate starting_gates[160];

// Reads a timing gates file: the starting gates with their arm statues, the checkpoints and the
// lap lists. Timing counts only when accepted (timing_gates.count > 0); then the empty line
// store and plan are made for it. A missing file leaves no gates and no timing.
void track_read_timing_gates(const char *path);
// Writes the loaded gates to "@<track>/timing_gates" through a temporary file: 1, or 0 with
// "Can't open 'timing_gates'" and the old file left whole.
int track_write_timing_gates();
// Forgets the gates and the timing (the line store is freed separately).
void timing_gates_clear();
// The number of lap-list entries below 100000 among timing indices 0..n-1: the segment a rider
// is in after passing n timing points. 0 for n <= 0 or without timing.
int rider_count_timed_points(int n);
// The lap-list position of timing index i (the first lap, then normal laps repeated); -1 for a
// negative index or without timing.
int timing_lap_position(int i);
// The tick at which the slot passed timing index i; -1 when not passed or out of range.
int rider_timing_tic(int slot, int i);

constexpr int TIMING_CHECKPOINTS_MAX = 256;
constexpr int TIMING_LAP_LIST_MAX = 256;
constexpr int TIMING_NO_SEGMENT = 100000;   // added to a lap entry that ends no line segment
constexpr int TIMING_GATES_MAX = 160;
constexpr int TIMING_LINE_MAX = 1024;
constexpr int TIMING_WORD_MAX = 80;
