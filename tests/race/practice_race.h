// A race on the practice track for tests: a home of its own, the game data, a small window, the
// physics world, an empty rider table, the practice track as the only choice and no roost; at
// the end every bike, the track and the world go.
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

struct practice_race_fixture {
    temp_dir home;
    gl_test_window window{320, 320};
    practice_race_fixture() {
        static const char *tracks[] = {"tracks/practice"};
        test_isolate_home(home);
        setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
        vfs_build_index();
        track_lists_create();
        terrain_use_main_field();
        physics_open();
        rider_table_init();
        settings.track.options = tracks;
        settings.track.option_count = 1;
        settings.track.current = 0;
        race_hooks = {};
        game_settings.roost_frequency = 0;
    }
    ~practice_race_fixture() {
        for (int i = 0; i < RIDER_SLOTS; i++) bike_free(i);
        if (track_name) track_unload();
        physics_close();
        track_lists_free();
        vfs_shutdown();
    }
};
