// The packed rider state: the pure codec (at least 2,000,000 encodes and decodes a second),
// bike_pack_state on 160 loaded slots within 1% of a 1/128 s tick, and bike_apply_packed_states
// on 160 ghosts (three unpacks each) within 5% of a tick.
#include <random>
#include <vector>

#include "bench/bench.h"
#include "bike/packed_state.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "bike/shape.h"
#include "gfx/model.h"

static const double TICK = 1.0 / 128;

int main() {
    packed_ranges r = {2048, -50, 0.5303, 1.0, -0.6667, 0.5};
    std::mt19937 rng(5);
    std::vector<packed_values> values(4096);
    std::vector<unsigned char> records(4096 * 39);
    for (unsigned char &b : records) b = (unsigned char)rng();
    for (size_t i = 0; i < values.size(); i++) values[i] = packed_state_decode(&records[39 * i], 5, r);
    int code = 0;
    const int rounds = 100;
    volatile double sink = 0;
    bench_stats enc = bench_runs(7, [&] {
        unsigned char out[39];
        for (int k = 0; k < rounds; k++)
            for (const packed_values &v : values) {
                packed_state_encode(v, r, out);
                sink = sink + out[5];
            }
    });
    code |= bench_report_budget("codec", "an encode", bench_scaled(enc, 1.0 / (rounds * values.size())),
                                "budget", 1.0 / 2000000);
    bench_stats dec = bench_runs(7, [&] {
        for (int k = 0; k < rounds; k++)
            for (size_t i = 0; i < values.size(); i++) sink = sink + packed_state_decode(&records[39 * i], 5, r).rpm;
    });
    code |= bench_report_budget("codec", "a decode", bench_scaled(dec, 1.0 / (rounds * values.size())),
                                "budget", 1.0 / 2000000);

    bench_dir dir;
    window_context *w = bench_graphics_window(dir);
    if (!w || !physics_open()) return 1;
    static float heights[65 * 65];
    terrain_field *f = terrain_current;
    f->heights = heights;
    f->n = 65;
    f->spacing = 32;
    f->extent = 2048;
    rider_table_init();
    for (int s = 0; s < RIDER_SLOTS; s++) {
        bike_load("yz250f(2017)", s, 1, "1", nullptr, nullptr, nullptr, nullptr);
        bike_translate(s, 10.0f * (s % 16) + 100, 0, 10.0f * (s / 16) + 100);
    }
    std::vector<unsigned char> packed(RIDER_SLOTS * 39);
    bench_stats pack = bench_runs(21, [&] {
        for (int s = 0; s < RIDER_SLOTS; s++) bike_pack_state(&rider_table[s], &packed[39 * s]);
    });
    code |= bench_report_budget("bike_pack_state", "160 slots", pack, "1% of a tick", 0.01 * TICK);
    // Ghosts: bodies disabled, presence 0.25.
    for (int s = 0; s < RIDER_SLOTS; s++) {
        bike_hold_hidden(&rider_table[s]);
        rider_table[s].rider_presence = 0.25f;
    }
    bench_stats apply = bench_runs(21, [&] {
        for (int s = 0; s < RIDER_SLOTS; s++) {
            const unsigned char *p = &packed[39 * s];
            bike_apply_packed_states(&rider_table[s], p, p, p, 4, 5);
        }
    });
    code |= bench_report_budget("bike_apply_packed_states", "160 ghosts", apply, "5% of a tick",
                                0.05 * TICK);
    rider_table_init();
    physics_close();
    f->heights = nullptr;
    f->n = 0;
    shape_free_cache();
    model_purge(1);
    bench_graphics_close(w);
    return code;
}
