// The race reset and the race's own share of a tick. A reset on the loaded hillside with 40
// robots (bikes, models and textures cached) against 0.25 s, the hillside's track load beside it
// with the track hash's share; then 160 riders standing at the start, and the race's own work of
// one tick (gate arms, the lap step of every rider, the standings at their online rate, the
// suspension graph; not the contacts, the world step or the bike steps) against 2% of a tick.
#include <cstring>

#include "bench/bench_race.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "bike/shape.h"
#include "core/digest.h"
#include "core/util.h"
#include "gfx/model.h"
#include "race/race.h"
#include "race/robots.h"
#include "race/start_gate.h"
#include "race/track_hash.h"
#include "ui/widget.h"

static const char *TRACKS[] = {"tracks/hillside"};

static int reset_with(int robots) {
    static int roles[RIDER_SLOTS];
    memset(roles, 0, sizeof roles);
    for (int i = 0; i < robots; i++) roles[i] = 2;
    return race_reset(roles, 0, 0, 0, 5, 0);
}

int main() {
    bench_dir dir;
    window_context *w = bench_race_window(dir, TRACKS);
    if (!w) return 1;
    if (!reset_with(40)) return 1;   // loads the track and caches the bikes

    bench_stats reset = bench_runs(5, [] { reset_with(40); });
    int failed = bench_report_budget("race reset with 40 robots", "a reset", reset, "budget", 0.25);
    bench_stats load = bench_runs(3, [] {
        track_unload();
        track_name = util_intern("tracks/hillside");
        track_load();
    });
    bench_stats hash = bench_runs(3, [] {
        ripemd160_state s;
        ripemd160_init(&s);
        track_hash_ground(&s, "tracks/hillside");
        track_hash_file(&s, "@tracks/hillside/timing_gates");
        track_hash_file(&s, "@tracks/hillside/statues");
        track_hash_statue_shapes(&s);
        ripemd160_final(&s);
    });
    printf("hillside track load: %s; its hash: %s (%.1f%%)\n", bench_spread(load).c_str(),
           bench_spread(hash).c_str(), 100.0 * hash.median / load.median);

    // 160 riders standing at the gates, the clock before the drop.
    reset_with(RIDER_SLOTS);
    const int ticks = 1024;
    suspension_graph_on = 1;
    bench_stats own = bench_runs(5, [] {
        for (int t = 0; t < ticks; t++) {
            race_state.current_tick = t;
            race_update_gate_arms();
            for (int i = 0; i < RIDER_SLOTS; i++)
                if (rider_has_bike(i)) autopilot_record_sample(&rider_table[i]);
            if (t % 512 == 511) race_update_standings();
        }
    });
    failed |= bench_report_budget("the race's own work with 160 riders", "one tick",
                                  bench_scaled(own, 1.0 / ticks), "2% of a tick", 0.02 / 128);

    for (int i = 0; i < RIDER_SLOTS; i++) bike_free(i);
    track_unload();
    track_lists_free();
    physics_close();
    shape_free_cache();
    model_purge(1);
    bench_graphics_close(w);
    return failed;
}
