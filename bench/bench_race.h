// The race benchmarks' start: the game window with the physics world, the track lists, the main
// terrain field, an empty rider table, one track to choose and no roost.
#pragma once

#include "bench/bench.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "core/settings.h"
#include "race/track.h"
#include "ui/widget.h"

// The window, or null when it or the physics world could not be made. The track name must
// outlive the benchmark.
inline window_context *bench_race_window(const bench_dir &dir, const char **track) {
    window_context *w = bench_graphics_window(dir);
    if (!w || !physics_open()) return nullptr;
    track_lists_create();
    terrain_use_main_field();
    rider_table_init();
    settings.track.options = track;
    settings.track.option_count = 1;
    settings.track.current = 0;
    game_settings.roost_frequency = 0;
    return w;
}
