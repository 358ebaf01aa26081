// Fuzz target "demo": a demo file opened for playback, its frames read over the ticks and a
// backward seek walked over them.
#include <cstring>

#include "core/vfs.h"
#include "fuzz/fuzz.h"
#include "race/demo.h"
#include "race/history.h"
#include "race/race.h"

// The demo names the track "tracks/fz", which the private game folder holds; its riders go to
// slots 0 and up, and it is read for 4096 ticks, then seeked back 5 s and read on.
void fuzz_demo(const uint8_t *data, size_t size) {
    fuzz_setup();
    static const uint8_t terrain[] = {'f'};
    fuzz_write("tracks/fz/terrain.hf", terrain, sizeof terrain);
    std::string name = fuzz_write("demos/fz.zrdemo", data, size);
    vfs_build_index();
    race_state.current_tick = 0;
    race_state.time_trial = 0;
    history_clear_all();
    demo_chosen_file = name.c_str();
    if (demo_open_playback()) {
        for (int i = 0; i < demo_rider_count; i++) demo_place_next_rider(i);
        for (int t = 0; t < 4096; t++) {
            race_state.current_tick = t;
            demo_read_frames();
        }
        demo_seek(-5.0f);
        for (int t = 0; t < 256; t++) {
            race_state.current_tick++;
            demo_read_frames();
        }
    }
    demo_close_playback();
    demo_chosen_file = nullptr;
    demo_playback_track = nullptr;
    fuzz_purge();
}
