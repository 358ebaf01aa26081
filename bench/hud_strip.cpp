// The camera view's overlay at 1024 x 768: the order strip of 160 riders (places, numbers, names
// cut to their box, gaps) and the lap counter, laid out and drawn, against its share of a
// 16.7 ms frame (target at most 0.05).
#include <GL/gl.h>

#include <cstdio>

#include "bench/bench.h"
#include "bike/rider.h"
#include "core/widget_data.h"
#include "present/camera_strip.h"
#include "present/scene.h"
#include "race/race.h"
#include "race/timing.h"

int main() {
    bench_dir dir;
    const int W = 1024, H = 768;
    window_context *w = bench_graphics_window(dir, W, H);
    if (!w || !bench_begin_frame(w)) return 1;
    view_state.width = W;
    view_state.height = H;
    scene_set_projection(W, H, 90);

    // 160 riders over F = 3, N = 4, two laps in, each 0.3 s behind the one ahead; long names.
    rider_table_init();
    timing_gates.first_lap_length = 3;
    timing_gates.lap_length = 4;
    race_state.final_lap = 5;
    static char names[RIDER_SLOTS][48];
    race_state.running_count = RIDER_SLOTS;
    for (int i = 0; i < RIDER_SLOTS; i++) {
        rider_slot *s = rider_slot_at(i);
        plyx_array_init(&s->timing_tics, sizeof(int), 16);
        snprintf(s->rider_number, sizeof s->rider_number, "%d", 100 + i);
        snprintf(names[i], sizeof names[i], "Rider Number %d Of The Motocross Field", i + 1);
        race_rider_names[i] = names[i];
        rider_status[i] = 2;
        int points = 11 - i % 3;
        for (int p = 0; p < points; p++) rider_set_timing_tic(i, p, 1000 + 800 * p + 38 * i);
        race_state.running_order[i] = {i, points, 1000 + 800 * (points - 1) + 38 * i};
    }

    float width = CAMERA_STRIP_LINES * view_state.half_x / view_state.half_y;
    static camera_strip_layout layout;
    const int calls = 200;
    double clock = 0;
    auto overlay = [&] {
        glFinish();
        return bench_runs(15, [&] {
            for (int i = 0; i < calls; i++) {
                clock += 0.37;
                camera_strip_build(&layout, clock, width);
                camera_strip_draw(&layout, width);
            }
            glFinish();
        });
    };
    overlay();   // warm the caches
    bench_stats t = bench_scaled(overlay(), 1.0 / calls);
    printf("entries drawn %d, lap box %d\n", layout.count, layout.lap_box);
    int code = layout.count >= 3 ? 0 : 1;
    code |= bench_report_budget("order strip and lap counter, 160 riders", "one frame's overlay", t,
                                "0.05 of a 16.7 ms frame", 0.05 / 60);
    for (int i = 0; i < RIDER_SLOTS; i++) race_rider_names[i] = nullptr;
    plyx_gl_end_frame(w);
    bench_graphics_close(w);
    return code;
}
