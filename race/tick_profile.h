// Where a race tick's time goes: a mark at the end of each part of the tick, for benchmarks that
// share the time out (null, the default, costs one test a mark).
#pragma once

// The part of the tick that the time since the previous mark belongs to.
enum race_tick_part {
    TICK_PART_REST,        // the race's own work
    TICK_PART_CONTACTS,    // ground, statue and rider contacts
    TICK_PART_WORLD,       // the world step
    TICK_PART_ROBOTS,      // the robot controller, its line choices apart
    TICK_PART_CHOICE,      // robots choosing their next lines
    TICK_PART_BIKES,       // the bike steps
    TICK_PART_LAPS,        // checkpoint passing, sampling and learning
    TICK_PART_POSING,      // history riders posed from their records
    TICK_PART_DEMO,        // demo recording and reading
    TICK_PARTS
};

extern void (*race_tick_mark)(int part);

inline void race_tick_marks(int part) {
    if (race_tick_mark) race_tick_mark(part);
}
