// Track scripts: the stock script's handlers per tick and its load against the tick and reset
// budgets, a plain loop against the same loop in Debian's shared Duktape (bench_script_loop_debian),
// each hostile script's call against its limit, and the longest call the heap cap still allows.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "race/objects.h"
#include "race/race.h"
#include "race/track.h"
#include "script/script.h"
#include "tools/zrdatagen/datagen.h"

static const double TICK = 1.0 / 128.0;
static const char LOOP[] = "var s = 0; for (var i = 0; i < 3000000; i++) { s += i & 7; }";

// The stock script's rows: the windsock (statue 0, no shape) and the flags (billboards 0..9).
static void fixture_rows() {
    track_loaders = {nullptr, nullptr, nullptr, nullptr};
    track_lists_create();
    track_add_statue(100, 0, 100, -7.5f, nullptr, nullptr, nullptr);
    for (int i = 0; i < 16; i++) track_add_billboard(50.0f + i, 0, 60, 10, 0.5f, nullptr);
    race_state = {};
    race_state.gate_drop_tick = 700;
    race_state.laps = 3;
}

static std::string read_text(const std::string &path) {
    std::string out;
    if (FILE *f = fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
        fclose(f);
    }
    return out;
}

// The loop's seconds in Debian's build, as its program prints them; negative when it failed.
static double debian_loop_seconds() {
    FILE *p = popen(ZR_DEBIAN_LOOP, "r");
    if (!p) return -1;
    double seconds = -1;
    if (fscanf(p, "%lf", &seconds) != 1) seconds = -1;
    pclose(p);
    return seconds;
}

static double seconds_of(const std::chrono::steady_clock::time_point &start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int main() {
    int failed = 0;
    const std::string stock = datagen_hillside_frills();

    // 1. Load: a fresh context, the prelude and the stock script's top level.
    fixture_rows();
    bench_stats load = bench_runs(20, [&] {
        script_load_text(stock.data(), stock.size(), "tracks/hillside/frills.js");
        script_unload();
    });
    failed |= bench_report_budget("script load (context, prelude, stock top level)", "load", load,
                                  "2% of the race reset's 0.25 s", 0.005);

    // 2. The stock handlers over 20 s of race time: a tick hook every tick, a frame hook every
    // second tick.
    script_load_text(stock.data(), stock.size(), "tracks/hillside/frills.js");
    const int ticks = 20 * 128;
    bench_stats tick = bench_scaled(bench_runs(5, [&] {
                                        for (int t = 0; t < ticks; t++) {
                                            race_state.current_tick = t;
                                            script_tic_hook();
                                            if (t % 2 == 0) script_frame_hook();
                                        }
                                    }),
                                    1.0 / ticks);
    script_unload();
    failed |= bench_report_budget("stock script handlers per tick", "tick", tick, "1% of a tick", 0.01 * TICK);

    // 3. A plain loop here and in Debian's shared library.
    script_limits.load_seconds = 60;
    bench_stats ours = bench_runs(5, [&] {
        script_context *c = script_new();
        script_eval(c, LOOP, strlen(LOOP), "loop.js");
        script_free(c);
    });
    std::vector<double> theirs;
    for (int i = 0; i < 5; i++) theirs.push_back(debian_loop_seconds());
    if (*std::min_element(theirs.begin(), theirs.end()) <= 0) {
        printf("loop: Debian's build could not run (%s)\n", ZR_DEBIAN_LOOP);
        failed = 1;
    } else {
        failed |= bench_report("3e6-iteration loop", "ours", ours, "Debian's libduktape", bench_stats_of(theirs), 1.05);
    }
    script_limits.load_seconds = SCRIPT_LOAD_SECONDS;

    // 4. Each hostile script: the time from the call to its return against the call's limit.
    static const char *const hostile[] = {"hang_top.js", "catch_loop.js", "regexp.js", "join_loop.js",
                                          "memory.js",   "recursion.js",  "getter.js", "zr_null.js",
                                          "proxy.js",    "bad_utf8.js",   "nul.js",    "hang_tick.js"};
    double worst = 0;
    for (const char *name : hostile) {
        std::string text = read_text(std::string(ZR_SCRIPT_DATA) + "/" + name);
        bool tick_handler = text.find("zr.tic_handler") != std::string::npos;
        // A context as a race reset makes it; only the script's own call is timed, not the
        // context's making or freeing.
        script_context *c = script_new();
        script_register_natives_as(c, "zr");
        script_eval(c, script_prelude, strlen(script_prelude), "prelude");
        auto start = std::chrono::steady_clock::now();
        script_eval(c, text.data(), text.size(), name);
        double seconds = seconds_of(start), limit = SCRIPT_LOAD_SECONDS;
        if (tick_handler) {
            start = std::chrono::steady_clock::now();
            script_call(c, "zr.tic_handler", "0", nullptr);
            seconds = seconds_of(start);
            limit = SCRIPT_CALL_SECONDS;
        }
        script_free(c);
        printf("hostile %-14s %s against %s: %.2f\n", name, bench_time(seconds).c_str(), bench_time(limit).c_str(),
               seconds / limit);
        worst = std::max(worst, seconds / limit);
    }
    printf("hostile scripts: worst call %.2f of its limit (target at most 2): %s\n", worst,
           worst <= 2 ? "met" : "MISSED");
    failed |= worst > 2;

    // 5. The longest single native call the heap cap allows: a default sort of the largest array
    // that fits. No target: it is how long a script can still hold one call.
    script_limits.load_seconds = 60;
    long fits = 0;
    for (long n = 1L << 16; n <= (1L << 24); n *= 2) {
        char text[256];
        snprintf(text, sizeof text, "var a = []; for (var i = 0; i < %ld; i++) a.push((i * 7919) %% %ld);", n, n);
        script_context *c = script_new();
        int good = script_eval(c, text, strlen(text), "fill.js");
        script_free(c);
        if (!good) break;
        fits = n;
    }
    char text[256];
    snprintf(text, sizeof text,
             "var a = []; for (var i = 0; i < %ld; i++) a.push((i * 7919) %% %ld); var t0 = Date.now();", fits, fits);
    script_context *c = script_new();
    script_eval(c, text, strlen(text), "fill.js");
    auto start = std::chrono::steady_clock::now();
    script_eval(c, "a.sort();", 9, "sort.js");
    printf("longest native call: a default sort of %ld numbers took %s (no target)\n", fits,
           bench_time(seconds_of(start)).c_str());
    script_free(c);
    track_lists_free();
    return failed;
}
