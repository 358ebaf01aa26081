// The flaggers: the start flagger's boards and walk off, the lap flagger's flags, and the gate
// flaggers' yellow while a fallen rider lies at one of their checkpoints.
#include "present/flaggers.h"

#include <cmath>

#include "bike/rider.h"
#include "core/net_state.h"
#include "gfx/texture_anim.h"
#include "present/scene.h"
#include "race/flaggers.h"
#include "race/objects.h"
#include "race/race.h"
#include "race/start_gate.h"
#include "race/timing.h"
#include "race/track.h"

flagger_anim_table flagger_anims = {tex_anim_start, tex_anim_stop};

long long flagger_fold_position(long long p, int first_lap, int lap) {
    if (p < 0) return -1;
    if (p >= first_lap) p = lap > 0 ? first_lap + (p - first_lap) % lap : 0;
    return p;
}

long long flagger_lap_of(long long p, int first_lap, int lap) {
    if (lap <= 0 || p + 1 < first_lap) return 0;
    return (p - first_lap + 1) / lap + 1;
}

int flagger_lap_phase(long long p, int first_lap, int lap) {
    long long n = flagger_lap_of(p, first_lap, lap);
    long long final_lap = race_state.final_lap;
    long long ends = n == 0 ? 0 : (long long)lap * (n - 1) + first_lap - 1;
    if ((long long)race_state.current_tick >= (long long)race_state.gate_drop_tick + race_state.race_time &&
        p == ends && n + race_state.laps < final_lap)
        final_lap = n + race_state.laps;
    if (n >= final_lap) return 3;
    if (final_lap == n + 1) return 2;
    if (n == race_state.half_way_lap) return 1;
    return 0;
}

int flagger_start_phase(double t, int countdown_ticks, float walk_time, double *walked) {
    double d = std::floor(countdown_ticks * (double)RACE_TICK);
    double w = walk_time > 0 && std::isfinite(walk_time) ? walk_time : 1;
    double u = (t - (d + 1)) / w;
    *walked = u > 1 ? 1 : u > 0 ? u : 0;
    if (t < d + 0.1) return 0;
    if (t < d + 0.4) return 1;
    if (t < d + 1) return 2;
    if (t >= d + 1 + w) return 4;
    return 3;
}

static billboard *billboard_row(int row) {
    if (row < 0 || row >= track_billboards.count) return nullptr;
    return (billboard *)track_billboards.items + row;
}

// A new picture restarts its animation from the current tick; the old one stops.
static void show(billboard *b, int32_t texture) {
    if (b->texture == texture) return;
    if (b->texture && flagger_anims.stop) flagger_anims.stop((uint32_t)b->texture);
    if (texture && flagger_anims.start) flagger_anims.start((uint32_t)texture, race_state.current_tick);
    b->texture = texture;
}

static void update_start_flagger(double t) {
    const flagger_setup &f = track_flagger_setup;
    billboard *b = billboard_row(f.start_billboard);
    if (!b) return;
    double u;
    int phase = flagger_start_phase(t, race_state.countdown_ticks, f.walk_time, &u);
    float x = f.start_position[0] + (float)u * (f.end_position[0] - f.start_position[0]);
    float z = f.start_position[2] + (float)u * (f.end_position[2] - f.start_position[2]);
    float y = track_ground_height(x, z) + f.start_position[1] +
              (float)u * (f.end_position[1] - f.start_position[1]);
    if (std::isfinite(x) && std::isfinite(y) && std::isfinite(z)) {
        b->x = x;
        b->y = y;
        b->z = z;
    }
    show(b, f.start_textures[phase]);
}

static void update_lap_flagger() {
    const flagger_setup &f = track_flagger_setup;
    billboard *b = billboard_row(f.lap_billboard);
    if (!b) return;
    long long p = race_state.running_count > 0 ? rider_timing_count(race_state.running_order[0].slot) : 0;
    show(b, f.lap_textures[flagger_lap_phase(p, timing_gates.first_lap_length, timing_gates.lap_length)]);
}

// A remote rider whose newest state is a second old or more is not believed.
static int stale_remote(int slot) {
    int online = scene_hooks.online ? scene_hooks.online() : 0;
    return online && rider_status[slot] == 1 && slot != net_client.local_slot &&
           (long long)race_state.current_tick - net_slot_state_tick[slot] >= RACE_TICKS_PER_SECOND;
}

static void update_gate_flaggers() {
    int count = timing_gates.count;
    if (count > TIMING_CHECKPOINTS_MAX) count = TIMING_CHECKPOINTS_MAX;
    for (int i = 0; i < TIMING_CHECKPOINTS_MAX; i++) timing_gates.checkpoints[i].word = 0;
    const int *list = (const int *)timing_gates.lap_list.items;
    int running = race_state.running_count < RIDER_SLOTS ? race_state.running_count : RIDER_SLOTS;
    for (int k = 0; k < running; k++) {
        int slot = race_state.running_order[k].slot;
        if (slot < 0 || slot >= RIDER_SLOTS || stale_remote(slot)) continue;
        if (!rider_is_down(rider_slot_at(slot))) continue;
        long long p = flagger_fold_position(rider_timing_count(slot), timing_gates.first_lap_length,
                                            timing_gates.lap_length);
        if (p < 0 || p >= timing_gates.lap_list.count || !list) continue;
        int c = list[p];
        if (c >= TIMING_NO_SEGMENT) c -= TIMING_NO_SEGMENT;
        if (c >= 0 && c < count) timing_gates.checkpoints[c].word = 1;
    }
    flagger *rows = (flagger *)track_flaggers.items;
    for (int i = 0; i < track_flaggers.count; i++) {
        billboard *b = billboard_row(rows[i].billboard);
        if (!b) continue;
        int alert = 0;
        for (int c : rows[i].checkpoints)
            if (c >= 0 && c < TIMING_CHECKPOINTS_MAX && timing_gates.checkpoints[c].word) alert = 1;
        show(b, alert ? rows[i].alert_texture : rows[i].normal_texture);
    }
}

void scene_update_flaggers() {
    if (timing_gates.first_lap_length == 0 && timing_gates.lap_length == 0) return;
    double t = race_state.current_tick * (double)RACE_TICK;
    update_start_flagger(t);
    update_lap_flagger();
    update_gate_flaggers();
}
