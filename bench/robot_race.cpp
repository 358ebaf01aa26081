// A whole race of 40 robots at Expert on the hillside, 5 laps, ticked as the frame loop ticks
// under --warp: the real-time factor over the race and over the start, the mean and 99th
// percentile tick, where the time goes, the laps and falls; one 8-row line choice over rows of
// 45 connected lines; and the quality table of both stock tracks at every level.
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

#include "bench/bench.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "core/mem.h"
#include "race/autopilot.h"
#include "race/lines.h"
#include "race/planner.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/start_gate.h"
#include "race/tick_profile.h"
#include "race/timing.h"
#include "tools/ride-log/race_run.h"

static double part_time[TICK_PARTS];
static double choice_this_tick;
static std::chrono::steady_clock::time_point last_mark;

static void mark(int part) {
    auto now = std::chrono::steady_clock::now();
    double dt = std::chrono::duration<double>(now - last_mark).count();
    last_mark = now;
    part_time[part] += dt;
    if (part == TICK_PART_CHOICE) choice_this_tick += dt;
}

static double seconds_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// The whole race; 0 when its targets are met.
static int whole_race() {
    race_run_options o;
    o.track = "tracks/hillside";
    o.level = 2;
    o.robots = 40;
    o.laps = 5;
    if (!race_run_reset(o)) return 1;
    float first = 0, normal = 0;
    race_run_plan_laps(2, &first, &normal);
    double bound = 1.5 * (first + 4 * normal) + 60;
    std::vector<int> slots;
    for (int i = 0; i < RIDER_SLOTS; i++)
        if (rider_has_bike(i) && rider_status[i] == 2) slots.push_back(i);
    int drop = race_state.gate_drop_tick, end = drop + (int)(bound * RACE_TICKS_PER_SECOND);
    std::vector<double> ticks;
    double start_wall = 0, worst_choice = 0;
    memset(part_time, 0, sizeof part_time);
    race_tick_mark = mark;
    auto race_start = std::chrono::steady_clock::now();
    while (race_state.current_tick < end) {
        bool all = true;
        for (int s : slots) all = all && rider_table[s].finished;
        if (all) break;
        choice_this_tick = 0;
        auto t0 = std::chrono::steady_clock::now();
        last_mark = t0;
        race_tick();
        double dt = seconds_since(t0);
        ticks.push_back(dt);
        if (race_state.current_tick > drop) worst_choice = std::max(worst_choice, choice_this_tick);
        if (race_state.current_tick > drop && race_state.current_tick <= drop + 10 * RACE_TICKS_PER_SECOND)
            start_wall += dt;
    }
    double wall = seconds_since(race_start);
    race_tick_mark = nullptr;
    double race_seconds = ticks.size() / (double)RACE_TICKS_PER_SECOND;
    double mean = wall / std::max<size_t>(ticks.size(), 1);
    std::vector<double> sorted = ticks;
    std::sort(sorted.begin(), sorted.end());
    double p99 = sorted.empty() ? 0 : sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
    double factor = race_seconds / wall, start_factor = start_wall > 0 ? 10.0 / start_wall : 0;
    printf("whole race, 40 robots at Expert on the hillside, 5 laps: %.1f s of race in %.1f s: real-time factor %.2f "
           "(target at least 4): %s\n",
           race_seconds, wall, factor, factor >= 4 ? "met" : "MISSED");
    printf("drop to drop + 10 s: real-time factor %.2f; tick mean %s, 99th percentile %s (4x real time: 1.95 ms)\n",
           start_factor, bench_time(mean).c_str(), bench_time(p99).c_str());
    double total = 0;
    for (double t : part_time) total += t;
    const char *names[TICK_PARTS] = {"the rest", "contacts", "world step", "robot controller", "line choices",
                                     "bike steps", "lap step", "posing", "demo"};
    printf("shares:");
    for (int p = 0; p < TICK_PARTS; p++) printf(" %s %.3f%s", names[p], part_time[p] / total, p + 1 < TICK_PARTS ? "," : "\n");
    double robot_share = part_time[TICK_PART_ROBOTS] / total;
    printf("robot controller share %.3f (target at most 0.10): %s; worst tick's line choices after the drop %s "
           "(target at most 1 ms): %s\n",
           robot_share, robot_share <= 0.10 ? "met" : "MISSED", bench_time(worst_choice).c_str(),
           worst_choice <= 0.001 ? "met" : "MISSED");

    // The race's laps and falls.
    int finished = 0, laps_done = 0, falls = 0;
    std::vector<float> medians;
    for (int s : slots) {
        finished += rider_table[s].finished;
        int laps = 0, index = 0;
        rider_lap_progress(s, &laps, &index);
        laps_done += laps;
        falls += rider_table[s].fall_count;
        std::vector<float> normal_laps;
        for (int l = 2; l <= laps; l++) normal_laps.push_back(rider_lap_time(s, l));
        if (!normal_laps.empty()) medians.push_back(race_run_median(normal_laps));
    }
    float spread = 0;
    if (!medians.empty()) spread = *std::max_element(medians.begin(), medians.end()) /
                                   std::max(*std::min_element(medians.begin(), medians.end()), 0.01f);
    float per_lap = laps_done ? (float)falls / laps_done : (float)falls;
    bool quality = finished == 40 && spread <= 1.5f && per_lap <= 0.1f;
    printf("laps: %d of 40 finished; slowest/best median normal lap %.2f (target at most 1.5); falls per robot-lap "
           "%.2f (target at most 0.1): %s\n",
           finished, spread, per_lap, quality ? "met" : "MISSED");
    return factor >= 4 && robot_share <= 0.10 && worst_choice <= 0.001 && quality ? 0 : 1;
}

// One 8-row line choice over rows of 45 used lines that all join each other.
static int choice_cost() {
    int rows = std::min(line_store.row_count, 9);
    if (rows < 9) return 1;
    for (int r = 0; r < rows; r++) {
        line_slot *row = line_store_row(r);
        for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++) {
            line_slot &t = row[k];
            line_slot_clear(&t);
            t.points = (line_point *)mem_alloc_or_die(sizeof(line_point) * 10);
            t.point_count = 10;
            for (int i = 0; i < 10; i++) t.points[i] = {100.0f * r + 10.0f * i, 0, 0.04f * k, 40, 0};
            t.passes = 5;
            t.total_time = 5000 + 10 * k;
            t.recorded_time = 1000;
            t.serial = line_store_next_serial();
        }
    }
    std::vector<line_point> working;
    for (int i = 0; i < 12; i++) working.push_back({-120.0f + 10.0f * i, 0, 0.5f, 40, 0});
    line_choice_input in = {};
    in.segment = 0;
    in.cost_type = 2;
    in.now = 100000;
    in.line = working.data();
    in.count = (int)working.size();
    in.position[0] = -10;
    int chosen = -1;
    bench_stats t = bench_runs(50, [&] { chosen = autopilot_choose_line(in); });
    int failed = bench_report_budget("one 8-row line choice over rows of 45 connected lines", "a choice", t,
                                     "budget", 500e-6);
    return failed || chosen < 0;
}

// Both stock tracks at every level: 8 robots, 3 laps; 0 when the table meets its targets.
static int quality_table() {
    printf("quality table: 8 robots, 3 laps (laps in s; lines' laps from the level's plan)\n");
    printf("%-9s %-8s %9s %9s %9s %9s %9s %9s %6s %6s %8s %8s %9s\n", "track", "level", "med 1st", "best 1st",
           "med lap", "best lap", "lines 1st", "lines lap", "ratio", "falls", "passes", "failures", "med race");
    int failed = 0;
    float median_race[2][3] = {};
    for (int k = 0; k < 6; k++) {
        race_run_options o;
        o.track = k < 3 ? "tracks/practice" : "tracks/hillside";
        o.level = k % 3;
        o.robots = 8;
        o.laps = 3;
        if (!race_run_reset(o)) return 1;
        race_run_result r = race_run_ride(o);
        std::vector<float> firsts, normals, totals;
        int passes = 0, failures = 0;
        for (const race_run_robot &b : r.robots) {
            if (!b.laps.empty()) firsts.push_back(b.laps[0]);
            for (size_t l = 1; l < b.laps.size(); l++) normals.push_back(b.laps[l]);
            if (b.finished) totals.push_back(b.total);
            passes += b.passes;
            failures += b.failures;
        }
        float med_first = race_run_median(firsts), med_lap = race_run_median(normals);
        float best_first = firsts.empty() ? 0 : *std::min_element(firsts.begin(), firsts.end());
        float best_lap = normals.empty() ? 0 : *std::min_element(normals.begin(), normals.end());
        float ratio = r.lines_lap > 0 ? med_lap / r.lines_lap : 0;
        median_race[k / 3][k % 3] = r.finished == 8 ? race_run_median(totals) : 0;
        printf("%-9s %-8s %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f %6.2f %6.2f %8d %8d %9.2f\n", k < 3 ? "practice" : "hillside",
               race_run_level_name(o.level), med_first, best_first, med_lap, best_lap, r.lines_first_lap, r.lines_lap,
               ratio, r.falls_per_lap, passes, failures, median_race[k / 3][k % 3]);
        if (!(ratio >= 0.95f && ratio <= 1.25f)) failed = 1;
    }
    bool ordered = true;
    for (auto &m : median_race) ordered = ordered && m[2] > 0 && m[2] < m[1] && m[1] < m[0];
    printf("median normal-lap ratio within 0.95-1.25 everywhere: %s; Expert < Amateur < Novice on both tracks: %s\n",
           failed ? "MISSED" : "met", ordered ? "met" : "MISSED");
    return failed || !ordered;
}

int main() {
    cpu_set_t one;
    CPU_ZERO(&one);
    int cpu = sched_getcpu();
    CPU_SET(cpu < 0 ? 0 : cpu, &one);
    if (sched_setaffinity(0, sizeof one, &one) == 0) printf("pinned to CPU %d\n", cpu < 0 ? 0 : cpu);
    bench_dir dir;
    window_context *w = bench_graphics_window(dir);
    if (!w) return 1;
    game_settings.roost_frequency = 0;
    if (!race_run_open()) return 1;
    int failed = whole_race();
    failed |= choice_cost();
    failed |= quality_table();
    race_run_close();
    bench_graphics_close(w);
    return failed;
}
