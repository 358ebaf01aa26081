// ride-log's shared runner: the game's start-up of a race in a hidden window, the rider's line
// of numbers, and the table of subcommands.
#pragma once

#include <string>
#include <vector>

#include "bike/controls.h"

// What a subcommand gets: its arguments after the subcommand's name.
struct ride_log_command {
    const char *name;
    const char *summary;
    int (*run)(const std::vector<std::string> &args);
};
extern const ride_log_command ride_log_commands[];
extern const int ride_log_command_count;

// Opens the hidden window and the game data, selects the track as --track does and runs the
// first race reset as start-up does (slot 0 the local rider, laps 1000): 1, or 0 after a line
// on standard error.
int ride_log_open(const char *track);
// Applies the controls to slot 0 and runs one race tick.
void ride_log_tick(const control_record &controls);
// The rider's usual line: tick, frame position, speed, gear, engine speed.
std::string ride_log_line(int slot);
// Frees the race and closes everything ride_log_open opened.
void ride_log_close();

int ride_log_script(const std::vector<std::string> &args);
