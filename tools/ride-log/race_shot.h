// ride-log race's pictures: "--shot WHEN:FILE" draws the frame of a tick with the game's own
// drawing step (view, HUD, information lines) and writes it as a PNG.
#pragma once

#include <string>
#include <vector>

// WHEN is a tick, "finish" (the tick the leader finishes) or "results" (the tick the results
// are written), each with an optional "+N" ticks.
struct race_shot {
    int base;          // RACE_SHOT_TICK, RACE_SHOT_FINISH or RACE_SHOT_RESULTS
    long long ticks;   // the tick, or the ticks after the event
    std::string file;
    int done;
};

// Reads "WHEN:FILE": 1, or 0 when the text is not one.
int race_shot_parse(const char *text, race_shot *out);
// After a tick: notes the events and takes every shot that is due. The viewed slot is `slot`.
// 0 when a picture could not be written.
int race_shot_tick(std::vector<race_shot> &shots, int slot);
// 1 while a shot is still to be taken.
int race_shot_pending(const std::vector<race_shot> &shots);
// The slot the pictures show: the first robot.
int race_shot_viewed();
// race_run_ride's hook over a vector of shots (the context).
int race_shot_hook(void *context);
// Runs the race on after the runner stopped until every shot is taken, at most max_ticks more:
// 1, or 0 with a message when a shot was not taken or not written.
int race_shot_finish(std::vector<race_shot> &shots, int max_ticks);
// Forgets the events of the last race (before a new one starts).
void race_shot_reset();

constexpr int RACE_SHOT_TICK = 0;
constexpr int RACE_SHOT_FINISH = 1;
constexpr int RACE_SHOT_RESULTS = 2;
