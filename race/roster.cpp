// The robots' roster and its shuffle; placing a bike on the ground at its start.
#include <cstdio>

#include "bike/bike_step.h"
#include "core/digest.h"
#include "core/util.h"
#include "race/race.h"
#include "terrain/terrain.h"

race_roster_row race_roster[RACE_ROSTER_ROWS];
int race_roster_order[RACE_ROSTER_ROWS];
int race_roster_next = 0;

// Row i: number 20 + i; personalities 20 zorvik, 20 brannox, 40 quellan; models in turn.
static int roster_build() {
    static const char *const models[9] = {"crf250", "kx250f", "rmz250", "yz250f", "cr125",
                                          "kx125",  "rm125",  "yz125",  "yz250f_se(2006)"};
    for (int i = 0; i < RACE_ROSTER_ROWS; i++) {
        race_roster_row &r = race_roster[i];
        snprintf(r.number, sizeof r.number, "%d", 20 + i);
        r.personality = i % 4 == 0 ? "zorvik" : i % 4 == 2 ? "brannox" : "quellan";
        r.model = models[i % 9];
        race_roster_order[i] = i;
    }
    return 1;
}
static const int roster_built = roster_build();

void race_shuffle_roster(uint32_t seed) {
    (void)roster_built;
    for (int i = 0; i < RACE_ROSTER_ROWS; i++) race_roster_order[i] = i;
    mt_seed(seed);
    for (int k = RACE_ROSTER_ROWS - 1; k >= 1; k--) {
        int j = (int)((mt_next() >> 16) % (uint32_t)k);
        int t = race_roster_order[k];
        race_roster_order[k] = race_roster_order[j];
        race_roster_order[j] = t;
    }
    race_roster_next = 0;
}

void race_drop_to_ground(int slot, float x, float z, float yaw) {
    if (rider_slot_at(slot)) bike_drop_to_ground(slot, x, z, yaw);
}
