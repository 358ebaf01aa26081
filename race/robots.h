// Robot riders' learned lines: the line store and the line files.
#pragma once

#include <cstdint>

#include "bike/rider.h"

// One sample of a recorded ride: the frame's position (ft), its speed (ft/s; negative when
// neither wheel touched the ground) and its tilt (radians).
struct line_point {
    float x, y, z;
    float speed, tilt;
};

// One learned line through a timed segment, with the robots' statistics on it (times in ticks).
// point_count 0: the slot is free.
struct line_slot {
    line_point *points;
    int32_t point_count;
    int32_t recorded_time, recorded_time_two;
    int32_t passes;
    int32_t best_time, best_time_two;
    int32_t total_time, total_time_two;
    int32_t failures;
    int32_t last_picked;   // tick a robot last chose it (run time only)
    int32_t serial;        // unique while the track's timing stays loaded (run time only)
};

// Per store row (timed segment) LINE_SLOTS_PER_SEGMENT line slots.
struct line_store_record {
    int segment_count;
    line_slot *slots;   // segment_count x LINE_SLOTS_PER_SEGMENT
    int serial_counter; // the last serial handed out
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
