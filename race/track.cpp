// The current track: loading and unloading, the object tables.
#include "race/track.h"

#include <cstdio>

#include "core/fatal.h"
#include "core/mem.h"
#include "core/settings.h"
#include "race/contacts.h"
#include "race/flaggers.h"
#include "race/objects.h"
#include "terrain/terrain.h"

const char *track_name = nullptr;
growable_array track_statues;
growable_array track_billboards;
growable_array track_flaggers;

int track_render_mode() {
    // Software, Hardware/Copy, Hardware/Direct, Shaders/Copy, Shaders/Direct.
    static const int modes[] = {1, 2, 3, 2, 3};
    int method = settings.render_texture.current;
    return method >= 0 && method < 5 ? modes[method] : 3;
}

int track_load() {
    if (!track_name) return 0;
    track_read_lighting();
    char folder[1100];
    snprintf(folder, sizeof folder, "@%s", track_name);
    if (!terrain_load(terrain_current, folder, track_render_mode())) {
        track_name = nullptr;
        return 0;
    }
    return 1;
}

void track_unload() {
    plyx_log("Deallocating track\n");
    track_objects_clear();
    terrain_free(terrain_current);
    track_name = nullptr;
    plyx_log("Finished deallocating track\n");
}

void track_lists_create() {
    if (!plyx_array_init(&track_statues, sizeof(statue), TRACK_LIST_CAPACITY) ||
        !plyx_array_init(&track_billboards, sizeof(billboard), TRACK_LIST_CAPACITY) ||
        !plyx_array_init(&billboard_order, sizeof(int32_t), 2 * TRACK_LIST_CAPACITY) ||
        !plyx_array_init(&track_flaggers, sizeof(flagger), TRACK_LIST_CAPACITY))
        mem_out_of_memory();
}

void track_lists_free() {
    track_objects_clear();
    track_grid_free();
    for (growable_array *a : {&track_statues, &track_billboards, &billboard_order, &track_flaggers})
        plyx_array_free(a);
}
