// The rider table. The bike bodies, joints and contacts join with the bike loader; until then
// a slot is present or empty and its bike has no bodies to free, move, measure, set up or touch
// the ground with.
#include "bike/rider.h"

#include <cstring>

int rider_present[RIDER_SLOTS];

void rider_table_init() {
    memset(rider_present, 0, sizeof rider_present);
}

void bike_free(int slot) {
    if (slot >= 0 && slot < RIDER_SLOTS) rider_present[slot] = 0;
}

void bike_translate(int slot, float dx, float dy, float dz) {
    (void)slot;
    (void)dx;
    (void)dy;
    (void)dz;
}

float bike_frame_speed(int slot) {
    (void)slot;
    return -1.0f;
}

void bike_apply_setup_values(int slot, const bike_setup_values &values) {
    (void)slot;
    (void)values;
}

int bike_ground_contacts(int slot) {
    (void)slot;
    return 0;
}
