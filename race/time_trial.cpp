// Time trials: each lap the player completes is kept as the track's last lap, a lap that beats
// the ghost becomes its fast lap, and the next lap is ridden against that ghost.
#include "race/time_trial.h"

#include <algorithm>
#include <cmath>

#include "bike/physics.h"
#include "bike/rider.h"
#include "core/stream.h"
#include "core/vfs.h"
#include "race/autopilot.h"
#include "race/demo.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/standings.h"
#include "race/timing.h"
#include "race/track.h"

int last_lap_ticks = 0;
int best_lap_ticks = 0;
// The ghost: the track's fast lap played back, its riders in slots 1 and up from the lap line.
static void open_fast_lap() {
    if (!demo_open_playback()) return;
    for (int k = 0; k < demo_rider_count && k + 1 < RIDER_SLOTS; k++)
        if (race_load_demo_rider(k + 1, k)) rider_truncate_timing(k + 1, timing_gates.first_lap_length - 1);
}

time_trial_demo_table time_trial_demo = {demo_start_recording, demo_recording, open_fast_lap};

std::string time_trial_file(const char *file) {
    return std::string("@") + (track_name ? track_name : "") + "/" + file;
}

int time_trial_lap_ticks(int slot) {
    int first = timing_gates.first_lap_length - 1;
    int last = timing_gates.first_lap_length + timing_gates.lap_length - 1;
    if (first < 0 || last <= first || rider_timing_count(slot) <= last) return 0;
    for (int i = first; i <= last; i++)
        if (rider_timing_tic(slot, i) < 0) return 0;
    int t = rider_timing_tic(slot, last) - rider_timing_tic(slot, first);
    return t > 0 ? t : 0;
}

static void take_best(int ticks) {
    if (ticks > 0 && (best_lap_ticks == 0 || ticks < best_lap_ticks)) best_lap_ticks = ticks;
}

// Copies the open last lap into the temporary file in blocks.
static int copy_blocks(file_stream *out, void *context) {
    file_stream *in = (file_stream *)context;
    char block[1024];
    int n;
    while ((n = stream_read(in, block, sizeof block)) > 0)
        if (stream_write(out, block, n) != n) return 0;
    return n == 0;
}

int time_trial_keep_fast_lap() {
    file_stream *in = stream_open(time_trial_file("lastlap.zrdemo").c_str(), "rb");
    if (!in) return 0;
    int good = race_write_file(time_trial_file("fastlap.zrdemo").c_str(), copy_blocks, in);
    stream_close(in);
    return good;
}

// Every slot but the player's emptied, each left to its history.
static void free_other_riders() {
    for (int i = 1; i < RIDER_SLOTS; i++) {
        race_engine_sounds[i] = nullptr;
        if (race_hooks.engine_sound_free) race_hooks.engine_sound_free(i);
        bike_free(i);
        rider_status[i] = 1;
    }
}

// Closes the ghost and the lap's recording; 1 when a recording was open as the lap ended.
static int close_demos() {
    int recorded = time_trial_demo.recording && time_trial_demo.recording();
    demo_close_playback();
    demo_write_frame(1);
    demo_finish_recording();
    return recorded;
}

void time_trial_lap_cycle(const int laps[2]) {
    int now[2];
    for (int k = 0; k < 2; k++) {
        int index;
        rider_lap_progress(k, &now[k], &index);
    }
    if (rider_has_bike(1) && now[1] != laps[1]) take_best(time_trial_lap_ticks(1));
    if (!rider_has_bike(0) || now[0] == laps[0]) return;
    int player_points = rider_timing_count(0);
    int ghost_points = rider_has_bike(1) ? rider_timing_count(1) : -1;
    int recorded = close_demos();
    free_other_riders();
    if (timing_gates.count <= 0) return;
    file_stream *fast = stream_open(time_trial_file("fastlap.zrdemo").c_str(), "rb");
    int fast_exists = fast != nullptr;
    if (fast) stream_close(fast);
    last_lap_ticks = time_trial_lap_ticks(0);
    take_best(last_lap_ticks);
    // Only a lap recorded from its start replaces the ghost.
    if (recorded && (!fast_exists || (player_points > ghost_points && last_lap_ticks > 0)))
        time_trial_keep_fast_lap();
    if (time_trial_demo.open_ghost) time_trial_demo.open_ghost();
    // The lap line passed again at once: the next tick sees no new lap.
    rider_truncate_timing(0, timing_gates.first_lap_length - 1);
    autopilot_record_sample(&rider_table[0]);
    if (time_trial_demo.start_recording) time_trial_demo.start_recording();
    demo_write_frame(1);
    race_update_standings();
}

void race_end() {
    close_demos();
    free_other_riders();
    if (!rider_has_bike(0) || timing_gates.count <= 0) return;
    int k = std::max(timing_gates.first_lap_length - 3, 0);
    int entry = timing_lap_position(k);
    if (entry < 0 || entry >= timing_gates.lap_list.count) return;
    int c = ((int *)timing_gates.lap_list.items)[entry];
    if (c >= TIMING_NO_SEGMENT) c -= TIMING_NO_SEGMENT;
    if (c < 0 || c >= timing_gates.count) return;
    const checkpoint &p = timing_gates.checkpoints[c];
    race_drop_to_ground(0, p.a[0], p.a[2], std::atan2(-p.b[0], -p.b[2]));
    if (physics_contact_group) dJointGroupEmpty(physics_contact_group);
    rider_truncate_timing(0, k);
    // A robot riding the trial picks its lines afresh from the checkpoint it stands on.
    autopilot_restart_line(&rider_table[0], rider_count_timed_points(k + 1));
    last_lap_ticks = 0;
    race_update_standings();
}
