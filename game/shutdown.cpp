// Shutdown: everything start-up made is taken down in a fixed order, each step logged.
#include <cstdio>

#include "bike/physics.h"
#include "bike/rider.h"
#include "bike/shape.h"
#include "core/console.h"
#include "core/globals.h"
#include "core/loading.h"
#include "core/mem.h"
#include "core/startup_lists.h"
#include "core/util.h"
#include "core/vfs.h"
#include "game/config.h"
#include "game/controls.h"
#include "game/entry.h"
#include "game/sound_output.h"
#include "gfx/font.h"
#include "gfx/model.h"
#include "gfx/texture.h"
#include "net/client.h"
#include "platform/plyx.h"
#include "present/game_sound.h"
#include "present/scene.h"
#include "race/catalogue.h"
#include "race/demo.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/series.h"
#include "race/track.h"
#include "script/script.h"
#include "ui/menu.h"

// Steps 1 to 6 and the first two statuses: the race and everything the frame loop used.
static void shutdown_race() {
    net_disconnect();
    connect_address = nullptr;

    series_enter_results();
    if (race_state.robot_level >= 0) autopilot_write_lines(race_state.robot_level);
    line_store_clear();

    if (physics_contact_group) dJointGroupEmpty(physics_contact_group);
    plyx_log("Deallocating bikes\n");
    for (int i = 0; i < RIDER_SLOTS; i++) {
        race_engine_sounds[i] = nullptr;
        bike_free(i);
    }
    plyx_log("Finished deallocating bikes\n");

    script_unload();
    script_free_sounds();
    demo_close_playback();
    demo_finish_recording();
    track_unload();
    physics_close();

    loading_status_log("Freeing memory (1)");
    track_lists_free();
    scene_lists_free();
    menu_lists_free();
    loading_status_log("Closing input devices");
    controls_close_all();
}

void game_shutdown(int from_closing_audio) {
    if (!from_closing_audio) shutdown_race();
    loading_status_log("Closing audio");
    sound_output_close();
    engine_sound_free_all();
    loading_status_log("Writing config files");
    config_write();
    net_cleanup();
    loading_status_log("Freeing memory (2)");
    series_free_all();
    util_intern_free_all();
    track_name = nullptr;  // interned
    track_catalogue_free();
    loading_status_log("Freeing memory (3)");
    menu_free_paint_lists();
    demo_list_free();
    loading_status_log("Freeing file list");
    vfs_shutdown();
    loading_status_log("Freeing memory (4)");
    shape_free_cache();
    loading_status_log("Deleting textures");
    tex_purge(1);
    loading_status_log("Deleting models");
    model_purge(1);

    font_free_all();
    if (game_window) {
        window_context *w = game_window;
        game_window = nullptr;
        plyx_gl_close(w);
    }
    plyx_log_close();
    mem_report_leaks();  // also after the table filled: what it holds was tracked
    int late_seconds, late_microseconds;
    plyx_sleep(1, 0, &late_seconds, &late_microseconds);
}
