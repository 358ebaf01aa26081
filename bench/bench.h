// Small helpers shared by the benchmarks: a temporary folder, timed runs (median, minimum and
// maximum) and the report line, which prints the figure its target is judged on.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

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

// The times of several runs: their median, minimum and maximum, in seconds.
struct bench_stats {
    double median, min, max;
};

// The median, minimum and maximum of measurements (at least one).
inline bench_stats bench_stats_of(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return {n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2, v.front(), v.back()};
}

// Runs f the given number of times (at least once) and times each run.
template <class F>
bench_stats bench_runs(int runs, F f) {
    std::vector<double> times;
    for (int i = 0; i < (runs > 0 ? runs : 1); i++) {
        auto start = std::chrono::steady_clock::now();
        f();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return bench_stats_of(times);
}

// The fastest of several timed runs of f, in seconds.
template <class F>
double bench_best(int runs, F f) {
    return bench_runs(runs, f).min;
}

// Every figure scaled by the same factor (a per-item time from a whole run's, say).
inline bench_stats bench_scaled(bench_stats t, double factor) {
    return {t.median * factor, t.min * factor, t.max * factor};
}

// A time with a unit that keeps three significant digits.
inline std::string bench_time(double seconds) {
    char text[32];
    double a = seconds < 0 ? -seconds : seconds;
    if (a >= 1 || a == 0)
        snprintf(text, sizeof text, "%.3f s", seconds);
    else if (a >= 1e-3)
        snprintf(text, sizeof text, "%.3g ms", seconds * 1e3);
    else if (a >= 1e-6)
        snprintf(text, sizeof text, "%.3g us", seconds * 1e6);
    else
        snprintf(text, sizeof text, "%.3g ns", seconds * 1e9);
    return text;
}

// "median (min .. max)" of a time.
inline std::string bench_spread(bench_stats t) {
    return bench_time(t.median) + " (min " + bench_time(t.min) + ", max " + bench_time(t.max) + ")";
}

// Prints both medians with their spread and the ratio of the medians against the target (at
// most target to pass); the exit code for the test.
inline int bench_report(const char *what, const char *ours_label, bench_stats ours,
                        const char *reference_label, bench_stats reference, double target) {
    double ratio = ours.median / reference.median;
    printf("%s: %s %s; %s %s; ratio %.3g (target at most %.3g): %s\n", what, ours_label,
           bench_spread(ours).c_str(), reference_label, bench_spread(reference).c_str(), ratio,
           target, ratio <= target ? "met" : "MISSED");
    return ratio <= target ? 0 : 1;
}

// As bench_report against a fixed budget (a share of a frame or tick) where no reference can
// be measured.
inline int bench_report_budget(const char *what, const char *ours_label, bench_stats ours,
                               const char *budget_label, double budget) {
    double ratio = ours.median / budget;
    printf("%s: %s %s; %s %s; ratio %.3g (target at most 1): %s\n", what, ours_label,
           bench_spread(ours).c_str(), budget_label, bench_time(budget).c_str(), ratio,
           ratio <= 1 ? "met" : "MISSED");
    return ratio <= 1 ? 0 : 1;
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
// start-up values of the settings and lighting, and a window (640 x 480 unless asked otherwise)
// with a frame begun. The window, or null with the reason on standard error.
inline window_context *bench_game_window(const bench_dir &dir, int width = 640, int height = 480) {
    setenv("XDG_DATA_HOME", dir.path.c_str(), 1);
    if (!vfs_locate_game_data()) {
        fprintf(stderr, "no game data: set ZR_HOME to the build's game folder\n");
        return nullptr;
    }
    vfs_build_index();
    settings_apply_graphics_preset(0);
    settings_derive();
    track_lighting_reset();
    window_context *w = plyx_gl_open("bench", width, height, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    if (w && bench_begin_frame(w)) return w;
    fprintf(stderr, "no window: %s\n", plyx_last_error());
    return nullptr;
}

// bench_game_window as the game's own window (game_window) with the graphics start-up done
// (probe, shaders, fonts, HUD and title images) and its frame ended: the window, or null.
inline window_context *bench_graphics_window(const bench_dir &dir, int width = 640, int height = 480) {
    window_context *w = bench_game_window(dir, width, height);
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
