// The start: where each rider lines up, the gate drop, the falling gate arms and the online
// start rules (held at the gate, the false-start penalty).
#pragma once

#include "bike/rider.h"

// The start rules' values of the local rider: ticks still held, and where it was placed.
extern int race_false_start_penalty;
extern float race_start_position[3];

// The start index of a slot: outside server races the slot number; in a server race the local
// slot for the local rider (0 while watching), and for a remote rider (role 5) the gate count
// plus its order among the remote riders, one further on once that reaches a local slot behind
// the first row.
int race_start_index(int slot, const int *roles, int server_race, int local_slot, int gates);
// The start point (on the ground plane; y 0) and yaw of start index k: at gate k mod G, row
// k div G, 10 (r + 1/16) ft behind the gate point; without gates in a row across the middle.
void race_start_place(int k, float point[3], float *yaw);
// The gate drop tick drawn from the race's generator: (13 + 2u) s, u in [0, 1).
int race_draw_gate_drop();
// Every gate arm up (fraction 1, speed 0).
void race_raise_gate_arms();
// One tick of the gate arms: up before the drop, then falling unless leaned on, each arm
// statue turned to its fraction; left alone 10 s after the visible drop.
void race_update_gate_arms();
// The start rules of an online local rider before its bike step.
void race_start_rules(rider_slot *s);
// 1 while history riders still touch the gate arms: up to 10 s after the drop.
int race_gate_arms_solid();

constexpr int RACE_TICKS_PER_SECOND = 128;
constexpr float RACE_TICK = 1.0f / 128.0f;
constexpr int RACE_GATE_WINDOW_TICKS = 1280;    // 10 s
constexpr int RACE_FALSE_START_TICKS = 1920;    // 15 s
