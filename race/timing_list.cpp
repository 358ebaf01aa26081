// The riders' timing lists: ticks per timing index, laps, lap times and the finish.
#include "race/timing.h"

#include <cstdio>

#include "bike/rider.h"
#include "core/console.h"
#include "race/race.h"

static constexpr double TICK_SECONDS = 1.0 / 128.0;

static int *timing_entries(const rider_slot *s) {
    return (int *)s->timing_tics.items;
}

int rider_timing_count(int slot) {
    rider_slot *s = rider_slot_at(slot);
    return s ? s->timing_count : 0;
}

int rider_timing_tic(int slot, int i) {
    rider_slot *s = rider_slot_at(slot);
    if (!s || i < 0 || i >= s->timing_tics.count || !s->timing_tics.items) return -1;
    return timing_entries(s)[i];
}

int rider_set_timing_tic(int slot, int i, int tick) {
    rider_slot *s = rider_slot_at(slot);
    if (!s) return 0;
    if (i < 0 || i >= TIMING_INDEX_LIMIT) {
        char text[64];
        snprintf(text, sizeof text, "Warning: timing index %d refused\n", i);
        console_print(text);
        return 0;
    }
    growable_array *a = &s->timing_tics;
    if (a->element_size != (int)sizeof(int)) return 0;
    if (!a->items && !plyx_array_init(a, sizeof(int), 4)) return 0;
    int none = -1;
    while (a->count <= i)
        if (!plyx_array_append(a, &none)) return 0;
    timing_entries(s)[i] = tick;
    return 1;
}

void rider_truncate_timing(int slot, int n) {
    rider_slot *s = rider_slot_at(slot);
    if (!s) return;
    if (n < 0) n = 0;
    if (n < s->timing_count) s->finished = 0;
    if (s->timing_tics.count > n) s->timing_tics.count = n;
    s->timing_count = n;
    s->down_flag = 0;
}

int timing_lap_end(int lap) {
    return timing_gates.first_lap_length + timing_gates.lap_length * (lap - 1) - 1;
}

int timing_closes_lap(int index) {
    int k = index + 1 - timing_gates.first_lap_length;
    return timing_gates.lap_length > 0 && k >= 0 && k % timing_gates.lap_length == 0;
}

void rider_lap_progress(int slot, int *laps, int *index) {
    int count = rider_timing_count(slot);
    int f = timing_gates.first_lap_length, n = timing_gates.lap_length;
    *laps = 0;
    *index = 0;
    if (timing_gates.count <= 0) return;
    if (n <= 0 || count < f) {
        *index = count;
        return;
    }
    *laps = (count - f) / n + 1;
    *index = (count - f) % n;
}

float rider_lap_time(int slot, int lap) {
    if (timing_gates.count <= 0) return 0;
    int laps, index;
    rider_lap_progress(slot, &laps, &index);
    if (lap < 0) lap = laps;
    if (lap <= 0 || lap > laps) return 0;
    int start = lap == 1 ? race_state.gate_drop_tick : rider_timing_tic(slot, timing_lap_end(lap - 1));
    int end = rider_timing_tic(slot, timing_lap_end(lap));
    if (start < 0 || end < 0) return 0;
    return (float)((double)(end - start) * TICK_SECONDS);
}

int rider_check_finished(int slot) {
    rider_slot *s = rider_slot_at(slot);
    if (!s || timing_gates.count <= 0) return 0;
    if (s->finished) return 1;
    if (race_state.running_count <= 0) return 0;   // no leader yet
    int finish = race_state.final_lap != 0 ? timing_lap_end(race_state.final_lap) : 0;
    const running_order_entry &leader = race_state.running_order[0];
    if (leader.points <= finish) return 0;
    int leader_tick = rider_timing_tic(leader.slot, finish);
    if (leader_tick < 0) return 0;
    int f = timing_gates.first_lap_length, n = timing_gates.lap_length;
    int count = s->timing_count;
    int line = n > 0 && count >= f ? f + n * ((count - f) / n) - 1 : 0;
    int tick = rider_timing_tic(slot, line);
    if (tick < 0 || tick < leader_tick) return 0;
    s->finished = 1;
    return 1;
}
