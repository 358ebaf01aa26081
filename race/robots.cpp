// The line store of the robot riders. Lines are learned and written by the auto pilot; until
// then the store stays empty.
#include "race/robots.h"

#include "core/mem.h"

line_store_record line_store = {0, nullptr, 0};

void line_store_clear() {
    int n = line_store.segment_count * LINE_SLOTS_PER_SEGMENT;
    for (int i = 0; i < n; i++) mem_free(line_store.slots[i].points);
    mem_free(line_store.slots);
    line_store = {0, nullptr, 0};
}
