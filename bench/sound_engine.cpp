// Engine sounds: the synthesis of one second of sound for 1, 40 and 160 riders at 9000 rpm and
// full load (at most 2.5 ms of processor time a rider a second, so 160 riders stay within 0.4 of
// a core), and the frame's sound pass over 40 riders on the readback driver at 60 frames a second
// (at most a tenth of the frame).
#include <vector>

#include "bench/bench.h"
#include "bike/physics.h"
#include "bike/rider.h"
#include "present/engine_sound.h"
#include "present/game_sound.h"

static const int PASSES = 60;          // a second of sound, a pass a frame
static const int STEP = 735;           // samples the play position moves a pass

int main() {
    bench_dir dir;
    window_context *w = bench_graphics_window(dir);
    if (!w || !physics_open()) return 1;
    rider_table_init();
    for (int i = 0; i < 160; i++) engine_sound_load_class(&engine_sounds[i], "250f", nullptr);
    if (!engine_sounds[0].params.table) {
        fprintf(stderr, "the 250f sound table did not load\n");
        return 1;
    }
    std::vector<int> position(160, 0);
    static unsigned char bytes[ENGINE_RING];
    auto seconds = [&](int riders, int count) {
        for (int s = 0; s < count; s++)
            for (int pass = 0; pass < PASSES; pass++)
                for (int r = 0; r < riders; r++) {
                    engine_sound &e = engine_sounds[r];
                    engine_sound_synthesize(&e, 9000, e.params.high_torque, position[r], bytes);
                    position[r] = (position[r] + STEP) & (ENGINE_RING - 1);
                }
    };
    int failed = 0;
    for (int riders : {1, 40, 160}) {
        int count = riders == 1 ? 40 : riders == 40 ? 2 : 1;
        bench_stats t = bench_scaled(bench_runs(5, [&] { seconds(riders, count); }),
                                     1.0 / ((double)count * riders));
        char what[96];
        snprintf(what, sizeof what, "engine synthesis, %d riders at 9000 rpm, load 1", riders);
        failed |= bench_report_budget(what, "a rider's second of sound", t, "budget", 0.0025);
    }

    // The frame's pass: 40 bikes with device sounds on the readback driver.
    void *device = plyx_sound_open_readback(nullptr, 88320, 690);
    for (int i = 0; i < 40; i++) {
        if (!bike_load("yz250f(2017)", i, 0, "12", nullptr, nullptr, nullptr, nullptr)) return 1;
        engine_sound_load_slot(i, nullptr);
    }
    sound_listener l = {{0, 5, 30}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}};
    const int frames = 120;
    std::vector<double> times;
    for (int run = 0; run < 5; run++) {
        double total = 0;
        for (int f = 0; f < frames; f++) {
            total += bench_runs(1, [&] { sound_update_riders_from(&l, 1); }).median;
            // The device plays on between frames: 1/60 s is 2 blocks of 1/128 s and a bit.
            for (int b = 0; b < (f % 8 == 7 ? 3 : 2); b++) plyx_sound_render(device);
        }
        times.push_back(total / frames);
    }
    failed |= bench_report_budget("sound pass over 40 riders", "a frame", bench_stats_of(times),
                                  "budget (0.1 of a 60 Hz frame)", 0.1 / 60);
    engine_sound_free_all();
    plyx_sound_close(device);
    rider_table_init();
    physics_close();
    bench_graphics_close(w);
    return failed;
}
