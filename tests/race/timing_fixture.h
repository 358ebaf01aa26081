// Race test fixtures: timing gates set up in memory, rider timing lists without bikes, and a
// look at the console.
#pragma once

#include <cstring>
#include <initializer_list>
#include <vector>

#include "bike/rider.h"
#include "core/console.h"
#include "core/mem.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/timing.h"

// Checkpoints (centre x, z; direction x, z; radius) and the lap list of F first-lap entries
// followed by the normal lap's; entries of TIMING_NO_SEGMENT or more end no segment. The line
// store gets one row per segment.
struct fixture_checkpoint {
    float x, z, dx, dz, radius;
};

inline void fixture_free_gates() {
    line_store_free();
    plyx_array_free(&timing_gates.lap_list);
    timing_gates_clear();
}

inline void fixture_gates(const std::vector<fixture_checkpoint> &points, int first,
                          const std::vector<int> &laps) {
    fixture_free_gates();
    int n = (int)points.size();
    for (int i = 0; i < n; i++) {
        checkpoint &c = timing_gates.checkpoints[i];
        c = {};
        c.a[0] = points[i].x;
        c.a[2] = points[i].z;
        c.b[0] = points[i].dx;
        c.b[2] = points[i].dz;
        c.value = points[i].radius;
    }
    timing_gates.count = n;
    plyx_array_init(&timing_gates.lap_list, sizeof(int), 4);
    for (int v : laps) plyx_array_append(&timing_gates.lap_list, &v);
    timing_gates.first_lap_length = first;
    timing_gates.lap_length = (int)laps.size() - first;
    timing_gates.first_lap_timed = timing_gates.lap_timed = 0;
    for (int i = 0; i < (int)laps.size(); i++)
        (i < first ? timing_gates.first_lap_timed : timing_gates.lap_timed) += laps[i] < TIMING_NO_SEGMENT;
    line_store_create(timing_gates.first_lap_timed + timing_gates.lap_timed);
}

// Gives the slot an empty timing list of its own (freed by fixture_free_rider).
inline rider_slot *fixture_rider(int slot) {
    rider_slot *s = rider_slot_at(slot);
    plyx_array_free(&s->timing_tics);
    plyx_array_init(&s->timing_tics, sizeof(int), 4);
    for (growable_array &b : s->sample_buffers) {
        plyx_array_free(&b);
        plyx_array_init(&b, sizeof(line_point), 20);
    }
    plyx_array_free(&s->working_line);
    plyx_array_init(&s->working_line, sizeof(line_point), 20);
    s->timing_count = 0;
    s->finished = 0;
    s->down_flag = 0;
    return s;
}

inline void fixture_free_rider(int slot) {
    rider_slot *s = rider_slot_at(slot);
    plyx_array_free(&s->timing_tics);
    for (growable_array &b : s->sample_buffers) plyx_array_free(&b);
    plyx_array_free(&s->working_line);
}

// The slot's timing list set to these ticks, its count to their number.
inline void fixture_timing(int slot, std::initializer_list<int> ticks) {
    rider_slot *s = rider_slot_at(slot);
    s->timing_tics.count = 0;
    for (int t : ticks) plyx_array_append(&s->timing_tics, &t);
    s->timing_count = (int)ticks.size();
}

inline void fixture_leader(int slot) {
    race_state.running_count = 1;
    race_state.running_order[0] = {slot, rider_timing_count(slot), 0};
}

inline int console_count(const char *text) {
    int n = 0;
    for (int i = 0; i < CONSOLE_LINES; i++) n += strstr(console_log.lines[i], text) != nullptr;
    return n;
}
