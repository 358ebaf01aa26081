// A race of robots run without the frame loop, and what each robot did in it.
#include "tools/ride-log/race_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "bike/bike_models.h"
#include "bike/physics.h"
#include "core/console.h"
#include "core/globals.h"
#include "core/settings.h"
#include "game/chase_camera.h"
#include "game/entry.h"
#include "core/widget_data.h"
#include "platform/plyx.h"
#include "present/scene.h"
#include "race/autopilot.h"
#include "race/lines.h"
#include "race/planner.h"
#include "race/race.h"
#include "race/start_gate.h"
#include "race/timing.h"
#include "race/track.h"
#include "terrain/terrain.h"

static const char *level_names[3] = {"novice", "amateur", "expert"};

int race_run_level(const char *name) {
    for (int i = 0; i < 3; i++)
        if (name && strcmp(name, level_names[i]) == 0) return i;
    return -1;
}

const char *race_run_level_name(int level) {
    return level >= 0 && level < 3 ? level_names[level] : "none";
}

int race_run_open() {
    startup_install_hooks();
    terrain_use_main_field();
    if (!physics_world && !physics_open()) return 0;
    rider_table_init();
    return 1;
}

void race_run_close() {
    for (int i = 0; i < RIDER_SLOTS; i++) bike_free(i);
    if (track_name) track_unload();
    track_name = nullptr;
    line_store_free();
    physics_close();
}

int race_run_reset(const race_run_options &o) {
    static const char *options[1];
    options[0] = o.track;
    settings.track.options = options;
    settings.track.option_count = 1;
    settings.track.current = 0;
    for (int i = 0; i < RIDER_SLOTS; i++) race_lineup[i] = i < o.robots ? 2 : 0;
    race_state.current_tick = 0;   // the same roster rows at every level
    return race_reset(race_lineup, 0, 0, 0, o.laps, o.level);
}

void race_run_plan_laps(int level, float *first, float *normal) {
    *first = *normal = 0;
    line_slot **plan = autopilot_plan_list(level);
    if (!plan) return;
    int f = timing_gates.first_lap_timed, n = timing_gates.lap_timed;
    long long a = 0, b = 0;
    for (int r = 0; r < f + n && r < line_store.row_count; r++) {
        if (!plan[r]) return;
        (r < f ? a : b) += plan[r]->recorded_time;
    }
    *first = (float)a / RACE_TICKS_PER_SECOND;
    *normal = (float)b / RACE_TICKS_PER_SECOND;
}

float race_run_median(std::vector<float> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

static long long store_total(int failures) {
    long long t = 0;
    for (int i = 0; i < line_store.row_count * LINE_SLOTS_PER_SEGMENT; i++)
        t += failures ? line_store.slots[i].failures : line_store.slots[i].passes;
    return t;
}

static int resets_in_console(int slot) {
    char text[80];
    snprintf(text, sizeof text, "bike in slot %d reset after a non-finite value", slot);
    int n = 0;
    for (int i = 0; i < CONSOLE_LINES; i++) n += strstr(console_log.lines[i], text) != nullptr;
    return n;
}

static void draw_watch(int slot) {
    if (!game_window) return;
    plyx_surface *surface = plyx_gl_begin_frame(game_window);
    if (!surface) return;
    float fov = (float)settings.fov.value;
    scene_set_projection((float)surface->width, (float)surface->height, fov);
    view_state.width = surface->width;
    view_state.height = surface->height;
    camera_draw_chase(slot, fov);
    plyx_gl_end_frame(game_window);
}

race_run_result race_run_ride(const race_run_options &o, race_run_tick_hook hook, void *context) {
    race_run_result r;
    race_run_plan_laps(o.level, &r.lines_first_lap, &r.lines_lap);
    r.lines_race = r.lines_first_lap + (o.laps - 1) * r.lines_lap;
    r.bound = 1.5f * r.lines_race + o.extra_seconds;
    std::vector<int> slots;
    float start[RIDER_SLOTS][3] = {};
    for (int i = 0; i < RIDER_SLOTS; i++) {
        if (!rider_has_bike(i) || rider_status[i] != 2) continue;
        slots.push_back(i);
        const dReal *p = dBodyGetPosition(bike_frame_body(&rider_table[i]));
        for (int k = 0; k < 3; k++) start[i][k] = (float)p[k];
        race_run_robot b = {};
        b.slot = i;
        int pi = rider_table[i].autopilot_personality;
        b.personality = pi >= 0 && pi < AUTOPILOT_PERSONALITIES ? autopilot_personalities[pi].name : "?";
        const char *model = bike_model_name(&rider_table[i]);
        b.bike = model ? model : "?";
        b.launch_tick = -1;
        r.robots.push_back(b);
    }
    console_clear();
    long long passes0 = store_total(0), failures0 = store_total(1);
    int end_tick = race_state.gate_drop_tick + (int)(r.bound * RACE_TICKS_PER_SECOND);
    int recovering[RIDER_SLOTS] = {};
    for (;;) {
        bool all = true;
        for (int s : slots) all = all && rider_table[s].finished;
        if ((all && !slots.empty()) || race_state.current_tick >= end_tick) break;
        long long p0 = store_total(0), f0 = store_total(1);
        int counts[RIDER_SLOTS], downs[RIDER_SLOTS];
        for (int s : slots) {
            counts[s] = rider_table[s].timing_count;
            downs[s] = rider_table[s].down_flag;
        }
        race_tick();
        r.ticks++;
        long long dp = store_total(0) - p0, df = store_total(1) - f0;
        for (race_run_robot &b : r.robots) {
            rider_slot &s = rider_table[b.slot];
            if (s.robot.recovery > 0 && !recovering[b.slot]) b.recoveries++;
            recovering[b.slot] = s.robot.recovery > 0;
            if (b.launch_tick < 0) {
                const dReal *p = dBodyGetPosition(bike_frame_body(&s));
                double dx = p[0] - start[b.slot][0], dz = p[2] - start[b.slot][2];
                if (dx * dx + dz * dz > 1) b.launch_tick = race_state.current_tick;
            }
            // What the store gained goes to the robot that passed a point or fell this tick.
            if ((dp || df) && (s.timing_count != counts[b.slot] || s.down_flag != downs[b.slot])) {
                b.passes += (int)dp;
                b.failures += (int)df;
                dp = df = 0;
            }
        }
        if (o.watch && r.ticks % 4 == 0 && !slots.empty()) draw_watch(slots[0]);
        if (hook && !hook(context)) break;
    }
    r.rated = (int)(store_total(0) - passes0 + store_total(1) - failures0);
    std::vector<float> medians;
    int laps_done = 0, falls = 0;
    for (race_run_robot &b : r.robots) {
        rider_slot &s = rider_table[b.slot];
        int laps = 0, index = 0;
        rider_lap_progress(b.slot, &laps, &index);
        for (int l = 1; l <= laps; l++) b.laps.push_back(rider_lap_time(b.slot, l));
        b.finished = s.finished;
        b.falls = s.fall_count;
        b.resets = resets_in_console(b.slot);
        b.falls += b.resets;
        int end = rider_timing_tic(b.slot, rider_timing_count(b.slot) - 1);
        b.total = b.finished && end >= 0 ? (float)(end - race_state.gate_drop_tick) / RACE_TICKS_PER_SECOND : 0;
        r.finished += b.finished;
        laps_done += laps;
        falls += b.falls;
        if (b.laps.size() > 1)
            medians.push_back(race_run_median(std::vector<float>(b.laps.begin() + 1, b.laps.end())));
        else if (!b.laps.empty())
            medians.push_back(b.laps[0]);
    }
    std::vector<float> normal_laps;
    for (const race_run_robot &b : r.robots)
        for (size_t l = 1; l < b.laps.size(); l++) normal_laps.push_back(b.laps[l]);
    r.median_lap = race_run_median(normal_laps);
    r.best_lap = normal_laps.empty() ? 0 : *std::min_element(normal_laps.begin(), normal_laps.end());
    if (!medians.empty()) {
        float lo = *std::min_element(medians.begin(), medians.end());
        float hi = *std::max_element(medians.begin(), medians.end());
        r.slowest_best = lo > 0 ? hi / lo : 0;
    }
    r.falls_per_lap = laps_done > 0 ? (float)falls / laps_done : (float)falls;
    return r;
}

void race_run_print(const race_run_options &o, const race_run_result &r) {
    for (const race_run_robot &b : r.robots) {
        std::string laps;
        for (size_t i = 0; i < b.laps.size(); i++) {
            char t[32];
            snprintf(t, sizeof t, "%s%.2f", i ? " " : "", b.laps[i]);
            laps += t;
        }
        if (laps.empty()) laps = "-";
        printf("slot %d %s %s %s laps %s total %.2f falls %d recoveries %d passes %d failures %d\n", b.slot,
               b.personality.c_str(), b.bike.c_str(), b.finished ? "finished" : "out", laps.c_str(), b.total,
               b.falls, b.recoveries, b.passes, b.failures);
    }
    const char *track = strrchr(o.track, '/') ? strrchr(o.track, '/') + 1 : o.track;
    printf("%s %s: %d of %d finished, median lap %.2f s, best lap %.2f s, slowest/best %.2f, lines' lap %.2f s, "
           "falls per robot-lap %.2f\n",
           track, race_run_level_name(o.level), r.finished, (int)r.robots.size(), r.median_lap, r.best_lap,
           r.slowest_best, r.lines_lap, r.falls_per_lap);
}
