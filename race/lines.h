// The line store's rows and the line files: reading, writing, the worst line of a row, the
// crossing test and the pruning of crowded first-lap rows.
#pragma once

#include "race/robots.h"

struct file_stream;

// The next serial number for a slot read or learned.
int line_store_next_serial();
// The number of used slots (point_count >= 1) of a row.
int line_row_used(int row);

// Reads a line file into the store (emptied first). 1 when the header matched the store's row
// count; a bad record stops reading with a warning and keeps the rows and slots before it.
int lines_read(file_stream *s, const char *name);
// Writes the store in the file layout: 1 when every write succeeded.
int lines_write(file_stream *s);
// The level's file name, "lines_novice", "lines_amateur" or "lines_expert"; null outside 0..2.
const char *lines_file_name(int level);
// Reads the current track's line file of the level into the store: 1 when it matched.
int autopilot_read_lines(int level);

// The score by which a slot is judged (ticks; larger is worse), without the lone-start bonus.
long long line_slot_score(const line_slot *slot);
// The slot of the row to give up (Part of learning and pruning), or -1.
int line_worst_slot(int row);
// True when c and d lie on different sides of the line through a and b (x-z plane); a side
// value of exactly 0 counts as positive.
int autopilot_crosses_segment(const line_point *a, const line_point *b, const line_point *c,
                              const line_point *d);
// Thins the first-lap rows holding LINE_PRUNE_FROM or more used slots.
void autopilot_prune_lines();
// The race reset's lines: the level's file read into the store, then pruned.
void autopilot_load_lines(int level);

constexpr int LINE_POINTS_MAX = 65536;
constexpr int LINE_TIME_MAX = 100000000;
constexpr int LINE_COUNT_MAX = 65535;
constexpr int LINE_FAILURE_PENALTY = 640;   // 5 s in ticks
constexpr int LINE_PRUNE_FROM = 44;
constexpr int LINE_GOOD_KEEP = 22;          // good slots above this: any slot may go
constexpr float LINE_COORD_MAX = 1000000.0f;
constexpr float LINE_SPEED_MAX = 1000.0f;

// ---- Geometry of lines (x-z plane) -----------------------------------------------------------

// The centre of the circle through three points in the x-z plane (y of a); three points in a
// straight line give a centre 1000000 times the step away, so distances to it are in double.
struct line_centre {
    double x, y, z;
};
line_centre autopilot_circle_through_points(const line_point *a, const line_point *b, const line_point *c);
// 1 when slot j of the next row may follow slot i: j starts on the arc that i's last three
// points make (within 2.5 ft of its radius, along it rather than across), at most 15 ft/s slower.
int autopilot_slots_connect(const line_slot *i, const line_slot *j);
// The progress of a frame at `position` facing `forward` along a line of n points, starting
// from the point before `target`: an index, with the fraction toward the next point.
float autopilot_line_progress(const line_point *points, int n, int target, const float position[3],
                              const float forward[3]);

constexpr double LINE_JOIN_BAND = 2.5;         // ft either side of the arc
constexpr double LINE_JOIN_ALONG = 2.0;        // ft the first two points' radii may differ
constexpr double LINE_JOIN_SLOWER = 15.0;      // ft/s the next line may start slower
// The store row that follows row r: r + 1, and the first normal-lap row after the last row of
// either lap; -1 outside the store.
int line_row_after(int row);
// Checks that every used slot joins a slot of the next row and every slot past row 0 is reached
// from a row before it: 1, or 0 with the first problem written to `problem`.
int autopilot_check_joins(char *problem, int size);
