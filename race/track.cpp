// The current track: lighting defaults, loading and unloading, the object tables.
#include "race/track.h"

#include "core/fatal.h"
#include "core/mem.h"

track_lighting_record track_lighting;
const char *track_name = nullptr;
growable_array track_statues;
growable_array track_billboards;
growable_array track_flaggers;

void track_lighting_reset() {
    track_lighting = {{1, 1, 1}, {1, 1, 1}, {0.5f, 0.5f, 0.5f}, {0.2f, 0.2f, 0.2f},
                      0.25f,     5000.0f,   0.0f,               0};
}

void track_read_lighting() {
    // The lighting file's keys are read by the lighting reader; without it the values stay.
}

int track_load() {
    if (!track_name) return 0;
    track_read_lighting();
    return 1;
}

void track_unload() {
    plyx_log("Deallocating track\n");
    track_name = nullptr;
    plyx_log("Finished deallocating track\n");
}

void track_lists_create() {
    for (growable_array *a : {&track_statues, &track_billboards, &track_flaggers})
        if (!plyx_array_init(a, sizeof(void *), TRACK_LIST_CAPACITY)) mem_out_of_memory();
}

void track_lists_free() {
    for (growable_array *a : {&track_statues, &track_billboards, &track_flaggers})
        plyx_array_free(a);
}
