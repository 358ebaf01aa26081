// Saving the field into the current track's folder: what the files hold, reloading them, and
// the refusals that leave every old file whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "core/mem.h"
#include "gfx/image.h"
#include "race/track.h"
#include "tests/terrain/terrain_test_support.h"

// Every file of a folder by name ("" for a folder inside it).
static std::map<std::string, std::string> folder_files(const std::string &path) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(path, ec))
        out[entry.path().filename()] = entry.is_regular_file() ? test_read_file(entry.path()) : "";
    return out;
}

TEST(terrain_save, SavedFilesReloadToTheSameField) {
    terrain_env env;
    const int n = 129;
    track_files files = fixture_track();
    files["terrain.hf"] = fixture_heights(6, "2.0 -5 20", [](int x, int z) { return (unsigned)((x * 509 + z * 257) % 65536); });
    files.erase("shadingx2.ppm");
    std::vector<int> rgb((size_t)n * n * 3, 100);
    rgb[0] = 255;
    files["shading.ppm"] = datagen_pnm("P6", n, n, 255, rgb);
    std::string tiles;
    for (int i = 0; i < 64 * 64; i++) tiles += (char)(i % 4);
    files["tilemap"] = tiles;
    write_track(env.t, "save", files);
    ASSERT_EQ(env.load("save"), 1);
    track_name = "tracks/save";
    terrain_set_height(env.f.get(), 7, 9, 30.0f);
    std::vector<float> heights(env.f->heights, env.f->heights + n * n);
    ASSERT_EQ(terrain_save(env.f.get()), 1);
    EXPECT_EQ(env.f->max_height, 30.0f);

    std::string home = env.t.file("xdg/ZR Simulator/tracks/save");
    std::map<std::string, std::string> saved = folder_files(home);
    std::vector<std::string> names;
    for (auto &[name, bytes] : saved) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"shading.ppm", "shadingx2.ppm", "terrain.hf", "terrain.png", "tilemap"}));
    EXPECT_EQ(saved["terrain.hf"].substr(0, 13), "6 2.000000 -5");
    EXPECT_EQ(saved["terrain.hf"].find(':'), std::string::npos);
    EXPECT_EQ(saved["terrain.hf"].back(), '\n');
    std::string header = "P6\n129 129\n255\n";
    EXPECT_EQ(saved["shading.ppm"].substr(0, header.size()), header);
    EXPECT_EQ((unsigned char)saved["shading.ppm"][header.size()], 254);       // 255 stored as 127
    EXPECT_EQ((unsigned char)saved["shading.ppm"][header.size() + 3], 100);   // 100 stored as 50
    EXPECT_EQ((unsigned char)saved["shadingx2.ppm"][header.size()], 127);
    EXPECT_EQ(saved["tilemap"], tiles);

    // The home folder's copy loads first: the same heights within a sample's rounding.
    std::unique_ptr<terrain_field> again(new terrain_field{});
    ASSERT_EQ(terrain_load(again.get(), "@tracks/save", 1), 1);
    EXPECT_EQ(again->no_save, 0);
    float tolerance = (30.0f + 5.0f) / 65535 / 2 + 1e-5f;
    for (int i = 0; i < n * n; i++) ASSERT_NEAR(again->heights[i], heights[i], tolerance) << i;
    EXPECT_EQ(memcmp(again->tile_map, env.f->tile_map, 64 * 64), 0);
    EXPECT_EQ(memcmp(again->shading, env.f->shading, (size_t)n * n * 3), 0);
    terrain_free(again.get());

    // Heights all equal are saved as samples of 0 and come back equal.
    write_track(env.t, "flat", fixture_track());
    ASSERT_EQ(env.load("flat"), 1);
    track_name = "tracks/flat";
    ASSERT_EQ(terrain_save(env.f.get()), 1);
    uint16_t *samples = nullptr;
    int w = 0, h = 0;
    ASSERT_EQ(image_read_png_grey(env.t.file("xdg/ZR Simulator/tracks/flat/terrain.png").c_str(), &samples, &w, &h), 1);
    EXPECT_EQ(w, n);
    for (int i = 0; i < n * n; i++) ASSERT_EQ(samples[i], 0) << i;
    mem_free(samples);
    ASSERT_EQ(terrain_load(again.get(), "@tracks/flat", 1), 1);
    for (int i = 0; i < n * n; i++) ASSERT_EQ(again->heights[i], 10.0f) << i;
    terrain_free(again.get());
    track_name = nullptr;
}

TEST(terrain_save, RefusalsLeaveEveryOldFileWhole) {
    terrain_env env;
    track_files header_only = fixture_track();
    header_only["terrain.hf"] = "6 2.0 0 10\n";
    write_track(env.t, "unread", header_only);
    ASSERT_EQ(env.load("unread"), 1);
    ASSERT_EQ(env.f->no_save, 1);
    track_name = "tracks/unread";
    EXPECT_EQ(terrain_save(env.f.get()), 0);
    EXPECT_TRUE(test_console_has("Terrain not saved: its heights were not loaded"));
    EXPECT_FALSE(test_file_exists(env.t.file("xdg/ZR Simulator/tracks/unread")));
    EXPECT_EQ(folder_files(env.t.file("game/tracks/unread")).size(), header_only.size());

    write_track(env.t, "refuse", fixture_track());
    ASSERT_EQ(env.load("refuse"), 1);
    track_name = "tracks/refuse";
    ASSERT_EQ(terrain_save(env.f.get()), 1);
    std::string home = env.t.file("xdg/ZR Simulator/tracks/refuse");
    std::map<std::string, std::string> old = folder_files(home);
    ASSERT_EQ(old.size(), 5u);
    terrain_set_height(env.f.get(), 5, 5, 42.0f);
    env.f->tile_map[0] = 2;
    const char *order[] = {"terrain.png", "terrain.hf", "shading.ppm", "shadingx2.ppm", "tilemap"};
    for (int i = 0; i < 5; i++) {
        console_clear();
        terrain_save_fail_at = i;
        EXPECT_EQ(terrain_save(env.f.get()), 0) << i;
        EXPECT_EQ(folder_files(home), old) << order[i];   // the same files, no temporaries
        EXPECT_TRUE(test_console_has((std::string("Can't open '") + order[i] + "'").c_str())) << i;
    }
    terrain_save_fail_at = -1;

    // A file that cannot be replaced: the save says so and leaves no temporary behind.
    std::filesystem::remove(home + "/tilemap");
    std::filesystem::create_directory(home + "/tilemap");
    EXPECT_EQ(terrain_save(env.f.get()), 0);
    EXPECT_TRUE(test_console_has("Can't replace 'tilemap'"));
    for (auto &[name, bytes] : folder_files(home)) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
    std::filesystem::remove(home + "/tilemap");
    EXPECT_EQ(terrain_save(env.f.get()), 1);
    EXPECT_NE(folder_files(home)["terrain.hf"], old["terrain.hf"]);
    track_name = nullptr;
}
