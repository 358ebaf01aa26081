// The track catalogue over fixture game folders, and start-up's stop without a track.
#include <gtest/gtest.h>

#include <string>

#include "core/settings.h"
#include "core/vfs.h"
#include "game/entry.h"
#include "race/catalogue.h"
#include "tests/support/test_support.h"

static void catalogue_game_file(const temp_dir &t, const std::string &name,
                                const std::string &bytes) {
    ASSERT_TRUE(test_write_file(t.file("game/" + name), bytes));
}

TEST(race_catalogue, ListsTrackFoldersSortedByDescription) {
    temp_dir t;
    test_isolate_home(t);
    catalogue_game_file(t, "tracks/zeta/terrain.hf", "6 4 0 64\n:");
    catalogue_game_file(t, "tracks/zeta/desc", "beta hills\nsecond line\n");
    catalogue_game_file(t, "tracks/gz/terrain.hf.gz", "compressed");
    catalogue_game_file(t, "tracks/alpha/terrain.hf", "6 4 0 64\n:");
    catalogue_game_file(t, "tracks/alpha/desc", "Alpha Ridge\r\n");
    catalogue_game_file(t, "tracks/nul/terrain.hf", "");
    catalogue_game_file(t, "tracks/nul/desc", std::string("Cut\0here", 8));
    catalogue_game_file(t, "tracks/long/terrain.hf", "");
    catalogue_game_file(t, "tracks/long/desc", std::string(3000, 'x'));
    catalogue_game_file(t, "notes/terrain.hf.txt", "not a track");
    vfs_shutdown();
    ASSERT_EQ(track_scan_catalogue(), 1);
    // A capital A before a lower-case b: case is ignored.
    struct {
        const char *folder, *description;
    } want[] = {
        {"tracks/alpha", "Alpha Ridge"},
        {"tracks/zeta", "beta hills"},
        {"tracks/nul", "Cut"},
        {"tracks/gz", "tracks/gz"},   // no desc: listed under its folder
        {"tracks/long", nullptr},
    };
    ASSERT_EQ(track_catalogue.count, 5);
    for (int i = 0; i < 5; i++) {
        EXPECT_STREQ(track_catalogue.folders[i], want[i].folder) << i;
        if (want[i].description) {
            EXPECT_STREQ(track_catalogue.descriptions[i], want[i].description) << i;
        }
    }
    EXPECT_EQ(std::string(track_catalogue.descriptions[4]),
              std::string(TRACK_DESCRIPTION_MAX, 'x'));
    // The folders are the Track choice's options.
    EXPECT_EQ(settings.track.option_count, 5);
    EXPECT_STREQ(choice_text(&settings.track), "tracks/alpha");
    track_catalogue_free();
    EXPECT_EQ(settings.track.option_count, 0);
    EXPECT_STREQ(choice_text(&settings.track), "");
    vfs_shutdown();
}

TEST(race_catalogue, NoTrackStopsStartUp) {
    temp_dir t;
    test_isolate_home(t);
    catalogue_game_file(t, "about.txt", "no tracks here");
    vfs_shutdown();
    EXPECT_EQ(track_scan_catalogue(), 0);
    EXPECT_EQ(track_catalogue.count, 0);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(startup_require_tracks(), testing::ExitedWithCode(1), "^No tracks found\n$");
    vfs_shutdown();
}

TEST(race_catalogue, EachFolderOnceAndTrackNames) {
    temp_dir t;
    test_isolate_home(t);
    catalogue_game_file(t, "tracks/both/terrain.hf", "");
    catalogue_game_file(t, "tracks/both/terrain.hf.gz", "");
    catalogue_game_file(t, "tracks/both/desc", "Same");
    catalogue_game_file(t, "tracks/practice/terrain.hf", "");
    catalogue_game_file(t, "tracks/practice/desc", "Same");   // equal descriptions keep order
    catalogue_game_file(t, "tracks/twin/terrain.hf", "");
    catalogue_game_file(t, "more/twin/terrain.hf", "");
    vfs_shutdown();
    ASSERT_EQ(track_scan_catalogue(), 1);
    ASSERT_EQ(track_catalogue.count, 4);
    EXPECT_STREQ(track_catalogue.folders[1], "tracks/both");
    EXPECT_STREQ(track_catalogue.folders[2], "tracks/practice");
    struct {
        const char *name;
        const char *folder;   // null: none selected
        int matches;
    } cases[] = {
        {"tracks/practice", "tracks/practice", 1},
        {"practice", "tracks/practice", 1},
        {"PRACTICE", "tracks/practice", 1},
        {"nosuch", nullptr, 0},
        {"twin", nullptr, 2},
        {"more/twin", "more/twin", 1},
        {"tracks", nullptr, 0},
    };
    for (const auto &c : cases) {
        int matches = -1, i = track_find_by_name(c.name, &matches);
        EXPECT_EQ(matches, c.matches) << c.name;
        if (c.folder) {
            ASSERT_GE(i, 0) << c.name;
            EXPECT_STREQ(track_catalogue.folders[i], c.folder);
        } else {
            EXPECT_EQ(i, -1) << c.name;
        }
    }
    track_catalogue_free();
    vfs_shutdown();
}
