// The racing-line planner: slot costs, the chains of lines over runs of store rows, and the
// cheapest first and normal laps of every level.
#pragma once

#include <cstdint>

#include "race/robots.h"

// The cost matrix of a run: entry [s][k] is the cheapest chain from slot s of the run's first row
// to slot k of the row after the run (ticks; PLAN_NO_CHAIN: none).
typedef int32_t plan_matrix[LINE_SLOTS_PER_SEGMENT][LINE_SLOTS_PER_SEGMENT];
// One choice table: [s][k] is the slot of the step's row through which the best chain from s
// reaches slot k of the next row, or PLAN_NO_SLOT.
typedef uint8_t plan_choices[LINE_SLOTS_PER_SEGMENT][LINE_SLOTS_PER_SEGMENT];

// What a lap plan found: the costs of its first and normal laps (ticks; PLAN_NO_CHAIN: none).
struct plan_costs {
    int32_t first_lap, normal_lap;
};

// The cost of riding a slot by cost type 0..3 (ticks); types outside that range count as 3.
int32_t autopilot_slot_cost(const line_slot *slot, int cost_type);
// Fills the cost matrix, and n - 1 choice tables (none when null), for the run of n rows from
// segment `first`.
// A chain that connects saturates at PLAN_CHAIN_MAX, so only "no chain" reads PLAN_NO_CHAIN.
void autopilot_transition_costs(plan_choices *choices, plan_matrix cost, int first, int n,
                                int cost_type);
// The least entry of each row of that cost matrix, for the same run: the cheapest chain from
// each slot of the first row to any slot of the row after the run, worked backwards from the
// end in 45 x 45 steps a row where the matrix takes 45 x 45 x 45.
void autopilot_least_chain_costs(int32_t least[LINE_SLOTS_PER_SEGMENT], int first, int n, int cost_type);
// Plans one level into `list` (one entry per store row; null: none) with the cost type.
plan_costs autopilot_plan_line(line_slot **list, int cost_type);
// Plans the three levels into the store's plan lists (nothing without rows).
void autopilot_plan_lines();
// The plan list of a level 0..2, or null.
line_slot **autopilot_plan_list(int level);

constexpr int32_t PLAN_NO_CHAIN = 100000000;
constexpr int32_t PLAN_CHAIN_MAX = 99999999;
constexpr uint8_t PLAN_NO_SLOT = LINE_SLOTS_PER_SEGMENT;
constexpr int32_t PLAN_UNTRIED = 1000000;     // a slot with too few passes for its cost type
constexpr int32_t PLAN_WASTED = 100000;       // cost type 3: a line failed far more than passed
constexpr float PLAN_FAILURE_PENALTY = 640;   // 5 s in ticks
