// ride-log's race runner: the game's start-up of a race in a hidden window and the rider's line
// of numbers, for the subcommands that start from the race reset (gate, script).
#pragma once

#include <string>
#include <vector>

#include "bike/controls.h"

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

// ride-log gate: its arguments after the word "gate".
int ride_log_gate(const std::vector<std::string> &args);
// ride-log script: its arguments after the word "script".
int ride_log_script(const std::vector<std::string> &args);
