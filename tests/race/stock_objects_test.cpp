// The stock tracks loaded whole, as a race loads them: every trackside object the generator
// placed arrives without a warning, the statue and billboard files written back by the game are
// the generator's bytes, and every file the object files name is in the stock data.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "core/console.h"
#include "core/util.h"
#include "core/vfs.h"
#include "gfx/model.h"
#include "gfx/texture.h"
#include "present/scene.h"
#include "race/contacts.h"
#include "race/flaggers.h"
#include "race/objects.h"
#include "race/particles.h"
#include "race/track.h"
#include "race/track_hash.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/test_support.h"
#include "tools/zrdatagen/datagen.h"
#include "tools/zrdatagen/trackgen.h"
#include "tools/zrdatagen/trackside.h"

namespace {

struct stock_track_env {
    temp_dir t;
    std::string home;
    std::unique_ptr<gl_test_window> window;
    stock_track_env() {
        test_isolate_home(t);
        home = t.file("xdg/ZR Simulator/");
        setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
        vfs_build_index();
        window.reset(new gl_test_window);
        track_lists_create();
        scene_lists_create();
    }
    ~stock_track_env() {
        if (track_name) track_unload();
        scene_lists_free();
        track_lists_free();
        tex_purge(1);
        vfs_shutdown();
    }
};

int warnings() {
    int n = 0;
    for (int i = 0; i < CONSOLE_LINES; i++) n += strncmp(console_log.lines[i], "Warning: ", 9) == 0;
    return n;
}

std::string console_text() {
    std::string all;
    for (int i = 0; i < CONSOLE_LINES; i++) all += console_log.lines[(console_log.head + i) % CONSOLE_LINES];
    return all;
}

// Every "@" name of a text, colour tags taken off.
std::vector<std::string> data_names(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream words(text);
    std::string w;
    while (words >> w) {
        if (w.size() > 8 && w[0] == '#' && w[7] == '#') w = w.substr(8);
        if (!w.empty() && w[0] == '@') out.push_back(w);
    }
    return out;
}

}  // namespace

TEST(race_track_files, StockTracksLoadWithEveryObject) {
    stock_track_env env;
    for (bool hillside : {false, true}) {
        const char *name = hillside ? "tracks/hillside" : "tracks/practice";
        SCOPED_TRACE(name);
        datagen_trackside s = datagen_trackside_of(hillside ? datagen_hillside_track() : datagen_practice_track(),
                                                   hillside);
        console_clear();
        track_name = util_intern(name);
        ASSERT_EQ(track_load(), 1);
        EXPECT_EQ(warnings(), 0) << console_text();

        // The windsock, banners, tents and bales, and on the hillside the start tower.
        int statues = 1 + (int)(s.banners.size() + s.tents.size() + s.bales.size()) + (hillside ? 1 : 0);
        EXPECT_EQ(track_statues.count - track_first_file_statue, statues);
        EXPECT_EQ(track_billboards.count - track_first_file_billboard,
                  (int)(s.flags.size() + s.spectators.size() + s.trees.size()));
        int flagger_billboards = hillside ? 2 + (int)s.gate_flaggers.size() : 0;
        EXPECT_EQ(track_first_file_billboard - flagger_billboards, PARTICLE_COUNT);
        EXPECT_EQ(track_flaggers.count, hillside ? 4 : 0);
        EXPECT_EQ(track_flagger_setup.start_billboard >= 0, hillside);
        EXPECT_EQ(track_flagger_setup.walk_time, hillside ? 2.0f : 1.0f);
        EXPECT_EQ(camera_trackside_count(), (int)s.cameras.size());
        EXPECT_EQ(scene_flares.count, hillside ? 1 : 0);
        EXPECT_EQ(track_lighting.far_plane, hillside ? 6000.0f : 2000.0f);
        EXPECT_EQ(track_lighting.near_plane, 0.25f);
        for (uint32_t face : track_lighting.sky) EXPECT_NE(face, 0u);
        EXPECT_NE(track_lighting.sky_env, 0u);
        EXPECT_NE(track_map_texture, 0u);   // "map.png", the HUD's map
        // The windsock is statue 0: no shape, so scripts may move it; bales and banners are solid.
        const statue *rows = (const statue *)track_statues.items + track_first_file_statue;
        EXPECT_EQ(rows[0].shape, nullptr);
        EXPECT_NE(rows[statues - 1].shape, nullptr);
        int hashed = 0;
        for (uint8_t b : track_hash) hashed |= b;
        EXPECT_NE(hashed, 0);
        uint8_t first_hash[20];
        memcpy(first_hash, track_hash, sizeof first_hash);

        // Written back by the game: the generator's bytes.
        ASSERT_EQ(track_write_statues(), 1);
        ASSERT_EQ(track_write_billboards(), 1);
        std::string folder = env.home + name + "/";
        EXPECT_EQ(test_read_file(folder + "statues"),
                  hillside ? datagen_hillside_statues() : datagen_practice_statues());
        EXPECT_EQ(test_read_file(folder + "billboards"),
                  hillside ? datagen_hillside_billboards() : datagen_practice_billboards());
        track_unload();

        // The same files (now the home copies) give the same hash.
        vfs_build_index();
        track_name = util_intern(name);
        ASSERT_EQ(track_load(), 1);
        EXPECT_EQ(memcmp(first_hash, track_hash, sizeof first_hash), 0);
        track_unload();
    }
}

TEST(race_track_files, EveryNamedFileIsInTheStockData) {
    temp_dir t;
    test_isolate_home(t);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    vfs_build_index();
    std::string all = datagen_practice_statues() + datagen_hillside_statues() + datagen_practice_billboards() +
                      datagen_hillside_billboards() + datagen_hillside_flaggers() + datagen_hillside_lighting() +
                      datagen_practice_lighting() + datagen_practice_frills() + "@sky-n.ppm @sky-e.ppm @sky-s.ppm "
                      "@sky-w.ppm @sky-u.ppm @sky-env.ppm @haybale_norm.png";
    std::vector<std::string> names = data_names(all);
    EXPECT_GT(names.size(), 30u);
    for (const std::string &n : names) {
        file_stream *s = stream_open(n.c_str(), "rb");
        EXPECT_NE(s, nullptr) << n;
        if (s) stream_close(s);
    }
    // The script's sound is named inside a string.
    file_stream *s = stream_open("@sounds/crowd.raw", "rb");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(stream_remaining(s), 88200);
    stream_close(s);
    vfs_shutdown();
}
