// The bike tick benchmark's rider-pair cases, through the race's own pair pass (riders sorted
// fastest first, every pair of solid riders collided, a rider's second contact in a tick made
// penalty forces):
// - the start-gate pack: 10, 20 and 40 riders standing 2.5 ft apart in a row on flat ground ride
//   off at full throttle, steer 0, for 5 s: ms per tick, real-time factor, the largest island per
//   tick and the solver's messages. No target.
// - the pair pass: 160 riders spread over "tracks/hillside"; the sort and the pass over 12,720 pairs
//   of a tick against the bare world step of the same tick. Target: at most 0.1.
#include <chrono>
#include <functional>
#include <vector>

#include "bench/bench.h"
#include "bench/hillside_spots.h"
#include "bike/part_contacts.h"
#include "core/util.h"
#include "race/contacts.h"
#include "tools/ride-log/ride.h"

using pair_clock = std::chrono::steady_clock;

// The race tick's pair pass over the first n slots: solid riders, fastest first, every pair.
static void pair_pass(int n) {
    rider_slot *list[RIDER_SLOTS];
    int count = 0;
    for (int slot = 0; slot < n; slot++)
        if (rider_is_solid(&rider_table[slot])) list[count++] = &rider_table[slot];
    util_heapsort(list, count, sizeof(rider_slot *), race_compare_speed);
    collide_rider_list(list, count, 0);
}

static double since(pair_clock::time_point t) {
    return std::chrono::duration<double>(pair_clock::now() - t).count();
}

// One tick with the pair pass: ground contacts, pairs, (observe), world step, finite check, bike
// steps. Times the pass and the world step apart.
static void pair_tick(int n, double *pairs_s, double *world_s, double *tick_s,
                      const std::function<void()> &observe) {
    auto t0 = pair_clock::now();
    for (int slot = 0; slot < n; slot++) bike_ground_contacts(&rider_table[slot]);
    auto t1 = pair_clock::now();
    pair_pass(n);
    double pairs = since(t1);
    auto t2 = pair_clock::now();
    if (observe) observe();
    double observed = since(t2);
    auto t3 = pair_clock::now();
    dWorldStep(physics_world, PHYSICS_TICK);
    dJointGroupEmpty(physics_contact_group);
    double world = since(t3);
    for (int slot = 0; slot < n; slot++) bike_check_finite(slot);
    for (int slot = 0; slot < n; slot++) bike_step(&rider_table[slot]);
    race_state.current_tick++;
    *pairs_s += pairs;
    *world_s += world;
    *tick_s += since(t0) - observed;
}

int bench_bike_tick_pairs(int (*load_bikes)(int), void (*free_bikes)(),
                          void (*largest_island)(int, int *, int *), const std::vector<bench_spot> &spots,
                          const std::vector<double> &headings) {
    terrain_field *track = terrain_current;
    int failed = 0;

    // The pair pass on the hillside: 160 riders, throttle 0.5 after a 1 s settle, 256 ticks.
    if (!load_bikes(RIDER_SLOTS)) return 1;
    for (int slot = 0; slot < RIDER_SLOTS; slot++)
        bike_drop_to_ground(slot, spots[slot].x, spots[slot].z, (float)headings[slot]);
    double pairs = 0, world = 0, tick = 0;
    for (int i = 0; i < 128; i++) pair_tick(RIDER_SLOTS, &pairs, &world, &tick, nullptr);
    for (int slot = 0; slot < RIDER_SLOTS; slot++) rider_set_throttle(&rider_table[slot], 0.5f);
    pairs = world = tick = 0;
    for (int i = 0; i < 256; i++) pair_tick(RIDER_SLOTS, &pairs, &world, &tick, nullptr);
    double ratio = pairs / world;
    printf("pair pass, %d riders on tracks/hillside: sort and the pass over %d pairs %s a tick, world step %s; ratio %.3g "
           "(target at most 0.1): %s\n",
           RIDER_SLOTS, RIDER_SLOTS * (RIDER_SLOTS - 1) / 2, bench_time(pairs / 256).c_str(),
           bench_time(world / 256).c_str(), ratio, ratio <= 0.1 ? "met" : "MISSED");
    if (ratio > 0.1) failed = 1;
    free_bikes();

    // The start-gate pack through the pair pass.
    auto flat = ride_field(257, 2.0f, [](int, int) { return RIDE_GROUND_HEIGHT; });
    printf("start-gate pack through the pair pass, riders 2.5 ft apart, full throttle for 5 s\n");
    printf("%5s %10s %10s %16s %16s %9s\n", "riders", "ms/tick", "real time", "island bodies", "island joints",
           "messages");
    for (int n : {10, 20, 40}) {
        if (!load_bikes(n)) return 1;
        for (int slot = 0; slot < n; slot++) bike_drop_to_ground(slot, 256 + 2.5f * (slot - n / 2.0f), 400, 0);
        for (int slot = 0; slot < n; slot++) rider_set_throttle(&rider_table[slot], 1);
        int messages = physics_message_count, bodies = 0, joints = 0;
        auto observe = [&] {
            int b, j;
            largest_island(n, &b, &j);
            if (b > bodies || (b == bodies && j > joints)) bodies = b, joints = j;
        };
        pairs = world = tick = 0;
        const int ticks = 5 * 128;
        for (int i = 0; i < ticks; i++) pair_tick(n, &pairs, &world, &tick, observe);
        double per = tick / ticks;
        printf("%5d %10.3f %9.2fx %16d %16d %9d\n", n, per * 1e3, 1 / per / 128, bodies, joints,
               physics_message_count - messages);
        free_bikes();
    }
    flat.reset();
    terrain_current = track;
    return failed;
}
