// Robot riders' learned lines: the line store and the line files.
#pragma once

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

constexpr int LINE_SLOTS_PER_SEGMENT = 45;
