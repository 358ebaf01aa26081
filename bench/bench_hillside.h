// The trackside drawing benchmarks' start: a window of the given size with the graphics
// started, the hillside loaded by a race reset with the scene's lists, and the view from behind
// the start line down the straight toward the start tower.
#pragma once

#include <GL/gl.h>

#include <cstring>

#include "bench/bench.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "core/widget_data.h"
#include "gfx/model.h"
#include "present/scene.h"
#include "race/objects.h"
#include "race/race.h"
#include "race/track.h"

struct bench_hillside {
    window_context *w = nullptr;
    float eye[3] = {0, 0, 0};
    float rotation[9] = {0, 0, -1, 0, 1, 0, 1, 0, 0};   // looking down the straight (+x)
    int tower = -1;                                     // the tower's statue row
};

// 1 with the hillside loaded and the view set, else 0 with the reason on standard error.
inline int bench_hillside_open(const bench_dir &dir, int width, int height, bench_hillside *h) {
    setenv("XDG_DATA_HOME", dir.path.c_str(), 1);
    if (!vfs_locate_game_data()) {
        fprintf(stderr, "no game data: set ZR_HOME to the build's game folder\n");
        return 0;
    }
    vfs_build_index();
    settings_apply_graphics_preset(0);
    settings_derive();
    track_lighting_reset();
    h->w = plyx_gl_open("bench", width, height, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    if (!h->w || !bench_begin_frame(h->w)) {
        fprintf(stderr, "no window: %s\n", plyx_last_error());
        return 0;
    }
    game_window = h->w;
    startup_graphics();
    plyx_gl_end_frame(h->w);
    bench_begin_frame(h->w);
    if (!physics_open()) return 0;
    rider_table_init();
    track_lists_create();
    scene_lists_create();
    static const char *tracks[] = {"tracks/hillside"};
    settings.track.options = tracks;
    settings.track.option_count = 1;
    settings.track.current = 0;
    for (int &role : race_lineup) role = 0;
    race_lineup[0] = 1;
    if (!race_reset(race_lineup, 0, 0, 0, 5, 0) || scene_flares.count < 1) {
        fprintf(stderr, "the hillside or its tower's flare did not load\n");
        return 0;
    }
    view_state.width = width;
    view_state.height = height;
    const flare &f = ((flare *)scene_flares.items)[scene_flares.count - 1];
    h->eye[0] = f.position[0] - 350;
    h->eye[2] = f.position[2] + 54;
    h->eye[1] = terrain_height_at(terrain_current, h->eye[0], h->eye[2]) + 6;
    for (int i = 0; i < track_statues.count; i++) {
        const statue &s = ((statue *)track_statues.items)[i];
        if (s.model && strstr(model_name(s.model), "lighttower")) h->tower = i;
    }
    return 1;
}

inline void bench_hillside_close(bench_hillside *h) {
    rider_table_init();
    if (track_name) track_unload();
    scene_lists_free();
    track_lists_free();
    physics_close();
    model_purge(1);
    bench_graphics_close(h->w);
}
