// The riders' engines in a running race: the reset builds every loaded rider's engine sound
// from its bike's class through the game's hooks, frees those of riders that are gone at the
// next reset, and the player's engine is heard once the frame's sound pass runs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bike/physics.h"
#include "bike/rider.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "game/entry.h"
#include "platform/plyx.h"
#include "present/engine_sound.h"
#include "present/game_sound.h"
#include "race/race.h"
#include "race/track.h"
#include "tests/support/test_support.h"

static const char *TRACKS[] = {"tracks/practice"};

TEST(game_race_sound, ResetLoadsAndFreesTheRidersEngines) {
    temp_dir home;
    test_isolate_home(home);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    vfs_build_index();
    window_context *w = plyx_gl_open("race sound", 64, 48, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    ASSERT_NE(w, nullptr) << plyx_last_error();
    ASSERT_EQ(physics_open(), 1);
    void *device = plyx_sound_open_readback(nullptr, 88320, 690);
    ASSERT_NE(device, nullptr);
    startup_install_hooks();
    settings.track.options = TRACKS;
    settings.track.option_count = 1;
    settings.track.current = 0;

    // The player and three robots.
    for (int &role : race_lineup) role = 0;
    race_lineup[0] = 1;
    race_lineup[1] = race_lineup[2] = race_lineup[3] = 2;
    ASSERT_EQ(race_reset(race_lineup, 0, 0, 0, 5, 0), 1);
    int riders = 0;
    for (int slot = 0; slot < RIDER_SLOTS; slot++) {
        const engine_sound &e = engine_sounds[slot];
        if (!rider_has_bike(slot)) {
            EXPECT_EQ(e.sound, nullptr) << slot;
            continue;
        }
        riders++;
        EXPECT_NE(e.sound, nullptr) << slot;
        // The description of the bike's class names its own table.
        const char *engine_class = bike_engine_class(rider_slot_at(slot));
        ASSERT_NE(e.params.table, nullptr) << slot;
        std::string table = e.params.table->name;
        EXPECT_NE(table.find(std::string("sounds/") + engine_class + ".tab"), std::string::npos)
            << slot << " " << table;
    }
    EXPECT_EQ(riders, 4);

    // The frame's pass makes the player's engine heard at the bike.
    const dReal *p = dBodyGetPosition(bike_frame_body(rider_slot_at(0)));
    sound_listener l = {{(float)p[0], (float)p[1] + 3, (float)p[2] + 6}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}};
    int loud = 0;
    for (int frame = 0; frame < 30; frame++) {
        sound_update_riders_from(&l, 1);
        for (int block = 0; block < 2; block++) {
            const unsigned char *out = plyx_sound_render(device);
            for (int i = 0; i < 1380; i++) loud += out[i] < 118 || out[i] > 138;
        }
    }
    EXPECT_GT(loud, 1000);

    // The player alone: the robots' engines go with their bikes.
    race_lineup[1] = race_lineup[2] = race_lineup[3] = 0;
    ASSERT_EQ(race_reset(race_lineup, 0, 0, 0, 5, 0), 1);
    EXPECT_NE(engine_sounds[0].sound, nullptr);
    for (int slot = 1; slot < RIDER_SLOTS; slot++) EXPECT_EQ(engine_sounds[slot].sound, nullptr) << slot;

    engine_sound_free_all();
    plyx_sound_close(device);
    rider_table_init();
    physics_close();
    if (track_name) track_unload();
    plyx_gl_close(w);
    vfs_shutdown();
}
