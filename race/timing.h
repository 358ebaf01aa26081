// Timing gates of the track and the per-rider timing list: laps, lap times and the finish.
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

// The rider's timing list. Timing index i counts the timing points a rider passed over all
// laps; index i < F lies in the first lap, F + k N + j (0 <= j < N) in lap k + 2, with F and N
// the first and normal lap lengths. A slot number outside 0..159 reads as an empty list.

// The number of timing points the slot passed (the next index expected).
int rider_timing_count(int slot);
// The tick at which the slot passed timing index i; -1 when not passed or out of range.
int rider_timing_tic(int slot, int i);
// Grows the list to at least i + 1 entries (new ones -1) and stores the tick at i. An index
// outside 0..TIMING_INDEX_LIMIT - 1 is refused with a warning; a list that cannot grow keeps
// what it had. 1 when stored.
int rider_set_timing_tic(int slot, int i, int tick);
// Cuts the list back to n points: the count becomes n, the list at most n long, the down flag
// 0; the finished flag is cleared when n is below the count.
void rider_truncate_timing(int slot, int n);
// Completed laps and the index within the lap: (0, 0) without checkpoints, (0, count) in the
// first lap.
void rider_lap_progress(int slot, int *laps, int *index);
// Seconds of lap `lap` (below 0: the last completed lap); 0 when unknown. Lap 1 runs from the
// gate drop.
float rider_lap_time(int slot, int lap);
// 1 once the rider has finished (sets its flag): at its next lap line at or after the leader's
// finish. 0 with no checkpoints or no leader.
int rider_check_finished(int slot);
// The timing index that ends lap `lap` (1 = the first lap): F + N (lap - 1) - 1.
int timing_lap_end(int lap);
// 1 when passing timing index `index` completes a lap.
int timing_closes_lap(int index);

constexpr int TIMING_INDEX_LIMIT = 65536;
constexpr int TIMING_NO_SEGMENT = 100000;   // lap-list mark: timed, ends no line segment
