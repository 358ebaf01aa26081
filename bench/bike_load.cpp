// Loading and freeing a bike whose models and textures are cached: at most 2 ms a cycle, so a
// 40-rider reset loads its bikes in 80 ms. The first, cold load is reported apart.
#include "bench/bench.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "bike/shape.h"
#include "gfx/model.h"

int main() {
    bench_dir dir;
    window_context *w = bench_graphics_window(dir);
    if (!w || !physics_open()) return 1;
    rider_table_init();
    bench_stats cold = bench_runs(1, [] {
        bike_load("yz250f(2017)", 0, 0, "12", nullptr, nullptr, nullptr, nullptr);
    });
    printf("cold load: %s\n", bench_time(cold.median).c_str());
    bike_free(0);
    const int cycles = 100;
    bench_stats warm = bench_runs(9, [] {
        for (int i = 0; i < cycles; i++) {
            bike_load("yz250f(2017)", i % 40, 0, "12", nullptr, nullptr, nullptr, nullptr);
            bike_free(i % 40);
        }
    });
    int code = bench_report_budget("bike load and free", "a cycle", bench_scaled(warm, 1.0 / cycles),
                                   "budget", 0.002);
    rider_table_init();
    physics_close();
    shape_free_cache();
    model_purge(1);
    bench_graphics_close(w);
    return code;
}
