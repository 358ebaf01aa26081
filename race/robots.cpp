// The line store of the robot riders: its rows, plan and serial counter. Lines are learned and
// written by the auto pilot.
#include "race/robots.h"

#include <cstring>

#include "core/mem.h"

line_store_record line_store = {0, nullptr, nullptr, 0};

void line_slot_clear(line_slot *slot) {
    mem_free(slot->points);
    int last_picked = slot->last_picked;
    *slot = {};
    slot->recorded_time = LINE_TIME_NONE;
    slot->recorded_time_two = LINE_TIME_NONE;
    slot->best_time = LINE_TIME_NONE;
    slot->best_time_two = LINE_TIME_NONE;
    slot->last_picked = last_picked;
}

void line_store_create(int rows) {
    line_store_free();
    if (rows <= 0) return;
    size_t slots = (size_t)rows * LINE_SLOTS_PER_SEGMENT;
    line_store.slots = (line_slot *)mem_alloc_or_die(sizeof(line_slot) * slots);
    memset(line_store.slots, 0, sizeof(line_slot) * slots);
    for (size_t i = 0; i < slots; i++) line_slot_clear(&line_store.slots[i]);
    size_t plan = (size_t)rows * LINE_PLAN_LEVELS;
    line_store.plan = (line_slot **)mem_alloc_or_die(sizeof(line_slot *) * plan);
    for (size_t i = 0; i < plan; i++) line_store.plan[i] = nullptr;
    line_store.row_count = rows;
    line_store.serial_counter = 0;
}

void line_store_clear() {
    int n = line_store.row_count * LINE_SLOTS_PER_SEGMENT;
    for (int i = 0; i < n; i++) line_slot_clear(&line_store.slots[i]);
}

void line_store_free() {
    line_store_clear();
    mem_free(line_store.slots);
    mem_free(line_store.plan);
    line_store = {0, nullptr, nullptr, 0};
}

line_slot *line_store_row(int row) {
    if (row < 0 || row >= line_store.row_count) return nullptr;
    return line_store.slots + (size_t)row * LINE_SLOTS_PER_SEGMENT;
}

void autopilot_write_lines(int level) {
    (void)level;
}
