// ride-log race's other races: a points series event, a time trial, a local rider ridden by the
// robot controller, a race recorded to a demo, a demo played back and sought in; the results
// rows, series places and laps they print.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/ride-log/race_run.h"

struct race_mode_options {
    std::string series;     // --series NAME: the series' next event, raced for points
    int time_trial = 0;     // --time-trial
    int autoplayer = 0;     // --autoplayer: the robot controller rides the local rider
    std::string record;     // --record NAME: kept as "@demos/NAME.zrdemo"
    std::string play;       // --play FILE
    std::vector<std::pair<int, float>> seeks;   // --seek TICK:SECONDS
};

// Takes one of these options at args[i] (its value at args[i + 1]): the count of arguments
// used, 0 when it is none of them, -1 when its value is bad.
int race_mode_option(race_mode_options *m, const char *arg, const char *value);
// 1 when the options ask for anything but a plain race of robots.
int race_mode_wanted(const race_mode_options &m);
// Runs that race on the window and world race_run_open gave: the exit code.
int race_mode_run(const race_run_options &o, const race_mode_options &m);
// Prints the results order of a completed race, one row per rider ("no results" otherwise).
void race_mode_print_results();
