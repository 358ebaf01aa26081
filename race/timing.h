// Timing gates of the track and the per-rider timing ticks.
#pragma once

#include <cstdint>

#include "platform/plyx.h"

// 32 bytes: point A, point B, a value and a word.
struct checkpoint {
    float a[3];
    float b[3];
    float value;
    int32_t word;
};

struct timing_gates_record {
    int count;
    checkpoint *checkpoints;
    growable_array lap_list;     // of int: checkpoint index per timing index (+100000: no segment)
    int first_lap_length;
    int lap_length;
    int first_lap_timed;         // timed entries in the first and in a normal lap
    int lap_timed;
};

extern timing_gates_record timing_gates;

// The tick at which the slot passed timing index i; -1 when not passed or out of range.
int rider_timing_tic(int slot, int i);
