// A race of robots run without the frame loop: the track and level set up, the reset with N
// robots, the ticks until all have finished or the bound has passed, and what each robot did.
// The ride-log tool, the robot race tests and the benchmarks share it.
#pragma once

#include <string>
#include <vector>

// One robot's race.
struct race_run_robot {
    int slot;
    std::string personality, bike;
    std::vector<float> laps;    // s; lap 1 from the gate drop
    float total;                // s from the drop to the last lap line (0: not finished)
    int finished;
    int falls, recoveries, passes, failures, resets;
    int launch_tick;            // the first tick it moved 1 ft from its start (-1: never)
};

struct race_run_options {
    const char *track = "tracks/practice";
    int level = 0;              // -1: no lines
    int robots = 6;
    int laps = 5;
    float extra_seconds = 30;   // the bound: 1.5 x the lines' race time + this
    int watch = 0;              // draw the chase view of the first robot as the race runs
};

// What the race gave.
struct race_run_result {
    std::vector<race_run_robot> robots;
    int finished = 0;
    float lines_first_lap = 0, lines_lap = 0;   // s, the level's plan's recorded times
    float lines_race = 0;                        // the lines' own race: first + (laps - 1) normal
    float bound = 0;                             // s of race clock after the drop
    float median_lap = 0, best_lap = 0, slowest_best = 0;
    float falls_per_lap = 0;
    int ticks = 0;
    int rated = 0;                               // passes + failures the store gained
};

// Called after every tick (null: none); return 0 to stop the race early.
typedef int (*race_run_tick_hook)(void *context);

// The physics world and the game's hooks, after the window and index are open: 1 when ready.
int race_run_open();
void race_run_close();
// Resets a race on the options' track and level (the clock at 0 first): 1 when it started.
int race_run_reset(const race_run_options &o);
// Ticks the race that race_run_reset started until every robot has finished or the bound has
// passed, and gathers the figures.
race_run_result race_run_ride(const race_run_options &o, race_run_tick_hook hook = nullptr, void *context = nullptr);
// The lines' first and normal lap of a level's plan (s; 0 where the plan has a gap).
void race_run_plan_laps(int level, float *first, float *normal);
// The median of the values (0 for none).
float race_run_median(std::vector<float> v);
// Prints the per-robot lines and the summary of a race as ride-log does.
void race_run_print(const race_run_options &o, const race_run_result &r);
// ride-log's "race" subcommand, on its arguments after "race": the exit code.
int ride_log_race(const std::vector<std::string> &args);
// The level's name ("novice", "amateur", "expert"), or -1 / null.
int race_run_level(const char *name);
const char *race_run_level_name(int level);
