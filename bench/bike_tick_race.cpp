// The bike tick benchmark's race cases, with many bikes on the stock track "tracks/hillside" loaded
// whole (its statues and particles):
// - the start-gate pack: 10, 20 and 40 robots (role 2, Expert) in rows behind the hillside's own
//   gates, from the race reset through their launch and the funnel into the first corner to 12 s
//   after the drop, through race_tick: per tick the time, the ODE islands (union-find over bodies
//   and joints), and the largest island in each second of the start. No pass mark.
// - the statue pass: 40 riders at rest on the gates and 40 spread along the course, with and
//   without the early out by the bike's reach. Target: the whole pass within 5% of a tick.
// - particles: particle_update with the pool held full (2000 live, respawned as they land).
//   Target: within 2% of a tick.
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "bike/bike_step.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "bike/shape.h"
#include "gfx/model.h"
#include "present/scene.h"
#include "race/contacts.h"
#include "race/lines.h"
#include "race/objects.h"
#include "race/particles.h"
#include "race/race.h"
#include "race/start_gate.h"
#include "race/tick_profile.h"
#include "race/timing.h"
#include "race/track.h"
#include "tools/ride-log/race_run.h"
#include "tools/zrdatagen/trackgen.h"

static const double TICK = 1.0 / 128.0;

static const datagen_track &course() {
    return datagen_hillside_track();
}

// The course point i in feet, and its direction of travel.
static void course_at(long i, float *x, float *z, float *dx, float *dz) {
    const auto &c = course().course;
    long n = (long)c.size();
    auto at = [&](long k) { return c[(size_t)(((k % n) + n) % n)]; };
    float scale = (float)course().spacing / 16;
    *x = at(i).x * scale;
    *z = at(i).z * scale;
    float ax = (float)(at(i + 3).x - at(i - 3).x), az = (float)(at(i + 3).z - at(i - 3).z);
    float l = std::sqrt(ax * ax + az * az);
    *dx = ax / l;
    *dz = az / l;
}

// Eight gates 3.5 ft apart across the start line, facing down the straight.
static void bench_gates() {
    float x, z, dx, dz;
    course_at(datagen_start_line_index(course()), &x, &z, &dx, &dz);
    race_state.gate_count = 8;
    for (int g = 0; g < 8; g++) {
        starting_gate &s = starting_gates[g];
        s = {};
        float across = (g - 3.5f) * 3.5f;
        s.position[0] = x + across * dz;
        s.position[2] = z - across * dx;
        s.angle = std::atan2(-dx, -dz);
        s.statue = -1;
    }
}

static void free_bikes() {
    for (int i = 0; i < RIDER_SLOTS; i++) bike_free(i);
    rider_table_init();
}

static void load_bikes(int count, bool along_course) {
    free_bikes();
    for (int i = 0; i < count; i++) {
        rider_slot *r = bike_load("yz250f(2017)", i, 0, "12", nullptr, nullptr, nullptr, nullptr);
        if (!r) continue;
        bike_default_setup(r);
        bike_set_stop_wheelies(r, STOP_WHEELIES_FULL);
        rider_status[i] = 0;
        if (along_course) {
            float x, z, dx, dz;
            course_at((long)i * (long)course().course.size() / count, &x, &z, &dx, &dz);
            race_drop_to_ground(i, x, z, std::atan2(-dx, -dz));
        } else {
            float p[3], yaw;
            race_start_place(i, p, &yaw);
            race_drop_to_ground(i, p[0], p[2], yaw);
        }
    }
}

// Union-find over the bodies of every bike and the joints between them.
static void islands(int riders, int *count, int *largest_bodies, int *largest_joints) {
    std::map<dBodyID, dBodyID> parent;
    std::function<dBodyID(dBodyID)> find = [&](dBodyID b) {
        while (parent[b] != b) b = parent[b] = parent[parent[b]];
        return b;
    };
    std::vector<dBodyID> bodies;
    for (int i = 0; i < riders; i++) {
        rider_slot *s = rider_slot_at(i);
        if (!s) continue;
        for (int k = 0; k < 7; k++)
            if (s->parts[k]) {
                dBodyID b = (dBodyID)s->parts[k];
                parent[b] = b;
                bodies.push_back(b);
            }
    }
    std::map<dJointID, int> joints;
    for (dBodyID b : bodies)
        for (int j = 0; j < dBodyGetNumJoints(b); j++) {
            dJointID joint = dBodyGetJoint(b, j);
            joints[joint] = 1;
            dBodyID a = dJointGetBody(joint, 0), c = dJointGetBody(joint, 1);
            if (a && c && parent.count(a) && parent.count(c)) parent[find(a)] = find(c);
        }
    std::map<dBodyID, int> size, joint_size;
    for (dBodyID b : bodies) size[find(b)]++;
    for (auto &[joint, one] : joints) {
        dBodyID a = dJointGetBody(joint, 0);
        if (!a || !parent.count(a)) a = dJointGetBody(joint, 1);
        if (a && parent.count(a)) joint_size[find(a)]++;
    }
    *count = (int)size.size();
    *largest_bodies = *largest_joints = 0;
    for (auto &[root, n] : size)
        if (n > *largest_bodies) {
            *largest_bodies = n;
            *largest_joints = joint_size[root];
        }
}

// The largest island (bodies, joints) in each second after the drop, taken as the world step
// sees them: after the tick's contacts are made.
static int pack_bodies[12], pack_joints[12];

static void observe_islands(int part) {
    if (part != TICK_PART_CONTACTS || race_state.current_tick < race_state.gate_drop_tick) return;
    int second = (race_state.current_tick - race_state.gate_drop_tick) / 128;
    if (second >= 12) return;
    int n, b, j;
    islands(RIDER_SLOTS, &n, &b, &j);
    if (b > pack_bodies[second] || (b == pack_bodies[second] && j > pack_joints[second]))
        pack_bodies[second] = b, pack_joints[second] = j;
}

static void start_pack(int riders) {
    race_run_options o;
    o.track = "tracks/hillside";
    o.level = 2;
    o.robots = riders;
    o.laps = 5;
    if (!race_run_reset(o)) {
        printf("start pack, %d robots: no race\n", riders);
        return;
    }
    int drop = race_state.gate_drop_tick, end = drop + 12 * 128;
    std::vector<double> times;
    memset(pack_bodies, 0, sizeof pack_bodies);
    memset(pack_joints, 0, sizeof pack_joints);
    int over = 0, ran = 0;
    auto begin = std::chrono::steady_clock::now();
    while (race_state.current_tick < end) {
        bool after = race_state.current_tick >= drop;
        auto start = std::chrono::steady_clock::now();
        race_tick_mark = after ? observe_islands : nullptr;
        race_tick();
        race_tick_mark = nullptr;
        double ms = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ran++;
        if (!after) continue;
        times.push_back(ms);
        over += ms > TICK;
        // A pack that falls far behind real time is cut short: the figures so far tell.
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() > 300) break;
    }
    bench_stats s = bench_stats_of(times);
    printf("start pack, %d robots at the hillside's gates, %d ticks from the reset: tick after the drop (islands "
           "counted) %s; over budget %d\n  largest island (bodies/joints) in each second after the drop:",
           riders, ran, bench_spread(s).c_str(), over);
    for (int k = 0; k < 12; k++) printf(" %d/%d", pack_bodies[k], pack_joints[k]);
    printf("\n");
    for (int i = 0; i < RIDER_SLOTS; i++) bike_free(i);
    if (physics_contact_group) dJointGroupEmpty(physics_contact_group);
}

// The statue part of race_collide_statues: the whole call less the ground contacts it makes
// first, timed alone as the reference.
static int statue_pass(const char *what, bool along_course) {
    load_bikes(40, along_course);
    // One pass of the 40 riders: ground contacts alone (mode -1), or the whole call with or
    // without the early out; the statue part is the whole call less the ground contacts, taken
    // as the median of back-to-back pairs.
    auto pass = [&](int mode) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 40; i++) {
            rider_slot *s = rider_slot_at(i);
            if (mode < 0)
                bike_ground_contacts(s);
            else
                race_collide_statues_with(s, mode);
        }
        double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        dJointGroupEmpty(physics_contact_group);
        return t;
    };
    std::vector<double> ground, with, without;
    for (int k = 0; k < 200; k++) {
        double g = pass(-1);
        ground.push_back(g);
        with.push_back(pass(1) - g);
        g = pass(-1);
        without.push_back(pass(0) - g);
    }
    bench_stats statues = bench_stats_of(with);
    printf("statue pass, %s: ground contacts alone %s a rider; statues with the early out %s a rider, "
           "without %s\n",
           what, bench_time(bench_stats_of(ground).median / 40).c_str(), bench_time(statues.median / 40).c_str(),
           bench_time(bench_stats_of(without).median / 40).c_str());
    return bench_report_budget((std::string("statue pass, 40 riders ") + what).c_str(), "pass", statues,
                               "5% of a tick", 0.05 * TICK);
}

static int particles() {
    static roost_type dirt = {};
    dirt.kind = 1;
    dirt.texture = 1;
    dirt.size = 0.3f;
    dirt.grow = 0.5f;
    dirt.drag = 1.5f;
    dirt.r = dirt.g = dirt.b = dirt.a = 200;
    dirt.fade_a = 254;
    particle_reset();
    uint32_t seed = 1;
    auto spawn_all = [&] {
        while (particle_free_list) {
            seed = seed * 1664525u + 1013904223u;
            float x, z, dx, dz;
            course_at((long)(seed >> 8) % (long)course().course.size(), &x, &z, &dx, &dz);
            float p[3] = {x, track_ground_height(x, z) + 0.2f, z};
            float v[3] = {(float)((seed >> 4) % 21) - 10, 8 + (float)((seed >> 12) % 9), (float)((seed >> 20) % 21) - 10};
            particle_spawn(p, v, &dirt);
        }
    };
    spawn_all();
    const int ticks = 512;
    bench_stats t = bench_scaled(bench_runs(5, [&] {
                                     for (int i = 0; i < ticks; i++) {
                                         particle_update();
                                         spawn_all();
                                     }
                                 }),
                                 1.0 / ticks);
    printf("particles live: %d\n", particle_active_count());
    return bench_report_budget("particle_update, 2000 live", "tick", t, "2% of a tick", 0.02 * TICK);
}

int bench_bike_tick_race() {
    terrain_field *own = terrain_current;
    terrain_field field = {};
    terrain_current = &field;
    track_lists_create();
    scene_lists_create();
    track_name = "tracks/hillside";
    if (!track_load()) {
        fprintf(stderr, "the stock track would not load\n");
        terrain_current = own;
        return 1;
    }
    bench_gates();
    bike_hook_table saved_hooks = bike_hooks;
    bike_hooks = {};
    bike_hooks.current_tick = [] { return race_state.current_tick; };
    bike_hooks.gate_drop_tick = [] { return race_state.gate_drop_tick; };
    bike_hooks.particle_spawn = particle_spawn;
    int failed = 0;
    failed |= statue_pass("at rest on the gates", false);
    failed |= statue_pass("spread along the course", true);
    failed |= particles();
    free_bikes();
    track_unload();
    scene_lists_free();
    track_lists_free();
    // The start pack: robots in a race of the game's own, with its hooks, track and lines.
    if (race_run_open()) {
        for (int riders : {10, 20, 40}) start_pack(riders);
        if (track_name) track_unload();
        track_name = nullptr;
        line_store_free();
    }
    rider_table_init();
    bike_hooks = saved_hooks;
    terrain_current = own;
    return failed;
}
