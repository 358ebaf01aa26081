// Race completion: the results order with penalties for missed timing points, the results file
// and the files written through a temporary name.
#pragma once

#include "race/race.h"

struct file_stream;

// The results order, built once when the race is complete (penalties applied, then ranked as
// the running order is).
struct race_results_record {
    int count;
    running_order_entry order[RIDER_SLOTS];
};
extern race_results_record race_results;
// The tick the race completed at (its results written and scored), -1 while it has not. A race
// reset sets it to -1; completing again with it set writes and scores nothing.
extern int race_completed_tick;

// The average ticks the running-order riders took from timing index i to j: a span inside the
// first lap (i < F) is measured once per rider, tick(i) being 0 for i < 0; a later span is
// measured in every lap the rider has run and averaged. A rider counts when every index in
// between was passed and its time is not negative; 7680 when nobody counts.
int race_average_span(int i, int j);
// The ticks the slot's rider is charged for its missed timing points (0 when none).
long long race_rider_penalty(int slot);
// The slot's fastest lap among laps 2..completed in ticks (the earlier on a tie): 0 when there
// is none. *lap gets its number (0 when none).
int race_best_lap(int slot, int *lap);
// Completed laps for a timing position.
int race_laps_of(int points);
// 1 when the slot's rider can no longer finish: a history rider whose history is empty or more
// than 10 s old offline; online a stale remote rider, or any local rider while watching.
int race_rider_cannot_finish(int slot);
// 1 when every running-order rider has finished or can no longer finish (and there is one).
int race_is_complete();
// Fills race_results from the timing lists: one entry per occupied slot, penalties applied as
// time or whole laps, ranked by race_compare_results.
void race_build_results();
// Writes "@results.txt" from race_results: 1, or 0 with a warning and the old file left whole.
int race_write_results();
// The tick of the newer of the two history records around `tick` for the slot, -1 when its
// history is empty: the rider history's answer (tests put their own here).
extern int (*race_history_newer_tick)(int slot, int tick);

// Writes a file through "<name>.tmp" in the same folder, renamed over the old one when every
// write, the flush and the close succeeded: 1. Otherwise the temporary file is removed, the
// old file stays whole, the console gets "Warning: couldn't write '<name>'" and 0 is returned.
int race_write_file(const char *name, int (*write)(file_stream *s, void *context), void *context);

constexpr int RACE_SPAN_NOBODY = 7680;         // ticks allowed for a stretch nobody timed
constexpr int RACE_PENALTY_GRACE = 128;        // ticks added to the field's average
constexpr int RACE_HISTORY_STALE_TICKS = 1280; // a history rider this far behind cannot finish
