// Race results fixtures: riders that occupy their slots without a bike in the physics world,
// with hand-written timing lists, over F = 3, N = 4 timing gates.
#pragma once

#include <cstring>
#include <initializer_list>

#include "bike/bike_info.h"
#include "core/net_state.h"
#include "core/vfs.h"
#include "race/history.h"
#include "race/standings.h"
#include "tests/race/timing_fixture.h"
#include "tests/support/test_support.h"

// A fresh home folder that "@" writes go to.
struct results_home {
    temp_dir t;
    results_home() {
        test_isolate_home(t);
        test_make_dirs(file(""));
        vfs_shutdown();
    }
    std::string file(const std::string &name) const { return t.file("xdg/ZR Simulator/" + name); }
};

// Stands in for a frame body: only its address is looked at.
inline char results_fake_body;

// F = 3, N = 4 over four checkpoints.
inline void results_gates() {
    fixture_gates({{0, 0, 1, 0, 5}, {10, 0, 1, 0, 5}, {20, 0, 1, 0, 5}, {30, 0, 1, 0, 5}}, 3,
                  {0, 1, 2, 3, 0, 1, 2});
}

// Occupies the slot with a rider of this kind, number and bike row, and these ticks.
inline void results_rider(int slot, int kind, const char *number, int bike_row,
                          std::initializer_list<int> ticks) {
    rider_slot *s = fixture_rider(slot);
    s->parts[BIKE_BODY_FRAME] = &results_fake_body;
    s->bike_row = bike_row;
    snprintf(s->rider_number, sizeof s->rider_number, "%s", number);
    rider_status[slot] = kind;
    fixture_timing(slot, ticks);
}

// A lap race of `laps` laps from a gate drop at `drop`, offline, nothing written yet.
inline void results_race(int laps, int drop) {
    results_gates();
    race_state.race_time = 0;
    race_state.laps = laps;
    race_state.final_lap = laps;
    race_state.half_way_lap = (laps + 1) / 2;
    race_state.gate_drop_tick = drop;
    race_state.running_count = 0;
    results_written = 0;
    race_completed_tick = -1;
    history_clear_all();   // history riders have none: they cannot finish
    net_client.socket = -1;
    net_client.slot = RIDER_NO_SLOT;
    net_client.local_slot = RIDER_NO_SLOT;
}

inline void results_free() {
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        rider_slot *s = &rider_table[slot];
        if (s->parts[BIKE_BODY_FRAME] != &results_fake_body) continue;
        s->parts[BIKE_BODY_FRAME] = nullptr;
        fixture_free_rider(slot);
        rider_status[slot] = 0;
    }
    fixture_free_gates();
    results_written = 0;
    race_completed_tick = -1;
    history_clear_all();   // history riders have none: they cannot finish
    net_client.socket = -1;
}

// The results entry of the slot, or null.
inline const running_order_entry *results_entry(int slot) {
    for (int k = 0; k < race_results.count; k++)
        if (race_results.order[k].slot == slot) return &race_results.order[k];
    return nullptr;
}
