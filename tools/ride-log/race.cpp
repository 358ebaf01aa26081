// ride-log's "race": a race of robots at a level without the frame loop, each robot's laps,
// falls, recoveries and rated lines, then the race's summary.
//
//   ride-log race [--track TRACK | --all] [--level novice|amateur|expert] [--robots N]
//                 [--laps N] [--watch] [--shot WHEN:FILE ...]
//                 [--series NAME | --time-trial | --play FILE [--seek TICK:SECONDS]...]
//                 [--autoplayer] [--record NAME]
#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/folders.h"
#include "core/settings.h"
#include "tools/ride-log/race_modes.h"
#include "tools/ride-log/race_run.h"
#include "tools/ride-log/race_shot.h"
#include "tools/tool_window.h"

static int usage() {
    fprintf(stderr, "usage: ride-log race [--track TRACK | --all] [--level novice|amateur|expert] [--robots N] "
                    "[--laps N] [--watch] [--shot WHEN:FILE ...]\n"
                    "       [--series NAME | --time-trial | --play FILE [--seek TICK:SECONDS]...] [--autoplayer] "
                    "[--record NAME]\n"
                    "  WHEN: a tick, finish or results, with an optional +N ticks\n");
    return 2;
}

static bool read_count(const char *text, int lo, int hi, int *out) {
    char *end = nullptr;
    long v = text ? strtol(text, &end, 10) : 0;
    if (!text || *end || v < lo || v > hi) return false;
    *out = (int)v;
    return true;
}

int ride_log_race(const std::vector<std::string> &args) {
    std::vector<const char *> arg;
    for (const std::string &a : args) arg.push_back(a.c_str());
    int argc = (int)arg.size() + 2;
    arg.insert(arg.begin(), 2, "");
    const char *const *argv = arg.data();
    race_run_options o;
    race_mode_options modes;
    std::string track = "tracks/practice";
    bool all = false;
    o.laps = -1;
    std::vector<race_shot> shots;
    for (int i = 2; i < argc; i++) {
        const char *a = argv[i], *v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (strcmp(a, "--all") == 0) {
            all = true;
        } else if (strcmp(a, "--watch") == 0) {
            o.watch = 1;
        } else if (strcmp(a, "--shot") == 0 && v) {
            race_shot shot;
            if (!race_shot_parse(v, &shot)) return usage();
            shots.push_back(shot);
            i++;
        } else if (strcmp(a, "--track") == 0 && v) {
            track = v + (v[0] == '@');
            if (track.find('/') == std::string::npos) track = "tracks/" + track;
            i++;
        } else if (strcmp(a, "--level") == 0 && v) {
            if ((o.level = race_run_level(v)) < 0) return usage();
            i++;
        } else if (strcmp(a, "--robots") == 0 && v) {
            if (!read_count(v, 1, 159, &o.robots)) return usage();
            i++;
        } else if (strcmp(a, "--laps") == 0 && v) {
            if (!read_count(v, 1, 100, &o.laps)) return usage();
            i++;
        } else if (int used = race_mode_option(&modes, a, v)) {
            if (used < 0) return usage();
            i += used - 1;
        } else {
            return usage();
        }
    }
    if (all && race_mode_wanted(modes)) return usage();
    // Pictures at 1024 x 768; the watched race alone at 640 x 480.
    window_context *w = shots.empty() ? tool_window_open("ride-log", 640, 480) : tool_window_open("ride-log", 1024, 768);
    if (!w) return 1;
    // Pictures are read from a mapped window.
    if (o.watch || !shots.empty()) SDL_ShowWindow(w->window);
    if (o.laps < 0) o.laps = (int)settings.laps.value;
    game_settings.roost_frequency = 0;
    if (!race_run_open()) {
        fprintf(stderr, "ride-log: no physics world\n");
        tool_window_close(w);
        return 1;
    }
    if (race_mode_wanted(modes)) {
        race_run_options run = o;
        run.track = track.c_str();
        int code = race_mode_run(run, modes);
        race_run_close();
        tool_window_close(w);
        return code;
    }
    o.extra_seconds = 300;   // slow robots finish too: the race completes and its results are written
    static const char *tracks[2] = {"tracks/practice", "tracks/hillside"};
    int code = 0;
    float median[2][3] = {};
    int runs = all ? 6 : 1;
    for (int k = 0; k < runs; k++) {
        race_run_options run = o;
        run.track = all ? tracks[k / 3] : track.c_str();
        if (all) run.level = k % 3;
        if (!race_run_reset(run)) {
            fprintf(stderr, "ride-log: can't start a race on %s\n", run.track);
            code = 1;
            break;
        }
        race_shot_reset();
        for (race_shot &shot : shots) shot.done = 0;
        race_run_result r = shots.empty() ? race_run_ride(run) : race_run_ride(run, race_shot_hook, &shots);
        race_run_print(run, r);
        if (!all) race_mode_print_results();
        fflush(stdout);
        if (!shots.empty() && !race_shot_finish(shots, 128 * 120)) code = 1;
        std::vector<float> totals;
        for (const race_run_robot &b : r.robots)
            if (b.finished) totals.push_back(b.total);
        if (all) median[k / 3][k % 3] = r.finished == (int)r.robots.size() ? race_run_median(totals) : 0;
        if (r.finished < (int)r.robots.size()) code = 1;
    }
    if (all && code == 0) {
        bool ordered = true;
        for (auto &m : median) ordered = ordered && m[2] > 0 && m[2] < m[1] && m[1] < m[0];
        if (ordered) {
            printf("skill order: Expert < Amateur < Novice on both tracks\n");
        } else {
            printf("skill order: not kept (median race times practice %.2f %.2f %.2f, hillside %.2f %.2f %.2f)\n",
                   median[0][2], median[0][1], median[0][0], median[1][2], median[1][1], median[1][0]);
            code = 1;
        }
    }
    race_run_close();
    tool_window_close(w);
    return code;
}
