// The standings: the running order of 160 riders 20 laps into a race (N = 12) against 2% of a
// tick, since every point passed rebuilds it, and the completion of that race with 10% of its
// points missed (penalties, results order, "@results.txt") against a hitch of three 60 Hz frames.
#include <cstdlib>

#include "bench/bench.h"
#include "bike/bike_info.h"
#include "bike/rider.h"
#include "core/mem.h"
#include "core/net_state.h"
#include "race/history.h"
#include "race/race.h"
#include "race/standings.h"
#include "race/timing.h"

// Stands in for a frame body: only its address is looked at.
static char fake_body;

// F = N = 12 over twelve checkpoints, every one closing a segment.
static void gates() {
    plyx_array_init(&timing_gates.lap_list, sizeof(int), 32);
    for (int i = 0; i < 24; i++) {
        int v = i % 12;
        plyx_array_append(&timing_gates.lap_list, &v);
    }
    for (int c = 0; c < 12; c++) {
        timing_gates.checkpoints[c] = {};
        timing_gates.checkpoints[c].a[0] = 100.0f * (float)c;
        timing_gates.checkpoints[c].b[0] = 1;
        timing_gates.checkpoints[c].value = 20;
    }
    timing_gates.count = 12;
    timing_gates.first_lap_length = timing_gates.lap_length = 12;
    timing_gates.first_lap_timed = timing_gates.lap_timed = 12;
}

// 160 riders over 20 laps: each point 600 ticks after the last, rider r r ticks behind, every
// tenth point of a rider (seeded) missed when asked.
static void riders(bool missing) {
    srand(20260);
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        rider_slot &s = rider_table[slot];
        s.parts[BIKE_BODY_FRAME] = &fake_body;
        rider_status[slot] = 2;
        plyx_array_free(&s.timing_tics);
        plyx_array_init(&s.timing_tics, sizeof(int), 256);
        int points = 12 * 20;
        for (int i = 0; i < points; i++) {
            int t = 1792 + 600 * (i + 1) + slot;
            if (missing && i > 0 && i < points - 1 && rand() % 10 == 0) t = -1;
            rider_set_timing_tic(slot, i, t);
        }
        s.timing_count = points;
        s.finished = missing;
    }
}

int main() {
    bench_dir dir;
    setenv("XDG_DATA_HOME", dir.path.c_str(), 1);
    setenv("HOME", dir.path.c_str(), 1);
    net_client.socket = -1;
    history_clear_all();
    gates();
    race_state.laps = race_state.final_lap = 25;   // 20 laps run of 25: nobody has finished
    race_state.half_way_lap = 13;
    race_state.gate_drop_tick = 1792;
    race_state.current_tick = 1792 + 600 * 241;

    // While the race runs: riders still racing, nothing completes.
    riders(false);
    const int calls = 2000;
    bench_stats running = bench_runs(5, [&] {
        for (int k = 0; k < calls; k++) {
            results_written = 0;
            race_update_standings();
        }
    });
    int failed = bench_report_budget("the running order of 160 riders of 20 laps", "race_update_standings",
                                     bench_scaled(running, 1.0 / calls), "2% of a tick", 0.02 / 128);

    if (results_written) {
        printf("the race completed while it should run\n");
        failed = 1;
    }

    // Completion: a race of 20 laps, every rider finished, a tenth of the points missed.
    race_state.laps = race_state.final_lap = 20;
    riders(true);
    bench_stats complete = bench_runs(7, [&] {
        results_written = 0;
        race_completed_tick = -1;
        race_update_standings();
    });
    if (!results_written || race_results.count != RIDER_SLOTS) {
        printf("the race did not complete\n");
        failed = 1;
    }
    failed |= bench_report_budget("completing that race with 10% of points missed", "penalties, order and file",
                                  complete, "three 60 Hz frames", 0.05);
    for (rider_slot &s : rider_table) {
        plyx_array_free(&s.timing_tics);
        s.parts[BIKE_BODY_FRAME] = nullptr;
    }
    plyx_array_free(&timing_gates.lap_list);
    return failed;
}
