// Loading track folders into the field: the files and their fallbacks, hostile headers and files,
// render modes, and what a load leaves behind.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <functional>
#include <memory>
#include <set>
#include <string>

#include "core/mem.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "gfx/texture.h"
#include "race/track.h"
#include "tests/terrain/terrain_test_support.h"

// 1 when the record is as empty as after terrain_free.
static bool field_empty(const terrain_field *f) {
    const void *arrays[] = {f->heights, f->shading, f->shadows, f->tile_map, f->node_bits, f->triangle_normals,
                            f->shading_dirty, f->triangle_dirty, f->lod_textures, f->lod_stamps,
                            f->low_detail_textures, f->composition, f->lighting};
    for (const void *a : arrays)
        if (a) return false;
    for (uint32_t name : f->slot_textures[0][0][0])
        if (name) return false;
    return f->k == 0 && f->n == 0 && f->kind_count == 0 && f->render_mode == 0 && f->framebuffer == 0 &&
           f->no_save == 0 && f->last_view_x == TERRAIN_NO_VIEW && f->ground_texture_size == 128;
}

TEST(terrain_load, TrackFolders) {
    terrain_env env;
    struct load_case {
        const char *label;
        std::function<void(track_files &)> edit;
        std::function<void(terrain_env &)> check;   // null: the load fails
        const char *message;                       // on the console (or in the log) when given
    };
    const std::string grey16 = datagen_png_grey16(100, 100, [] {
        std::vector<uint16_t> v(100 * 100);
        for (int z = 0; z < 100; z++)
            for (int x = 0; x < 100; x++) v[x + 100 * z] = (uint16_t)(x * 600 + z);
        return v;
    }());
    load_case cases[] = {
        {"colon samples", [](track_files &) {},
         [](terrain_env &e) {
             EXPECT_EQ(e.f->k, 6);
             EXPECT_EQ(e.f->n, 129);
             EXPECT_EQ(e.f->extent, 256.0f);
             EXPECT_EQ(e.f->tile_size, 4.0f);
             EXPECT_EQ(e.height(0, 0), 10.0f);
             EXPECT_EQ(e.height(128, 77), 10.0f);
             EXPECT_EQ(e.f->loaded_heights[5], 10.0f);
             EXPECT_EQ(e.f->kind_count, 4);
             EXPECT_EQ(e.f->shading[0], 128);
             EXPECT_EQ(e.f->shadows[100], 0);
             EXPECT_EQ(e.f->no_save, 0);
             EXPECT_EQ(e.f->edit_generation, 1);
             EXPECT_EQ(e.f->detail_factor, TERRAIN_DETAIL_MIN);   // the setting was 0
         },
         nullptr},
        {"header only", [](track_files &t) { t["terrain.hf"] = "6 2.0 3 10\n"; },
         [](terrain_env &e) {
             EXPECT_EQ(e.height(64, 64), 3.0f);
             EXPECT_EQ(e.f->no_save, 1);
         },
         "Warning: can't read heights from '@tracks/header only/terrain.png'; this terrain will not be saved"},
        {"corrupt image",
         [](track_files &t) {
             t["terrain.hf"] = "6 2.0 3 10\n";
             t["terrain.png"] = "\x89PNG\r\n\x1a\nnot really";
         },
         [](terrain_env &e) {
             EXPECT_EQ(e.height(1, 1), 3.0f);
             EXPECT_EQ(e.f->no_save, 1);
         },
         "Warning: can't read heights from '@tracks/corrupt image/terrain.png'"},
        {"small image",
         [&](track_files &t) {
             t["terrain.hf"] = "6 2.0 0 65535\n";
             t["terrain.png"] = grey16;
         },
         [](terrain_env &e) {
             EXPECT_NEAR(e.height(50, 20), 50 * 600 + 20, 0.01);
             EXPECT_NEAR(e.height(128, 50), 99 * 600 + 50, 0.01);
             EXPECT_NEAR(e.height(50, 128), 50 * 600 + 99, 0.01);
             EXPECT_NEAR(e.height(128, 128), 99 * 600 + 99, 0.01);
             EXPECT_EQ(e.f->no_save, 0);
         },
         nullptr},
        {"8-bit image",
         [](track_files &t) {
             t["terrain.hf"] = "6 2.0 0 65535\n";
             t["terrain.png"] = datagen_png(test_flat_image(129, 129, 1, {100, 100, 100, 255}));
         },
         [](terrain_env &e) { EXPECT_NEAR(e.height(7, 9), 25700, 0.01); },
         nullptr},
        {"kind beyond the last", [](track_files &t) { t["tilemap"] = std::string(64 * 64, '\x09'); },
         [](terrain_env &e) { EXPECT_EQ(e.f->tile_map[123], 3); },
         nullptr},
        {"short tilemap", [](track_files &t) { t["tilemap"] = std::string(10, '\x02'); },
         [](terrain_env &e) {
             EXPECT_EQ(e.f->tile_map[9], 2);
             EXPECT_EQ(e.f->tile_map[10], 0);
             EXPECT_EQ(e.f->tile_map[4095], 0);
         },
         "Warning: tilemap has 10 of 4096 tiles"},
        {"full-scale shading",
         [](track_files &t) {
             t.erase("shadingx2.ppm");
             std::vector<int> rgb((size_t)129 * 129 * 3, 255);
             rgb[1] = 100;
             t["shading.ppm"] = datagen_pnm("P6", 129, 129, 255, rgb);
             t["shadows.pgm"] = datagen_pnm("P5", 129, 129, 255, std::vector<int>(129 * 129, 200));
         },
         [](terrain_env &e) {
             EXPECT_EQ(e.f->shading[0], 127);
             EXPECT_EQ(e.f->shading[1], 50);
             EXPECT_EQ(e.f->shadows[77], 55);
         },
         nullptr},
        {"gzip height field",
         [](track_files &t) {
             t["terrain.hf.gz"] = datagen_gzip(t["terrain.hf"]);
             t.erase("terrain.hf");
         },
         [](terrain_env &e) { EXPECT_EQ(e.height(3, 3), 10.0f); },
         nullptr},
        {"shadows of the wrong size",
         [](track_files &t) { t["shadows.pgm"] = datagen_pnm("P5", 128, 129, 255, std::vector<int>(128 * 129, 255)); },
         nullptr, "Bad shadow dimensions (128x129)"},
        {"no shading", [](track_files &t) { t.erase("shadingx2.ppm"); }, nullptr,
         "Can't open '@tracks/no shading/shading.ppm'"},
        {"shading of the wrong size",
         [](track_files &t) { t["shadingx2.ppm"] = datagen_pnm("P6", 10, 10, 255, std::vector<int>(300, 1)); },
         nullptr, "Bad shading dimensions (10x10)"},
        {"unreadable shadows", [](track_files &t) { t["shadows.pgm"] = "P5\n129 129\n255\n"; }, nullptr,
         "Error reading shadows"},
        {"no tilemap", [](track_files &t) { t.erase("tilemap"); }, nullptr, "Can't open '@tracks/no tilemap/tilemap'"},
    };
    for (load_case &c : cases) {
        track_files files = fixture_track();
        c.edit(files);
        write_track(env.t, c.label, files);
        console_clear();
        int ok = env.load(c.label);
        EXPECT_EQ(ok, c.check ? 1 : 0) << c.label;
        if (c.message) {
            bool logged = test_read_file(env.t.file("log.txt")).find(c.message) != std::string::npos;
            EXPECT_TRUE(test_console_has(c.message) || logged) << c.label;
        }
        if (ok && c.check) c.check(env);
        if (!ok) {
            EXPECT_TRUE(field_empty(env.f.get())) << c.label;
        }
        terrain_free(env.f.get());
        EXPECT_TRUE(field_empty(env.f.get())) << c.label;
    }
}

TEST(terrain_load, HostileHeadersAndFilesFailCleanly) {
    terrain_env env;
    write_track(env.t, "good", fixture_track());
    const char *const bad_header[] = {"Bad height field parameters", "Error reading heights"};
    struct {
        const char *label;
        std::function<void(track_files &)> edit;
        std::vector<const char *> messages;
    } cases[] = {
        {"k 5", [](track_files &t) { t["terrain.hf"] = fixture_heights(5, "2.0 0 10", [](int, int) { return 1u; }); },
         {bad_header[0], bad_header[1]}},
        {"k 12", [](track_files &t) { t["terrain.hf"] = "12 2.0 0 10\n:"; }, {bad_header[0], bad_header[1]}},
        {"k -1", [](track_files &t) { t["terrain.hf"] = "-1 2.0 0 10\n:"; }, {bad_header[0], bad_header[1]}},
        {"spacing 0", [](track_files &t) { t["terrain.hf"].replace(0, 10, "6 0.0 0 10"); }, {bad_header[0], bad_header[1]}},
        {"spacing -2", [](track_files &t) { t["terrain.hf"] = fixture_heights(6, "-2 0 10", [](int, int) { return 1u; }); },
         {bad_header[0], bad_header[1]}},
        {"spacing 1e39", [](track_files &t) { t["terrain.hf"] = fixture_heights(6, "1e39 0 10", [](int, int) { return 1u; }); },
         {bad_header[0], bad_header[1]}},
        {"spacing 0.002", [](track_files &t) { t["terrain.hf"] = fixture_heights(6, "0.002 0 10", [](int, int) { return 1u; }); },
         {bad_header[0], bad_header[1]}},
        {"spacing below a quarter foot", [](track_files &t) { t["terrain.hf"] = fixture_heights(6, "0.24 0 10", [](int, int) { return 1u; }); },
         {bad_header[0], bad_header[1]}},
        {"spacing 2000", [](track_files &t) { t["terrain.hf"] = fixture_heights(6, "2000 0 10", [](int, int) { return 1u; }); },
         {bad_header[0], bad_header[1]}},
        {"max 1e39", [](track_files &t) { t["terrain.hf"] = fixture_heights(6, "2 0 1e39", [](int, int) { return 1u; }); },
         {bad_header[0], bad_header[1]}},
        {"three numbers", [](track_files &t) { t["terrain.hf"] = "6 2.0 0\n:"; }, {bad_header[0], bad_header[1]}},
        {"cut short", [](track_files &t) { t["terrain.hf"].resize(t["terrain.hf"].size() - 1); },
         {"Error reading heights"}},
        {"no addtile",
         [](track_files &t) {
             t.erase("texturelist");
             t["tileinfo"] = "name dirt\ntexture @a.png\n";
         },
         {"Error reading tileinfo"}},
        {"empty texturelist", [](track_files &t) { t["texturelist"] = "\n  \n"; }, {"Error reading texturelist"}},
        {"no kinds at all", [](track_files &t) { t.erase("texturelist"); }, {"Can't open '@tracks/no kinds at all/texturelist'"}},
        {"no height field", [](track_files &t) { t.erase("terrain.hf"); }, {"Can't open '@tracks/no height field/terrain.hf'"}},
    };
    for (auto &c : cases) {
        track_files files = fixture_track();
        c.edit(files);
        write_track(env.t, c.label, files);
        console_clear();
        EXPECT_EQ(env.load(c.label), 0) << c.label;
        for (const char *m : c.messages) EXPECT_TRUE(test_console_has(m)) << c.label << ": " << m;
        EXPECT_TRUE(field_empty(env.f.get())) << c.label;
        ASSERT_EQ(env.load("good"), 1) << c.label;
        EXPECT_EQ(env.f->n, 129);
        terrain_free(env.f.get());
    }
}

// A ':' block too short for the samples its header promises fails before the field is
// allocated: nine bytes must not cost the 4097 x 4097 grid.
TEST(terrain_load, ShortHeightBlockFailsBeforeAllocating) {
    if (!test_watch_allocations()) GTEST_SKIP() << "no allocation hooks in this build";
    terrain_env env;
    for (const char *header : {"11 1 0 1:", "11 1 0 1\n:", "6 2 0 10\n:\1\2"}) {
        track_files files = fixture_track();
        files["terrain.hf"] = header;
        write_track(env.t, "short", files);
        console_clear();
        test_watch_allocations();
        EXPECT_EQ(env.load("short"), 0) << header;
        EXPECT_LT(test_largest_allocation(), (size_t)1 << 20) << header;
        EXPECT_TRUE(test_console_has("Error reading heights")) << header;
        EXPECT_FALSE(test_console_has("Bad height field parameters")) << header;
        EXPECT_TRUE(field_empty(env.f.get())) << header;
    }
}

TEST(terrain_load, RenderModesAndTheirTextures) {
    terrain_env env;
    write_track(env.t, "modes", fixture_track());
    game_settings.ground_texture_size = 512;
    struct {
        int requested, mode, size;
        const char *line;
    } cases[] = {
        {1, 1, 256, "Terrain texture rendering with TexSubImage"},
        {2, 2, 256, "Terrain texture rendering with CopyTexSubImage"},
        {3, 3, 512, "Terrain texture rendering with framebuffer objects"},
        {7, 1, 256, "Terrain texture rendering with TexSubImage"},
    };
    ASSERT_EQ(gl_info.ext_framebuffer_object, 1);
    for (auto &c : cases) {
        console_clear();
        ASSERT_EQ(env.load("modes", c.requested), 1) << c.requested;
        terrain_field *f = env.f.get();
        EXPECT_EQ(f->render_mode, c.mode);
        EXPECT_EQ(f->ground_texture_size, c.size);
        EXPECT_TRUE(test_console_has(c.line)) << c.requested;
        EXPECT_EQ(f->framebuffer != 0, c.mode == 3);
        EXPECT_EQ(f->extra_maps, 0);
        // Placeholders in every slot and LOD texture; far-field textures beyond mode 1 only.
        EXPECT_TRUE(glIsTexture(f->slot_textures[0][5][3][3]));
        EXPECT_EQ(f->slot_textures[1][0][0][0], 0u);
        EXPECT_TRUE(glIsTexture(f->lod_textures[0]));
        EXPECT_EQ(f->lod_stamps[0], -1);
        EXPECT_EQ(f->m, c.mode == 1 ? 0 : 1);
        if (c.mode != 1) {
            EXPECT_TRUE(glIsTexture(f->low_detail_textures[0]));
            EXPECT_EQ(f->low_detail_texel_scale, 1.0f / 256);
        }
        // One texture per distinct checker image: a level's slots share one, the LOD textures
        // another; the free deletes each once.
        std::set<uint32_t> names;
        for (int level = 0; level < 6; level++)
            for (uint32_t name : {f->slot_textures[0][level][0][0], f->slot_textures[0][level][3][3]}) {
                EXPECT_EQ(name, f->placeholders[level]) << level;
                names.insert(name);
            }
        EXPECT_EQ(f->lod_textures[0], f->placeholders[6]);
        names.insert(f->lod_textures[0]);
        EXPECT_EQ(names.size(), 7u);
        terrain_free(f);
        for (uint32_t name : names) EXPECT_FALSE(glIsTexture(name));
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    }
    // Extra maps: shaders for the terrain, dynamic lighting and a GL render mode.
    game_settings.ground_texture_size = 64;
    game_settings.terrain_uses_shaders = 1;
    track_lighting.dynamic_lighting = 1;
    for (int requested : {1, 2, 3}) {
        ASSERT_EQ(env.load("modes", requested), 1);
        terrain_field *f = env.f.get();
        EXPECT_EQ(f->extra_maps, requested != 1) << requested;
        EXPECT_EQ(f->normal_map != nullptr, requested != 1);
        EXPECT_EQ(f->slot_textures[2][4][1][2] != 0, requested != 1);
        if (f->normal_map) {
            EXPECT_EQ(f->normal_map[0], 128);   // flat
            EXPECT_EQ(f->normal_map[1], 255);   // lit
        }
        terrain_free(f);
    }
}

TEST(terrain_load, StockTracksLoadMatchTheirShadingAndLeaveNothing) {
    setenv("ZR_CHECK_ALLOC", "1", 1);
    temp_dir t;
    test_isolate_home(t);
    setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
    vfs_build_index();
    gl_test_window window;
    std::unique_ptr<terrain_field> f(new terrain_field{});
    game_settings.terrain_uses_shaders = 1;
    struct {
        const char *name;
        int mode, k, kinds, extra;
    } tracks[] = {{"tracks/practice", 1, 6, 4, 0}, {"tracks/hillside", 3, 8, 4, 1}};
    int live = -1;
    for (int round = 0; round < 2; round++)
        for (auto &track : tracks) {
            console_clear();
            track_name = track.name;
            track_read_lighting();
            ASSERT_EQ(terrain_load(f.get(), (std::string("@") + track.name).c_str(), track.mode), 1) << track.name;
            EXPECT_EQ(f->k, track.k);
            EXPECT_EQ(f->kind_count, track.kinds);
            EXPECT_EQ(f->extra_maps, track.extra) << track.name;
            EXPECT_EQ(f->no_save, 0);
            for (auto &line : console_log.lines) {
                EXPECT_EQ(strstr(line, "Warning"), nullptr) << line;
                EXPECT_EQ(strstr(line, "warning"), nullptr) << line;
            }
            // The stored shading is what the terrain computes from the track's own files.
            if (round == 0) {
                long differ = 0;
                for (int z = 0; z < f->n; z++)
                    for (int x = 0; x < f->n; x++) {
                        unsigned char rgb[3];
                        terrain_shade_sample(f.get(), x, z, rgb);
                        differ += memcmp(rgb, f->shading + 3 * (x + (size_t)f->n * z), 3) != 0;
                    }
                EXPECT_EQ(differ, 0) << track.name;
            }
            terrain_free(f.get());
            track_name = nullptr;
            // A second round of loads, and a failed load, hold no more memory than the first.
            if (round == 0 && &track == &tracks[1]) live = mem_tracker.live_count;
        }
    EXPECT_EQ(mem_tracker.live_count, live);
    EXPECT_EQ(terrain_load(f.get(), "@tracks/nowhere", 1), 0);
    EXPECT_EQ(mem_tracker.live_count, live);
    tex_purge(1);
    vfs_shutdown();
}
