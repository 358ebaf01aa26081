// Fuzz target "script_source": a track's "frills.js" loaded with the prelude, then run by the
// race's tick and frame hooks over a fixture race, with the limits lowered.
#include "fuzz/fuzz.h"
#include "race/objects.h"
#include "race/race.h"
#include "race/track.h"
#include "script/script.h"
#include "terrain/terrain.h"

void fuzz_script_source(const uint8_t *data, size_t size) {
    script_limit_record saved_limits = script_limits;
    track_loader_table saved_loaders = track_loaders;
    terrain_field *saved_terrain = terrain_current;
    script_limits = {0.005, 0.005, 4u << 20};
    track_loaders = {nullptr, nullptr, nullptr, nullptr};
    terrain_current = nullptr;
    track_lists_create();
    track_add_statue(10, 0, 10, 0, nullptr, nullptr, nullptr);
    track_add_statue(20, 1, 20, 0.5f, nullptr, nullptr, nullptr);
    track_add_billboard(5, 0, 5, 4, 1, nullptr);
    track_add_billboard(6, 1, 6, 2, 0.5f, nullptr);
    race_state = {};
    race_state.gate_drop_tick = 8;
    race_state.laps = 2;
    race_state.running_count = 1;
    race_state.running_order[0] = {0, 1, 4};
    std::string name = fuzz_write("tracks/fuzz/frills.js", data, size);
    if (script_load(name.c_str())) {
        for (int i = 0; i < 32; i++) {
            script_tic_hook();
            if (i % 2 == 0) script_frame_hook();
            race_state.current_tick++;
        }
    }
    script_unload();
    fuzz_remove("tracks/fuzz/frills.js");
    track_lists_free();
    race_state = {};
    terrain_current = saved_terrain;
    track_loaders = saved_loaders;
    script_limits = saved_limits;
    fuzz_purge();
}
