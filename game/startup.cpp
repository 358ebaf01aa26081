// Start-up: every subsystem comes up in a fixed order, each step logged.
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bike/physics.h"
#include "bike/rider.h"
#include "core/console.h"
#include "core/folders.h"
#include "core/globals.h"
#include "core/loading.h"
#include "core/settings.h"
#include "core/startup_lists.h"
#include "core/util.h"
#include "core/vfs.h"
#include "game/boost.h"
#include "game/config.h"
#include "game/controls.h"
#include "game/entry.h"
#include "game/frame_loop.h"
#include "game/loading_screen.h"
#include "game/options.h"
#include "game/settings_table.h"
#include "game/setup.h"
#include "game/sound_output.h"
#include "gfx/font.h"
#include "gfx/shader.h"
#include "gfx/texture.h"
#include "net/client.h"
#include "platform/plyx.h"
#include "present/camera.h"
#include "present/callouts.h"
#include "present/engine_sound.h"
#include "race/align.h"
#include "present/hud.h"
#include "present/scene.h"
#include "race/catalogue.h"
#include "race/demo.h"
#include "race/particles.h"
#include "race/race.h"
#include "race/series.h"
#include "race/track.h"
#include "script/script.h"
#include "terrain/erode.h"
#include "terrain/terrain.h"
#include "ui/menu.h"

[[noreturn]] void startup_exit(int code) {
    if (game_window) {
        window_context *w = game_window;
        game_window = nullptr;
        plyx_gl_close(w);
    }
    plyx_log_close();
    plyx_shutdown();
    exit(code);
}

// The race's current tick, for the bikes' packed states and the erosion's stamps.
// The client info waits while the Bike Setup page (7) or a chooser page (2) is open.
static int startup_info_held() {
    return menu_page == 7 || menu_page == 2;
}

static int startup_fixed_files_match() {
    return stock_models_match;
}

static int startup_race_tick() {
    return race_state.current_tick;
}

// The tick the running race's start gate drops at, for the bike step.
static int startup_gate_drop_tick() {
    return race_state.gate_drop_tick;
}

// The free camera put at a point (the race reset puts it above the viewed rider).
static void startup_place_free_camera(const float position[3]) {
    free_camera.x = position[0];
    free_camera.y = position[1];
    free_camera.z = position[2];
}

void startup_install_hooks() {
    loading_screen_install();
    race_hooks = {script_tic_hook, script_unload, script_free_sounds, util_boost_process,
                  setup_apply_to_bike, setup_mark_reported, engine_sound_free_slot,
                  engine_sound_load_slot, script_load, startup_place_free_camera};
    scene_hooks.script_frame = script_frame_hook;
    scene_stage_hook = frame_stage;
    erode_hooks = {net_send_erode, startup_race_tick};
    net_hooks = {nullptr, nullptr, startup_info_held, startup_fixed_files_match};
    bike_hooks = {startup_race_tick, startup_gate_drop_tick, particle_spawn, scene_callout_distance,
                  scene_add_callout, race_realign_allowed, bike_align_target};
    hud_frame_times = {&frame_loop.largest_advance, &frame_loop.smallest_advance};
}

void startup_require_tracks() {
    if (track_scan_catalogue()) return;
    fputs("No tracks found\n", stderr);
    startup_exit(1);
}

// Steps 2 to 14: the folders, the log, the settings and the command line. 0 when the program
// ends here, with its exit code.
static int startup_settings(int argc, char **argv, int *exit_code) {
    startup_install_hooks();
    console_clear();
    if (!vfs_locate_game_data()) {
        plyx_error_box("Problem starting ZR Simulator", "Can't find game data\n");
        return 0;
    }
    plyx_log("ZR Simulator version %s\n", ZR_BUILD_STAMP);
    memset(net_recent_servers, 0, sizeof net_recent_servers);
    memset(fall_delay_table, 0, sizeof fall_delay_table);
    config_build_video_modes(plyx_display_modes());
    terrain_probe_mmx();
    setup_select_bike("yz250f(2017)");
    setup_apply_stability_preset((int)settings.stability.value);
    settings_apply_graphics_preset(0);
    track_lighting_reset();
    config_read();
    setup_mark_reported();
    option_cursor cursor = options_begin(argc, argv);
    track_name = nullptr;
    for (int i = 0; i < RIDER_SLOTS; i++) {
        race_engine_sounds[i] = nullptr;
        race_slot_words[i] = 0;
    }
    settings_derive();
    options_result options = options_parse(&cursor);
    if (options.stop) {
        fputs(options.message.c_str(), stderr);
        if (options.open_home) path_open_home();
        *exit_code = options.exit_code;
        return 0;
    }
    return 1;
}

// Step 15: the window with its OpenGL context.
static int startup_window() {
    int windowed = settings.video_mode.current == 1;
    int width = settings.xres, height = settings.yres;
    if (!windowed) config_video_mode_size(settings.video_mode.current, &width, &height);
    int flags = run_options.colour_bits | (windowed ? 0 : OPEN_FULLSCREEN);
    game_window =
        plyx_gl_open("ZR Simulator", width, height, flags, 0, run_options.depth_bits, 0, 0);
    if (!game_window) return 0;
    frame_loop.windowed = windowed;
    return 1;
}

int startup_wait_for_frame(int *exit_code) {
    double start = frame_io.now();
    while (!frame_io.begin_frame(game_window)) {
        loading_drain_events();
        if (frame_loop.quit_requested) {
            *exit_code = 0;
            return 0;
        }
        if (frame_io.now() - start >= STARTUP_FRAME_WAIT_SECONDS) {
            plyx_log("Window never became ready for drawing\n");
            fputs("Window never became ready for drawing\n", stderr);
            *exit_code = 1;
            return 0;
        }
        frame_io.sleep(STARTUP_FRAME_RETRY_SECONDS);
    }
    return 1;
}

void startup_graphics() {
    // The probe logs the four driver strings; programs only where wanted and possible.
    core_settings &g = game_settings;
    g.shaders_active = gl_startup(settings.use_shader.current == 1);
    if (settings.ground_mipmaps.current == 0) g.ground_mipmaps_on = 0;
    int method = settings.render_texture.current;
    g.terrain_uses_shaders = method == 3 || method == 4 ? g.shaders_active : 0;

    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.196078f, 0.6f, 0.8f, 0.0f);
    glEnable(GL_CULL_FACE);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (g.low_quality_drawing) glShadeModel(GL_FLAT);

    font_load_all();
    hud_load_images();
    loading_title_texture = tex_load("!@title.png");
}

// Steps 28 to 36: bindings, lists, the physics world, the rider slots and the first race.
static void startup_race() {
    controls_bind_all(game_window);
    controls_lookup_menu_keys(game_window);
    track_lists_create();
    scene_lists_create();
    menu_lists_create();
    terrain_use_main_field();
    physics_open();

    int demo_played = 0;
    if (run_options.demo_file && demo_open_playback()) {
        demo_played = 1;
        track_name = demo_playback_track ? util_intern(demo_playback_track) : nullptr;
        demo_close_playback();
    }
    rider_table_init();
    for (int i = 0; i < RIDER_SLOTS; i++) {
        rider_status[i] = 1;
        race_lineup[i] = 0;
    }
    race_state.running_count = 0;
    viewed_slot = 0;
    if (!demo_played) race_lineup[0] = 1;  // the local rider
    demo_close_playback();
    demo_finish_recording();
    if (track_name) {
        track_name = nullptr;
        race_reset(race_lineup, demo_played, 0, 0, 1000, settings.robot_skill.current);
    }
    run_options.demo_file = nullptr;
    view_state.width = settings.xres;
    view_state.height = settings.yres;
    menu_page = connect_address ? MENU_NONE : MENU_MAIN;
    frame_loop_begin();
}

startup_outcome game_startup(int argc, char **argv, int *exit_code) {
    *exit_code = 1;
    if (!startup_settings(argc, argv, exit_code)) {
        plyx_log_close();
        path_free_search_dirs();
        return STARTUP_FAILED;
    }
    if (!startup_window()) {
        fprintf(stderr, "%s", plyx_last_error());
        plyx_log_close();
        path_free_search_dirs();
        return STARTUP_FAILED;
    }
    loading_tick_hook = loading_tick;
    loading_tick();
    vfs_build_index();
    util_check_stock_models();
    menu_list_paint_variants("rider_body-", &paint_rider_body);
    menu_list_paint_variants("rider_head-", &paint_rider_head);
    menu_list_paint_variants(choice_text(&settings.bike), &paint_bike);
    menu_list_paint_variants("wheels-", &paint_wheels);
    startup_require_tracks();
    demo_list_build();
    series_read_all();
    if (!config_select_start_track()) startup_exit(1);
    sound_output_open();
    if (!startup_wait_for_frame(exit_code)) return STARTUP_STOPPED;
    startup_graphics();
    if (!frame_io.end_frame(game_window)) {
        *exit_code = 1;
        return STARTUP_STOPPED;
    }
    startup_race();
    *exit_code = 0;
    return STARTUP_RUN;
}

int game_main(int argc, char **argv) {
    // The first reading starts the clock: every time and event stamp counts from here.
    int seconds, microseconds;
    plyx_time(&seconds, &microseconds);
    if (argc == 2 && strcmp(argv[1], "--open-home") == 0) {
        path_open_home();
        path_free_search_dirs();
        plyx_shutdown();
        return 0;
    }
    int code = 1;
    startup_outcome outcome = game_startup(argc, argv, &code);
    if (outcome == STARTUP_RUN) {
        frame_loop_run();
        game_shutdown(0);
    } else if (outcome == STARTUP_STOPPED) {
        game_shutdown(1);
    }
    plyx_shutdown();
    return code;
}
