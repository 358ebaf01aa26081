// The robots' roster and its shuffle; placing a bike on the ground at its start.
#include <cstdio>

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

// The height grid's value at the cell of (x, z), clamped to the grid.
static float grid_height(float x, float z) {
    const terrain_field *f = terrain_current;
    if (!f || !f->heights || f->spacing <= 0) return 0;
    int n = f->n;
    int cx = (int)util_clamp(x / f->spacing, 0, (float)(n - 1));
    int cz = (int)util_clamp(z / f->spacing, 0, (float)(n - 1));
    return f->heights[cx + n * cz];
}

void race_drop_to_ground(int slot, float x, float z, float yaw) {
    rider_slot *s = rider_slot_at(slot);
    if (!s || !rider_has_bike(slot)) return;
    float h = grid_height(x, z);
    for (int tries = 0; tries < 4096; tries++, h += 0.25f) {
        bike_reset(s);
        bike_set_orientation(s, 0, 1, 0, yaw);
        bike_translate(slot, x, h, z);
        if (!bike_ground_contacts_at(slot)) break;
    }
}
