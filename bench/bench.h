// Small helpers shared by the benchmarks: a temporary folder, a clock and the report line.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/folders.h"
#include "core/globals.h"
#include "core/settings.h"
#include "core/vfs.h"
#include "game/entry.h"
#include "game/settings_table.h"
#include "gfx/font.h"
#include "gfx/texture.h"
#include "platform/plyx.h"
#include "race/track.h"
#include "terrain/terrain.h"

// A fresh folder under $TMPDIR (or /tmp), removed with its contents at the end.
struct bench_dir {
    std::string path;
    bench_dir() {
        const char *base = getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/zrbench.XXXXXX";
        if (!mkdtemp(tmpl.data())) abort();
        path = tmpl;
    }
    ~bench_dir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string file(const std::string &name) const { return path + "/" + name; }
};

// The best of several runs of f, in seconds.
template <class F>
double bench_best(int runs, F f) {
    double best = 1e30;
    for (int i = 0; i < runs; i++) {
        auto start = std::chrono::steady_clock::now();
        f();
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (s < best) best = s;
    }
    return best;
}

// Prints both times and their ratio against the target; the exit code for the test.
inline int bench_report(const char *what, const char *ours_label, double ours,
                        const char *reference_label, double reference, double target) {
    double ratio = ours / reference;
    printf("%s: %s %.4f s, %s %.4f s, ratio %.2f (target %.2f): %s\n", what, ours_label, ours,
           reference_label, reference, ratio, target, ratio <= target ? "met" : "MISSED");
    return ratio <= target ? 0 : 1;
}

// Begins a frame on a new window, which may refuse frames for a moment: 1, or 0 after 5 s.
inline int bench_begin_frame(window_context *w) {
    for (int i = 0; i < 500; i++) {
        if (plyx_gl_begin_frame(w)) return 1;
        plyx_pump_messages(w);
        int late_s, late_us;
        plyx_sleep(0, 10000, &late_s, &late_us);
    }
    fprintf(stderr, "the window never became ready for drawing\n");
    return 0;
}

// The graphics benchmarks' start: the home folder in dir, the stock data of ZR_HOME indexed, the
// start-up values of the settings and lighting, and a 640 x 480 window with a frame begun. The
// window, or null with the reason on standard error.
inline window_context *bench_game_window(const bench_dir &dir) {
    setenv("XDG_DATA_HOME", dir.path.c_str(), 1);
    if (!vfs_locate_game_data()) {
        fprintf(stderr, "no game data: set ZR_HOME to the build's game folder\n");
        return nullptr;
    }
    vfs_build_index();
    settings_apply_graphics_preset(0);
    settings_derive();
    track_lighting_reset();
    window_context *w = plyx_gl_open("bench", 640, 480, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    if (w && bench_begin_frame(w)) return w;
    fprintf(stderr, "no window: %s\n", plyx_last_error());
    return nullptr;
}

// bench_game_window as the game's own window (game_window) with the graphics start-up done
// (probe, shaders, fonts, HUD and title images) and its frame ended: the window, or null.
inline window_context *bench_graphics_window(const bench_dir &dir) {
    window_context *w = bench_game_window(dir);
    if (!w) return nullptr;
    game_window = w;
    startup_graphics();
    plyx_gl_end_frame(w);
    return w;
}

// Takes down what bench_graphics_window made, with any terrain and track loaded on it.
inline void bench_graphics_close(window_context *w) {
    terrain_free(terrain_current);
    track_name = nullptr;
    game_window = nullptr;
    font_free_all();
    tex_purge(1);
    plyx_gl_close(w);
    plyx_shutdown();
    vfs_shutdown();
}
