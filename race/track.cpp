// The current track: loading and unloading, the object tables.
#include "race/track.h"

#include <cstdio>
#include <cstring>

#include "core/fatal.h"
#include "core/loading.h"
#include "core/mem.h"
#include "core/settings.h"
#include "race/contacts.h"
#include "race/flaggers.h"
#include "race/objects.h"
#include "race/robots.h"
#include "race/timing.h"
#include "race/track_hash.h"
#include "gfx/texture.h"
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

int track_load() {
    if (!track_name) return 0;
    track_description = track_describe(track_name);
    ripemd160_state digest;
    ripemd160_init(&digest);
    track_objects_clear();
    loading_begin("Scanning");
    track_hash_ground(&digest, track_name);
    if (game_settings.debug_level >= 1) plyx_log("Loading '%s'\n", track_name);
    track_read_lighting();
    char folder[1100];
    snprintf(folder, sizeof folder, "@%s", track_name);
    if (!terrain_load(terrain_current, folder, track_render_mode())) {
        track_name = nullptr;
        track_description = nullptr;
        return 0;
    }
    if (game_settings.debug_level >= 1)
        plyx_log("%lu bytes texture memory used after hf creation\n", (unsigned long)texture_memory_bytes);
    snprintf(folder, sizeof folder, "@%s/timing_gates", track_name);
    track_hash_file(&digest, folder);
    track_read_timing_gates(folder);
    // Rows made so far (the gate arms) are the track's own, never written back to its files.
    track_first_file_statue = track_statues.count;
    track_first_file_billboard = track_billboards.count;
    snprintf(folder, sizeof folder, "@%s/statues", track_name);
    track_hash_file(&digest, folder);
    track_hash_statue_shapes(&digest);
    ripemd160_final(&digest);
    memcpy(track_hash, digest.digest, sizeof track_hash);
    return 1;
}

void track_unload() {
    plyx_log("Deallocating track\n");
    line_store_free();
    track_objects_clear();
    if (track_flaggers.items) track_flaggers.count = 0;
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
