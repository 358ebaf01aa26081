// The bike tick benchmark's race cases, with many bikes on the stock track "tracks/hillside" loaded
// whole (its statues and particles):
// - the start-gate pack: 10, 20 and 40 riders placed by the start placement at 8 gates across the
//   start straight (rows of 8), held until the drop, then full throttle with a steering law that
//   pulls each rider toward the straight's centreline, for 12 s through race_tick: per tick the
//   time, the ODE islands (union-find over bodies and joints) and the largest one. No pass mark.
// - the statue pass: 40 riders at rest on the gates and 40 spread along the course, with and
//   without the early out by the bike's reach. Target: the whole pass within 5% of a tick.
// - particles: particle_update with the pool held full (2000 live, respawned as they land).
//   Target: within 2% of a tick.
#include <chrono>
#include <cmath>
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
#include "race/objects.h"
#include "race/particles.h"
#include "race/race.h"
#include "race/start_gate.h"
#include "race/timing.h"
#include "race/track.h"
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

static void start_pack(int riders) {
    load_bikes(riders, false);
    race_state.current_tick = 0;
    race_state.gate_drop_tick = 128;
    float x0, z0, dx, dz;
    course_at(datagen_start_line_index(course()), &x0, &z0, &dx, &dz);
    std::vector<double> times;
    int worst_islands = 0, worst_bodies = 0, worst_joints = 0, over = 0;
    const int ticks = 128 + 12 * 128;
    auto begin = std::chrono::steady_clock::now();
    int ran = 0;
    for (int t = 0; t < ticks; t++) {
        for (int i = 0; i < riders; i++) {
            control_record c = {};
            if (t >= race_state.gate_drop_tick) {
                c.axis[CONTROL_THROTTLE] = 1;
                // From first gear, up a gear every 3 s.
                int since = t - race_state.gate_drop_tick;
                if (since > 0 && since % 384 == 0) c.axis[CONTROL_SHIFT] = 1;
                // Toward the centreline: the signed distance across, and the heading error.
                const dReal *p = dBodyGetPosition(bike_frame_body(rider_slot_at(i)));
                float across = (float)((p[0] - x0) * dz - (p[2] - z0) * dx);
                c.axis[CONTROL_STEER] = std::fmax(-1.0f, std::fmin(1.0f, across * 0.05f));
            }
            race_apply_controls(i, &c);
        }
        auto start = std::chrono::steady_clock::now();
        race_tick();
        double ms = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        times.push_back(ms);
        over += ms > TICK;
        int n, b, j;
        islands(riders, &n, &b, &j);
        if (b > worst_bodies) worst_bodies = b, worst_joints = j, worst_islands = n;
        ran++;
        // A pack that falls far behind real time is cut short: the figures so far tell.
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() > 300) break;
    }
    bench_stats s = bench_stats_of(times);
    double travelled = 0;
    for (int i = 0; i < riders; i++) {
        const dReal *p = dBodyGetPosition(bike_frame_body(rider_slot_at(i)));
        travelled += std::sqrt((p[0] - x0) * (p[0] - x0) + (p[2] - z0) * (p[2] - z0)) / riders;
    }
    printf("start pack, %d riders, %d ticks: tick %s; over budget %d; real-time factor %.2f; largest island %d "
           "bodies, %d joints (%d islands then); mean distance from the start line %.0f ft\n",
           riders, ran, bench_spread(s).c_str(), over, TICK / s.median, worst_bodies, worst_joints, worst_islands,
           travelled);
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
    for (int riders : {10, 20, 40}) start_pack(riders);
    free_bikes();
    track_unload();
    scene_lists_free();
    track_lists_free();
    bike_hooks = saved_hooks;
    terrain_current = own;
    return failed;
}
