// ride-log: one "yz250f(2017)" ridden headless through the race tick, on ground made in memory
// or on a track, in a hidden window; a line every 32 ticks and one result line.
//
//   ride-log RIDE [--track NAME]       RIDE: settle, launch, brake or slope; turn, crash, side or
//                                      drop (control.cpp)
//   ride-log gate --track NAME         the first race as start-up runs it: held at the gate, full
//                                      throttle from the drop (gate.cpp)
//   ride-log script --track TRACK [--script FILE] [--seconds S]   the track script (script.cpp)
//   ride-log race ...                  a race of robots (tools/ride-log/race.cpp)
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "bike/shape.h"
#include "core/console.h"
#include "race/start_gate.h"
#include "race/track.h"
#include "tools/ride-log/control_rides.h"
#include "tools/ride-log/race_run.h"
#include "tools/ride-log/ride.h"
#include "tools/ride-log/ride_log.h"
#include "tools/tool_window.h"

static const char *MODEL = "yz250f(2017)";

static int usage() {
    fprintf(stderr, "usage: ride-log settle|launch|brake|slope|turn|crash|side|drop [--track NAME]\n"
                    "       ride-log gate --track NAME\n"
                    "       ride-log script --track TRACK [--script FILE] [--seconds S]\n"
                    "       ride-log race [--track TRACK | --all] [--level novice|amateur|expert] [--robots N] "
                    "[--laps N] [--watch]\n");
    return 2;
}

// Runs ticks, a line every 32 ticks; each tick first calls the function.
static void ride_run(rider_slot *s, int ticks, const std::function<void(int)> &each) {
    for (int i = 0; i < ticks; i++) {
        if (each) each(i);
        race_tick();
        if (race_state.current_tick % 32 == 0) ride_print_line(s);
    }
}

// The closed-throttle curve's zero: the idle.
static float idle_rpm(const rider_slot *s) {
    for (int rpm = 0; rpm < 24500; rpm += 10)
        if (bike_torque_curve(bike_row_of(s), (float)rpm, 0) <= 0) return (float)rpm;
    return 0;
}

// Sixty seconds with no input, the rider's foot down: the settle test's figures.
static int ride_settle(rider_slot *s) {
    bike_set_auto_dab(s, 1);
    ride_run(s, 4 * 128, nullptr);
    const dReal *p = dBodyGetPosition(bike_frame_body(s));
    double x0 = p[0], y0 = p[1], z0 = p[2], travel = 0;
    ride_run(s, 56 * 128, [&](int) {
        const dReal *q = dBodyGetPosition(bike_frame_body(s));
        travel = std::fmax(travel, std::sqrt((q[0] - x0) * (q[0] - x0) + (q[1] - y0) * (q[1] - y0) +
                                             (q[2] - z0) * (q[2] - z0)));
    });
    float fork, shock, u, d;
    bike_front_suspension(s, &fork, &u, &d);
    bike_rear_suspension(s, &shock, &u, &d);
    printf("settled: speed %.3f ft/s, tilt %.4f, fork %.0f%%, shock %.0f%%, front %.3f, rear %.3f, "
           "rpm %.0f (idle %.0f), travel after 4 s %.3f ft\n",
           ride_speed(s), bike_body_tilt(bike_frame_body(s)), 100 * fork, 100 * shock,
           s->front_contact.contact_depth, s->rear_contact.contact_depth, bike_engine_rpm(s), idle_rpm(s),
           travel);
    return 0;
}

static int ride_launch_line(rider_slot *s) {
    ride_launch_result r = ride_launch(s, 40, true);
    if (r.time_to_60 < 0)
        printf("0-60 mph not reached, top %.1f mph in gear %d at %.0f rpm\n", r.top_mph, r.top_gear, r.top_rpm);
    else
        printf("0-60 mph %.2f s, top %.1f mph in gear %d at %.0f rpm\n", r.time_to_60, r.top_mph, r.top_gear,
               r.top_rpm);
    return 0;
}

// Up to 40 ft/s, then throttle 0 and both brakes.
static int ride_brake(rider_slot *s) {
    ride_run(s, 128, nullptr);
    int limit = 8 * 128;
    while (limit-- > 0 && ride_speed(s) < 40) ride_run(s, 1, [&](int) { rider_set_throttle(s, 1); });
    float from = ride_speed(s);
    const dReal *p = dBodyGetPosition(bike_frame_body(s));
    double x0 = p[0], z0 = p[2];
    float rear0 = (float)dBodyGetPosition(bike_body_of(s, BIKE_BODY_REAR_WHEEL))[1], lift = 0;
    int stopped = -1;
    double distance = 0;
    ride_run(s, 4 * 128, [&](int i) {
        rider_set_throttle(s, 0);
        rider_set_front_brake(s, 1);
        rider_set_rear_brake(s, 1);
        lift = std::fmax(lift, (float)dBodyGetPosition(bike_body_of(s, BIKE_BODY_REAR_WHEEL))[1] - rear0);
        if (stopped < 0 && ride_speed(s) < 1) {
            stopped = i;
            const dReal *q = dBodyGetPosition(bike_frame_body(s));
            distance = std::sqrt((q[0] - x0) * (q[0] - x0) + (q[2] - z0) * (q[2] - z0));
        }
    });
    if (stopped < 0)
        printf("not stopped from %.1f ft/s within 4 s, rear lift %.2f ft\n", from, lift);
    else
        printf("stopped from %.1f ft/s in %.2f s over %.1f ft, rear lift %.2f ft\n", from, stopped / 128.0,
               distance, lift);
    return 0;
}

// Facing uphill, lever released, throttle 0: the bike rolls back.
static int ride_slope(rider_slot *s) {
    int start = -1;
    float at_landing = 0, after1 = 0, after3 = 0;
    ride_run(s, 6 * 128, [&](int i) {
        if (start < 0 && s->front_contact.contact_depth > 0 && s->rear_contact.contact_depth > 0) start = i;
        if (start < 0) return;
        if (i == start + 64) at_landing = ride_speed(s);
        if (i == start + 192) after1 = ride_speed(s) - at_landing;
        if (i == start + 3 * 128) after3 = ride_speed(s);
    });
    printf("rolled back: %.2f ft/s gained in the second after landing, %.2f ft/s after 3 s\n", after1, after3);
    return 0;
}

int main(int argc, char **argv) {
    if (argc < 2) return usage();
    if (strcmp(argv[1], "gate") == 0) return ride_log_gate(std::vector<std::string>(argv + 2, argv + argc));
    if (strcmp(argv[1], "script") == 0) return ride_log_script(std::vector<std::string>(argv + 2, argv + argc));
    if (strcmp(argv[1], "race") == 0) return ride_log_race(std::vector<std::string>(argv + 2, argv + argc));
    std::string ride = argv[1], track;
    for (int i = 2; i < argc; i++) {
        if (strcmp(argv[i], "--track") == 0 && i + 1 < argc)
            track = argv[++i];
        else
            return usage();
    }
    if (ride != "settle" && ride != "launch" && ride != "brake" && ride != "slope" && !ride_is_control(ride.c_str()))
        return usage();
    window_context *w = tool_window_open("ride-log", 320, 320);
    if (!w) return 1;
    physics_open();
    rider_table_init();
    console_clear();
    ride_begin();

    std::unique_ptr<memory_field> field;
    terrain_field *own_terrain = terrain_current;
    float x = 256, z = 256, yaw = 0;
    int code = 0;
    if (!track.empty()) {
        track_name = track.c_str();
        track_lists_create();   // the object tables, the particles' billboards among them
        if (!track_load()) {
            fprintf(stderr, "ride-log: can't load track %s\n", track.c_str());
            code = 1;
        } else {
            float point[3];
            race_start_place(0, point, &yaw);
            x = point[0];
            z = point[2];
            race_state.gate_drop_tick = 0;   // the gate is down
            // On a track the wheels throw roost as in the game, and each line counts the
            // particles in the air.
            particle_reset();
            bike_hooks.particle_spawn = particle_spawn;
        }
    } else if (ride == "launch") {
        field = ride_long_field();
        x = 4096;
        z = 8000;
    } else if (ride == "slope") {
        field = ride_slope_field(-1);   // facing uphill
    } else {
        field = ride_flat_field();
    }
    bool player_setup = ride == "launch";
    rider_slot *s = code ? nullptr : ride_place(MODEL, 0, x, z, yaw, player_setup);
    if (!code && !s) {
        fprintf(stderr, "ride-log: can't load %s\n", MODEL);
        code = 1;
    }
    if (s && !track.empty()) game_settings.roost_frequency = 250;   // "Roost Density"'s default
    if (s) {
        if (ride == "settle")
            code = ride_settle(s);
        else if (ride == "launch")
            code = ride_launch_line(s);
        else if (ride == "brake")
            code = ride_brake(s);
        else if (ride_is_control(ride.c_str()))
            code = ride_control(ride.c_str(), s, x, z, yaw,
                                [&](int ticks, const std::function<void(int)> &each) { ride_run(s, ticks, each); });
        else
            code = ride_slope(s);
        for (int i = 0; i < CONSOLE_LINES && console_log.lines[i][0]; i++)
            if (strstr(console_log.lines[i], "Warning: ")) printf("%s\n", console_log.lines[i]);
        if (physics_message_count) printf("%d solver messages\n", physics_message_count);
    }
    rider_table_init();
    physics_close();
    shape_free_cache();
    terrain_current = own_terrain;
    field.reset();
    if (!track.empty()) {
        terrain_free(terrain_current);
        track_lists_free();
    }
    tool_window_close(w);
    return code;
}
