// A race for tests: a home of its own, the game data, a small window, the physics world, an
// empty rider table, one track as the only choice and no roost; at the end every bike, the
// track and the world go.
#pragma once

#include <cstdlib>
#include <string>

#include "bike/physics.h"
#include "bike/rider.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "race/race.h"
#include "race/track.h"
#include "terrain/terrain.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"

// The race's world for tests: the main terrain field, the physics world, an empty rider table,
// the tracks as the only choices (the array must outlive the race), no hooks and no roost; 1
// when the physics world opened.
inline int race_test_world_open(const char **tracks, int count) {
    terrain_use_main_field();
    int opened = physics_open();
    rider_table_init();
    settings.track.options = tracks;
    settings.track.option_count = count;
    settings.track.current = 0;
    race_hooks = {};
    game_settings.roost_frequency = 0;
    return opened;
}

// Every bike, the track and the physics world go.
inline void race_test_world_close() {
    for (int i = 0; i < RIDER_SLOTS; i++) bike_free(i);
    if (track_name) track_unload();
    physics_close();
}

// A race on one track (the practice track unless named): a home of its own, the game data and
// a small window besides the world.
struct practice_race_fixture {
    temp_dir home;
    gl_test_window window{320, 320};
    const char *tracks[1];
    int physics = 0;
    explicit practice_race_fixture(const char *track = "tracks/practice") : tracks{track} {
        test_isolate_home(home);
        setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
        vfs_build_index();
        track_lists_create();
        physics = race_test_world_open(tracks, 1);
    }
    ~practice_race_fixture() {
        race_test_world_close();
        track_lists_free();
        vfs_shutdown();
    }
};
