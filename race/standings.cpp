// The running order: every occupied slot ranked by how far it has come and when; the laps of a
// timed race; completion, after which the results are written and entered into the series.
#include <algorithm>

#include "core/net_state.h"
#include "core/util.h"
#include "race/history.h"
#include "race/race.h"
#include "race/series.h"
#include "race/standings.h"
#include "race/timing.h"

int results_written = 0;
int race_completed_tick = -1;
float off_course_bias = 10.0f;
float off_course_scale = 1.5f;

int race_compare_results(const void *a, const void *b) {
    const running_order_entry *x = (const running_order_entry *)a;
    const running_order_entry *y = (const running_order_entry *)b;
    if (x->points != y->points) return x->points > y->points ? -1 : 1;
    if (x->time != y->time) return x->time < y->time ? -1 : 1;
    return x->slot - y->slot;
}

int race_laps_of(int points) {
    int f = timing_gates.first_lap_length, n = timing_gates.lap_length;
    if (timing_gates.count <= 0 || n <= 0 || points < f) return 0;
    return (points - f) / n + 1;
}

// A timed race: half-way is the leader's lap once half the time has run.
static void set_half_way_lap() {
    if (race_state.half_way_lap != RACE_NO_FINAL_LAP) return;
    long long half = (long long)race_state.gate_drop_tick + race_state.race_time / 2;
    if (race_state.current_tick < half) return;
    race_state.half_way_lap = race_laps_of(race_state.running_order[0].points) + 1;
}

// The first tick at which any running-order rider passed timing index i, or -1.
static int first_pass(int i) {
    int first = -1;
    for (int k = 0; k < race_state.running_count; k++) {
        int t = rider_timing_tic(race_state.running_order[k].slot, i);
        if (t >= 0 && (first < 0 || t < first)) first = t;
    }
    return first;
}

// A timed race whose time is up: the first lap ended after the time, plus the extra laps, is
// the last one.
static void set_final_lap() {
    long long end = (long long)race_state.gate_drop_tick + race_state.race_time;
    if (race_state.current_tick < end) return;
    int leader_laps = race_laps_of(race_state.running_order[0].points);
    int d = leader_laps < 2 ? 1 : std::max(1, std::min(race_state.final_lap, leader_laps - 1));
    for (; d < RACE_NO_FINAL_LAP; d++) {
        int t = first_pass(timing_lap_end(d));
        if (t < 0) return;
        if (t >= end) {
            race_state.final_lap = std::min(race_state.final_lap, d + race_state.laps);
            return;
        }
        race_state.final_lap = std::max(race_state.final_lap, d + race_state.laps + 1);
    }
}

// The newer of the two records around the tick in the slot's history.
static int history_newer(int slot, int tick) {
    int a, b;
    return history_find_pair(slot, tick, &a, &b) ? rider_history[slot].ticks[b] : -1;
}
int (*race_history_newer_tick)(int slot, int tick) = history_newer;

int race_rider_cannot_finish(int slot) {
    int kind = rider_status[slot];
    int now = race_state.current_tick;
    if (net_client.socket < 0) {
        if (kind != 1) return 0;
        int t = race_history_newer_tick(slot, now);
        return t < 0 || (long long)now - t > RACE_HISTORY_STALE_TICKS;
    }
    if (net_client.local_slot == RIDER_NO_SLOT && kind == 0) return 1;
    return slot != net_client.slot && (long long)now - net_slot_state_tick[slot] >= 128;
}

int race_is_complete() {
    if (race_state.running_count <= 0) return 0;
    for (int k = 0; k < race_state.running_count; k++) {
        int slot = race_state.running_order[k].slot;
        if (!rider_check_finished(slot) && !race_rider_cannot_finish(slot)) return 0;
    }
    return 1;
}

void race_update_standings() {
    if (results_written) return;
    int n = 0;
    for (int i = 0; i < RIDER_SLOTS; i++) {
        if (!rider_has_bike(i)) continue;
        int count = rider_table[i].timing_count;
        running_order_entry &e = race_state.running_order[n++];
        e.slot = i;
        e.points = count;
        e.time = count > 0 ? rider_timing_tic(i, count - 1) : 0;
    }
    race_state.running_count = n;
    util_heapsort(race_state.running_order, n, sizeof(running_order_entry), race_compare_results);
    if (n > 0 && race_state.race_time != 0) {
        set_half_way_lap();
        set_final_lap();
    }
    if (!race_is_complete()) return;
    race_build_results();
    results_written = 1;
    // Completed again after a seek back in a demo: the order is rebuilt, nothing written twice.
    if (race_completed_tick >= 0) return;
    race_completed_tick = race_state.current_tick;
    if (race_results.count > 0 && rider_check_finished(race_results.order[0].slot)) race_write_results();
    series_enter_results();
}
