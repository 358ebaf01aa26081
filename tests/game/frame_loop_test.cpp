// The frame loop under a fake clock with no window: pacing, ticks, per-tick input, the gates of
// the world tick, key dispatch, online time scaling and stage timing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "bike/physics.h"
#include "core/console.h"
#include "core/globals.h"
#include "core/settings.h"
#include "core/util.h"
#include "core/vfs.h"
#include "game/chase_camera.h"
#include "game/controls.h"
#include "game/entry.h"
#include "game/frame_loop.h"
#include "game/sound_output.h"
#include "net/client.h"
#include "platform/plyx.h"
#include "present/camera.h"
#include "race/race.h"
#include "race/time_trial.h"
#include "race/timing.h"
#include "race/track.h"
#include "terrain/erode.h"
#include "terrain/terrain.h"
#include "tests/support/test_support.h"
#include "ui/menu.h"

struct fake_event {
    int code, pressed, seconds, microseconds;
};

// The fake platform: a clock that only sleeps and frames move, a queue of stamped events, and
// a look at the race at the first event call of every tick.
struct fake_platform {
    double clock = 10.0;
    double frame_cost = 1.0 / 60.0;
    int sleeps = 0;
    std::deque<fake_event> events;
    int swap_ok = 1;
    double last_tick_seen = -1.0;
    std::vector<control_record> seen_controls;   // slot 0's last applied controls
    std::vector<int> seen_ticks;                 // the race's current tick
    dBodyID probe_body = nullptr;                // gets a contact joint each tick
    int joints_left_over = 0;
};

static fake_platform fake;

static double fake_now() {
    return fake.clock;
}

static void fake_sleep(double seconds) {
    fake.clock += seconds;
    fake.sleeps++;
}

// Called once or more per tick: the first call of a tick sees what the previous tick left.
static void fake_watch_tick() {
    if (frame_loop.simulated_time == fake.last_tick_seen) return;
    fake.last_tick_seen = frame_loop.simulated_time;
    fake.seen_controls.push_back(race_last_controls[0]);
    fake.seen_ticks.push_back(race_state.current_tick);
    if (fake.probe_body) {
        fake.joints_left_over += dBodyGetNumJoints(fake.probe_body);
        dContact contact = {};
        contact.geom.normal[1] = 1;
        dJointID j = dJointCreateContact(physics_world, physics_contact_group, &contact);
        dJointAttach(j, fake.probe_body, nullptr);
    }
}

static int fake_pop(uint32_t *code, int *pressed) {
    fake_event e = fake.events.front();
    fake.events.pop_front();
    *code = (uint32_t)e.code;
    *pressed = e.pressed;
    return 1;
}

static int fake_next_event(window_context *, uint32_t *code, int *pressed) {
    fake_watch_tick();
    return fake.events.empty() ? 0 : fake_pop(code, pressed);
}

static int fake_next_event_before(window_context *, uint32_t *code, int *pressed, int seconds,
                                  int microseconds) {
    fake_watch_tick();
    if (fake.events.empty()) return 0;
    const fake_event &e = fake.events.front();
    if (e.seconds > seconds || (e.seconds == seconds && e.microseconds > microseconds)) return 0;
    return fake_pop(code, pressed);
}

// Frames never begin (nothing is drawn) but each pass costs its frame time.
static plyx_surface *fake_begin_frame(window_context *) {
    fake.clock += fake.frame_cost;
    return nullptr;
}

static int fake_end_frame(window_context *) {
    return fake.swap_ok;
}

static void fake_install() {
    fake = fake_platform();
    frame_io = {fake_now,         fake_sleep,       fake_next_event, fake_next_event_before,
                fake_begin_frame, fake_end_frame};
    frame_loop_reset();
    menu_page = MENU_NONE;
    frame_loop.last_event_page = MENU_NONE;
}

// An event stamped at the fake clock plus an offset.
static void fake_push(int code, int pressed, double offset) {
    long long us = (long long)std::llround((fake.clock + offset) * 1e6);
    fake.events.push_back({code, pressed, (int)(us / 1000000), (int)(us % 1000000)});
}

static double ticks_run() {
    return frame_loop.simulated_time / TICK_SECONDS;
}

// A race on the stock practice track, with slot 0 the local rider (holding a bike when asked).
// Its terrain loads from the build's game data and makes textures: a window with its OpenGL
// context stays open for the rest of the test.
static const char *TEST_TRACKS[] = {"tracks/practice"};

struct race_fixture {
    temp_dir home;
    window_context *window = nullptr;
    race_fixture() {
        test_isolate_home(home);
        setenv("ZR_HOME", (test_binary_dir() + "/game").c_str(), 1);
        vfs_build_index();
        window = plyx_gl_open("frame loop race", 64, 48, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
        physics_open();
    }
    ~race_fixture() {
        rider_table_init();   // the bikes go before the world
        physics_close();
        if (track_name) track_unload();
        if (window) plyx_gl_close(window);
        vfs_shutdown();
    }
};

static void start_race(int with_bike = 0, int time_trial = 0) {
    static race_fixture fixture;
    ASSERT_NE(fixture.window, nullptr) << plyx_last_error();
    settings.track.options = TEST_TRACKS;
    settings.track.option_count = 1;
    settings.track.current = 0;
    for (int &role : race_lineup) role = 0;
    race_lineup[0] = 1;
    ASSERT_EQ(race_reset(time_trial ? nullptr : race_lineup, 0, 0, 0, 5, 0), 1);
    ASSERT_STREQ(track_name, "tracks/practice");
    menu_page = MENU_NONE;
    // The reset drained events too: watch the ticks from here on.
    fake.last_tick_seen = -1.0;
    fake.seen_controls.clear();
    fake.seen_ticks.clear();
    if (with_bike) {
        ASSERT_NE(bike_load("yz250f(2017)", 0, 0, "1", nullptr, nullptr, nullptr, nullptr), nullptr);
    }
}

TEST(game_frame_loop, PacingByFrameRateAndOptions) {
    struct {
        const char *label;
        double frame_cost;
        int warp;
        double lock_fps;
        int min_ticks, max_ticks;   // per pass
        double advance;             // 0: the measured frame time
        int bin;
        bool sleeps;
    } cases[] = {
        {"60 fps", 1.0 / 60.0, 0, 0.0, 2, 3, 0.0, 2, false},
        {"200 fps", 0.005, 0, 0.0, 1, 1, TICK_SECONDS, 0, true},
        {"lock 30", 0.01, 0, 30.0, 4, 5, 1.0 / 30.0, 1, true},
        {"warp", 0.01, 1, 0.0, 100, 100, 100 * TICK_SECONDS, 1, false},
        {"2 s stall", 2.0, 0, 0.0, 16, 16, 0.125, 7, false},
    };
    for (auto &c : cases) {
        fake_install();
        fake.frame_cost = c.frame_cost;
        run_options.warp = c.warp;
        run_options.lock_fps = c.lock_fps;
        frame_loop_begin();
        for (int pass = 0; pass < 20; pass++) {
            double before_ticks = ticks_run(), before_target = frame_loop.target_time;
            double before_clock = fake.clock;
            ASSERT_EQ(frame_loop_pass(), 1) << c.label;
            double ticks = ticks_run() - before_ticks;
            EXPECT_GE(ticks, c.min_ticks - 1e-9) << c.label << " pass " << pass;
            EXPECT_LE(ticks, c.max_ticks + 1e-9) << c.label << " pass " << pass;
            double advance = frame_loop.target_time - before_target;
            double want = c.advance ? c.advance : fake.clock - before_clock;
            EXPECT_NEAR(advance, want, 1e-9) << c.label;
        }
        EXPECT_EQ(frame_loop.histogram[c.bin], 20) << c.label;
        EXPECT_EQ(fake.sleeps > 0, c.sleeps) << c.label;
    }
    // A clock that went back holds the loop no longer than a tick.
    fake_install();
    frame_loop_begin();
    fake.clock -= 100.0;
    double before = fake.clock;
    ASSERT_EQ(frame_loop_pass(), 1);
    EXPECT_LT(fake.clock - before, fake.frame_cost + 2 * TICK_SECONDS);
}

TEST(game_frame_loop, TicksAdvanceTheRaceAndEmptyTheContactGroup) {
    fake_install();
    ASSERT_EQ(physics_open(), 1);
    start_race();
    fake.probe_body = dBodyCreate(physics_world);
    frame_loop_begin();
    for (int pass = 0; pass < 10; pass++) ASSERT_EQ(frame_loop_pass(), 1);
    EXPECT_NE(frame_loop.view_mode, VIEW_SPLASH);
    EXPECT_EQ(race_state.current_tick, (int)std::lround(ticks_run()));
    EXPECT_GT(race_state.current_tick, 20);
    // Every tick found the joint of the tick before gone with the emptied group.
    EXPECT_EQ(fake.joints_left_over, 0);
    ASSERT_GT(fake.seen_ticks.size(), 2u);
    for (size_t i = 0; i < fake.seen_ticks.size(); i++) EXPECT_EQ(fake.seen_ticks[i], (int)i);
    dBodyDestroy(fake.probe_body);
    fake.probe_body = nullptr;

    // Without a track the view is the splash screen, and no world tick runs.
    track_unload();
    int tick = race_state.current_tick;
    for (int pass = 0; pass < 5; pass++) ASSERT_EQ(frame_loop_pass(), 1);
    EXPECT_EQ(frame_loop.view_mode, VIEW_SPLASH);
    EXPECT_EQ(race_state.current_tick, tick);
    rider_table_init();   // the reset's bikes go before the world
    physics_close();
}

TEST(game_frame_loop, InputLandsInTheTickOfItsStamp) {
    fake_install();
    start_race(1);
    const int throttle = 0x1000 + 45, shared = 0x1000 + 75;
    settings.bindings[BINDING_THROTTLE].key_code = throttle;
    settings.bindings[BINDING_LEFT].key_code = shared;
    settings.bindings[BINDING_UPSHIFT].key_code = shared;
    frame_loop_begin();
    // One 60 fps pass runs three ticks taking the events stamped up to 1/128 s and 2/128 s
    // after the loop began, then the rest.
    fake_push(throttle, 1, 0.003);
    fake_push(throttle, 0, 0.011);
    fake_push(shared, 1, 0.012);
    ASSERT_EQ(frame_loop_pass(), 1);
    ASSERT_EQ(fake.seen_controls.size(), 3u);
    EXPECT_EQ(fake.seen_controls[1].axis[CONTROL_THROTTLE], 1.0f);   // applied by tick 1
    EXPECT_EQ(fake.seen_controls[2].axis[CONTROL_THROTTLE], 0.0f);   // tick 2: released
    EXPECT_EQ(fake.seen_controls[2].axis[CONTROL_STEER], 1.0f);      // Left and Upshift both
    EXPECT_EQ(fake.seen_controls[2].axis[CONTROL_SHIFT], 1.0f);
    EXPECT_EQ(fake.seen_controls[1].axis[CONTROL_SHIFT], 0.0f);
}

TEST(game_frame_loop, AxisRangesNeverGiveNaN) {
    struct {
        double travel;
        float minimum, maximum, want;
    } cases[] = {
        {0.2, 0.25f, 0.75f, 0.0f}, {0.5, 0.25f, 0.75f, 0.5f}, {0.8, 0.25f, 0.75f, 1.0f},
        {-1.0, 0.0f, 1.0f, 0.0f},  {0.4, 0.5f, 0.5f, 0.0f},   {0.6, 0.5f, 0.5f, 1.0f},
        {0.5, 0.5f, 0.5f, 1.0f},   {0.5, NAN, 1.0f, 0.0f},
    };
    for (auto &c : cases) {
        float v = controls_axis_value((int)(c.travel * 32768), c.minimum, c.maximum);
        EXPECT_FALSE(std::isnan(v));
        EXPECT_NEAR(v, c.want, 1e-4) << c.travel << " in " << c.minimum << ".." << c.maximum;
    }
}

// Passes the loop until the given number of passes ran; the race's ticks in that time.
static int race_ticks_over(int passes) {
    int before = race_state.current_tick;
    for (int i = 0; i < passes; i++) EXPECT_EQ(frame_loop_pass(), 1);
    return race_state.current_tick - before;
}

TEST(game_frame_loop, MenusPauseAndStepGateTheWorldTick) {
    fake_install();
    start_race(1);
    const int pause = 0x1000 + 69, step = 0x1000 + 52;
    settings.bindings[BINDING_PAUSE].key_code = pause;
    settings.bindings[BINDING_STEP].key_code = step;
    frame_loop_begin();
    EXPECT_GT(race_ticks_over(3), 0);

    menu_page = MENU_MAIN;   // over the player's own bike, offline: the race stands
    EXPECT_EQ(race_ticks_over(3), 0);
    net_client.socket = 1000;   // online it runs on (the server's tick is positive)
    net_client.server_tick_estimate = 100000;
    EXPECT_GT(race_ticks_over(3), 0);
    net_client.socket = -1;
    menu_page = MENU_NONE;

    fake_push(pause, 1, 0.0);
    EXPECT_EQ(race_ticks_over(3), 0);
    EXPECT_EQ(frame_loop.paused, 1);
    for (int press = 0; press < 2; press++) {
        fake_push(step, 1, 0.0);
        fake_push(step, 0, 0.0);
        EXPECT_EQ(race_ticks_over(2), 1);
    }
    fake_push(pause, 1, 0.0);
    EXPECT_GT(race_ticks_over(2), 0);
    EXPECT_EQ(frame_loop.paused, 0);

    // A pause taken online is cleared at the next tick.
    frame_loop.paused = 1;
    net_client.socket = 1000;
    EXPECT_GT(race_ticks_over(2), 0);
    EXPECT_EQ(frame_loop.paused, 0);
    net_client.socket = -1;
}

TEST(game_frame_loop, KeyDispatch) {
    fake_install();
    start_race();
    menu_key_codes.esc = 0x1001;
    struct {
        int from, editor, to;
    } tabs[] = {{VIEW_ONBOARD, 0, VIEW_CHASE},  {VIEW_CHASE, 0, VIEW_CAMERA},
                {VIEW_CAMERA, 0, VIEW_ONBOARD}, {VIEW_ONBOARD, 1, VIEW_EDITOR},
                {VIEW_EDITOR, 1, VIEW_CHASE},   {VIEW_SPLASH, 0, VIEW_SPLASH}};
    for (auto &t : tabs) {
        frame_loop.view_mode = t.from;
        game_settings.editor_mode = t.editor;
        frame_dispatch_key(KEY_TAB, 1);
        EXPECT_EQ(frame_loop.view_mode, t.to) << t.from << " editor " << t.editor;
    }
    frame_loop.view_mode = VIEW_ONBOARD;
    menu_selected_item = 3;
    frame_dispatch_key(0x1001, 1);
    EXPECT_EQ(menu_page, MENU_MAIN);
    EXPECT_EQ(menu_selected_item, 0);
    frame_dispatch_key(KEY_TAB, 1);   // goes to the menu, not the view
    EXPECT_EQ(frame_loop.view_mode, VIEW_ONBOARD);
    frame_dispatch_key(0x1001, 0);
    EXPECT_EQ(menu_page, MENU_MAIN);
    frame_dispatch_key(0x1001, 1);
    EXPECT_EQ(menu_page, MENU_NONE);

    // The window's close request ends the loop at the next pass.
    frame_loop_begin();
    fake_push((int)EVENT_CLOSE, 1, 0.0);
    EXPECT_EQ(frame_loop_pass(), 1);
    EXPECT_EQ(frame_loop.quit_requested, 1);
    EXPECT_EQ(frame_loop_pass(), 0);
}

TEST(game_frame_loop, WarpRestartsAFinishedRaceWithTheLineUpMovedOn) {
    fake_install();
    start_race();
    run_options.warp = 1;
    race_lineup[0] = 1;
    race_lineup[159] = 2;
    race_state.running_count = 1;
    race_state.running_order[0] = {0, 10, 0};
    race_state.first_lap_points = 4;
    race_state.lap_points = 3;   // (10 - 4) / 3 + 1 = 3 laps
    race_state.final_lap = 4;
    frame_loop_begin();
    ASSERT_EQ(frame_loop_pass(), 1);
    EXPECT_EQ(race_state.current_tick, 100);   // not finished: the race runs on
    race_state.final_lap = 3;
    ASSERT_EQ(frame_loop_pass(), 1);
    EXPECT_EQ(race_state.current_tick, 0);
    EXPECT_EQ(race_lineup[0], 2);
    EXPECT_EQ(race_lineup[1], 1);
    EXPECT_EQ(race_state.final_lap, 5);   // the Laps setting
}

TEST(game_frame_loop, OnlineTimeScaling) {
    struct {
        int server, current, gate_drop;
        double factor;
    } cases[] = {
        {100, 229, 0, 0.5},               // d = -1: half speed
        {100, 163, 0, 0.75},              // d = -0.5
        {100, 100, 0, 1.0 - 0.5 / 128},   // d = -1/128
        {1000, 935, 2000, 2.5},           // d = 0.5 before the gate drop
        {1000, 999, 2000, 1.0},           // d = 0
        {5000, 935, 2000, 4.0},           // far behind before the gate drop
        {3000, 2983, 2000, 1.125},        // d = 1/8 after the gate drop
        {3000, 2991, 2000, 1.0625},       // d = 1/16
    };
    for (auto &c : cases)
        EXPECT_NEAR(frame_online_scale(c.server, c.current, c.gate_drop), c.factor, 1e-12)
            << c.server << " " << c.current;
}

TEST(game_frame_loop, StutterReportNamesTheStage) {
    fake_install();
    console_clear();
    frame_loop_begin();
    frame_loop.stutter_threshold = 0.01;
    fake.clock += 0.005;
    frame_stage("draw");
    fake.clock += 0.25;
    frame_stage("flip");
    int last = (console_log.head + CONSOLE_LINES - 1) % CONSOLE_LINES;
    EXPECT_STREQ(console_log.lines[last], "Stutter in flip - 0.250000 seconds");
    EXPECT_EQ(console_log.head, 1);
}

TEST(game_frame_loop, FailedSwapEndsTheLoop) {
    // A real window, so that a frame begins and is drawn; the swap is made to fail.
    temp_dir t;
    test_isolate_home(t);
    window_context *w = plyx_gl_open("frame loop", 64, 48, 24 | OPEN_NO_MODE_SWITCH, 0, 16, 0, 0);
    ASSERT_NE(w, nullptr) << plyx_last_error();
    fake_install();
    frame_io.begin_frame = plyx_gl_begin_frame;
    frame_io.end_frame = plyx_gl_end_frame;
    game_window = w;
    frame_loop_begin();
    EXPECT_EQ(frame_loop_pass(), 1);
    frame_io.end_frame = [](window_context *win) {
        plyx_gl_end_frame(win);
        return 0;
    };
    EXPECT_EQ(frame_loop_pass(), 0);
    game_window = nullptr;
    plyx_gl_close(w);
    plyx_shutdown();
}

TEST(game_frame_loop, RecordedAudioHasOneBlockPerTick) {
    temp_dir t;
    fake_install();
    start_race();
    std::string path = t.file("audio.raw");
    run_options.record_audio_file = path.c_str();
    sound_output_open();
    frame_loop_begin();
    for (int pass = 0; pass < 6; pass++) ASSERT_EQ(frame_loop_pass(), 1);
    int ticks = race_state.current_tick;
    EXPECT_GT(ticks, 10);
    sound_output_close();
    EXPECT_EQ(test_read_file(path).size(), (size_t)ticks * SOUND_RECORD_BYTES);
}

// Queues count points pushing across the practice track's middle.
static void queue_erosion(int count, float x = 128, float z = 128) {
    erode_batch b = {};
    for (int i = 0; i < 64; i++) b.points[i] = {x, z, 0, 1, 8};
    unsigned char m[ERODE_MESSAGE_MAX];
    for (; count > 0; count -= b.point_count) {
        b.point_count = count < 64 ? count : 64;
        erode_queue_message(m, erode_encode_batch(m, &b));
    }
}

TEST(game_frame_loop, ErosionDrainsOnlyWithAnAmountAndThroughFrozenHeights) {
    fake_install();
    queue_erosion(10);
    start_race();
    EXPECT_EQ(erode_queue_count(), 0);   // the race reset empties the queue
    frame_loop_begin();
    // Away from the player's bike, which the drain keeps clear.
    queue_erosion(100, 60, 60);
    race_state.erode_amount = 0;
    ASSERT_EQ(frame_loop_pass(), 1);
    EXPECT_EQ(erode_queue_count(), 100);
    race_state.erode_amount = 1024;
    terrain_current->heights_frozen = 1;
    int generation = terrain_current->edit_generation;
    ASSERT_EQ(frame_loop_pass(), 1);
    EXPECT_EQ(erode_queue_count(), 96);   // the budget of 100 waiting: 4
    EXPECT_GT(terrain_current->edit_generation, generation);
    EXPECT_LT(terrain_height_at(terrain_current, 60, 60), terrain_loaded_height_at(terrain_current, 60, 60));
    EXPECT_EQ(terrain_current->heights_frozen, 1);
    terrain_current->heights_frozen = 0;
}

TEST(game_frame_loop, ErosionWaitsNearTheLocalRidersBike) {
    fake_install();
    start_race(1);
    ASSERT_EQ(rider_status[0], 0);
    ASSERT_TRUE(rider_has_bike(0));
    frame_loop_begin();
    race_state.erode_amount = 1024;
    ASSERT_EQ(frame_loop_pass(), 1);
    const dReal *at = dBodyGetPosition(bike_frame_body(rider_slot_at(0)));
    queue_erosion(20, (float)at[0], (float)at[2]);
    ASSERT_EQ(frame_loop_pass(), 1);
    EXPECT_EQ(erode_queue_count(), 20);   // under the bike: they wait
    bike_free(0);
    ASSERT_EQ(frame_loop_pass(), 1);
    EXPECT_LT(erode_queue_count(), 20);   // no bike to keep clear: they dig
}

// From key presses through the player's bike to the chase camera: the bike the race reset put in
// slot 0 rides off on "x", turns left on "left", and Tab brings the chase view behind it.
TEST(game_frame_loop, KeysRideThePlayersBikeAndTheChaseCameraFollows) {
    // The program's hooks: the reset hands the player's settings to the bike.
    startup_install_hooks();
    fake_install();
    start_race();
    ASSERT_TRUE(rider_has_bike(0));
    rider_slot *s = &rider_table[0];
    dBodyID frame = bike_frame_body(s);
    auto position = [&]() {
        const dReal *p = dBodyGetPosition(frame);
        return vec3{(float)p[0], (float)p[1], (float)p[2]};
    };
    auto heading = [&]() {
        const dReal *v = dBodyGetLinearVel(frame);
        return std::atan2(-(float)v[0], -(float)v[2]);
    };
    // Passes until the race has run that long.
    auto run_for = [&](double seconds) {
        int until = race_state.current_tick + (int)std::lround(seconds * 128);
        for (int pass = 0; race_state.current_tick < until && pass < 100000; pass++)
            ASSERT_EQ(frame_loop_pass(), 1);
    };
    // The default bindings by their key names, as start-up binds them.
    for (control_binding &b : settings.bindings) {
        uint32_t code;
        if (b.key_name && plyx_input_key_code(nullptr, &code, b.key_name)) b.key_code = (int)code;
    }
    const int throttle = settings.bindings[BINDING_THROTTLE].key_code;
    const int left = settings.bindings[BINDING_LEFT].key_code;
    frame_loop_begin();
    // Until the gate drops the rider waits where the reset put it.
    run_for((race_state.gate_drop_tick - race_state.current_tick + 64) / 128.0);
    vec3 p0 = position();
    fake_push(throttle, 1, 0.0);
    run_for(2);
    vec3 d = position() - p0;
    EXPECT_GE(std::sqrt(d.x * d.x + d.z * d.z), 30);
    float h0 = heading();
    fake_push(left, 1, 0.0);
    run_for(1);
    float turned = heading() - h0;
    if (turned > (float)M_PI) turned -= 2 * (float)M_PI;
    if (turned < -(float)M_PI) turned += 2 * (float)M_PI;
    EXPECT_GE(turned, 10 * (float)M_PI / 180);
    fake_push(left, 0, 0.0);
    fake_push(KEY_TAB, 1, 0.0);
    fake_push(KEY_TAB, 0, 0.001);
    run_for(0.1);
    EXPECT_EQ(frame_loop.view_mode, VIEW_CHASE);
    // The chase eye: 9 to 11 ft behind the bike across the ground, away from its travel, and
    // at least 5 ft above the ground around it.
    for (int k = 0; k < 8; k++) {
        run_for(0.125);
        float eye[3], rotation[9];
        ASSERT_EQ(chase_camera_view(0, frame_player_view(), eye, rotation), 1);
        // Measured from the point the camera looks at on the frame (a wheelie moves it back).
        dVector3 target;
        const float *c = run_options.chase_center;
        dBodyGetRelPointPos(frame, c[0], c[1], c[2], target);
        vec3 back = {eye[0] - (float)target[0], 0, eye[2] - (float)target[2]};
        float across = std::sqrt(back.x * back.x + back.z * back.z);
        EXPECT_GE(across, 9);
        EXPECT_LE(across, 11);
        const dReal *v = dBodyGetLinearVel(frame);
        EXPECT_LT(back.x * v[0] + back.z * v[2], 0);
        EXPECT_GE(eye[1], camera_ground_height(eye[0], eye[2], 10) + 5 - 1e-3f);
    }
}

// The next and previous bike keys walk the running order: with spying off only away from the
// player's own view or while watching online, with it on from anywhere; both ends stop them.
TEST(game_frame_loop, NextAndPreviousBikeAlongTheRunningOrder) {
    fake_install();
    start_race();
    for (int slot = 1; slot < 4; slot++) race_lineup[slot] = 2;
    ASSERT_EQ(race_reset(race_lineup, 0, 0, 0, 5, 0), 1);
    menu_page = MENU_NONE;
    ASSERT_EQ(race_state.running_count, 4);
    const int prev = 0x2001, next = 0x2002;
    settings.bindings[BINDING_PREV].key_code = prev;
    settings.bindings[BINDING_NEXT].key_code = next;
    frame_loop.view_mode = VIEW_CHASE;
    int order[4];
    int player_at = -1;
    for (int i = 0; i < 4; i++) {
        order[i] = race_state.running_order[i].slot;
        if (order[i] == 0) player_at = i;
    }
    ASSERT_GE(player_at, 0);
    ASSERT_EQ(rider_status[0], 0);
    auto press = [](int code) {
        frame_dispatch_key(code, 1);
        frame_dispatch_key(code, 0);
    };

    // The player's own view, spying off: nothing moves.
    settings.spy = 0;
    viewed_slot = 0;
    press(next);
    press(prev);
    EXPECT_EQ(viewed_slot, 0);

    // Watching online (no slot of one's own): it moves.
    net_client.socket = 1000;
    net_client.slot = RIDER_NO_SLOT;
    press(player_at + 1 < 4 ? next : prev);
    EXPECT_EQ(viewed_slot, order[player_at + 1 < 4 ? player_at + 1 : player_at - 1]);
    net_client.socket = -1;

    // A robot's view, spying off: it walks until it reaches the player's own view.
    viewed_slot = player_at > 0 ? order[0] : order[3];
    for (int i = 0; i < 6; i++) press(player_at > 0 ? next : prev);
    EXPECT_EQ(viewed_slot, 0);

    // Spying on: from the player's own view too, one place a key, stopping at both ends.
    settings.spy = 1;
    viewed_slot = order[0];
    for (int i = 1; i < 4; i++) {
        press(next);
        EXPECT_EQ(viewed_slot, order[i]);
    }
    press(next);
    EXPECT_EQ(viewed_slot, order[3]);
    for (int i = 2; i >= 0; i--) {
        press(prev);
        EXPECT_EQ(viewed_slot, order[i]);
    }
    press(prev);
    EXPECT_EQ(viewed_slot, order[0]);
    settings.spy = 0;
}

// Backing up restarts a time-trial run when "Backing Up Aborts Attempt" is on; with it off, or
// in a race, the back-up control only backs the bike up.
TEST(game_frame_loop, BackingUpAbortsATimeTrialRunWhenSet) {
    const int back_up = 0x1000 + 50;
    struct {
        const char *label;
        int time_trial, abort, restarted;
    } cases[] = {
        {"time trial, abort on", 1, 1, 1},
        {"time trial, abort off", 1, 0, 0},
        {"race, abort on", 0, 1, 0},
    };
    for (auto &c : cases) {
        fake_install();
        start_race(1, c.time_trial);
        ASSERT_GT(timing_gates.count, 0);
        settings.bindings[BINDING_BACK_UP].key_code = back_up;
        settings.time_trial_abort.current = c.abort;
        // Well into a lap: ten points passed, the last lap timed.
        for (int i = 0; i < 10; i++) rider_set_timing_tic(0, i, race_state.current_tick - 100 + i);
        rider_table[0].timing_count = 10;
        last_lap_ticks = 77;
        frame_loop_begin();
        fake_push(back_up, 1, 0.003);
        ASSERT_EQ(frame_loop_pass(), 1) << c.label;
        int start = std::max(timing_gates.first_lap_length - 3, 0);
        EXPECT_EQ(last_lap_ticks, c.restarted ? 0 : 77) << c.label;
        if (c.restarted)
            EXPECT_LE(rider_timing_count(0), start + 1) << c.label;   // back at the run's start
        else
            EXPECT_GE(rider_timing_count(0), 10) << c.label;
        fake_push(back_up, 0, 0.0);
        frame_loop_pass();
    }
    rider_table_init();
}
