// Robot riders' learned lines: the line store, its plan and the line files.
#pragma once

#include "bike/rider.h"

// One sample of a recorded ride: the frame's position (ft), speed (ft/s, negative when neither
// wheel touched the ground) and tilt from the vertical (rad).
struct line_point {
    float x, y, z;
    float speed;
    float tilt;
};

// One alternative line through one segment with the robots' record on it. Times in ticks.
struct line_slot {
    line_point *points;
    int point_count;          // 0: the slot is free
    int recorded_time;
    int recorded_time_two;    // this segment and the next
    int passes;
    int best_time;
    int best_time_two;
    int total_time;
    int total_time_two;
    int failures;
    int last_picked;          // tick; run time only
    int serial;               // unique while the timing stays loaded; run time only
};

// Rows of LINE_SLOTS_PER_SEGMENT slots: the first lap's segments, then a normal lap's.
struct line_store_record {
    int row_count;
    line_slot *slots;         // row_count x LINE_SLOTS_PER_SEGMENT
    line_slot **plan;         // three lists (levels 0, 1, 2) of row_count entries; null: none
    int serial_counter;       // hands out the slots' serial numbers
};

extern line_store_record line_store;

// Makes the store for the accepted timing: rows of cleared slots (last picked 0), the plan and
// the serial counter at 0. An old store is freed first.
void line_store_create(int rows);
// Empties every slot of every row (points freed, statistics back to their start); the rows and
// the plan stay.
void line_store_clear();
// Frees the rows and the plan; the store has no rows afterwards.
void line_store_free();
// A slot back to its start: no points, times 1000000, counts 0, serial 0 (last picked kept).
void line_slot_clear(line_slot *slot);
// The slots of a store row, or null when the row does not exist.
line_slot *line_store_row(int row);
// The store row of segment s (s = 0, 1, ... over the whole race): the first lap's rows, then
// the normal lap's rows repeated. 0 for a negative segment or an empty store.
int line_store_row_of_segment(int s);
// Writes the learned lines of the current track for a line level (0..2).
void autopilot_write_lines(int level);
// The robot's controls for this tick (race/autopilot.h); a robot with no line to ride stops and
// waits. Riders without a personality are left alone.
void autopilot_drive(rider_slot *s);
// Passes the rider's timing points, times its laps and finish, records its lap samples and
// learns or rates lines (race/laps.cpp).
void autopilot_record_sample(rider_slot *s);

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
constexpr int LINE_PLAN_LEVELS = 3;
constexpr int LINE_TIME_NONE = 1000000;
constexpr int AUTOPILOT_PERSONALITIES = 5;
