// Fidelity of the ride against published figures for a 250 cc four-stroke motocross bike (about
// 4 s to 60 mph, a top speed of 55 to 65 mph by gearing): "yz250f(2017)" with the player's
// default setup on flat ground 8192 ft long of one hard kind (rolling resistance a 5, b 15),
// settled at rest, then throttle 1 with the lever released for 40 s.
// Targets: time to 60 mph / 4 s and top speed / 60 mph each within 0.8 to 1.2.
#include <chrono>

#include "bench/bench.h"
#include "bike/shape.h"
#include "tools/ride-log/ride.h"

static const double REFERENCE_0_60 = 4.0;   // s
static const double REFERENCE_TOP = 60.0;   // mph

int main() {
    bench_dir dir;
    window_context *w = bench_graphics_window(dir);
    if (!w) return 1;
    if (!physics_open()) return 1;
    rider_table_init();
    ride_begin();
    terrain_field *own = terrain_current;
    auto field = ride_long_field();
    rider_slot *s = ride_place("yz250f(2017)", 0, 4096, 8000, 0, true);
    if (!s) {
        fprintf(stderr, "yz250f(2017) would not load\n");
        return 1;
    }
    // Settled at rest: two seconds with no input.
    for (int i = 0; i < 256; i++) race_tick();
    auto start = std::chrono::steady_clock::now();
    ride_launch_result r = ride_launch(s, 40, false);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    double time_ratio = r.time_to_60 > 0 ? r.time_to_60 / REFERENCE_0_60 : INFINITY;
    double top_ratio = r.top_mph / REFERENCE_TOP;
    bool time_met = time_ratio >= 0.8 && time_ratio <= 1.2, top_met = top_ratio >= 0.8 && top_ratio <= 1.2;
    if (r.time_to_60 > 0)
        printf("0-60 mph: %.2f s; reference %.1f s; ratio %.3g (target 0.8 to 1.2): %s\n", r.time_to_60,
               REFERENCE_0_60, time_ratio, time_met ? "met" : "MISSED");
    else
        printf("0-60 mph: not reached in 40 s (target 0.8 to 1.2 of %.1f s): MISSED\n", REFERENCE_0_60);
    printf("top speed: %.1f mph in gear %d at %.0f rpm; reference %.0f mph; ratio %.3g (target 0.8 to 1.2): %s\n",
           r.top_mph, r.top_gear, r.top_rpm, REFERENCE_TOP, top_ratio, top_met ? "met" : "MISSED");
    printf("40 s of riding simulated in %s (%.0f times real time); solver messages %d\n", bench_time(wall).c_str(),
           40 / wall, physics_message_count);
    if (!top_met)
        printf("note: nothing in the ride models air drag; on flat ground the top speed is where the top gear's "
               "open torque meets rolling resistance\n");

    rider_table_init();
    physics_close();
    shape_free_cache();
    terrain_current = own;
    field.reset();
    bench_graphics_close(w);
    return time_met && top_met ? 0 : 1;
}
