// Helpers of the terrain tests: fields built in memory (memory_field.h) for the surface queries,
// and fixture track folders written into a test's game folder for the loader.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/vfs.h"
#include "gfx/texture.h"
#include "terrain/terrain.h"
#include "tests/gfx/gfx_test_support.h"
#include "tests/terrain/memory_field.h"
#include "tools/zrdatagen/datagen.h"

// The files of a track folder by name.
using track_files = std::map<std::string, std::string>;

// A loadable track of k 6 (129 x 129 samples, spacing 2, heights 0..10 all at 10): heights
// after ':', "shadingx2.ppm" all 128, a "texturelist" of four kinds and a "tilemap" of kind 0.
inline track_files fixture_track() {
    const int n = 129;
    track_files t;
    std::string hf = "6 2.0 0 10\n:";
    for (int i = 0; i < n * n; i++) hf += "\xff\xff";
    t["terrain.hf"] = hf;
    t["shadingx2.ppm"] = datagen_pnm("P6", n, n, 255, std::vector<int>((size_t)n * n * 3, 128));
    t["texturelist"] = "a.png\nb.png\nc.png\nd.png\n";
    t["tilemap"] = std::string(64 * 64, '\0');
    return t;
}

// Writes the files into the game folder of a test (test_isolate_home) as "tracks/<folder>/".
inline void write_track(const temp_dir &t, const std::string &folder, const track_files &files) {
    for (const auto &[name, bytes] : files)
        ASSERT_TRUE(test_write_file(t.file("game/tracks/" + folder + "/" + name), bytes)) << name;
}

// Heights as "terrain.hf" after ':' (row by row, 16-bit little-endian samples).
inline std::string fixture_heights(int k, const char *header_numbers,
                                   const std::function<unsigned(int x, int z)> &sample) {
    int n = 2 * (1 << k) + 1;
    std::string hf = std::to_string(k) + " " + header_numbers + "\n:";
    for (int z = 0; z < n; z++)
        for (int x = 0; x < n; x++) {
            unsigned v = sample(x, z);
            hf += (char)(v & 255);
            hf += (char)(v >> 8);
        }
    return hf;
}

// A test's home and game folders (four small textures at the game root), its log file and a
// window whose OpenGL context the loader uses; the field is freed at the end.
struct terrain_env {
    temp_dir t;
    std::unique_ptr<gl_test_window> window;
    std::unique_ptr<terrain_field> f{new terrain_field{}};
    terrain_env() {
        test_isolate_home(t);
        setenv("PLYX_LOGFILE", t.file("log.txt").c_str(), 1);
        for (const char *name : {"a.png", "b.png", "c.png", "d.png"})
            test_write_file(t.file(std::string("game/") + name), datagen_png(test_flat_image(4, 4, 3, {90, 60, 30, 255})));
        // Render mode 2 composes in the lower-left 256 x 256 of the window.
        window.reset(new gl_test_window(320, 320));
        console_clear();
    }
    ~terrain_env() {
        terrain_free(f.get());
        tex_purge(1);
        vfs_shutdown();
    }
    int load(const std::string &folder, int mode = TILE_RENDER_TEXSUBIMAGE) {
        return terrain_load(f.get(), ("@tracks/" + folder).c_str(), mode);
    }
    float height(int x, int z) { return f->heights[x + (size_t)f->n * z]; }
};
