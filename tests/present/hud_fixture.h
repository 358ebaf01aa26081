// A race of fake riders for the HUD's tests: riders without bikes with hand-written timing
// lists over F = 3, N = 4 timing positions, and a snapshot of a 4:3 view.
#pragma once

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "present/hud.h"
#include "race/race_gap.h"
#include "race/time_trial.h"
#include "tests/race/results_fixture.h"

struct hud_race {
    hud_snapshot snap;
    hud_draw_list list;

    explicit hud_race(int laps = 5, int drop = 0) {
        results_race(laps, drop);
        memset(&snap, 0, sizeof snap);
        snap.half_x = 4.0f / 3.0f;
        snap.half_y = 1;
        snap.map_scale = 1;
        snap.terrain_extent = 1000;
        snap.map_texture = 7;
        race_state.time_trial = 0;
        race_state.current_tick = 10000;
        last_lap_ticks = best_lap_ticks = 0;
        console_clear();
    }
    ~hud_race() {
        results_free();
        race_state.running_count = 0;
    }
    // A robot rider in the slot with these ticks, at world (x, z) on the map.
    void rider(int slot, const char *number, std::initializer_list<int> ticks, float x = 0, float z = 0) {
        results_rider(slot, 2, number, 0, ticks);
        snap.slots[slot] = {1, x, z, {0, 0, 1}};
    }
    // Ranks the riders into the running order (before any is marked finished).
    void rank() { race_update_standings(); }
    void view(int slot) {
        snap.slot = slot;
        snap.has_rider = 1;
    }
    hud_draw_list &panel() {
        hud_list_clear(&list);
        hud_build_rider_panel(&list, snap);
        return list;
    }
    hud_draw_list &info() {
        hud_list_clear(&list);
        hud_build_info(&list, snap);
        return list;
    }
    std::string text(const char *prefix) {
        const hud_item *i = hud_find_text(&list, prefix);
        return i ? hud_item_text(&list, *i) : "(none)";
    }
};
