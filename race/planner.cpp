// The racing-line planner: what a line costs, the cheapest chains of lines over runs of rows, and
// the cheapest first and normal laps of each level.
#include "race/planner.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/mem.h"
#include "core/settings.h"
#include "platform/plyx.h"
#include "race/lines.h"
#include "race/timing.h"

int32_t autopilot_slot_cost(const line_slot *slot, int cost_type) {
    long long passes = slot->passes, failures = slot->failures;
    if (cost_type < 0 || cost_type > 2) {
        long long tried = passes + 4 * failures;
        if (passes + failures > 5 && failures > 4 * passes) return PLAN_WASTED;
        if (tried <= 0) return 0;
        int bits = 0;
        while (tried) {
            bits++;
            tried >>= 1;
        }
        return 1000 * (bits + 4);
    }
    static const int least_passes[3] = {5, 5, 1};
    static const double failure_weight[3] = {1.0, 1.1428572, 4.0};
    if (passes < least_passes[cost_type] || passes <= 0) return PLAN_UNTRIED;
    double f = (double)failures / (double)(passes + failures);
    double share = std::fmin(std::fmax(f * failure_weight[cost_type], 0.0), 1.0);
    double cost = (double)slot->total_time / (double)passes + share * PLAN_FAILURE_PENALTY;
    if (!(cost < PLAN_CHAIN_MAX)) return PLAN_CHAIN_MAX;
    return cost > 0 ? (int32_t)cost : 0;
}

// What the connection rule needs of a slot, worked out once per step: the circle through its
// last three points and the start of the line.
struct slot_ends {
    bool leaves;          // at least 3 points: it may lead somewhere
    bool enters;          // at least 2 points: it may follow something
    line_centre centre;
    double radius, end_speed, start_speed;
    const line_point *first, *second;
};

static double distance_xz(const line_centre &o, const line_point &p) {
    double dx = (double)p.x - o.x, dz = (double)p.z - o.z;
    return std::sqrt(dx * dx + dz * dz);
}

static slot_ends ends_of(const line_slot &slot) {
    slot_ends e = {};
    e.leaves = slot.points && slot.point_count >= 3;
    e.enters = slot.points && slot.point_count >= 2;
    if (e.leaves) {
        const line_point *p = slot.points + slot.point_count - 3;
        e.centre = autopilot_circle_through_points(&p[0], &p[1], &p[2]);
        e.radius = distance_xz(e.centre, p[2]);
        e.end_speed = std::fabs((double)p[2].speed);
    }
    if (e.enters) {
        e.first = &slot.points[0];
        e.second = &slot.points[1];
        e.start_speed = std::fabs((double)slot.points[0].speed);
    }
    return e;
}

// The same rule as autopilot_slots_connect, on the prepared ends.
static bool ends_connect(const slot_ends &i, const slot_ends &j) {
    if (!i.leaves || !j.enters) return false;
    if (j.start_speed + LINE_JOIN_SLOWER < i.end_speed) return false;
    double d1 = distance_xz(i.centre, *j.first);
    if (d1 < std::fmax(i.radius - LINE_JOIN_BAND, 0.0) || d1 > i.radius + LINE_JOIN_BAND) return false;
    return std::fabs(distance_xz(i.centre, *j.second) - d1) <= LINE_JOIN_ALONG;
}

// One step of a run: which slots of the next row each slot of the step's row leads to, and the
// slot costs of the step's row.
struct plan_step {
    int32_t cost[LINE_SLOTS_PER_SEGMENT];
    uint8_t next[LINE_SLOTS_PER_SEGMENT][LINE_SLOTS_PER_SEGMENT];   // slots it leads to, ascending
    int next_count[LINE_SLOTS_PER_SEGMENT];
};

static void build_step(plan_step *step, const line_slot *row, const line_slot *next_row, int cost_type) {
    slot_ends to[LINE_SLOTS_PER_SEGMENT];
    for (int j = 0; j < LINE_SLOTS_PER_SEGMENT; j++) to[j] = ends_of(next_row[j]);
    for (int i = 0; i < LINE_SLOTS_PER_SEGMENT; i++) {
        step->cost[i] = autopilot_slot_cost(&row[i], cost_type);
        step->next_count[i] = 0;
        slot_ends from = ends_of(row[i]);
        if (!from.leaves) continue;
        for (int j = 0; j < LINE_SLOTS_PER_SEGMENT; j++)
            if (ends_connect(from, to[j])) step->next[i][step->next_count[i]++] = (uint8_t)j;
    }
}

static int32_t chain_sum(int32_t a, int32_t b) {
    long long v = (long long)a + b;
    return v > PLAN_CHAIN_MAX ? PLAN_CHAIN_MAX : (int32_t)v;
}

void autopilot_transition_costs(plan_choices *choices, plan_matrix cost, int first, int n,
                                int cost_type) {
    for (int s = 0; s < LINE_SLOTS_PER_SEGMENT; s++)
        for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++) cost[s][k] = PLAN_NO_CHAIN;
    if (n <= 0 || line_store.row_count <= 0) return;
    static plan_step step;
    for (int q = 0; q < n; q++) {
        const line_slot *row = line_store_row(line_store_row_of_segment(first + q));
        const line_slot *next_row = line_store_row(line_store_row_of_segment(first + q + 1));
        if (!row || !next_row) return;
        build_step(&step, row, next_row, cost_type);
        if (q == 0) {
            for (int s = 0; s < LINE_SLOTS_PER_SEGMENT; s++)
                for (int e = 0; e < step.next_count[s]; e++) cost[s][step.next[s][e]] = step.cost[s];
            continue;
        }
        for (int s = 0; s < LINE_SLOTS_PER_SEGMENT; s++) {
            int32_t best[LINE_SLOTS_PER_SEGMENT];
            uint8_t via[LINE_SLOTS_PER_SEGMENT];
            for (int k = 0; k < LINE_SLOTS_PER_SEGMENT; k++) {
                best[k] = PLAN_NO_CHAIN;
                via[k] = PLAN_NO_SLOT;
            }
            // Slots j in ascending order with a strict comparison: the lowest j wins a tie.
            for (int j = 0; j < LINE_SLOTS_PER_SEGMENT; j++) {
                if (cost[s][j] >= PLAN_NO_CHAIN || step.next_count[j] == 0) continue;
                int32_t c = chain_sum(cost[s][j], step.cost[j]);
                for (int e = 0; e < step.next_count[j]; e++) {
                    int k = step.next[j][e];
                    if (c < best[k]) {
                        best[k] = c;
                        via[k] = (uint8_t)j;
                    }
                }
            }
            memcpy(cost[s], best, sizeof best);
            if (choices) memcpy(choices[q - 1][s], via, sizeof via);
        }
    }
}

void autopilot_least_chain_costs(int32_t least[LINE_SLOTS_PER_SEGMENT], int first, int n, int cost_type) {
    for (int s = 0; s < LINE_SLOTS_PER_SEGMENT; s++) least[s] = PLAN_NO_CHAIN;
    if (n <= 0 || line_store.row_count <= 0) return;
    // The run stops before a missing row, as the matrix's does.
    int steps = 0;
    while (steps < n && line_store_row(line_store_row_of_segment(first + steps)) &&
           line_store_row(line_store_row_of_segment(first + steps + 1)))
        steps++;
    // Backwards from the row after the run: rest[j] is the least cost of a chain from slot j of
    // step q's row to the end of the run (0 past its end). Costs are not negative and a slot's
    // cost is at most PLAN_CHAIN_MAX, so adding the slot's own cost to the least rest gives the
    // least sum, saturated as the matrix's chains are.
    int32_t rest[LINE_SLOTS_PER_SEGMENT] = {};
    static plan_step step;
    for (int q = steps - 1; q >= 0; q--) {
        build_step(&step, line_store_row(line_store_row_of_segment(first + q)),
                   line_store_row(line_store_row_of_segment(first + q + 1)), cost_type);
        int32_t here[LINE_SLOTS_PER_SEGMENT];
        for (int j = 0; j < LINE_SLOTS_PER_SEGMENT; j++) {
            int32_t after = PLAN_NO_CHAIN;
            for (int e = 0; e < step.next_count[j]; e++) after = std::min(after, rest[step.next[j][e]]);
            here[j] = after >= PLAN_NO_CHAIN ? PLAN_NO_CHAIN : chain_sum(step.cost[j], after);
        }
        memcpy(rest, here, sizeof rest);
    }
    if (steps > 0) memcpy(least, rest, sizeof rest);
}

// Follows the choice tables back from slot `end` of the row after a run of n rows from store
// row `first_row` with start slot s, filling entries first_row + n - 1 down to first_row + 1.
static void walk_back(line_slot **list, const plan_choices *choices, int first_row, int n, int s, int end) {
    int current = end;
    for (int k = n - 1; k >= 1; k--) {
        int j = choices[k - 1][s][current];
        if (j >= LINE_SLOTS_PER_SEGMENT) return;
        list[first_row + k] = line_store_row(first_row + k) + j;
        current = j;
    }
}

static int least_start(const plan_matrix cost, int end, bool diagonal) {
    int best = 0;
    for (int s = 1; s < LINE_SLOTS_PER_SEGMENT; s++)
        if (cost[s][diagonal ? s : end] < cost[best][diagonal ? best : end]) best = s;
    return best;
}

plan_costs autopilot_plan_line(line_slot **list, int cost_type) {
    plan_costs result = {PLAN_NO_CHAIN, PLAN_NO_CHAIN};
    int rows = line_store.row_count;
    int f = timing_gates.first_lap_timed, n = timing_gates.lap_timed;
    if (!list || rows <= 0) return result;
    for (int r = 0; r < rows; r++) list[r] = nullptr;
    if (n <= 0 || f < 0 || f + n > rows) return result;
    int longest = f > n ? f : n;
    plan_choices *choices = (plan_choices *)mem_alloc_or_die(sizeof(plan_choices) * (size_t)longest);
    static plan_matrix cost;

    autopilot_transition_costs(choices, cost, f, n, cost_type);
    int end = least_start(cost, 0, true);
    result.normal_lap = cost[end][end];
    walk_back(list, choices, f, n, end, end);
    list[f] = line_store_row(f) + end;

    if (f > 0) {
        autopilot_transition_costs(choices, cost, 0, f, cost_type);
        int start = least_start(cost, end, false);
        result.first_lap = cost[start][end];
        walk_back(list, choices, 0, f, start, end);
        list[0] = line_store_row(0) + start;
    } else {
        result.first_lap = 0;
    }
    if (game_settings.debug_level) {
        plyx_log("First lap: %f\n", result.first_lap / 128.0);
        plyx_log("Normal lap: %f\n", result.normal_lap / 128.0);
    }
    mem_free(choices);
    return result;
}

line_slot **autopilot_plan_list(int level) {
    if (level < 0 || level >= LINE_PLAN_LEVELS || !line_store.plan) return nullptr;
    return line_store.plan + (size_t)level * line_store.row_count;
}

void autopilot_plan_lines() {
    if (line_store.row_count <= 0) return;
    for (int level = 0; level < LINE_PLAN_LEVELS; level++) autopilot_plan_line(autopilot_plan_list(level), level);
}
