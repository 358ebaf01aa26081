// The current track: loading and unloading, the object tables.
#include "race/track.h"

#include <cstdio>
#include <cstring>

#include "core/fatal.h"
#include "core/loading.h"
#include "core/mem.h"
#include "core/settings.h"
#include "core/stream.h"
#include "race/contacts.h"
#include "race/flaggers.h"
#include "race/objects.h"
#include "race/robots.h"
#include "race/timing.h"
#include "race/track_hash.h"
#include "terrain/terrain.h"

const char *track_name = nullptr;
int track_reload_request = 0;
growable_array track_statues;
growable_array track_billboards;
growable_array track_flaggers;

int track_render_mode() {
    // Software, Hardware/Copy, Hardware/Direct, Shaders/Copy, Shaders/Direct.
    static const int modes[] = {1, 2, 3, 2, 3};
    int method = settings.render_texture.current;
    return method >= 0 && method < 5 ? modes[method] : 3;
}

void track_unload() {
    plyx_log("Deallocating track\n");
    line_store_free();
    track_objects_clear();
    track_grid_free();
    track_flaggers_reset();
    if (track_flare_list) track_flare_list->count = 0;
    timing_gates_clear();
    terrain_free(terrain_current);
    track_name = nullptr;
    track_description = nullptr;
    memset(track_hash, 0, sizeof track_hash);
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
    line_store_free();
    timing_gates_clear();
    plyx_array_free(&timing_gates.lap_list);
    for (growable_array *a : {&track_statues, &track_billboards, &billboard_order, &track_flaggers})
        plyx_array_free(a);
}
