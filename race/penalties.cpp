// Penalties for missed timing points: the field's average time over a stretch, the charge of
// each rider, its best lap, and the results order they give.
#include <climits>
#include <unordered_map>

#include "core/net_state.h"
#include "core/util.h"
#include "race/race.h"
#include "race/standings.h"
#include "race/timing.h"

race_results_record race_results;

// The tick at timing index i, 0 before the first index.
static int tick_at(int slot, int i) {
    return i < 0 ? 0 : rider_timing_tic(slot, i);
}

// The rider's time from index i to j when it has both ticks and every index between, else -1.
static long long span_of(int slot, int i, int j) {
    int a = tick_at(slot, i), b = rider_timing_tic(slot, j);
    if (a < 0 || b < 0) return -1;
    for (int k = i + 1; k < j; k++)
        if (rider_timing_tic(slot, k) < 0) return -1;
    return b >= a ? (long long)b - a : -1;
}

// Riders of kind 0 do not count online while only watching.
static int counts_for_average(int slot) {
    return !(net_client.socket >= 0 && net_client.local_slot == RIDER_NO_SLOT && rider_status[slot] == 0);
}

int race_average_span(int i, int j) {
    int f = timing_gates.first_lap_length, n = timing_gates.lap_length;
    long long sum = 0;
    int counted = 0;
    for (int k = 0; k < race_state.running_count; k++) {
        int slot = race_state.running_order[k].slot;
        if (!counts_for_average(slot)) continue;
        if (i < f || n <= 0) {
            long long t = span_of(slot, i, j);
            if (t < 0) continue;
            sum += t;
            counted++;
            continue;
        }
        int start = f + (i - f) % n;
        int end = j + start - i;
        int count = rider_timing_count(slot);
        long long total = 0;
        int laps = 0;
        for (; end < count; start += n, end += n) {
            long long t = span_of(slot, start, end);
            if (t < 0) continue;
            total += t;
            laps++;
        }
        if (laps == 0) continue;   // no lap of this stretch to measure
        sum += total / laps;
        counted++;
    }
    return counted > 0 ? (int)(sum / counted) : RACE_SPAN_NOBODY;
}

// Spans already measured in one pass over the riders (a later span repeats every lap).
using span_cache = std::unordered_map<long long, int>;

static int cached_span(span_cache &cache, int i, int j) {
    int f = timing_gates.first_lap_length, n = timing_gates.lap_length;
    int key_i = i, key_j = j;
    if (i >= f && n > 0) {
        key_i = f + (i - f) % n;
        key_j = j + key_i - i;
    }
    long long key = (long long)((unsigned long long)(unsigned)key_i << 32 | (unsigned)key_j);
    auto found = cache.find(key);
    if (found != cache.end()) return found->second;
    int v = race_average_span(i, j);
    cache.emplace(key, v);
    return v;
}

static long long penalty_of(int slot, span_cache &cache) {
    int count = rider_timing_count(slot);
    long long penalty = 0;
    int last = -1;   // the last passed index before the current run
    for (int m = 0; m < count; m++) {
        int t = rider_timing_tic(slot, m);
        if (t < 0) continue;
        if (m > last + 1) {
            long long allowed = (long long)cached_span(cache, last, m) + RACE_PENALTY_GRACE;
            long long own = (long long)t - tick_at(slot, last);
            if (own < allowed) penalty += allowed - own;
        }
        last = m;
    }
    return penalty;
}

long long race_rider_penalty(int slot) {
    span_cache cache;
    return penalty_of(slot, cache);
}

int race_best_lap(int slot, int *lap) {
    int laps = race_laps_of(rider_timing_count(slot));
    int best = 0;
    *lap = 0;
    for (int l = 2; l <= laps; l++) {
        int a = rider_timing_tic(slot, timing_lap_end(l - 1)), b = rider_timing_tic(slot, timing_lap_end(l));
        if (a < 0 || b <= a) continue;
        if (best == 0 || b - a < best) {
            best = b - a;
            *lap = l;
        }
    }
    return best;
}

void race_build_results() {
    span_cache cache;
    int f = timing_gates.first_lap_length, n = timing_gates.lap_length;
    race_results.count = 0;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        if (!rider_has_bike(slot)) continue;
        int count = rider_timing_count(slot);
        running_order_entry &e = race_results.order[race_results.count++];
        e.slot = slot;
        e.points = count;
        e.time = count > 0 ? rider_timing_tic(slot, count - 1) : 0;
        long long penalty = penalty_of(slot, cache);
        if (penalty == 0) continue;
        int lap;
        int best = race_best_lap(slot, &lap);
        // Without a lap to take away, the whole penalty is time.
        if (race_laps_of(count) >= 2 && best > 0 && n > 0) {
            while (penalty > best && e.points > f) {
                e.points -= n;
                penalty -= best;
            }
        }
        long long time = (long long)e.time + penalty;
        e.time = time > INT_MAX ? INT_MAX : (int)time;
    }
    util_heapsort(race_results.order, race_results.count, sizeof(running_order_entry),
                  race_compare_results);
}
