// The flaggers in the scene: the start flagger's boards and walk, the lap flagger's flags for
// the leader, and the gate flaggers' alert while a fallen rider is at one of their checkpoints.
#pragma once

#include <cstdint>

// How a flagger's new picture starts and the old one stops (the texture animations; tests
// record the calls).
struct flagger_anim_table {
    void (*start)(uint32_t texture, int32_t tick);
    void (*stop)(uint32_t texture);
};
extern flagger_anim_table flagger_anims;

// The lap-list position of a timing position p: a p at or past the first lap folds into one
// normal lap (to 0 when there is none); -1 for a negative p.
long long flagger_fold_position(long long p, int first_lap, int lap);
// The leader's lap as the lap flagger counts it, from its timing position.
long long flagger_lap_of(long long p, int first_lap, int lap);
// Which of the lap flagger's four pictures the leader at timing position p calls for
// (0 normal, 1 half-way, 2 last lap, 3 finished), from the race state.
int flagger_lap_phase(long long p, int first_lap, int lap);
// Which of the start flagger's five pictures shows at time t (seconds since the reset), and
// how far along his walk he is (0..1).
int flagger_start_phase(double t, int countdown_ticks, float walk_time, double *walked);
