// Robot riders' learned lines: the line store and the line files.
#pragma once

#include "bike/rider.h"

// One line slot of a timed segment: points of 20 bytes (x, y, z and two floats).
struct line_point {
    float x, y, z;
    float f[2];
};

struct line_slot {
    line_point *points;
    int point_count;
    float statistics[8];
    int words[2];
};

// Per timed segment 45 line slots.
struct line_store_record {
    int segment_count;
    line_slot *slots;   // segment_count x LINE_SLOTS_PER_SEGMENT
};

extern line_store_record line_store;

// Frees every stored line; the store is empty afterwards.
void line_store_clear();
// Writes the learned lines of the current track for a line level (0..2).
void autopilot_write_lines(int level);

// One robot personality: how it weighs its lines while close and while leading clearly, the
// lead it calls clear (s), and its earliest and latest reaction (s).
struct autopilot_personality_row {
    const char *name;
    int cost_type_close, cost_type_leading;
    float lead_margin, earliest_reaction, latest_reaction;
};
extern const autopilot_personality_row autopilot_personalities[];

// Selects the personality of that name among rows 1 to 4 for the rider's auto pilot; an unknown
// name says so and selects row 1.
void rider_set_personality(rider_slot *s, const char *name);

constexpr int LINE_SLOTS_PER_SEGMENT = 45;
constexpr int AUTOPILOT_PERSONALITIES = 5;
