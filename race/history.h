// Rider state history: the last 128 packed states of every slot in tick order, the pair of
// records around a wanted tick, the blend of two records, and posing a rider from its history.
#pragma once

#include <cstdint>

#include "bike/packed_state.h"
#include "bike/rider.h"

// One slot's ring. Walking backward from the head visits the records newest first; an empty
// entry has tick -1. unsent marks the records the demo writer has not taken yet; pending is
// their count.
struct rider_history_record {
    unsigned char states[128][PACKED_STATE_BYTES];
    int32_t ticks[128];
    unsigned char unsent[128];
    int32_t head;
    int32_t pending;
};

// What posing a history rider at a view tick hands to bike_apply_packed_states: the record
// the rider takes (blended or one of the ring's), the older and newer records (ring indices)
// and the ticks between them. exact is the ring index whose record is current unchanged, or
// -1 when it is a blend.
struct history_pose_record {
    unsigned char current[PACKED_STATE_BYTES];
    int older, newer;
    int interval;
    int exact;
    double fraction;
};

extern rider_history_record rider_history[RIDER_SLOTS];
// Called with every pose the race tick applies (tests and the runner watch it); null: none.
extern void (*history_pose_spy)(int slot, int view_tick, const history_pose_record *pose);

void history_clear(int slot);
void history_clear_all();
// Inserts a record in tick order. A record for a tick already held, and one older than every
// record of a full ring, change nothing. Negative ticks are refused.
void add_state_to_history(int slot, const unsigned char *state, int tick);
// The ring indices of the two records around tick t: 1, or 0 when the history is empty.
int history_find_pair(int slot, int t, int *a, int *b);
// The record between a and b at fraction t (position extrapolated beyond 1, the rest held at b).
// Version 4 records are never blended: out is a.
void history_interpolate_state(unsigned char out[PACKED_STATE_BYTES], const unsigned char *a,
                               const unsigned char *b, double t, int version);
// The pose of the slot at view tick t: 1, or 0 when its history is empty.
int history_pose_at(int slot, int t, int version, history_pose_record *out);
// Poses every occupied slot of kind 1 from its history at the race's view tick.
void history_pose_riders(int version);

constexpr int HISTORY_RECORDS = 128;
constexpr int HISTORY_EXTRAPOLATE_TICKS = 64;
