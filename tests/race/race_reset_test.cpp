// The race reset's cache generations: a new track starts a texture and model generation and the
// old track's textures go; the same track again keeps them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/console.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "gfx/model.h"
#include "gfx/texture.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/track.h"
#include "tests/support/test_support.h"
#include "ui/widget.h"

static const char *TRACKS[] = {"tracks/practice", "tracks/hillside"};

static int reset_on(int track) {
    settings.track.options = TRACKS;
    settings.track.option_count = 2;
    settings.track.current = track;
    for (int &role : race_lineup) role = 0;
    race_lineup[0] = 1;
    return race_reset(race_lineup, 0, 0, 0, 5, 0);
}

static bool console_has(const char *text) {
    for (int i = 0; i < CONSOLE_LINES; i++)
        if (strstr(console_log.lines[i], text)) return true;
    return false;
}

// 1 when a texture of that name is cached.
static bool texture_cached(const char *name) {
    for (int i = 0; i < texture_table.count; i++) {
        const texture_entry *e = ((texture_entry **)texture_table.items)[i];
        if (e && e->name && strcmp(e->name, name) == 0) return true;
    }
    return false;
}

TEST(race_reset, NewTrackStartsAGenerationAndPurgesTheOld) {
    temp_dir home;
    test_isolate_home(home);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    std::string log = home.file("log.txt");
    setenv("PLYX_LOGFILE", log.c_str(), 1);
    vfs_build_index();
    window_context *w = plyx_gl_open("race reset", 64, 48, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    ASSERT_NE(w, nullptr) << plyx_last_error();
    console_clear();

    int tex0 = texture_generation, model0 = model_generation;
    ASSERT_EQ(reset_on(0), 1);
    EXPECT_EQ(texture_generation, tex0 + 1);
    EXPECT_EQ(model_generation, model0 + 1);
    EXPECT_TRUE(console_has("MB texture memory used"));
    // A tile texture the practice track loads (its tile kinds name it).
    uint32_t dirt = tex_load("@dirt.png");
    ASSERT_NE(dirt, 0u);
    EXPECT_TRUE(texture_cached("@dirt.png"));

    ASSERT_EQ(reset_on(0), 1);  // the same track: nothing reloads, nothing goes
    EXPECT_EQ(texture_generation, tex0 + 1);
    EXPECT_TRUE(texture_cached("@dirt.png"));

    uint32_t flag = tex_load("@flags/checkered-4.png");  // loaded in this generation only
    ASSERT_NE(flag, 0u);
    ASSERT_EQ(reset_on(1), 1);
    EXPECT_EQ(texture_generation, tex0 + 2);
    EXPECT_EQ(model_generation, model0 + 2);
    EXPECT_FALSE(texture_cached("@flags/checkered-4.png"));
    EXPECT_NE(test_read_file(log).find("Max loading delay was "), std::string::npos);

    track_unload();
    tex_purge(1);
    model_purge(1);
    plyx_gl_close(w);
    vfs_shutdown();
}

TEST(race_personality, ByNameWithTheUnknownOnRowOne) {
    rider_slot s = {};
    struct {
        const char *name;
        int row;
    } cases[] = {{"zorvik", 1}, {"quellan", 2}, {"brannox", 3}, {"tester", 4}, {"empty", 1}, {"Zorvik", 1}};
    for (auto &c : cases) {
        console_clear();
        rider_set_personality(&s, c.name);
        EXPECT_EQ(s.autopilot_personality, c.row) << c.name;
    }
    EXPECT_STREQ(console_log.lines[0], "auto pilot personality 'Zorvik' not found");
}
